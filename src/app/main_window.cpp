#include "app/main_window.h"

#include <commctrl.h>
#include <shellapi.h>

#include <cstring>
#include <string>
#include <vector>

#include "app/command_handlers.h"
#include "app/command_table.h"
#include "app/list_selection.h"
#include "app/settings.h"
#include "codes/code_tables.h"
#include "flows/app_image.h"
#include "flows/app_state.h"
#include "flows/attribute_dialog.h"
#include "flows/batch_export.h"
#include "flows/batch_import.h"
#include "flows/disk_chooser.h"
#include "flows/identify_command.h"
#include "flows/new_image.h"
#include "flows/open_image.h"
#include "flows/volume_load.h"
#include "flows/volume_view.h"
#include "image/change_history.h"
#include "image/image_lock.h"
#include "image/image_select.h"
#include "platform/platform.h"
#include "platform/win32/win32_controls.h"
#include "platform/win32/win32_text.h"
#include "resources/resource.h"
#include "texts/texts.h"
#include "transfer/batch_import.h"
#include "transfer/identify_command.h"
#include "transfer/new_image.h"
#include "view/directory_list.h"
#include "view/status_bar.h"
#include "volume/file_ops.h"

static_assert(IDM_OPEN == kCmdOpen && IDM_EXPORT == kCmdExport && IDM_QUIT == kCmdQuit &&
              IDM_ABOUT == kCmdAbout && IDM_MZ == kCmdMz && IDM_PC == kCmdPc &&
              IDM_BINARY == kCmdBinary && IDM_ASCII == kCmdAscii && IDM_IMPORT == kCmdImport &&
              IDM_UNDO == kCmdUndo && IDM_REDO == kCmdRedo);
static_assert(IDD_ABOUT == kAboutDialogId && IDD_ATTRIBUTES == kAttributeDialogId);
static_assert(IDM_DELETE == kCmdDelete && IDM_ATTRIBUTES == kCmdAttributes);
static_assert(IDM_IDENTIFY == kCmdIdentify && IDD_DISK_CHOOSER == kDiskDialogId &&
              IDC_DISK_LIST == kDiskComboId);
static_assert(IDM_NEW == kCmdNew && IDM_EXPORT_FOLDER == kCmdExportToFolder &&
              IDD_NEW_IMAGE == kNewImageDialogId && IDC_NEW_DISK_NAME == kCtlNewDiskName &&
              IDC_NEW_VOLUME == kCtlNewVolumeNumber && IDC_NEW_YEAR == kCtlNewYear &&
              IDC_NEW_MONTH == kCtlNewMonth && IDC_NEW_DAY == kCtlNewDay &&
              IDC_NEW_EXDIR == kCtlNewExdir);
static_assert(IDC_STATUS_BAR == kStatusBarId);

