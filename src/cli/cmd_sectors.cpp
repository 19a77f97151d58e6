// zelvo sectors: sectors of the volume as it reads them under the convention, as a hex dump with
// their characters and what each belongs to, or (--raw) the bytes themselves.
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>
#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

#include "cli/cli.h"
#include "cli/options.h"
#include "cli/verbs.h"
#include "image/sector_transfer.h"
#include "texts/texts.h"
#include "view/sector_owner.h"
#include "volume/layout.h"

namespace cli {
namespace {

struct SectorsOptions {
  std::string image;
  std::string mode = "mz";
  std::string codes;
  std::string track, sector, count = "1";
  bool raw = false;
};

int RunSectors(const SectorsOptions& options) {
  StartSession(console::Settings{}, options.mode, false);
  if (LoadTables(options.codes) != 0) return kExitFailed;
  if (OpenImage(options.image) != 0) return kExitFailed;
  const long track = ParseNumber(options.track), sector = ParseNumber(options.sector);
  const long count = ParseNumber(options.count);
  if (!SectorAddressValid(static_cast<int>(track), static_cast<int>(sector)) || count < 1 ||
      SectorIndex(static_cast<int>(track), static_cast<int>(sector)) + count - 1 >
          kLastSectorIndex) {
    console::Note("Trk " + options.track + " Sct " + options.sector + " (" + options.count +
                  " sectors): give tracks 0-83, sectors 1-16, within the disk");
    return kExitUsage;
  }
  std::vector<uint8_t> bytes(static_cast<size_t>(count) * kSectorBytes);
  ImageTarget target;
  target = Disk().target;
  const int status = ReadSectors(&target, bytes.data(), static_cast<int>(track),
                                 static_cast<int>(sector), static_cast<int>(bytes.size()));
  if (status != kImageOk) {
    Report(kCaptionRead, ImageStatusText(status));
    return kExitFailed;
  }
  if (options.raw) {
#ifdef _WIN32
    _setmode(_fileno(stdout), _O_BINARY);
#endif
    std::fwrite(bytes.data(), 1, bytes.size(), stdout);
    std::fflush(stdout);
    return kExitOk;
  }
  const bool english = console::CurrentLanguage() == console::Language::kEnglish;
  std::string text;
  const int first = SectorIndex(static_cast<int>(track), static_cast<int>(sector));
  for (int k = 0; k < count; ++k) {
    const int index = first + k;
    char owner[128], heading[192];
    DescribeSectorOwner(&Disk().volume, Disk().tables.TBL1, index, english, owner, sizeof owner);
    std::snprintf(heading, sizeof heading, "Trk%02X Sct%02X  %s\n", index / 16, index % 16 + 1,
                  owner);
    text += heading;
    for (int line = 0; line < kSectorBytes / 16; ++line) {
      char row[160];
      FormatHexLine(bytes.data() + k * kSectorBytes + line * 16, line * 16, Disk().tables.TBL1, row,
                    sizeof row);
      // Control bytes of the character column would steer the terminal.
      for (char* c = row; *c; ++c)
        if (static_cast<unsigned char>(*c) < 0x20) *c = '.';
      text += std::string(row) + "\n";
    }
  }
  Print(console::Cp932ToTerminal(text));
  return kExitOk;
}

}  // namespace

Verb AddSectors(CLI::App& app) {
  auto options = std::make_shared<SectorsOptions>();
  CLI::App* command = app.add_subcommand(
      "sectors", "Show sectors as the volume reads them: hex, characters and their owner");
  AddMode(command, &options->mode);
  AddCodes(command, &options->codes);
  command->add_flag("--raw", options->raw, "Write the bytes themselves to standard output");
  AddImage(command, &options->image);
  command->add_option("TRACK", options->track, "Track 0-83 (decimal, or hex with 0x)")
      ->required()
      ->check(CheckNumber);
  command->add_option("SECTOR", options->sector, "Sector 1-16")->required()->check(CheckNumber);
  command->add_option("COUNT", options->count, "How many sectors (default 1)")->check(CheckNumber);
  return {command, [options]() {
            options->mode = Lower(options->mode);
            return RunSectors(*options);
          }};
}

}  // namespace cli
