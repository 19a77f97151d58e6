// The platform layer on Win32: every box, dialog, list and menu call of the program.
//
// Texts arrive in code page 932 and are shown through the wide calls (see win32_text.h). The
// adapter keeps a copy of the bytes it was given for every list cell and dialog control, so that
// reading a text back returns exactly those bytes while the user has not changed it.
#include <windows.h>
// After windows.h:
#include <commctrl.h>
#include <commdlg.h>
#include <shlobj.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "flows/app_state.h"
#include "platform/platform.h"
#include "platform/win32/win32_controls.h"
#include "platform/win32/win32_text.h"
#include "texts/texts.h"
#include "view/directory_list.h"

namespace {

HWND AsWindow(WindowHandle window) { return static_cast<HWND>(window); }

// Copies at most capacity - 1 bytes and a zero; returns the number of bytes copied.
int CopyOut(const std::string& bytes, char* buffer, int capacity) {
  if (!buffer || capacity <= 0) return 0;
  int count = static_cast<int>(bytes.size());
  if (count > capacity - 1) count = capacity - 1;
  std::memcpy(buffer, bytes.data(), static_cast<size_t>(count));
  buffer[count] = '\0';
  return count;
}

std::wstring WindowTextOf(HWND window) {
  if (!window) return std::wstring();
  int length = GetWindowTextLengthW(window);
  if (length <= 0) return std::wstring();
  std::vector<wchar_t> text(static_cast<size_t>(length) + 1);
  int got = GetWindowTextW(window, text.data(), length + 1);
  return std::wstring(text.data(), got > 0 ? static_cast<size_t>(got) : 0);
}

// ---- List view ----

// The bytes given for each row's cells, keyed by the row's item data.
std::map<LPARAM, std::vector<std::string>> rowTexts;
LPARAM nextRowKey = 1;

bool RowKey(HWND list, int row, LPARAM* key) {
  LVITEMW item{};
  item.mask = LVIF_PARAM;
  item.iItem = row;
  if (!SendMessageW(list, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item))) return false;
  *key = item.lParam;
  return true;
}

void RememberCell(HWND list, int row, int column, const char* text) {
  LPARAM key;
  if (!RowKey(list, row, &key)) return;
  auto found = rowTexts.find(key);
  if (found == rowTexts.end()) return;
  if (found->second.size() <= static_cast<size_t>(column)) found->second.resize(column + 1);
  found->second[column] = text ? text : "";
}

// Row numbers of the seam count in the order the rows were inserted; the screen may show them in
// another order (ListSortByColumn). The keys of each list's rows in insertion order:
std::map<HWND, std::vector<LPARAM>> insertionOrder;

struct SortOrder {
  int column = -1;
  bool descending = false;
};
std::map<HWND, SortOrder> sortOrders;
// How many times each list was filled.
std::map<HWND, int> fillCounts;

int ShownCount(HWND list) { return static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0)); }

// The insertion order, brought in step with rows added or removed by other means: the known rows
// that remain keep their order, rows unknown to it follow in the order shown.
std::vector<LPARAM>& OrderOf(HWND list) {
  std::vector<LPARAM>& order = insertionOrder[list];
  const int count = ShownCount(list);
  if (static_cast<int>(order.size()) == count) return order;
  std::vector<LPARAM> shown;
  for (int i = 0; i < count; ++i) {
    LPARAM key;
    if (RowKey(list, i, &key)) shown.push_back(key);
  }
  const std::set<LPARAM> present(shown.begin(), shown.end());
  std::vector<LPARAM> rebuilt;
  std::set<LPARAM> kept;
  for (LPARAM key : order) {
    if (present.count(key) && kept.insert(key).second) rebuilt.push_back(key);
  }
  for (LPARAM key : shown) {
    if (kept.insert(key).second) rebuilt.push_back(key);
  }
  order = rebuilt;
  return order;
}

// Where a row of the seam stands on the screen, or -1.
int ShownIndex(HWND list, int row) {
  std::vector<LPARAM>& order = OrderOf(list);
  if (row < 0 || row >= static_cast<int>(order.size())) return -1;
  LPARAM key;
  if (RowKey(list, row, &key) && key == order[row]) return row;
  LVFINDINFOW find{};
  find.flags = LVFI_PARAM;
  find.lParam = order[row];
  return static_cast<int>(
      SendMessageW(list, LVM_FINDITEMW, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&find)));
}

// The seam's row number of a row shown at `shown`, or -1.
int InsertedIndex(HWND list, int shown) {
  LPARAM key;
  if (!RowKey(list, shown, &key)) return -1;
  const std::vector<LPARAM>& order = OrderOf(list);
  auto found = std::find(order.begin(), order.end(), key);
  return found == order.end() ? -1 : static_cast<int>(found - order.begin());
}

bool AllHexDigits(const std::string& text) {
  if (text.empty()) return false;
  for (char c : text) {
    if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f'))) return false;
  }
  return true;
}

struct SortContext {
  int column;
  bool descending;
  std::map<LPARAM, int> position;  // insertion position of each key
};

