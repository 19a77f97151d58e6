#include "flows/volume_load.h"

#include <cstdio>
#include <cstring>

#include "flows/volume_view.h"
#include "image/change_history.h"
#include "image/d88_disks.h"
#include "image/journal.h"
#include "image/sector_transfer.h"
#include "texts/texts.h"
#include "view/directory_list.h"
#include "view/info_panel.h"
#include "view/status_bar.h"
#include "volume/app_state.h"
#include "volume/layout.h"

namespace {

// After the path, in a file of several disks: the disk's number, the count and its name.
void DiskTitleSuffix(char* suffix, int capacity) {
  D88Disk disks[kD88MaxDisks];
  const int count = D88ListDisksAt(App.ImagePath, disks, kD88MaxDisks);
  const char* name = count > App.DiskIndex ? disks[App.DiskIndex].name : "";
  std::snprintf(suffix, static_cast<size_t>(capacity), kTitleDiskSuffix, App.DiskIndex,
                App.DiskCount, name);
}

void ShowPanel() {
  char text[kPanelTextCapacity];
  BuildInfoText(text);
  PlatformSetWindowText(App.PanelWindow, text);
}

void EnableVolumeCommands(WindowHandle window, bool enabled) {
  MenuEnableItem(window, kCmdExport, enabled);
  MenuEnableItem(window, kCmdExportToFolder, enabled);
  MenuEnableItem(window, kCmdImport, enabled);
}

// Settles a journal left by an interrupted change, then reads the system area and the
// directory; 0, or -1 after a message.
int ReadVolume(WindowHandle window) {
  if (ImageRecoverJournal(window, App.ImagePath) != 0) return -1;
  if (ZLV_ReadZelvoFile(window, App.SystemArea, kSystemAreaTrack, kSystemAreaSector,
                        kSystemAreaBytes) != 0)
    return -1;
  ShowPanel();  // also decides, through the EXDIR rule, whether an extended directory follows
  std::memset(App.DirectoryBuffer, 0, sizeof App.DirectoryBuffer);
  if (ZLV_ReadZelvoFile(window, App.DirectoryBuffer, kDirectoryTrack, kDirectorySector,
                        kDirectoryHalfBytes) != 0)
    return -1;
  if (App.ExdirPresent == 1 &&
      ZLV_ReadZelvoFile(window, App.DirectoryBuffer + kDirectoryHalfBytes, App.ExdirTrack,
                        App.ExdirSector, kDirectoryHalfBytes) != 0)
    return -1;
  return 0;
}

}  // namespace

void UpdateUndoCommands(WindowHandle window) {
  MenuEnableItem(window, kCmdUndo, ChangeHistoryCanUndo());
  MenuEnableItem(window, kCmdRedo, ChangeHistoryCanRedo());
}

void LoadVolume(WindowHandle window) {
  const int rows = ListRowCount(App.ListWindow);
  for (int row = rows - 1; row >= 0; row--)
    if (!ListDeleteRow(App.ListWindow, row))
      PlatformMessageBox(window, kMsgDeleteItemFailed, kCaptionError, kMbOk);
  EnableVolumeCommands(window, false);
  UpdateUndoCommands(window);
  App.VolumeLoaded = 0;

  if (ReadVolume(window) != 0) {
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
  std::snprintf(name, sizeof name, "%s - ", kProgramTitle);
  char path[kPathCapacity];
  std::snprintf(path, sizeof path, "%.*s",
                static_cast<int>(strnlen(App.ImagePath, kPathCapacity - 1)), App.ImagePath);
  char suffix[64] = "";
  if (App.DiskCount > 1) DiskTitleSuffix(suffix, sizeof suffix);
  PlatformSetWindowTitle(window, name, path, suffix);
  EnableVolumeCommands(window, true);
  App.VolumeLoaded = 1;
  FillDirectoryList();
  ShowPanel();
  ListFilled(App.ListWindow);
  ShowVolumeStatus(window);
}
