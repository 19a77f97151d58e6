#include "app/list_selection.h"

#include <windows.h>

#include <cstring>
// After windows.h:
#include <commctrl.h>

#include "flows/app_state.h"
#include "platform/platform.h"
#include "platform/win32/win32_controls.h"
#include "volume/file_ops.h"

void SelectOnly(int row) {
  HWND list = static_cast<HWND>(App.ListWindow);
  LVITEMW item{};
  item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
  SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&item));
  const int rows = ListRowCount(App.ListWindow);
  if (rows == 0) return;
  if (row >= rows) row = rows - 1;
  if (row < 0) row = 0;
  const int shown = ListShownIndex(list, row);
  if (shown < 0) return;
  item.state = LVIS_SELECTED | LVIS_FOCUSED;
  SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(shown), reinterpret_cast<LPARAM>(&item));
  SendMessageW(list, LVM_ENSUREVISIBLE, static_cast<WPARAM>(shown), FALSE);
}

int ListFills() { return ListFillCount(static_cast<HWND>(App.ListWindow)); }

bool Refilled(int fills) { return ListFills() != fills; }

void RememberSelection(SelectionMemo* memo) {
  static_assert(sizeof memo->directory == sizeof App.DirectoryBuffer);
  std::memcpy(memo->directory, App.DirectoryBuffer, sizeof memo->directory);
  memo->entryCount = App.EntryCount;
  memo->row = App.VolumeLoaded ? ListFirstSelected(App.ListWindow) : -1;
  memo->slot = memo->row >= 0 ? SlotOfRow(App.DirectoryBuffer, App.EntryCount, memo->row) : -1;
  memo->fills = ListFills();
}

void RestoreSelection(const SelectionMemo& memo) {
  if (!App.VolumeLoaded) return;
  if (!Refilled(memo.fills) && ListFirstSelected(App.ListWindow) != -1) return;
  int slot = FirstChangedSlot(memo.directory, App.DirectoryBuffer, App.EntryCount);
  if (slot < 0) slot = memo.slot;
  const int row = slot >= 0 ? RowOfUsedSlot(App.DirectoryBuffer, App.EntryCount, slot) : -1;
  if (row >= 0)
    SelectOnly(row);
  else if (memo.row >= 0)
    SelectOnly(memo.row);
}