namespace {

HWND MainWindow = nullptr;
// Whether the main window was built whole: its panel, its list and the code tables.
bool Complete = false;

HWND StatusBar(HWND window) { return GetDlgItem(window, kStatusBarId); }

// The keyboard goes to the list, so that the arrows, Enter and the accelerators work at once.
void FocusList() {
  HWND list = static_cast<HWND>(App.ListWindow);
  if (list && IsWindow(list)) SetFocus(list);
}

// The panel's font where the system font lacks Japanese: made once, kept for the process.
HFONT PanelFont() {
  static HFONT font = nullptr;
  if (font) return font;
  // A Japanese system's system font is 18 pixels high.
  constexpr int kJapaneseSystemFontHeight = 18;
  LOGFONTW gothic{};
  gothic.lfHeight = kJapaneseSystemFontHeight;
  gothic.lfWeight = FW_NORMAL;
  gothic.lfCharSet = SHIFTJIS_CHARSET;
  gothic.lfQuality = DEFAULT_QUALITY;
  wcscpy(gothic.lfFaceName, L"MS UI Gothic");
  font = CreateFontIndirectW(&gothic);
  return font;
}

// A right-click selects the row under the pointer and offers its commands; the keyboard's menu
// (Shift+F10, the menu key) offers them for the rows already selected.
void RowContextMenu(HWND window, int row, POINT screen, bool selectRow = true) {
  if (row < 0) return;
  if (selectRow) SelectOnly(row);
  UpdateWindowCommands(window);
  HMENU menu = LoadMenuW(static_cast<HINSTANCE>(App.Instance), MAKEINTRESOURCEW(IDR_CONTEXT_MENU));
  if (!menu) return;
  ShowMenuTexts(menu);
  const int command = TrackPopupMenu(GetSubMenu(menu, 0), TPM_RETURNCMD | TPM_RIGHTBUTTON, screen.x,
                                     screen.y, 0, window, nullptr);
  DestroyMenu(menu);
  if (command != 0) SendMessageW(window, WM_COMMAND, static_cast<WPARAM>(command), 0);
}

// Builds the panel and the list, the modes and the code tables; returns 0 either way.
LRESULT OnCreate(HWND window) {
  MainWindow = window;
  Complete = true;
  App.VolumeLoaded = 0;
  UpdateWindowCommands(window);
  // A file of the same name is replaced after a question instead of the duplicate-name message.
  SetReplacePolicy(kReplaceAsk);

  HINSTANCE instance = static_cast<HINSTANCE>(App.Instance);
  HWND panel =
      CreateWindowExW(WS_EX_WINDOWEDGE, L"STATIC", WideFromProgramText(kWelcomePanel).c_str(),
                      WS_CHILD | WS_VISIBLE | SS_LEFT, 0, 0, 0, kPanelHeight, window,
                      reinterpret_cast<HMENU>(static_cast<INT_PTR>(kPanelId)), instance, nullptr);
  App.PanelWindow = panel;
  // The panel's default font is the system font, which holds Japanese characters only on a
  // Japanese system; elsewhere a Japanese Gothic of that font's height shows the panel as it
  // looks there.
  if (panel && GetACP() != kProgramCodePage) {
    if (HFONT font = PanelFont())
      SendMessageW(panel, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  }

  InitCommonControls();
  HWND list = CreateWindowExW(
      0, WC_LISTVIEWW, L"", WS_CHILD | WS_VISIBLE | LVS_REPORT | LVS_SHOWSELALWAYS, 0, 0, 0, 0,
      window, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kListId)), instance, nullptr);
  App.ListWindow = list;
  if (list) {
    SetupListColumns();
    SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
  }
  CreateWindowExW(0, STATUSCLASSNAMEW, L"", WS_CHILD | WS_VISIBLE | SBARS_SIZEGRIP, 0, 0, 0, 0,
                  window, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kStatusBarId)), instance,
                  nullptr);

  App.MachineMode = kModeMz;
  App.TransferMode = kTransferBinary;
  ShowModeStatus(window);
  const int tables = LoadCodeTables(window);

  if (!panel || !list || tables != 0) {
    Complete = false;
    UpdateWindowCommands(window);
    PlatformMessageBox(window, kMsgCreateFailed, kCaptionError, kMbOk);
  } else {
    DragAcceptFiles(window, TRUE);
  }
  return 0;
}

// The panel at the top, the status bar at the bottom, the list between them.
void OnSize(HWND window, LPARAM lParam) {
  const int width = LOWORD(lParam);
  const int height = HIWORD(lParam);
  int barHeight = 0;
  if (HWND bar = StatusBar(window)) {
    SendMessageW(bar, WM_SIZE, 0, 0);
    FitStatusParts(bar);
    RECT rect;
    GetWindowRect(bar, &rect);
    barHeight = rect.bottom - rect.top;
  }
  MoveWindow(static_cast<HWND>(App.PanelWindow), 0, 0, width, kPanelHeight, TRUE);
  MoveWindow(static_cast<HWND>(App.ListWindow), 0, kPanelHeight, width,
             height - kPanelHeight - barHeight, TRUE);
}

