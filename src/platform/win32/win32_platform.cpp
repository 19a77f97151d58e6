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

#include <cstdio>
#include <cstring>
#include <cwchar>
#include <map>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/win32/win32_text.h"
#include "volume/app_state.h"

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

// Runs the program's dialog procedure (plain calling convention) under the dialog manager.
INT_PTR CALLBACK DialogTrampoline(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  DialogProc proc;
  if (message == WM_INITDIALOG) {
    proc = reinterpret_cast<DialogProc>(lParam);
    SetWindowLongPtrW(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(proc));
  } else {
    proc = reinterpret_cast<DialogProc>(GetWindowLongPtrW(dialog, DWLP_USER));
  }
  if (!proc) return FALSE;
  return proc(dialog, message, wParam, lParam);
}

// ---- File dialogs ----

unsigned long fileDialogError = 0;  // an error found by the adapter itself, 0 for none
inline constexpr unsigned long kBufferTooSmall = 0x3003;  // FNERR_BUFFERTOOSMALL

std::wstring WideFilter(const char* filter) {
  std::wstring wide;
  if (!filter) return wide;
  while (*filter) {
    wide += WideFromProgramText(filter);
    wide.push_back(L'\0');
    filter += std::strlen(filter) + 1;
  }
  wide.push_back(L'\0');
  return wide;
}

// Shows the dialog with the program's texts in UTF-16 and returns the path as the ANSI dialog
// would: in the ANSI code page, within the byte capacity of the caller's buffer.
int RunFileDialog(bool save, WindowHandle owner, FileDialogRequest* request) {
  fileDialogError = 0;
  if (!request || !request->file || request->fileCapacity == 0) {
    fileDialogError = kBufferTooSmall;
    return 0;
  }
  const std::wstring filter = WideFilter(request->filter);
  const std::wstring title = WideFromProgramText(request->title);
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
  record.lpstrDefExt = request->defExt ? defExt.c_str() : nullptr;

  BOOL chosen = save ? GetSaveFileNameW(&record) : GetOpenFileNameW(&record);
  if (!chosen) return 0;

  const std::string path = AnsiFromWide(std::wstring(file.data()));
  if (path.size() >= request->fileCapacity) {
    fileDialogError = kBufferTooSmall;
    return 0;
  }
  std::memcpy(request->file, path.c_str(), path.size() + 1);
  if (record.lpstrFileTitle) {
    CopyOut(AnsiFromWide(std::wstring(fileTitle.data())), request->fileTitle,
            static_cast<int>(request->fileTitleCapacity));
  }
  return 1;
}

}  // namespace

int PlatformMessageBox(WindowHandle owner, const char* text, const char* caption, unsigned flags) {
  const std::wstring wideText = WideFromProgramText(text);
  const std::wstring wideCaption = WideFromProgramText(caption);
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
  std::wstring text = WideFromProgramText(title);
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
  if (SendMessageW(AsWindow(list), LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)) < 0) {
    return;
  }
  rowTexts[nextRowKey] = {firstCell ? firstCell : ""};
  ++nextRowKey;
}

void ListSetCell(WindowHandle list, int row, int column, const char* text) {
  std::wstring wide = WideFromProgramText(text);
  LVITEMW item{};
  item.mask = LVIF_TEXT;
  item.iItem = row;
  item.iSubItem = column;
  item.pszText = wide.data();
  if (SendMessageW(AsWindow(list), LVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&item))) {
    RememberCell(AsWindow(list), row, column, text);
  }
}

void ListGetCell(WindowHandle list, int row, int column, char* buffer, int capacity) {
  if (!buffer || capacity <= 0) return;
  buffer[0] = '\0';
  HWND window = AsWindow(list);
  if (row < 0 || row >= ListRowCount(list)) return;
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
  LPARAM key = 0;
  const bool known = RowKey(AsWindow(list), row, &key);
  if (!SendMessageW(AsWindow(list), LVM_DELETEITEM, row, 0)) return 0;
  if (known) rowTexts.erase(key);
  return 1;
}

