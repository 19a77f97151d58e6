// Opening and listing an arbitrary image: every layout (by extension) and both conventions, an
// Open followed by the reload that the MZ/PC switch makes. The load may fail, never crash; the
// list, the panel and the menu must agree with what was loaded, and the image stays untouched.
#include <cstdint>
#include <cstring>
#include <string>

#include "flows/app_image.h"
#include "flows/disk_chooser.h"
#include "flows/open_image.h"
#include "flows/volume_load.h"
#include "fuzz/fuzz_support.h"
#include "platform/scripted/scripted.h"
#include "texts/texts.h"
#include "view/info_panel.h"
#include "volume/app_state.h"
#include "volume/identify.h"
#include "volume/layout.h"

namespace {

void CheckLoaded(const std::string& path) {
  using fuzz::Require;
  Require(App.EntryCount == 64 || App.EntryCount == 128, "entry count");
  Require(App.DirectoryBytes == static_cast<unsigned>(App.EntryCount) * kEntryBytes,
          "directory bytes");
  for (unsigned i = App.DirectoryBytes; i < kDirectoryBufferBytes; i++)
    Require(App.DirectoryBuffer[i] == 0, "directory buffer beyond the directory is not zero");
  const std::string panel = scripted::WindowText(scripted::kPanelWindow);
  Require(panel.size() < static_cast<size_t>(kPanelTextCapacity), "panel text too long");
  const int rows = static_cast<int>(scripted::Rows().size());
  if (App.VolumeLoaded == 1) {
    int used = 0;
    for (int slot = 0; slot < App.EntryCount; slot++)
      used += App.DirectoryBuffer[slot * kEntryBytes + kEntryType] != 0;
    Require(rows == used, "rows differ from the used slots");
    Require(scripted::Boxes().empty(), "a message after a successful load");
    Require(scripted::MenuEnabled(kCmdExport) && scripted::MenuEnabled(kCmdImport),
            "commands grey after a load");
    // A disk of several names its number and name after the path.
    const std::string title = scripted::WindowText(scripted::kMainWindow);
    const std::string expected = std::string(kProgramTitle) + " - " + path;
    Require(App.DiskCount > 1 ? title.rfind(expected + " [", 0) == 0 : title == expected, "title");
    for (const auto& row : scripted::Rows()) {
      Require(row[0].size() <= 32, "name cell too long");
      Require(row[7].size() == 2 && row[8].size() == 2, "track or sector cell");
    }
  } else {
    Require(App.VolumeLoaded == 0, "loaded flag");
    Require(rows == 0, "rows after a failed load");
    Require(!scripted::Boxes().empty(), "a failed load without a message");
    Require(!scripted::MenuEnabled(kCmdExport) && !scripted::MenuEnabled(kCmdImport),
            "commands enabled after a failed load");
    Require(scripted::WindowText(scripted::kMainWindow) == kProgramTitle, "title");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string image = fuzz::LinkedImage("open", {".2d", ".d20", ".d88"});
  fuzz::WriteImage(image, data, size);
  for (const char* extension : {".2d", ".d20", ".d88"}) {
    const std::string path = image + extension;
    fuzz::ResetApp();
    App.MachineMode = kModeMz;
    scripted::ChooseFile(path);
    // A file of several disks: the chooser takes the second one.
    scripted::DialogSelectCombo(kDiskComboId, 1);
    scripted::DialogCommand(kIdOk);
    OpenImageCommand(scripted::kMainWindow);
    CheckLoaded(path);
    // Identifying reads the same image under both conventions and changes nothing.
    static Identification id;
    if (IdentifyCurrentImage(scripted::kMainWindow, &id) == 0)
      fuzz::Require(id.verdict >= kVerdictNone && id.verdict <= kModePc, "verdict");
    // The MZ/PC switch reloads over the rows of the first load.
    scripted::ClearBoxes();
    App.MachineMode = kModePc;
    LoadVolume(scripted::kMainWindow);
    CheckLoaded(path);
  }
  const std::vector<uint8_t> after = fuzz::ReadImage(image);
  fuzz::Require(after.size() == size && (size == 0 || std::memcmp(after.data(), data, size) == 0),
                "opening changed the image");
  return 0;
}
