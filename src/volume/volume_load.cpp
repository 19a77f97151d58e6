#include "volume/volume_load.h"

#include <cstdio>
#include <cstring>

#include "image/sector_transfer.h"
#include "texts/texts.h"
#include "view/directory_list.h"
#include "view/info_panel.h"
#include "view/status_bar.h"
#include "volume/app_state.h"
#include "volume/layout.h"

namespace {

// The program title, " - " and a path of up to 259 characters.
constexpr int kTitleCapacity = sizeof kProgramTitle + 3 + kPathCapacity;

void ShowPanel() {
  char text[kPanelTextCapacity];
  BuildInfoText(text);
  PlatformSetWindowText(App.PanelWindow, text);
}

void EnableVolumeCommands(WindowHandle window, bool enabled) {
  MenuEnableItem(window, kCmdExport, enabled);
  MenuEnableItem(window, kCmdImport, enabled);
}

// Reads the system area and the directory; 0, or -1 after the reader's message.
int ReadVolume(WindowHandle window) {
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

void LoadVolume(WindowHandle window) {
  const int rows = ListRowCount(App.ListWindow);
  for (int row = rows - 1; row >= 0; row--)
    if (!ListDeleteRow(App.ListWindow, row))
      PlatformMessageBox(window, kMsgDeleteItemFailed, kCaptionError, kMbOk);
  EnableVolumeCommands(window, false);
  App.VolumeLoaded = 0;

  char title[kTitleCapacity];
  if (ReadVolume(window) != 0) {
    size_t clear = App.DirectoryBytes;
    if (clear > sizeof App.DirectoryBuffer) clear = sizeof App.DirectoryBuffer;
    std::memset(App.DirectoryBuffer, 0, clear);
    std::snprintf(title, sizeof title, "%s", kProgramTitle);
    PlatformSetWindowText(window, title);
    FillDirectoryList();
    ShowPanel();
    ListFilled(App.ListWindow);
    ShowVolumeStatus(window);
    return;
  }

  // The title names the open image, also after an import has left a host file's name in
  // ChosenPath.
  std::snprintf(title, sizeof title, "%s - %.*s", kProgramTitle,
                static_cast<int>(strnlen(App.ImagePath, kPathCapacity - 1)), App.ImagePath);
  PlatformSetWindowText(window, title);
  EnableVolumeCommands(window, true);
  App.VolumeLoaded = 1;
  FillDirectoryList();
  ShowPanel();
  ListFilled(App.ListWindow);
  ShowVolumeStatus(window);
}