int ListFirstSelected(WindowHandle list) {
  if (!list) return -1;
  return static_cast<int>(
      SendMessageW(AsWindow(list), LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
}

int ListNextSelected(WindowHandle list, int after) {
  if (!list) return -1;
  return static_cast<int>(SendMessageW(AsWindow(list), LVM_GETNEXTITEM,
                                       static_cast<WPARAM>(after < 0 ? -1 : after), LVNI_SELECTED));
}

void MenuEnableItem(WindowHandle window, int commandId, bool enabled) {
  EnableMenuItem(GetMenu(AsWindow(window)), commandId,
                 MF_BYCOMMAND | (enabled ? MF_ENABLED : MF_GRAYED));
}

void MenuCheckItem(WindowHandle window, int commandId, bool checked) {
  CheckMenuItem(GetMenu(AsWindow(window)), commandId,
                MF_BYCOMMAND | (checked ? MF_CHECKED : MF_UNCHECKED));
}

void PlatformSetWindowText(WindowHandle window, const char* text) {
  SetWindowTextW(AsWindow(window), WideFromProgramText(text).c_str());
}

void PlatformSetWindowTitle(WindowHandle window, const char* text, const char* path,
                            const char* suffix) {
  // The program's text in code page 932, the path in the ANSI code page: converted as one
  // string, a path with non-ASCII characters would be garbled on a system that is not Japanese.
  SetWindowTextW(AsWindow(window), (WideFromProgramText(text) + WideFromAnsi(path) + WideFromProgramText(suffix)).c_str());
}

intptr_t PlatformDialogBox(WindowHandle owner, int resourceId, DialogProc proc) {
  HINSTANCE instance =
      App.Instance ? static_cast<HINSTANCE>(App.Instance) : GetModuleHandleW(nullptr);
  INT_PTR result = DialogBoxParamW(instance, MAKEINTRESOURCEW(resourceId), AsWindow(owner),
                                   DialogTrampoline, reinterpret_cast<LPARAM>(proc));
  ForgetClosedControls();
  return result;
}

void PlatformEndDialog(WindowHandle dialog, intptr_t result) {
  EndDialog(AsWindow(dialog), result);
}

void DlgSetItemText(WindowHandle dialog, int id, const char* text) {
  HWND control = GetDlgItem(AsWindow(dialog), id);
  if (!control) return;
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

void PlatformLocalDate(char out[9]) {
  SYSTEMTIME now;
  GetLocalTime(&now);
  std::snprintf(out, 9, "%02u/%02u/%02u", static_cast<unsigned>(now.wMonth) % 100,
                static_cast<unsigned>(now.wDay) % 100, static_cast<unsigned>(now.wYear) % 100);
}

std::FILE* PlatformOpenHostFile(const char* path, const char* mode) {
  return std::fopen(path, mode);
}

int PlatformChooseFolder(WindowHandle owner, const char* title, char* folder, int capacity) {
  const std::wstring wideTitle = WideFromProgramText(title);
  wchar_t display[MAX_PATH] = {};
  BROWSEINFOW info{};
  info.hwndOwner = AsWindow(owner);
  info.pszDisplayName = display;
  info.lpszTitle = wideTitle.c_str();
  info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
  // The chooser's newer style needs COM on this thread.
  const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
  PIDLIST_ABSOLUTE chosen = SHBrowseForFolderW(&info);
  if (SUCCEEDED(com)) CoUninitialize();
  if (!chosen) return 0;
  wchar_t path[MAX_PATH] = {};
  const BOOL ok = SHGetPathFromIDListW(chosen, path);
  CoTaskMemFree(chosen);
  if (!ok) return 0;
  bool lossy = false;
  const std::string ansi = AnsiFromWide(path, &lossy);
  if (lossy || ansi.empty() || ansi.size() + 1 > static_cast<size_t>(capacity)) return 0;
  CopyOut(ansi, folder, capacity);
  return 1;
}

int PlatformHostFileName(const char* name, char* out, int capacity) {
  std::wstring wide = WideFromProgramText(name);
  for (wchar_t& c : wide)
    if (c < 0x20 || std::wcschr(L"\\/:*?\"<>|", c)) c = L'_';
  const std::string ansi = AnsiFromWide(wide);
  if (capacity <= 0 || ansi.size() + 1 > static_cast<size_t>(capacity)) return -1;
  CopyOut(ansi, out, capacity);
  return 0;
}