const std::string& CellOf(LPARAM key, int column) {
  static const std::string empty;
  auto found = rowTexts.find(key);
  if (found == rowTexts.end() || static_cast<size_t>(column) >= found->second.size()) return empty;
  return found->second[column];
}

int CALLBACK CompareRows(LPARAM first, LPARAM second, LPARAM contextAddress) {
  const auto* context = reinterpret_cast<const SortContext*>(contextAddress);
  std::string a = CellOf(first, context->column);
  std::string b = CellOf(second, context->column);
  if (context->column == kColDate) {
    char key[kCellCapacity + 2];
    DateSortKey(a.c_str(), key, sizeof key);
    a = key;
    DateSortKey(b.c_str(), key, sizeof key);
    b = key;
  }
  int result = 0;
  if (AllHexDigits(a) && AllHexDigits(b) && a.size() != b.size()) {
    result = a.size() < b.size() ? -1 : 1;
  } else {
    // Bytes compare unsigned, so code page 932 characters follow ASCII.
    const int byBytes = std::memcmp(a.data(), b.data(), std::min(a.size(), b.size()));
    result = byBytes != 0 ? byBytes : (a.size() < b.size() ? -1 : (a.size() > b.size() ? 1 : 0));
  }
  if (context->descending) result = -result;
  if (result != 0) return result;
  auto foundA = context->position.find(first);
  auto foundB = context->position.find(second);
  const int pa = foundA == context->position.end() ? 0 : foundA->second;
  const int pb = foundB == context->position.end() ? 0 : foundB->second;
  return pa < pb ? -1 : (pa > pb ? 1 : 0);
}

void ApplySort(HWND list) {
  const SortOrder order = sortOrders[list];
  if (order.column < 0) return;  // the rows stand in the order of insertion
  SortContext context{order.column, order.descending, {}};
  const std::vector<LPARAM>& keys = OrderOf(list);
  for (size_t i = 0; i < keys.size(); ++i) context.position[keys[i]] = static_cast<int>(i);
  SendMessageW(list, LVM_SORTITEMS, reinterpret_cast<WPARAM>(&context),
               reinterpret_cast<LPARAM>(CompareRows));
}

// ---- Dialogs ----

std::map<HWND, std::string> controlTexts;             // edit and static controls
std::map<HWND, std::vector<std::string>> comboTexts;  // the list items of combo boxes

void ForgetClosedControls() {
  for (auto it = controlTexts.begin(); it != controlTexts.end();) {
    it = IsWindow(it->first) ? std::next(it) : controlTexts.erase(it);
  }
  for (auto it = comboTexts.begin(); it != comboTexts.end();) {
    it = IsWindow(it->first) ? std::next(it) : comboTexts.erase(it);
  }
}

// Whether the dialog being opened is one of the program's own additions: those open centred on
// their owner with the keyboard in their first field (the attribute dialog keeps its place).
bool centreNextDialog = false;

