// zelvo patch: a host file of whole sectors written as volume bytes from a track and sector on,
// asked first, in one change.
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "cli/edit_support.h"
#include "cli/file_args.h"
#include "cli/host_checks.h"
#include "cli/options.h"
#include "cli/verbs.h"
#include "image/host_files.h"
#include "image/image_basics.h"
#include "image/journal.h"
#include "image/sector_transfer.h"
#include "texts/texts.h"
#include "transfer/convention_guard.h"
#include "volume/layout.h"

namespace cli {
namespace {

struct PatchOptions {
  ChangeOptions change;
  std::string track, sector, host;
};

// The whole host file, or false when it cannot be read.
bool ReadHost(const std::string& path, std::vector<uint8_t>* bytes) {
  std::FILE* file = PlatformOpenHostFile(path.c_str(), "rb");
  if (!file) return false;
  uint8_t chunk[4096];
  size_t got;
  while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0 &&
         bytes->size() <= static_cast<size_t>(kLastSectorIndex + 1) * kSectorBytes)
    bytes->insert(bytes->end(), chunk, chunk + got);
  const bool ok = !std::ferror(file);
  std::fclose(file);
  return ok;
}

int RunPatch(const PatchOptions& options) {
  const long trackNumber = ParseNumber(options.track), sectorNumber = ParseNumber(options.sector);
  if (trackNumber > 255 || sectorNumber > 255 ||
      !SectorAddressValid(static_cast<int>(trackNumber), static_cast<int>(sectorNumber))) {
    console::Note("Trk " + options.track + " Sct " + options.sector +
                  ": give tracks 0-83, sectors 1-16");
    return kExitUsage;
  }
  const int track = static_cast<int>(trackNumber), sector = static_cast<int>(sectorNumber);
  if (StartChange(options.change) != 0) return kExitFailed;
  std::vector<uint8_t> bytes;
  if (!ReadHost(options.host, &bytes)) {
    console::Note(options.host + ": cannot read the file");
    return kExitFailed;
  }
  const std::string host = console::ArgumentToCp932(options.host);
  const int first = SectorIndex(track, sector);
  const long count = static_cast<long>(bytes.size() / kSectorBytes);
  char text[kPathCapacity + 512], textEn[kPathCapacity + 512];  // the host path and the words
  if (bytes.empty() || bytes.size() % kSectorBytes != 0) {
    std::snprintf(text, sizeof text, kMsgPatchBadSize, host.c_str(),
                  static_cast<long>(bytes.size()));
    std::snprintf(textEn, sizeof textEn, kMsgPatchBadSizeEn, options.host.c_str(),
                  static_cast<long>(bytes.size()));
    PrintMessage(kCaptionPatch, text, textEn);
    return kExitFailed;
  }
  if (first + count - 1 > kLastSectorIndex) {
    std::snprintf(text, sizeof text, kMsgPatchOutside, track, sector, static_cast<int>(count));
    std::snprintf(textEn, sizeof textEn, kMsgPatchOutsideEn, track, sector,
                  static_cast<int>(count));
    PrintMessage(kCaptionPatch, text, textEn);
    return kExitFailed;
  }
  ImageTarget target;
  target = Disk().target;
  Outcome out;
  OutcomeClear(&out);
  if (RefuseChange(&out, &target) != 0) {
    PrintOutcome(out);
    return kExitFailed;
  }
  const SectorRun run{track, sector, static_cast<int>(bytes.size())};
  if (ImageCarriesRuns(&target, &run, 1) != 1) {
    std::snprintf(text, sizeof text, kMsgPatchMissing, track, sector, static_cast<int>(count));
    std::snprintf(textEn, sizeof textEn, kMsgPatchMissingEn, track, sector,
                  static_cast<int>(count));
    PrintMessage(kCaptionPatch, text, textEn);
    return kExitFailed;
  }
  std::snprintf(text, sizeof text, kMsgPatchConfirm, track, sector, static_cast<int>(count),
                host.c_str());
  std::snprintf(textEn, sizeof textEn, kMsgPatchConfirmEn, track, sector, static_cast<int>(count),
                options.host.c_str());
  if (!console::Ask(text, textEn, kCaptionConfirm)) return kExitFailed;
  int result = BeginImageChange(&out, &target);
  if (result == 0) {
    const int status =
        WriteSectors(&target, bytes.data(), track, sector, static_cast<int>(bytes.size()));
    if (status != kImageOk) {
      ImageAbortChange(target.change);
      SayText(&out, kCaptionWrite, ImageStatusText(status), ImageStatusText(status));
      result = -1;
    } else {
      result = CommitImageChange(&out, target.change);
    }
  }
  if (result == 0) Say(&out, kCaptionPatch, kMsgPatchDone, track, sector, static_cast<int>(count));
  return EndFileChange(result, out) == 0 ? kExitOk : kExitFailed;
}

}  // namespace

Verb AddPatch(CLI::App& app) {
  auto options = std::make_shared<PatchOptions>();
  CLI::App* command = app.add_subcommand(
      "patch", "Write a host file of whole sectors as volume bytes from a sector on (one change)");
  AddChangeOptions(command, &options->change);
  command->add_option("TRACK", options->track, "Track 0-83 (decimal, or hex with 0x)")
      ->required()
      ->check(CheckNumber);
  command->add_option("SECTOR", options->sector, "Sector 1-16")->required()->check(CheckNumber);
  command
      ->add_option("HOSTFILE", options->host,
                   "The bytes to write: a whole number of 256-byte sectors")
      ->required()
      ->check(kExistingHostFile);
  return {command, [options]() { return RunPatch(*options); }};
}

}  // namespace cli
