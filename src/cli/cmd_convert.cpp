// zelvo convert: a copy of an image in another container, and in the other convention if asked.
#include <CLI/CLI.hpp>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include "cli/cli.h"
#include "cli/flux_summary.h"
#include "cli/options.h"
#include "cli/verbs.h"
#include "texts/texts.h"
#include "transfer/convert_image.h"
#include "transfer/volume_change.h"
#include "view/sector_owner.h"
#include "volume/layout.h"

namespace cli {
namespace {

struct ConvertOptions {
  std::string source;
  std::string target;
  std::string mode = "mz";
  std::string toMode;
  bool fill = false;
  bool strict = false;
  bool force = false;
};

// The source's last change, in UTC: the same input gives the same bytes on every machine.
ContainerStamp StampOf(const std::string& path) {
  ContainerStamp stamp{1980, 1, 1, 0, 0, 0};
  std::error_code error;
  const auto written = std::filesystem::last_write_time(
      std::filesystem::path(reinterpret_cast<const char8_t*>(path.c_str())), error);
  if (error) return stamp;
  const long long seconds = std::chrono::duration_cast<std::chrono::seconds>(
                                std::chrono::file_clock::to_sys(written).time_since_epoch())
                                .count();
  // Days since 1970-01-01 to a civil date.
  long long days = seconds / 86400;
  long long rest = seconds % 86400;
  if (rest < 0) rest += 86400, days--;
  days += 719468;
  const long long era = (days >= 0 ? days : days - 146096) / 146097;
  const long long dayOfEra = days - era * 146097;
  const long long yearOfEra =
      (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const long long dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const long long mp = (5 * dayOfYear + 2) / 153;
  stamp.day = static_cast<int>(dayOfYear - (153 * mp + 2) / 5 + 1);
  stamp.month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  stamp.year = static_cast<int>(yearOfEra + era * 400 + (stamp.month <= 2));
  stamp.hour = static_cast<int>(rest / 3600);
  stamp.minute = static_cast<int>(rest / 60 % 60);
  stamp.second = static_cast<int>(rest % 60);
  return stamp;
}

// The sectors of the source that a file or the volume's structures need and that the source
// records as bad or lacks, a line each as check says them; how many. The copy keeps them as they
// were read.
int ReportHurt() {
  ImageTarget target;
  target = Disk().target;
  auto volume = std::make_unique<VolumeState>();
  auto health = std::make_unique<VolumeHealth>();
  Outcome ignored;
  OutcomeClear(&ignored);
  if (ReadVolumeState(&ignored, &target, volume.get()) != 0 ||
      ReadVolumeHealth(&target, health.get()) != 0)
    return 0;
  const VolumeView view{volume->SystemArea,   volume->DirectoryBuffer, volume->EntryCount,
                        volume->ExdirPresent, volume->ExdirTrack,      volume->ExdirSector};
  std::string text;
  int hurt = 0;
  for (int i = 0; i <= kLastSectorIndex; ++i) {
    const SectorHealth& h = health->sectors[i];
    const SectorOwner owner = FindSectorOwner(view, i);
    // Missing sectors of free space are the conversion's own note.
    if (h.state == kSectorSound || owner.kind >= kOwnerUnowned) continue;
    char verdict[128], owned[128], line[320];
    ComposeSectorVerdict(h, true, verdict, sizeof verdict);
    // convert loads no code tables: a file is named by its stored bytes, ASCII as it stands.
    if (owner.kind == kOwnerFile) {
      const uint8_t* name = volume->DirectoryBuffer + owner.slot * kEntryBytes + kEntryName;
      std::string shown;
      for (int k = 0; k < kEntryNameMax && name[k] != 0x0D && name[k] != 0; ++k)
        shown += name[k] >= 0x20 && name[k] < 0x7F ? static_cast<char>(name[k]) : '?';
      std::snprintf(owned, sizeof owned, kSectorOwnerFileEn, shown.c_str());
    } else {
      ComposeSectorOwner(view, owner, nullptr, true, owned, sizeof owned);
    }
    std::snprintf(line, sizeof line, kCheckLineBadSectorEn, i / kSectorsPerTrack,
                  i % kSectorsPerTrack + 1, verdict, owned);
    text += std::string(line) + "\n";
    hurt++;
  }
  if (hurt > 0) Print(text);
  return hurt;
}

int RunConvert(const ConvertOptions& options) {
  console::Settings settings;
  StartSession(settings, options.mode, false);
  // The source's convention as every reading verb chooses it.
  if (AimAtImage(options.source) != 0 || ChooseConvention(options.source, false) != 0)
    return kExitFailed;
  ConvertRequest request{};
  request.sourcePath = options.source.c_str();
  request.machineMode = Disk().target.machineMode;
  request.toMode = options.toMode.empty()          ? Disk().target.machineMode
                   : Lower(options.toMode) == "pc" ? kModePc
                                                   : kModeMz;
  request.disk = Choice().disk;
  request.fill = options.fill;
  request.strict = options.strict;
  request.replace = options.force;
  request.targetPath = options.target.c_str();
  request.stamp = StampOf(options.source);
  Outcome out;
  OutcomeClear(&out);
  const int result = ConvertImage(&out, request, nullptr);
  Report(out);
  Print(FluxSummary(options.source));
  if (result != 0) return kExitFailed;
  PrintWrittenPath(options.target);
  // The copy is written whole, so its good files are not lost; a hurt file still fails the run.
  return request.dryRun || ReportHurt() == 0 ? kExitOk : kExitFailed;
}

}  // namespace

Verb AddConvert(CLI::App& app) {
  auto options = std::make_shared<ConvertOptions>();
  CLI::App* command = app.add_subcommand(
      "convert",
      "Copy an image into another container (from DST's extension), saying what is lost");
  AddMode(command, &options->mode);
  command->add_option("--to-mode", options->toMode, "Convention of DST (default: the source's)")
      ->check(CLI::IsMember({"mz", "pc"}, CLI::ignore_case))
      ->type_name("mz|pc");
  command->add_flag("--fill", options->fill,
                    "A flat DST: write sectors the source lacks filled with 0xE5");
  command->add_flag("--strict", options->strict, "Refuse the conversion when anything is lost");
  command->add_flag("--force", options->force, "Replace an existing DST");
  command->add_option("SRC", options->source, "The image to convert: " + ImageExtensionList())
      ->required();
  command->add_option("DST", options->target, "The new image: " + ImageExtensionList())->required();
  return {command, [options]() { return RunConvert(*options); }};
}

}  // namespace cli
