#include "app/list_selection.h"

#include <windows.h>
// After windows.h:
#include <commctrl.h>

#include "flows/app_state.h"
#include "platform/platform.h"
#include "platform/win32/win32_controls.h"

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