// The list's notices: a click on a column title orders the rows, Enter exports the selected row,
// a double-click opens a row's attributes, a right-click its commands. The rows the list reports
// are screen positions; the commands take the rows of the seam.
LRESULT OnNotify(HWND window, const NMHDR* notice) {
  if (!notice || static_cast<int>(notice->idFrom) != kListId) return 0;
  switch (notice->code) {
    case LVN_COLUMNCLICK: {
      const auto* click = reinterpret_cast<const NMLISTVIEW*>(notice);
      ListSortByColumn(notice->hwndFrom, click->iSubItem);
      break;
    }
    case NM_RETURN:
      RunWindowCommand(window, IDM_EXPORT);
      FocusList();
      break;
    case LVN_ITEMCHANGED: UpdateWindowCommands(window); break;
    case NM_DBLCLK: {
      const auto* activate = reinterpret_cast<const NMITEMACTIVATE*>(notice);
      const int row =
          activate->iItem >= 0 ? ListInsertedIndex(notice->hwndFrom, activate->iItem) : -1;
      if (row >= 0 && App.VolumeLoaded) {
        ShowActionStatus(window, "");
        commands::AttributesOfRow(window, row);
        UpdateWindowCommands(window);
        FocusList();
      }
      break;
    }
    case NM_RCLICK: {
      const auto* activate = reinterpret_cast<const NMITEMACTIVATE*>(notice);
      if (!App.VolumeLoaded || activate->iItem < 0) break;
      POINT screen = activate->ptAction;
      ClientToScreen(notice->hwndFrom, &screen);
      RowContextMenu(window, ListInsertedIndex(notice->hwndFrom, activate->iItem), screen);
      break;
    }
    default: break;
  }
  return 0;
}

// The menu key or Shift+F10 in the list: the menu opens below the focused (else the first
// selected) row. A right-click's menu is opened by NM_RCLICK.
bool OnContextMenu(HWND window, HWND from, LPARAM lParam) {
  HWND list = static_cast<HWND>(App.ListWindow);
  if (!list || from != list || lParam != -1) return false;
  if (!App.VolumeLoaded) return true;
  int shown = static_cast<int>(
      SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED | LVNI_SELECTED));
  if (shown < 0)
    shown = static_cast<int>(
        SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
  if (shown < 0) return true;
  RECT rect{};
  rect.left = LVIR_LABEL;
  SendMessageW(list, LVM_GETITEMRECT, static_cast<WPARAM>(shown), reinterpret_cast<LPARAM>(&rect));
  POINT screen{rect.left, rect.bottom};
  ClientToScreen(list, &screen);
  RowContextMenu(window, ListInsertedIndex(list, shown), screen, false);
  return true;
}

void OnDropFiles(HWND window, HDROP drop) {
  std::vector<std::string> paths;
  const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
  for (UINT i = 0; i < count; ++i) {
    const UINT length = DragQueryFileW(drop, i, nullptr, 0);
    std::wstring path(length + 1, L'\0');
    DragQueryFileW(drop, i, path.data(), length + 1);
    path.resize(length);
    paths.push_back(AnsiFromWide(path));
  }
  DragFinish(drop);
  ShowActionStatus(window, "");
  OpenDroppedFiles(window, paths);
  FocusList();
}

}  // namespace

namespace {

// While an open or a change waits for an image that another program holds, the window shows the
// wait cursor and says so in the status line (the window is not served meanwhile, so both stay
// until the wait ends; the line is painted at once).
void ShowWaitCursor(int waiting) {
  static HCURSOR previous = nullptr;
  if (waiting)
    previous = SetCursor(LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_WAIT)));
  else
    SetCursor(previous);
  if (!MainWindow || !IsWindow(MainWindow)) return;
  ShowActionStatus(MainWindow, waiting ? kStatusWaiting : "");
  if (HWND bar = StatusBar(MainWindow)) UpdateWindow(bar);
}

}  // namespace

ATOM RegisterMainClass(HINSTANCE instance) {
  WNDCLASSW windowClass{};
  windowClass.style = CS_HREDRAW | CS_VREDRAW;
  windowClass.lpfnWndProc = MainWndProc;
  windowClass.hInstance = instance;
  windowClass.hIcon = static_cast<HICON>(
      LoadImageW(instance, MAKEINTRESOURCEW(IDI_MAIN_ICON), IMAGE_ICON, 0, 0, LR_DEFAULTCOLOR));
  windowClass.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
  windowClass.lpszMenuName = MAKEINTRESOURCEW(IDR_MAIN_MENU);
  windowClass.lpszClassName = kMainClassName;
  return RegisterClassW(&windowClass);
}