void CentreOnOwner(HWND dialog) {
  HWND owner = GetWindow(dialog, GW_OWNER);
  RECT box, area;
  if (!GetWindowRect(dialog, &box)) return;
  if (!owner || !GetWindowRect(owner, &area)) return;
  const int width = box.right - box.left;
  const int height = box.bottom - box.top;
  int x = area.left + (area.right - area.left - width) / 2;
  int y = area.top + (area.bottom - area.top - height) / 2;
  // Kept on the screen that shows the owner.
  MONITORINFO monitor{};
  monitor.cbSize = sizeof monitor;
  if (GetMonitorInfoW(MonitorFromWindow(owner, MONITOR_DEFAULTTONEAREST), &monitor)) {
    const RECT& work = monitor.rcWork;
    x = std::max(static_cast<int>(work.left), std::min(x, static_cast<int>(work.right) - width));
    y = std::max(static_cast<int>(work.top), std::min(y, static_cast<int>(work.bottom) - height));
  }
  SetWindowPos(dialog, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// Runs the program's dialog procedure (plain calling convention) under the dialog manager.
INT_PTR CALLBACK DialogTrampoline(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  DialogProc proc;
  if (message == WM_INITDIALOG) {
    proc = reinterpret_cast<DialogProc>(lParam);
    SetWindowLongPtrW(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(proc));
    ShowDialogTexts(dialog);
    if (centreNextDialog) {
      centreNextDialog = false;
      if (proc) proc(dialog, message, wParam, lParam);
      CentreOnOwner(dialog);
      if (HWND first = GetNextDlgTabItem(dialog, nullptr, FALSE)) {
        SetFocus(first);
        SendMessageW(first, EM_SETSEL, 0, -1);
      }
      return FALSE;  // the focus is set
    }
  } else {
    proc = reinterpret_cast<DialogProc>(GetWindowLongPtrW(dialog, DWLP_USER));
  }
  if (!proc) return FALSE;
  return proc(dialog, message, wParam, lParam);
}

// ---- File dialogs ----

unsigned long fileDialogError = 0;  // an error found by the adapter itself, 0 for none
inline constexpr unsigned long kBufferTooSmall = 0x3003;  // FNERR_BUFFERTOOSMALL

// A text built from table texts (a file type of a filter, joined at compile time): the English
// table text of the same bytes while the window speaks English.
const char* ShownByContent(const char* text) {
  if (!App.English || !text) return text;
  for (const TextEntry& entry : kTextTable)
    if (std::strcmp(entry.ja, text) == 0) return entry.en;
  return text;
}

std::wstring WideFilter(const char* filter) {
  std::wstring wide;
  if (!filter) return wide;
  while (*filter) {
    wide += WideFromProgramText(ShownByContent(filter));
    wide.push_back(L'\0');
    filter += std::strlen(filter) + 1;
  }
  wide.push_back(L'\0');
  return wide;
}

// The folder each file dialog (known by its title) was last confirmed in, as an ANSI path.
std::map<std::string, std::string> dialogFolders;

bool HasFolder(const std::string& path) { return path.find_first_of("\\/:") != std::string::npos; }

// Shows the dialog with the program's texts in UTF-16 and returns the path as the ANSI dialog
// would: in the ANSI code page, within the byte capacity of the caller's buffer.
int RunFileDialog(bool save, WindowHandle owner, FileDialogRequest* request) {
  fileDialogError = 0;
  if (!request || !request->file || request->fileCapacity == 0) {
    fileDialogError = kBufferTooSmall;
    return 0;
  }
  const std::wstring filter = WideFilter(request->filter);
  const std::wstring title = WideFromProgramText(WindowText(request->title));
  const std::wstring defExt = WideFromProgramText(request->defExt);
  std::wstring initial = WideFromAnsi(
      std::string(request->file, strnlen(request->file, request->fileCapacity)).c_str());
  std::vector<wchar_t> file(request->fileCapacity + 1, L'\0');
  if (initial.size() >= request->fileCapacity) initial.resize(request->fileCapacity - 1);
  std::copy(initial.begin(), initial.end(), file.begin());
  std::vector<wchar_t> fileTitle(request->fileTitleCapacity + 1, L'\0');

  OPENFILENAMEW record{};
  record.lStructSize = request->structSize;
  record.hwndOwner = AsWindow(owner);
  record.lpstrFilter = request->filter ? filter.c_str() : nullptr;
  record.nFilterIndex = request->filterIndex;
  record.lpstrFile = file.data();
  record.nMaxFile = request->fileCapacity;
  if (request->fileTitle && request->fileTitleCapacity > 0) {
    record.lpstrFileTitle = fileTitle.data();
    record.nMaxFileTitle = request->fileTitleCapacity;
  }
  record.lpstrTitle = request->title ? title.c_str() : nullptr;
  record.Flags = request->flags;
  // A file name without a folder starts in the folder this dialog was last used in.
  const std::string dialogKey = request->title ? request->title : "";
  std::wstring initialFolder;
  auto remembered = dialogFolders.find(dialogKey);
  if (remembered != dialogFolders.end() && !HasFolder(AnsiFromWide(initial))) {
    initialFolder = WideFromAnsi(remembered->second.c_str());
    record.lpstrInitialDir = initialFolder.c_str();
  }
  record.lpstrDefExt = request->defExt ? defExt.c_str() : nullptr;

  BOOL chosen = save ? GetSaveFileNameW(&record) : GetOpenFileNameW(&record);
  if (!chosen) return 0;

  const std::string path = AnsiFromWide(std::wstring(file.data()));
  if (path.size() >= request->fileCapacity) {
    fileDialogError = kBufferTooSmall;
    return 0;
  }
  std::memcpy(request->file, path.c_str(), path.size() + 1);
  request->filterIndex = record.nFilterIndex;  // the file type the user chose
  const size_t folderEnd = path.find_last_of("\\/");
  if (folderEnd != std::string::npos) dialogFolders[dialogKey] = path.substr(0, folderEnd + 1);
  if (record.lpstrFileTitle) {
    CopyOut(AnsiFromWide(std::wstring(fileTitle.data())), request->fileTitle,
            static_cast<int>(request->fileTitleCapacity));
  }
  return 1;
}

}  // namespace

int PlatformMessageBox(WindowHandle owner, const char* text, const char* caption, unsigned flags) {
  // A box that only reports (a refusal, a failure, a success) leaves its first line in the
  // main window's status line as the outcome of the action.
  if ((flags & 0xF) == kMbOk && owner && text) {
    const char* shown = WindowText(text);
    const std::string firstLine(shown, std::strcspn(shown, "\r\n"));
    PlatformSetStatus(GetAncestor(AsWindow(owner), GA_ROOTOWNER), kStatusOutcome,
                      firstLine.c_str());
  }
  const std::wstring wideText = WideFromProgramText(WindowText(text));
  const std::wstring wideCaption = WideFromProgramText(WindowText(caption));
  return MessageBoxW(AsWindow(owner), wideText.c_str(), caption ? wideCaption.c_str() : nullptr,
                     flags);
}

int PlatformGetOpenFileName(WindowHandle owner, FileDialogRequest* request) {
  return RunFileDialog(false, owner, request);
}

int PlatformGetSaveFileName(WindowHandle owner, FileDialogRequest* request) {
  return RunFileDialog(true, owner, request);
}

unsigned long PlatformCommDlgExtendedError() {
  return fileDialogError ? fileDialogError : CommDlgExtendedError();
}

void ListInsertColumn(WindowHandle list, int index, int width, const char* title) {
  std::wstring text = WideFromProgramText(WindowText(title));
  LVCOLUMNW column{};
  column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
  column.fmt = LVCFMT_LEFT;
  column.cx = width;
  column.pszText = text.data();
  column.iSubItem = index;
  SendMessageW(AsWindow(list), LVM_INSERTCOLUMNW, index, reinterpret_cast<LPARAM>(&column));
}

void ListInsertRow(WindowHandle list, int row, const char* firstCell) {
  std::wstring text = WideFromProgramText(firstCell);
  LVITEMW item{};
  item.mask = LVIF_TEXT | LVIF_PARAM;
  item.iItem = row;
  item.pszText = text.data();
  item.lParam = nextRowKey;
  HWND window = AsWindow(list);
  std::vector<LPARAM>& order = OrderOf(window);
  if (SendMessageW(window, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)) < 0) return;
  const size_t at = std::min(static_cast<size_t>(std::max(row, 0)), order.size());
  order.insert(order.begin() + static_cast<std::ptrdiff_t>(at), nextRowKey);
  rowTexts[nextRowKey] = {firstCell ? firstCell : ""};
  ++nextRowKey;
}

