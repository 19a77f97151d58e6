// zelvo pack: a new image built from a manifest (zelvo-disk.json) and its files, in one change.
#include <CLI/CLI.hpp>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "cli/cli.h"
#include "cli/manifest_json.h"
#include "cli/options.h"
#include "cli/verbs.h"
#include "image/container.h"
#include "image/host_files.h"
#include "image/image_file.h"
#include "image/image_select.h"
#include "texts/texts.h"
#include "transfer/new_image.h"

namespace cli {
namespace {

struct PackOptions {
  std::string folder;
  std::string image;
  std::string mode;
  std::string layout;
  bool keepPlaces = false;
  bool force = false;
};

// The whole text of a host file, or false.
bool ReadText(const std::string& path, std::string* text) {
  std::FILE* file = PlatformOpenHostFile(path.c_str(), "rb");
  if (!file) return false;
  char buffer[4096];
  size_t got;
  while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) text->append(buffer, got);
  const bool ok = std::ferror(file) == 0;
  std::fclose(file);
  return ok;
}

// The format --layout names, or the image's extension's; -1 for neither.
int ChosenFormat(const PackOptions& options) {
  if (options.layout.empty()) return FormatForPath(options.image.c_str());
  for (int format = 0; ContainerFormatName(format); format++)
    if (Lower(ContainerFormatName(format)) == Lower(options.layout)) return format;
  return -1;
}

int RunPack(const PackOptions& options) {
  console::Settings settings;
  StartSession(settings, options.mode, false);
  const int format = ChosenFormat(options);
  if (format < 0) {
    Report(kCaptionExtension, kMsgBadExtension);
    return kExitFailed;
  }
  Outcome out;
  OutcomeClear(&out);
  std::string text;
  const std::string manifestPath = options.folder + "/" + kManifestName;
  auto manifest = std::make_unique<PackManifest>();
  if (!ReadText(manifestPath, &text)) {
    SayPackRefused(&out, -1, manifestPath.c_str(), kPackFileMissing);
    Report(out);
    return kExitFailed;
  }
  ManifestSource source;
  if (ManifestFromJson(text, manifest.get(), &source, &out) != 0) {
    Report(out);
    return kExitFailed;
  }
  const std::string mode = !options.mode.empty() ? Lower(options.mode) : source.convention;
  auto work = std::make_unique<PackWork>();
  if (PackVolume(*manifest, options.folder.c_str(), options.keepPlaces, work.get(), &out) != 0) {
    Report(out);
    return kExitFailed;
  }
  NewImageRequest request = {};
  request.path = options.image.c_str();
  request.imageFormat = format;
  request.machineMode = mode == "pc" ? kModePc : kModeMz;
  std::memcpy(request.volume.date, manifest->systemArea + kSysDate, 3);
  request.replace = options.force;
  request.change = &Disk().change;
  request.prepared = work->volume;
  // The disk name a container header keeps: the manifest's, else the volume's.
  std::memcpy(request.volume.diskName, manifest->systemArea + kSysDiskName, kSysDiskNameMax);
  request.volume.diskName[kSysDiskNameMax] = '\0';
  request.containerName = manifest->containerName[0] ? manifest->containerName : nullptr;
  const bool existed = ImageFileExists(options.image.c_str()) == 1;
  const int made = MakeNewImage(&out, request);
  Report(out);
  if (made != 0) {
    if (existed && !options.force) console::Note("pass --force to replace it");
    return kExitFailed;
  }
  PrintWrittenPath(options.image);
  return kExitOk;
}

}  // namespace

Verb AddPack(CLI::App& app) {
  auto options = std::make_shared<PackOptions>();
  CLI::App* command = app.add_subcommand(
      "pack", "Build a new IMAGE from DIR's manifest (zelvo-disk.json) and files, in one change");
  command
      ->add_option("--mode", options->mode,
                   "Recording convention (default: the manifest's, else mz)")
      ->check(CLI::IsMember({"mz", "pc"}, CLI::ignore_case))
      ->type_name("mz|pc");
  command
      ->add_option("--layout", options->layout, "The container (default: from IMAGE's extension)")
      ->check(CLI::IsMember({"2d", "d20", "d88", "imd", "hfe"}, CLI::ignore_case))
      ->type_name("2d|d20|d88|imd|hfe");
  command->add_flag("--keep-places", options->keepPlaces,
                    "Each file at its recorded track and sector, each slot in its recorded place");
  command->add_flag("--force", options->force, "Replace an existing IMAGE");
  AddWait(command);
  AddQuiet(command);
  command->add_option("DIR", options->folder, "The folder holding zelvo-disk.json and the files")
      ->required();
  command->add_option("IMAGE", options->image, "The new image: " + ImageExtensionList())
      ->required();
  return {command, [options]() { return RunPack(*options); }};
}

}  // namespace cli