int CreateMainWindow(HINSTANCE instance, int showCommand) {
  App.Instance = instance;
  ImageWaitHook = ShowWaitCursor;
  MainWindow = nullptr;
  WindowSettings settings;
  LoadSettings(&settings);
  App.English = StartsInEnglish(settings.english) ? 1 : 0;
  HWND window = CreateWindowExW(0, kMainClassName, WideFromProgramText(kProgramTitle).c_str(),
                                WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT, kMainWidth,
                                kMainHeight, nullptr, nullptr, instance, nullptr);
  MainWindow = window;
  if (!window) return 0;
  // The class's menu holds the Japanese texts.
  ShowMenuTexts(GetMenu(window));
  MenuCheckItem(window, IDM_ENGLISH, App.English != 0);
  // The place and size of the last run (in the same terms as it was read), when a screen still
  // shows them; the window stays hidden until it is shown below.
  if (settings.placed) {
    WINDOWPLACEMENT place{};
    place.length = sizeof place;
    place.showCmd = SW_HIDE;
    place.rcNormalPosition = settings.rect;
    SetWindowPlacement(window, &place);
  }
  if (HWND list = static_cast<HWND>(App.ListWindow)) {
    for (int i = 0; i < kSettingsColumns; ++i) {
      if (settings.columnWidths[i] > 0) {
        SendMessageW(list, LVM_SETCOLUMNWIDTH, i, settings.columnWidths[i]);
      }
    }
  }
  if (settings.maximized && (showCommand == SW_SHOWNORMAL || showCommand == SW_SHOWDEFAULT)) {
    showCommand = SW_SHOWMAXIMIZED;
  }
  ShowWindow(window, showCommand);
  UpdateWindow(window);
  return 1;
}

bool StartsInEnglish(bool kept) {
  wchar_t language[8] = {};
  const DWORD length = GetEnvironmentVariableW(L"ZELVO_LANG", language, 8);
  if (length == 2 && _wcsicmp(language, L"en") == 0) return true;
  if (length == 2 && _wcsicmp(language, L"ja") == 0) return false;
  return kept;
}

void ShowWindowLanguage(HWND window) {
  HMENU fresh = LoadMenuW(static_cast<HINSTANCE>(App.Instance), MAKEINTRESOURCEW(IDR_MAIN_MENU));
  if (fresh) {
    ShowMenuTexts(fresh);
    HMENU old = GetMenu(window);
    SetMenu(window, fresh);
    if (old) DestroyMenu(old);
  }
  MenuCheckItem(window, IDM_MZ, App.MachineMode == kModeMz);
  MenuCheckItem(window, IDM_PC, App.MachineMode == kModePc);
  MenuCheckItem(window, IDM_BINARY, App.TransferMode == kTransferBinary);
  MenuCheckItem(window, IDM_ASCII, App.TransferMode == kTransferAscii);
  MenuCheckItem(window, IDM_ENGLISH, App.English != 0);
  UpdateWindowCommands(window);
  DrawMenuBar(window);
  ShowModeStatus(window);
  if (App.VolumeLoaded) {
    LoadVolume(window);  // the title, the panel and the status line anew
    FocusList();
  } else {
    ShowVolumeStatus(window);
  }
}

HWND MainWindowHandle() { return MainWindow; }

bool MainWindowComplete() { return Complete; }

LRESULT CALLBACK MainWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE: return OnCreate(window);
    case WM_SIZE: OnSize(window, lParam); return 0;
    case WM_SETFOCUS: FocusList(); return 0;
    case WM_NOTIFY: return OnNotify(window, reinterpret_cast<const NMHDR*>(lParam));
    case WM_INITMENUPOPUP: UpdateWindowCommands(window); return 0;
    case WM_CLOSE:
      if (PlatformMessageBox(window, kMsgQuitQuestion, kCaptionQuit, kMbYesNo | kMbIconQuestion) ==
          kIdYes) {
        DestroyWindow(window);
      }
      return 0;
    case WM_DESTROY:
      SaveSettings(window, static_cast<HWND>(App.ListWindow));
      PostQuitMessage(0);
      return 0;
    case WM_DROPFILES: OnDropFiles(window, reinterpret_cast<HDROP>(wParam)); return 0;
    case WM_CONTEXTMENU:
      if (OnContextMenu(window, reinterpret_cast<HWND>(wParam), lParam)) return 0;
      return DefWindowProcW(window, message, wParam, lParam);
    case WM_COMMAND:
      RunWindowCommand(window, LOWORD(wParam));
      FocusList();
      return 0;
    default: return DefWindowProcW(window, message, wParam, lParam);
  }
}

INT_PTR CALLBACK AboutDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  if (message == WM_INITDIALOG) ShowDialogTexts(dialog);
  if (message == WM_COMMAND && LOWORD(wParam) == IDOK) {
    EndDialog(dialog, 1);
    return TRUE;
  }
  return FALSE;
}