void ListSetCell(WindowHandle list, int row, int column, const char* text) {
  std::wstring wide = WideFromProgramText(text);
  LVITEMW item{};
  item.mask = LVIF_TEXT;
  item.iItem = ShownIndex(AsWindow(list), row);
  item.iSubItem = column;
  item.pszText = wide.data();
  if (item.iItem < 0) return;
  if (SendMessageW(AsWindow(list), LVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&item))) {
    RememberCell(AsWindow(list), item.iItem, column, text);
  }
}

void ListGetCell(WindowHandle list, int row, int column, char* buffer, int capacity) {
  if (!buffer || capacity <= 0) return;
  buffer[0] = '\0';
  HWND window = AsWindow(list);
  if (row < 0 || row >= ListRowCount(list)) return;
  row = ShownIndex(window, row);
  if (row < 0) return;
  std::vector<wchar_t> shown(1024, L'\0');
  LVITEMW item{};
  item.iSubItem = column;
  item.pszText = shown.data();
  item.cchTextMax = static_cast<int>(shown.size());
  SendMessageW(window, LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
  const std::string* original = nullptr;
  LPARAM key;
  if (RowKey(window, row, &key)) {
    auto found = rowTexts.find(key);
    if (found != rowTexts.end() && static_cast<size_t>(column) < found->second.size()) {
      original = &found->second[column];
    }
  }
  CopyOut(ReadBackText(std::wstring(shown.data()), original), buffer, capacity);
}

int ListRowCount(WindowHandle list) {
  if (!list) return 0;
  return static_cast<int>(SendMessageW(AsWindow(list), LVM_GETITEMCOUNT, 0, 0));
}

int ListDeleteRow(WindowHandle list, int row) {
  HWND window = AsWindow(list);
  const int shown = ShownIndex(window, row);
  if (shown < 0) return 0;
  LPARAM key = 0;
  const bool known = RowKey(window, shown, &key);
  std::vector<LPARAM>& order = OrderOf(window);
  if (!SendMessageW(window, LVM_DELETEITEM, shown, 0)) return 0;
  if (known) {
    rowTexts.erase(key);
    order.erase(std::remove(order.begin(), order.end(), key), order.end());
  }
  return 1;
}

int ListFirstSelected(WindowHandle list) {
  if (!list) return -1;
  const int shown = static_cast<int>(
      SendMessageW(AsWindow(list), LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
  return shown < 0 ? -1 : InsertedIndex(AsWindow(list), shown);
}

void ListFilled(WindowHandle list) {
  HWND window = AsWindow(list);
  if (!window) return;
  ++fillCounts[window];
  ApplySort(window);
  if (ShownCount(window) == 0) return;
  LVITEMW first{};
  first.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
  first.state = LVIS_SELECTED | LVIS_FOCUSED;
  SendMessageW(window, LVM_SETITEMSTATE, 0, reinterpret_cast<LPARAM>(&first));
  SendMessageW(window, LVM_ENSUREVISIBLE, 0, FALSE);
}

bool SortMarkFits(HWND list, int column) {
  HWND header = reinterpret_cast<HWND>(SendMessageW(list, LVM_GETHEADER, 0, 0));
  if (!header) return false;
  wchar_t title[64] = {};
  HDITEMW item{};
  item.mask = HDI_TEXT | HDI_WIDTH;
  item.pszText = title;
  item.cchTextMax = 64;
  if (!SendMessageW(header, HDM_GETITEMW, column, reinterpret_cast<LPARAM>(&item))) return false;
  HDC dc = GetDC(header);
  if (!dc) return false;
  HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(header, WM_GETFONT, 0, 0)));
  SIZE size{};
  GetTextExtentPoint32W(dc, title, static_cast<int>(std::wcslen(title)), &size);
  TEXTMETRICW metrics{};
  GetTextMetricsW(dc, &metrics);
  SelectObject(dc, old);
  ReleaseDC(header, dc);
  // The header keeps a margin of three edges on each side of the text and of the arrow, which is
  // about half the text's height wide.
  const int margin = 3 * GetSystemMetrics(SM_CXEDGE);
  return size.cx + 4 * margin + metrics.tmHeight / 2 <= item.cxy;
}

// The column titles show which column orders the rows, and which way; where the arrow would cut
// the title short, the title goes without it.
void MarkSortColumn(HWND list, int column, bool descending) {
  HWND header = reinterpret_cast<HWND>(SendMessageW(list, LVM_GETHEADER, 0, 0));
  if (!header) return;
  const int count = static_cast<int>(SendMessageW(header, HDM_GETITEMCOUNT, 0, 0));
  for (int i = 0; i < count; ++i) {
    HDITEMW item{};
    item.mask = HDI_FORMAT;
    if (!SendMessageW(header, HDM_GETITEMW, i, reinterpret_cast<LPARAM>(&item))) continue;
    item.fmt &= ~(HDF_SORTUP | HDF_SORTDOWN);
    if (i == column && SortMarkFits(list, i)) item.fmt |= descending ? HDF_SORTDOWN : HDF_SORTUP;
    SendMessageW(header, HDM_SETITEMW, i, reinterpret_cast<LPARAM>(&item));
  }
}

void ListSortByColumn(HWND list, int column) {
  SortOrder& order = sortOrders[list];
  order.descending = order.column == column ? !order.descending : false;
  order.column = column;
  ApplySort(list);
  MarkSortColumn(list, column, order.descending);
  const int selected =
      static_cast<int>(SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
  if (selected >= 0) SendMessageW(list, LVM_ENSUREVISIBLE, selected, FALSE);
}

std::map<std::string, std::string>& FileDialogFolders() { return dialogFolders; }

int ListSortColumn(HWND list, bool* descending) {
  const SortOrder order = sortOrders[list];
  if (descending) *descending = order.descending;
  return order.column;
}

void PlatformSetStatus(WindowHandle window, int part, const char* text) {
  // A dialog's flow tells the outcome in the status line of the window that owns the dialog.
  HWND bar = GetDlgItem(GetAncestor(AsWindow(window), GA_ROOTOWNER), kStatusBarId);
  if (!bar) return;
  std::wstring line = WideFromProgramText(WindowText(text));
  for (wchar_t& c : line) {
    if (c == L'\r' || c == L'\n') c = L' ';
  }
  SendMessageW(bar, SB_SETTEXTW, static_cast<WPARAM>(part), reinterpret_cast<LPARAM>(line.c_str()));
  if (part == kStatusVolume) FitStatusParts(bar);
}

void FitStatusParts(HWND bar) {
  // The volume's part is as wide as its text (at least kStatusVolumeMinWidth); the outcome takes
  // the rest.
  const int length = LOWORD(SendMessageW(bar, SB_GETTEXTLENGTHW, kStatusVolume, 0));
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  SendMessageW(bar, SB_GETTEXTW, kStatusVolume, reinterpret_cast<LPARAM>(text.data()));
  text.resize(static_cast<size_t>(length));
  int width = kStatusVolumeMinWidth;
  if (HDC dc = GetDC(bar)) {
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(bar, WM_GETFONT, 0, 0)));
    SIZE size{};
    GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
    SelectObject(dc, old);
    ReleaseDC(bar, dc);
    width = std::max(width, static_cast<int>(size.cx) + 12);
  }
  const int parts[] = {kStatusModesWidth, kStatusModesWidth + width, -1};
  SendMessageW(bar, SB_SETPARTS, 3, reinterpret_cast<LPARAM>(parts));
}

