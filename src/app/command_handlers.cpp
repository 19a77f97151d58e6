#include "app/command_handlers.h"

#include <commctrl.h>

#include <string>
#include <vector>

#include "app/command_table.h"
#include "app/import_many.h"
#include "app/list_selection.h"
#include "app/main_window.h"
#include "flows/app_state.h"
#include "flows/batch_export.h"
#include "flows/delete_files.h"
#include "flows/disk_chooser.h"
#include "flows/edit_attributes.h"
#include "flows/export.h"
#include "flows/identify_command.h"
#include "flows/import.h"
#include "flows/new_image.h"
#include "flows/open_image.h"
#include "flows/restore_deleted.h"
#include "flows/sector_view.h"
#include "flows/undo.h"
#include "flows/volume_load.h"
#include "flows/volume_view.h"
#include "image/change_history.h"
#include "image/image_select.h"
#include "platform/platform.h"
#include "resources/resource.h"
#include "transfer/batch_export.h"
#include "transfer/export.h"
#include "transfer/identify_command.h"
#include "transfer/import.h"
#include "transfer/new_image.h"
#include "view/check_report.h"
#include "view/status_bar.h"
#include "volume/file_ops.h"

namespace commands {
namespace {

void SetMachineMode(HWND window, int mode) {
  App.MachineMode = mode;
  ChangeHistoryClear(App.History);  // the changes were made under the other convention
  UpdateWindowCommands(window);
  MenuCheckItem(window, kCmdMz, mode == kModeMz);
  MenuCheckItem(window, kCmdPc, mode == kModePc);
  ShowModeStatus(window);
  if (ListRowCount(App.ListWindow) != 0) LoadVolume(window);
}

void SetTransferMode(HWND window, int mode) {
  App.TransferMode = mode;
  MenuCheckItem(window, kCmdBinary, mode == kTransferBinary);
  MenuCheckItem(window, kCmdAscii, mode == kTransferAscii);
  ShowModeStatus(window);
}

}  // namespace

void New(HWND window) { NewImageCommand(window); }

void Open(HWND window) { OpenImageCommand(window); }

// The first selected row; with several selected the status line says so and names the command
// that exports all of them.
void Export(HWND window) {
  const int row = ListFirstSelected(App.ListWindow);
  if (row == -1) return;
  int selected = 0;
  for (int r = row; r != -1; r = ListNextSelected(App.ListWindow, r)) ++selected;
  ExportSelectedFile(window, row, selected);
}

void ExportToFolder(HWND window) { ExportSelectedToFolder(window); }

// The reload after an import selects the imported file.
void Import(HWND window) {
  static SelectionMemo memo;
  RememberSelection(&memo);
  ImportHostFile(window);
  RestoreSelection(memo);
}

void ImportMany(HWND window) {
  std::vector<std::string> paths;
  if (!ChooseHostFiles(window, &paths)) return;
  static SelectionMemo memo;
  RememberSelection(&memo);
  DroppedHostFiles(window, paths);
  RestoreSelection(memo);
}

void SelectAll(HWND) {
  if (!App.VolumeLoaded) return;
  HWND list = static_cast<HWND>(App.ListWindow);
  LVITEMW item{};
  item.stateMask = LVIS_SELECTED;
  item.state = LVIS_SELECTED;
  SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&item));
}

void Check(HWND window) {
  if (App.VolumeLoaded) ShowVolumeCheck(window);
}

// The reload keeps the same file selected.
void Reload(HWND window) {
  if (App.ImagePath[0] == '\0' || !WindowCommandEnabled(IDM_OPEN)) return;
  static SelectionMemo memo;
  RememberSelection(&memo);
  LoadVolume(window);
  RestoreSelection(memo);
}

void ChooseDisk(HWND window) { ChooseDiskCommand(window); }

void Quit(HWND window) { SendMessageW(window, WM_CLOSE, 0, 0); }

// After undo and redo the file the step restored or changed is selected, else the same file.
void Undo(HWND window) {
  static SelectionMemo memo;
  RememberSelection(&memo);
  UndoLastChange(window);
  RestoreSelection(memo);
}

void Redo(HWND window) {
  static SelectionMemo memo;
  RememberSelection(&memo);
  RedoLastChange(window);
  RestoreSelection(memo);
}

// After a delete the row that followed the first deleted one is selected (or the new last row);
// a refusal that loaded the volume again selects the first selected row again.
void Delete(HWND window) {
  const int first = ListFirstSelected(App.ListWindow);
  if (first == -1) return;
  const int fills = ListFills();
  DeleteSelectedFiles(window);
  if (App.VolumeLoaded && (Refilled(fills) || ListFirstSelected(App.ListWindow) == -1))
    SelectOnly(first);
}

void Attributes(HWND window) {
  const int row = ListFirstSelected(App.ListWindow);
  if (row != -1) AttributesOfRow(window, row);
}

// The restored file is selected.
void RestoreDeleted(HWND window) {
  static SelectionMemo memo;
  RememberSelection(&memo);
  RestoreDeletedFile(window);
  RestoreSelection(memo);
}

void SectorView(HWND window) { ShowSectorView(window, 0, 1); }

void FileSectors(HWND window) {
  const int row = ListFirstSelected(App.ListWindow);
  if (row == -1 || App.VolumeLoaded != 1) return;
  ShowFileSectors(window, SlotOfRow(App.DirectoryBuffer, App.EntryCount, row));
}

void AttributesOfRow(HWND window, int row) {
  const int slot = SlotOfRow(App.DirectoryBuffer, App.EntryCount, row);
  if (slot < 0) return;
  const int fills = ListFills();
  EditFileAttributes(window, slot, false);
  if (Refilled(fills) || ListFirstSelected(App.ListWindow) == -1) {
    const int now = RowOfUsedSlot(App.DirectoryBuffer, App.EntryCount, slot);
    SelectOnly(now >= 0 ? now : row);
  }
}

void English(HWND window) {
  App.English = App.English ? 0 : 1;
  ShowWindowLanguage(window);
}

void Mz(HWND window) { SetMachineMode(window, kModeMz); }

void Pc(HWND window) { SetMachineMode(window, kModePc); }

// The convention found is switched to and the image read again under it.
void Identify(HWND window) {
  const int mode = IdentifyImageCommand(window);
  if (mode < 0) return;
  const bool reloads = ListRowCount(App.ListWindow) != 0;
  SetMachineMode(window, mode);
  if (!reloads) LoadVolume(window);
}

void Binary(HWND window) { SetTransferMode(window, kTransferBinary); }

void Ascii(HWND window) { SetTransferMode(window, kTransferAscii); }

void About(HWND window) {
  DialogBoxParamW(static_cast<HINSTANCE>(App.Instance), MAKEINTRESOURCEW(IDD_ABOUT), window,
                  AboutDlgProc, 0);
}

}  // namespace commands
