// zelvo unpack: every file of a volume into a folder, with the manifest that builds it again.
#include <CLI/CLI.hpp>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "cli/file_args.h"
#include "cli/manifest_json.h"
#include "cli/options.h"
#include "cli/verbs.h"
#include "image/container.h"
#include "texts/texts.h"
#include "transfer/export.h"

namespace cli {
namespace {

struct UnpackOptions {
  std::string image;
  std::string folder;
  std::string mode;
  std::string codes;
  bool force = false;
};

std::filesystem::path HostPath(const std::string& text) {
  return std::filesystem::path(reinterpret_cast<const char8_t*>(text.c_str()));
}

// Writes bytes into folder/name. 0, or -1 after a note.
int WriteInto(const std::string& folder, const std::string& name, const uint8_t* data,
              long length) {
  const std::string path = folder + "/" + name;
  if (WriteHostFile(path.c_str(), data, length) == 0) return 0;
  console::Note(path + ": cannot be written");
  return -1;
}

std::string LowerExtension(const std::string& image) {
  const size_t dot = image.find_last_of('.');
  const size_t slash = image.find_last_of("/\\");
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return "";
  return Lower(image.substr(dot));
}

int RunUnpack(const UnpackOptions& options) {
  console::Settings settings;
  StartSession(settings, options.mode, false);
  if (LoadTables(options.codes) != 0) return kExitFailed;
  if (OpenImage(options.image) != 0) return kExitFailed;

  std::error_code error;
  const auto folder = HostPath(options.folder);
  if (std::filesystem::exists(folder, error) && !std::filesystem::is_empty(folder, error) &&
      !options.force) {
    console::Note(options.folder + ": the folder is not empty (pass --force to write into it)");
    return kExitFailed;
  }
  std::filesystem::create_directories(folder, error);
  if (!std::filesystem::is_directory(folder, error)) {
    console::Note(options.folder + ": cannot be made a folder");
    return kExitFailed;
  }

  auto manifest = std::make_unique<PackManifest>();
  std::vector<uint8_t> boot(kBootBytes);
  ImageTarget target;
  target = Disk().target;
  Outcome out;
  OutcomeClear(&out);
  if (UnpackVolume(&target, &Disk().volume, manifest.get(), boot.data(), &out) != 0) {
    Report(out);
    return kExitFailed;
  }
  // The D88 header's name, kept for pack.
  ImageDisk disks[kMaxImageDisks];
  const int count = ImageListDisks(&target, disks, kMaxImageDisks);
  if (count > 0 && Disk().target.diskIndex < count)
    std::snprintf(manifest->containerName, sizeof manifest->containerName, "%s",
                  disks[Disk().target.diskIndex].name);

  std::vector<int> live;
  for (int i = 0; i < manifest->count; i++)
    if (manifest->slots[i].file) live.push_back(manifest->slots[i].slot);
  const std::vector<std::string> names = DefaultHostNames(live);
  std::vector<std::string> shown(static_cast<size_t>(manifest->count));
  size_t next = 0;
  for (int i = 0; i < manifest->count; i++) {
    PackSlot& slot = manifest->slots[i];
    if (!slot.file) continue;
    const std::string host = console::Cp932ToHostPath(names[next++]);
    std::snprintf(slot.host, sizeof slot.host, "%s", host.c_str());
    shown[static_cast<size_t>(i)] = console::Cp932ToUtf8(PlainName(slot.slot));
    ExportFile file;
    ExportFileOfEntry(slot.entry, Disk().tables.TBL1, &file);
    const uint8_t* data = nullptr;
    long length = 0;
    if (ReadFileData(&target, &file, false, Disk().tables.TBL2, &data, &length, &out) != 0) {
      Report(out);
      return kExitFailed;
    }
    if (WriteInto(options.folder, host, data, length) != 0) return kExitFailed;
  }
  std::snprintf(manifest->boot, sizeof manifest->boot, "%s", kBootFileName);
  if (WriteInto(options.folder, kBootFileName, boot.data(), kBootBytes) != 0) return kExitFailed;

  ManifestSource source;
  source.container = LowerExtension(options.image);
  source.layout = FormatName(Disk().format);
  source.convention = Disk().target.machineMode == kModePc ? "pc" : "mz";
  source.disk = Disk().target.diskIndex;
  const std::string json = ManifestToJson(*manifest, source, shown);
  if (WriteInto(options.folder, kManifestName, reinterpret_cast<const uint8_t*>(json.data()),
                static_cast<long>(json.size())) != 0)
    return kExitFailed;
  PrintWrittenPath(options.folder + "/" + kManifestName);
  return kExitOk;
}

}  // namespace

Verb AddUnpack(CLI::App& app) {
  auto options = std::make_shared<UnpackOptions>();
  CLI::App* command = app.add_subcommand(
      "unpack", "Write every file of IMAGE into DIR with a manifest (zelvo-disk.json) for pack");
  AddMode(command, &options->mode);
  AddCodes(command, &options->codes);
  command->add_flag("--force", options->force, "Write into a DIR that is not empty");
  AddImage(command, &options->image);
  command->add_option("DIR", options->folder, "The folder to write (made when missing)")
      ->required();
  return {command, [options]() { return RunUnpack(*options); }};
}

}  // namespace cli