// The selected rows in the order the screen shows them, as rows of the seam (as ListFirstSelected).
int ListNextSelected(WindowHandle list, int after) {
  if (!list) return -1;
  HWND window = AsWindow(list);
  int from = -1;
  if (after >= 0) {
    from = ShownIndex(window, after);
    if (from < 0) return -1;
  }
  const int shown = static_cast<int>(
      SendMessageW(window, LVM_GETNEXTITEM, static_cast<WPARAM>(from), LVNI_SELECTED));
  return shown < 0 ? -1 : InsertedIndex(window, shown);
}

int ListShownIndex(HWND list, int row) { return list ? ShownIndex(list, row) : -1; }
int ListInsertedIndex(HWND list, int shown) { return list ? InsertedIndex(list, shown) : -1; }
int ListFillCount(HWND list) { return fillCounts[list]; }

void MenuEnableItem(WindowHandle window, int commandId, bool enabled) {
  EnableMenuItem(GetMenu(AsWindow(window)), commandId,
                 MF_BYCOMMAND | (enabled ? MF_ENABLED : MF_GRAYED));
}

void MenuCheckItem(WindowHandle window, int commandId, bool checked) {
  CheckMenuItem(GetMenu(AsWindow(window)), commandId,
                MF_BYCOMMAND | (checked ? MF_CHECKED : MF_UNCHECKED));
}