bool CommandLinePath(const char* commandLine, std::string* path) {
  path->clear();
  if (!commandLine) return false;
  const char* p = commandLine;
  while (*p == ' ' || *p == '\t') ++p;
  if (*p == '"') {
    const char* end = std::strchr(p + 1, '"');
    path->assign(p + 1, end ? end : p + std::strlen(p));
  } else {
    path->assign(p);
    while (!path->empty() && (path->back() == ' ' || path->back() == '\t')) path->pop_back();
  }
  return !path->empty();
}

void OpenFromCommandLine(HWND window, const char* commandLine) {
  std::string path;
  if (!window || !CommandLinePath(commandLine, &path) || !WindowCommandEnabled(IDM_OPEN)) return;
  // The Open dialog gives a full path; so does a path named relative to the current folder.
  char full[4 * MAX_PATH];
  const DWORD length = GetFullPathNameA(path.c_str(), sizeof full, full, nullptr);
  if (length > 0 && length < sizeof full) path = full;
  OpenImagePath(window, path.c_str());
  FocusList();
}

bool IsImagePath(const std::string& path) {
  char extension[256];
  SplitExtension(path.c_str(), extension, sizeof extension);
  for (char* p = extension; *p; p++)
    if (*p >= 'A' && *p <= 'Z') *p = static_cast<char>(*p - 'A' + 'a');
  return FormatForExtension(extension) >= 0;
}

void OpenDroppedFiles(HWND window, const std::vector<std::string>& paths) {
  std::vector<std::string> others;
  const std::string* image = nullptr;
  for (const std::string& path : paths) {
    if (IsImagePath(path)) {
      if (!image) image = &path;
    } else {
      others.push_back(path);
    }
  }
  if (image && WindowCommandEnabled(IDM_OPEN)) OpenImagePath(window, image->c_str());
  if (!others.empty()) DroppedHostFiles(window, others);
}

void DroppedHostFiles(HWND window, const std::vector<std::string>& paths) {
  std::vector<const char*> names;
  for (const std::string& path : paths) names.push_back(path.c_str());
  if (!names.empty())
    ImportHostFiles(window, names.data(), static_cast<int>(names.size()), nullptr);
}

namespace {

// The command that an accelerator of `table` gives a key message (0: none). Every accelerator of
// the window is a virtual key.
int AcceleratorCommand(HACCEL table, const MSG& message) {
  if (message.message != WM_KEYDOWN && message.message != WM_SYSKEYDOWN) return 0;
  ACCEL entries[32];
  const int count = CopyAcceleratorTableW(table, entries, 32);
  const bool control = GetKeyState(VK_CONTROL) < 0;
  const bool shift = GetKeyState(VK_SHIFT) < 0;
  const bool alt = GetKeyState(VK_MENU) < 0;
  for (int i = 0; i < count; ++i) {
    const ACCEL& entry = entries[i];
    if (!(entry.fVirt & FVIRTKEY) || entry.key != message.wParam) continue;
    if (((entry.fVirt & FCONTROL) != 0) == control && ((entry.fVirt & FSHIFT) != 0) == shift &&
        ((entry.fVirt & FALT) != 0) == alt)
      return entry.cmd;
  }
  return 0;
}

// A key of a command that changes the disk, on a write-protected disk, says why nothing happens
// instead of doing nothing (the greyed command would not run). True when it did.
bool RefuseProtectedKey(HWND window, HACCEL table, const MSG& message) {
  if (!App.VolumeLoaded || !App.WriteProtected) return false;
  const int command = AcceleratorCommand(table, message);
  if (command == 0 || !WindowCommandChangesDisk(command)) return false;
  ShowActionStatus(window, kMsgWriteProtected);
  return true;
}

}  // namespace

int RunMessageLoop(HWND window, HACCEL accelerators) {
  MSG message;
  int got;
  while ((got = GetMessageW(&message, nullptr, 0, 0)) > 0) {
    // The accelerators act while the main window or one of its children has the keyboard; the
    // dialogs and boxes (windows of their own) keep their keys.
    if (accelerators && window && IsWindow(window) &&
        (message.hwnd == window || IsChild(window, message.hwnd)) &&
        (RefuseProtectedKey(window, accelerators, message) ||
         TranslateAcceleratorW(window, accelerators, &message))) {
      continue;
    }
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return got == 0 ? static_cast<int>(message.wParam) : 0;
}
