#include "flows/volume_load.h"

#include <cstdio>
#include <cstring>

#include "flows/app_image.h"
#include "flows/app_state.h"
#include "flows/volume_view.h"
#include "image/change_history.h"
#include "image/container.h"
#include "image/journal.h"
#include "texts/texts.h"
#include "transfer/convention_guard.h"
#include "view/directory_list.h"
#include "view/info_panel.h"
#include "view/status_bar.h"
#include "volume/identify.h"
#include "volume/layout.h"
#include "volume/volume_basis.h"

namespace {

// The image held open for one load: opened once, its header and records read in a few reads.
ImageSession Session;

// After the path, in a file of several disks: the disk's number, the count and its name.
void DiskTitleSuffix(const ImageTarget* target, char* suffix, int capacity) {
  ImageDisk disks[kMaxImageDisks];
  const int count = ImageListDisks(target, disks, kMaxImageDisks);
  const char* name = count > App.DiskIndex ? disks[App.DiskIndex].name : "";
  std::snprintf(suffix, static_cast<size_t>(capacity), WindowText(kTitleDiskSuffix), App.DiskIndex,
                App.DiskCount, name);
}

void ShowPanel() {
  char text[kPanelTextCapacity];
  BuildInfoText(text);
  PlatformSetWindowText(App.PanelWindow, text);
}

// Import stays greyed on a write-protected disk.
void EnableVolumeCommands(WindowHandle window, bool enabled) {
  MenuEnableItem(window, kCmdExport, enabled);
  MenuEnableItem(window, kCmdExportToFolder, enabled);
  MenuEnableItem(window, kCmdImport, enabled && !App.WriteProtected);
}

// When the image reads clearly as recorded under the other convention, the outcome part says so
// and names the command that switches; when it reads as a volume under neither, it says that.
// What the load's identification found; one load at a time, too large for a window's stack.
Identification LoadIdentification;

const char* ConventionHint(const ImageTarget* target) {
  Identification& id = LoadIdentification;
  if (IdentifyImage(target, App.ImageFormat, &id) != 0) {
    id.healthKnown = false;
    return "";
  }
  if (!id.conventions[kModeMz].volume && !id.conventions[kModePc].volume) return kStatusNotVolume;
  const int other = OtherConvention(id, App.MachineMode);
  if (other == kVerdictNone) return "";
  return other == kModePc ? kStatusLooksLikePc : kStatusLooksLikeMz;
}

// Reads the system area and the directory of the target; 0, or -1 after a message.
int ReadVolume(WindowHandle window, const ImageTarget* target) {
  if (ReadSectorsShown(window, target, App.SystemArea, kSystemAreaTrack, kSystemAreaSector,
                       kSystemAreaBytes) != 0)
    return -1;
  ShowPanel();  // also decides, through the EXDIR rule, whether an extended directory follows
  std::memset(App.DirectoryBuffer, 0, sizeof App.DirectoryBuffer);
  if (ReadSectorsShown(window, target, App.DirectoryBuffer, kDirectoryTrack, kDirectorySector,
                       kDirectoryHalfBytes) != 0)
    return -1;
  if (App.ExdirPresent == 1 &&
      ReadSectorsShown(window, target, App.DirectoryBuffer + kDirectoryHalfBytes, App.ExdirTrack,
                       App.ExdirSector, kDirectoryHalfBytes) != 0)
    return -1;
  // A change planned on what the window shows (the check's repair, a restore) is refused at its
  // commit when another program changed the volume since.
  NoteVolumeBasis(&App, target);
  return 0;
}

}  // namespace

void UpdateUndoCommands(WindowHandle window) {
  MenuEnableItem(window, kCmdUndo, ChangeHistoryCanUndo(App.History));
  MenuEnableItem(window, kCmdRedo, ChangeHistoryCanRedo(App.History));
}

void LoadVolume(WindowHandle window) {
  const int rows = ListRowCount(App.ListWindow);
  for (int row = rows - 1; row >= 0; row--)
    if (!ListDeleteRow(App.ListWindow, row))
      PlatformMessageBox(window, kMsgDeleteItemFailed, kCaptionError, kMbOk);
  App.WriteProtected = 0;
  EnableVolumeCommands(window, false);
  UpdateUndoCommands(window);
  App.VolumeLoaded = 0;
  ShowActionStatus(window, "");

  // A journal left by an interrupted change is settled first; then the image is held open for the
  // rest of the load.
  ImageTarget target;
  AppImageTarget(&target);
  const bool recovered = ImageRecoverJournal(window, App.ImagePath) == 0;
  if (recovered) {
    ImageSessionOpen(&Session, target.path);
    target.session = &Session;
  }
  if (!recovered || ReadVolume(window, &target) != 0) {
    ImageSessionClose(&Session);
    size_t clear = App.DirectoryBytes;
    if (clear > sizeof App.DirectoryBuffer) clear = sizeof App.DirectoryBuffer;
    std::memset(App.DirectoryBuffer, 0, clear);
    PlatformSetWindowTitle(window, kProgramTitle, nullptr, nullptr);
    FillDirectoryList();
    ShowPanel();
    ListFilled(App.ListWindow);
    ShowVolumeStatus(window);
    return;
  }

  // The program's name and the path are texts of two code pages: the platform converts each.
  // The title names the open image, also after an import has left a host file's name in
  // ChosenPath.
  char name[sizeof kProgramTitle + 3];
  std::snprintf(name, sizeof name, "%s - ", WindowText(kProgramTitle));
  char path[kWindowPathCapacity];
  std::snprintf(path, sizeof path, "%.*s",
                static_cast<int>(strnlen(App.ImagePath, kWindowPathCapacity - 1)), App.ImagePath);
  char suffix[64] = "";
  if (App.DiskCount > 1) DiskTitleSuffix(&target, suffix, sizeof suffix);
  App.WriteProtected = ImageWriteProtected(&target) ? 1 : 0;
  const char* hint = ConventionHint(&target);
  ImageSessionClose(&Session);
  PlatformSetWindowTitle(window, name, path, suffix);
  EnableVolumeCommands(window, true);
  App.VolumeLoaded = 1;
  FillDirectoryList();
  ShowPanel();
  ListFilled(App.ListWindow);
  ShowVolumeStatus(window);
  // Files on sectors a dump recorded as bad, or that the image lacks, are counted after the load.
  // The identification read every sector's health already: under MZ, turned for PC.
  static VolumeHealth health;
  static FileDamage damage;
  static char damaged[kStatusCapacity];
  bool known = false;
  if (hint && *hint) {
    // The hint about the convention comes first.
  } else if (LoadIdentification.healthKnown) {
    health = LoadIdentification.health;
    if (App.MachineMode == kModePc) SwapHealthSides(&health);
    const VolumeView view{App.SystemArea,   App.DirectoryBuffer, App.EntryCount,
                          App.ExdirPresent, App.ExdirTrack,      App.ExdirSector};
    CountFileDamage(view, health, &damage);
    known = true;
  } else {
    known = LoadedFileDamage(&health, &damage) == 0;
  }
  if (known && damage.files > 0) {
    std::snprintf(damaged, sizeof damaged, WindowText(kStatusDamagedFiles), damage.files);
    hint = damaged;
  }
  ShowActionStatus(window, hint);
}