void PlatformSetWindowText(WindowHandle window, const char* text) {
  SetWindowTextW(AsWindow(window), WideFromProgramText(WindowText(text)).c_str());
}

void PlatformSetWindowTitle(WindowHandle window, const char* text, const char* path,
                            const char* suffix) {
  // The program's text in code page 932, the path in the ANSI code page: converted as one
  // string, a path with non-ASCII characters would be garbled on a system that is not Japanese.
  SetWindowTextW(AsWindow(window), (WideFromProgramText(WindowText(text)) + WideFromAnsi(path) +
                                    WideFromProgramText(WindowText(suffix)))
                                       .c_str());
}

intptr_t PlatformDialogBox(WindowHandle owner, int resourceId, DialogProc proc) {
  HINSTANCE instance =
      App.Instance ? static_cast<HINSTANCE>(App.Instance) : GetModuleHandleW(nullptr);
  centreNextDialog = resourceId != kAttributeDialogId;
  INT_PTR result = DialogBoxParamW(instance, MAKEINTRESOURCEW(resourceId), AsWindow(owner),
                                   DialogTrampoline, reinterpret_cast<LPARAM>(proc));
  centreNextDialog = false;
  ForgetClosedControls();
  return result;
}

void PlatformEndDialog(WindowHandle dialog, intptr_t result) {
  EndDialog(AsWindow(dialog), result);
}

void DlgSetItemText(WindowHandle dialog, int id, const char* text) {
  HWND control = GetDlgItem(AsWindow(dialog), id);
  if (!control) return;
  text = WindowText(text);
  if (SetWindowTextW(control, WideFromProgramText(text).c_str())) {
    controlTexts[control] = text ? text : "";
  }
}

int DlgGetItemText(WindowHandle dialog, int id, char* buffer, int capacity) {
  if (!buffer || capacity <= 0) return 0;
  buffer[0] = '\0';
  HWND control = GetDlgItem(AsWindow(dialog), id);
  if (!control) return 0;
  auto found = controlTexts.find(control);
  const std::string* original = found == controlTexts.end() ? nullptr : &found->second;
  return CopyOut(ReadBackText(WindowTextOf(control), original), buffer, capacity);
}

void DlgSetFocus(WindowHandle dialog, int id) {
  if (HWND control = GetDlgItem(AsWindow(dialog), id)) {
    SetFocus(control);
    SendMessageW(control, EM_SETSEL, 0, -1);
  }
}

void DlgCheckButton(WindowHandle dialog, int id, bool checked) {
  CheckDlgButton(AsWindow(dialog), id, checked ? BST_CHECKED : BST_UNCHECKED);
}

bool DlgIsButtonChecked(WindowHandle dialog, int id) {
  return IsDlgButtonChecked(AsWindow(dialog), id) == BST_CHECKED;
}

void DlgComboAppend(WindowHandle dialog, int id, const char* text) {
  HWND combo = GetDlgItem(AsWindow(dialog), id);
  if (!combo) return;
  LRESULT index = SendMessageW(combo, CB_INSERTSTRING, static_cast<WPARAM>(-1),
                               reinterpret_cast<LPARAM>(WideFromProgramText(text).c_str()));
  if (index < 0) return;
  std::vector<std::string>& items = comboTexts[combo];
  if (static_cast<size_t>(index) > items.size()) items.resize(index);
  items.insert(items.begin() + index, text ? text : "");
}

void DlgComboSetSelection(WindowHandle dialog, int id, int index) {
  SendDlgItemMessageW(AsWindow(dialog), id, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

int DlgComboSelection(WindowHandle dialog, int id) {
  return static_cast<int>(SendDlgItemMessageW(AsWindow(dialog), id, CB_GETCURSEL, 0, 0));
}

void DlgComboItemText(WindowHandle dialog, int id, int index, char* buffer) {
  if (!buffer) return;
  buffer[0] = '\0';
  HWND combo = GetDlgItem(AsWindow(dialog), id);
  if (!combo) return;
  LRESULT length = SendMessageW(combo, CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0);
  if (length < 0) return;
  std::vector<wchar_t> shown(static_cast<size_t>(length) + 1, L'\0');
  if (SendMessageW(combo, CB_GETLBTEXT, static_cast<WPARAM>(index),
                   reinterpret_cast<LPARAM>(shown.data())) < 0) {
    return;
  }
  const std::string* original = nullptr;
  auto found = comboTexts.find(combo);
  if (found != comboTexts.end() && index >= 0 &&
      static_cast<size_t>(index) < found->second.size()) {
    original = &found->second[index];
  }
  CopyOut(ReadBackText(std::wstring(shown.data()), original), buffer, 256);
}

unsigned PlatformExecutablePath(char* buffer, unsigned capacity) {
  if (!buffer || capacity == 0) return 0;
  SetLastError(ERROR_SUCCESS);
  DWORD length = GetModuleFileNameA(nullptr, buffer, capacity);
  if (length == 0 || length >= capacity || GetLastError() == ERROR_INSUFFICIENT_BUFFER) {
    buffer[0] = '\0';
    return 0;
  }
  return length;
}

bool PlatformHostUsesProgramCodePage() { return GetACP() == kProgramCodePage; }

void PlatformLocalDate(char out[9]) {
  SYSTEMTIME now;
  GetLocalTime(&now);
  std::snprintf(out, 9, "%02u/%02u/%02u", static_cast<unsigned>(now.wMonth) % 100,
                static_cast<unsigned>(now.wDay) % 100, static_cast<unsigned>(now.wYear) % 100);
}

std::FILE* PlatformOpenHostFile(const char* path, const char* mode) {
  return std::fopen(path, mode);
}

bool PlatformFileWriteTimeUtc(const char* path, int fields[6]) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  SYSTEMTIME utc;
  if (!GetFileAttributesExA(path, GetFileExInfoStandard, &data) ||
      !FileTimeToSystemTime(&data.ftLastWriteTime, &utc))
    return false;
  const int values[6] = {utc.wYear, utc.wMonth, utc.wDay, utc.wHour, utc.wMinute, utc.wSecond};
  std::copy(values, values + 6, fields);
  return true;
}

namespace {

// What one run of the folder chooser saw: where it started, the folder selected in its tree and,
// when the user typed into its edit field, what was typed (read as the field goes away).
struct FolderChooserRun {
  std::wstring start;
  std::wstring selected;
  bool typed = false;
  std::wstring typedText;
  HWND edit = nullptr;
  WNDPROC editProc = nullptr;
};

constexpr wchar_t kChooserRunProperty[] = L"ZelvoFolderChooserRun";

// The edit field of the chooser: keys and pastes mark it typed (the chooser's own updates after a
// choice in the tree set its text without either), and its last text is kept as it goes away.
LRESULT CALLBACK ChooserEditProc(HWND edit, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* run = static_cast<FolderChooserRun*>(GetPropW(edit, kChooserRunProperty));
  if (!run) return DefWindowProcW(edit, message, wParam, lParam);
  const WNDPROC proc = run->editProc;
  if (message == WM_CHAR || message == WM_PASTE || message == WM_CUT || message == WM_CLEAR ||
      (message == WM_KEYDOWN && wParam == VK_DELETE))
    run->typed = true;
  if (message == WM_DESTROY) {
    run->typedText = WindowTextOf(edit);
    RemovePropW(edit, kChooserRunProperty);
    SetWindowLongPtrW(edit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(proc));
    run->edit = nullptr;
  }
  return CallWindowProcW(proc, edit, message, wParam, lParam);
}

// The chooser starts at the folder it was last confirmed in; the folder selected in its tree and
// the edit field's typing are followed.
int CALLBACK FolderChooserEvents(HWND chooser, UINT message, LPARAM lParam, LPARAM data) {
  auto* run = reinterpret_cast<FolderChooserRun*>(data);
  if (message == BFFM_INITIALIZED) {
    if (HWND edit = FindWindowExW(chooser, nullptr, L"Edit", nullptr)) {
      run->edit = edit;
      SetPropW(edit, kChooserRunProperty, run);
      run->editProc = reinterpret_cast<WNDPROC>(
          SetWindowLongPtrW(edit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(ChooserEditProc)));
    }
    if (!run->start.empty())
      SendMessageW(chooser, BFFM_SETSELECTIONW, TRUE, reinterpret_cast<LPARAM>(run->start.c_str()));
  } else if (message == BFFM_SELCHANGED) {
    wchar_t path[MAX_PATH] = {};
    run->selected =
        lParam && SHGetPathFromIDListW(reinterpret_cast<PCIDLIST_ABSOLUTE>(lParam), path)
            ? std::wstring(path)
            : std::wstring();
  }
  return 0;
}

// The folder a typed text names: a full path as it stands, else one inside the folder selected.
std::wstring TypedFolder(const std::wstring& typed, const std::wstring& selected) {
  std::wstring text = typed;
  while (!text.empty() && (text.back() == L' ' || text.back() == L'\t')) text.pop_back();
  while (!text.empty() && (text.front() == L' ' || text.front() == L'\t')) text.erase(0, 1);
  if (text.size() >= 2 && text.front() == L'"' && text.back() == L'"')
    text = text.substr(1, text.size() - 2);
  const bool full = (text.size() >= 2 && text[1] == L':') || text.rfind(L"\\\\", 0) == 0;
  if (!full && !selected.empty()) {
    std::wstring base = selected;
    if (base.back() != L'\\') base += L'\\';
    text = base + text;
  }
  wchar_t whole[MAX_PATH] = {};
  const DWORD length = GetFullPathNameW(text.c_str(), MAX_PATH, whole, nullptr);
  if (length == 0 || length >= MAX_PATH) return text;
  std::wstring result(whole);
  // A folder keeps no separator at its end, as the chooser gives it (a drive's root keeps it).
  if (result.size() > 3 && result.back() == L'\\') result.pop_back();
  return result;
}

}  // namespace

int PlatformChooseFolder(WindowHandle owner, const char* title, char* folder, int capacity) {
  const std::wstring wideTitle = WideFromProgramText(WindowText(title));
  const std::string key = title ? title : "";
  FolderChooserRun run;
  auto remembered = dialogFolders.find(key);
  if (remembered != dialogFolders.end()) run.start = WideFromAnsi(remembered->second.c_str());
  // The chooser's newer style needs COM on this thread.
  const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
  std::wstring chosen;
  for (;;) {
    wchar_t display[MAX_PATH] = {};
    BROWSEINFOW info{};
    info.hwndOwner = AsWindow(owner);
    info.pszDisplayName = display;
    info.lpszTitle = wideTitle.c_str();
    // The edit field takes a typed path (a full one, or one inside the folder selected).
    info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE | BIF_EDITBOX;
    info.lpfn = FolderChooserEvents;
    info.lParam = reinterpret_cast<LPARAM>(&run);
    run.selected.clear();
    run.typed = false;
    run.typedText.clear();
    PIDLIST_ABSOLUTE result = SHBrowseForFolderW(&info);
    if (!result) break;  // cancelled
    wchar_t path[MAX_PATH] = {};
    const BOOL named = SHGetPathFromIDListW(result, path);
    CoTaskMemFree(result);
    // The folder the tree shows selected, unless the user typed another: what the chooser itself
    // makes of its edit field differs between systems.
    if (run.typed && !run.typedText.empty()) {
      chosen = TypedFolder(run.typedText, run.selected);
    } else {
      chosen = !run.selected.empty() ? run.selected : (named ? std::wstring(path) : L"");
    }
    if (chosen.empty()) break;
    const DWORD attributes = GetFileAttributesW(chosen.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) break;
    // A typed folder that is not there: said, and the chooser again where the tree stood.
    const std::string shown = ProgramTextFromWide(chosen);
    char message[MAX_PATH * 2 + 160];
    std::snprintf(message, sizeof message, WindowText(kMsgFolderMissing), shown.c_str());
    PlatformMessageBox(owner, message, kCaptionError, kMbOk);
    if (!run.selected.empty()) run.start = run.selected;
    chosen.clear();
  }
  if (SUCCEEDED(com)) CoUninitialize();
  if (chosen.empty()) return 0;
  bool lossy = false;
  const std::string ansi = AnsiFromWide(chosen, &lossy);
  if (lossy || ansi.empty() || ansi.size() + 1 > static_cast<size_t>(capacity)) return 0;
  CopyOut(ansi, folder, capacity);
  dialogFolders[key] = ansi;  // kept with the settings
  return 1;
}

const TextEntry* TextEntryOfShown(const std::wstring& text) {
  if (text.empty()) return nullptr;
  const std::string bytes = ProgramTextFromWide(text);
  for (const TextEntry& entry : kTextTable)
    if (bytes == entry.ja) return &entry;
  return nullptr;
}

void ShowMenuTexts(HMENU menu) {
  if (!menu || !App.English) return;
  for (int i = 0; i < GetMenuItemCount(menu); ++i) {
    wchar_t text[256] = {};
    MENUITEMINFOW item{};
    item.cbSize = sizeof item;
    item.fMask = MIIM_STRING | MIIM_SUBMENU | MIIM_FTYPE;
    item.dwTypeData = text;
    item.cch = 255;
    if (!GetMenuItemInfoW(menu, static_cast<UINT>(i), TRUE, &item)) continue;
    if (item.hSubMenu) ShowMenuTexts(item.hSubMenu);
    if (item.fType & MFT_SEPARATOR) continue;
    const TextEntry* entry = TextEntryOfShown(text);
    if (!entry) continue;
    std::wstring shown = WideFromProgramText(entry->en);
    MENUITEMINFOW change{};
    change.cbSize = sizeof change;
    change.fMask = MIIM_STRING;
    change.dwTypeData = shown.data();
    SetMenuItemInfoW(menu, static_cast<UINT>(i), TRUE, &change);
  }
}

namespace {

BOOL CALLBACK ShowControlText(HWND control, LPARAM) {
  if (const TextEntry* entry = TextEntryOfShown(WindowTextOf(control)))
    SetWindowTextW(control, WideFromProgramText(entry->en).c_str());
  return TRUE;
}

}  // namespace

void ShowDialogTexts(HWND dialog) {
  if (!dialog || !App.English) return;
  ShowControlText(dialog, 0);
  EnumChildWindows(dialog, ShowControlText, 0);
}

int PlatformHostFileName(const char* name, char* out, int capacity) {
  std::wstring wide = WideFromProgramText(name);
  // A character the ANSI code page lacks would come back as '?', which no file name may hold.
  for (wchar_t& c : wide) {
    bool lossy = false;
    if (c >= 0x80) AnsiFromWide(std::wstring(1, c), &lossy);
    if (lossy || c < 0x20 || std::wcschr(L"\\/:*?\"<>|", c)) c = L'_';
  }
  const std::string ansi = AnsiFromWide(wide);
  if (capacity <= 0 || ansi.size() + 1 > static_cast<size_t>(capacity)) return -1;
  CopyOut(ansi, out, capacity);
  return 0;
}
