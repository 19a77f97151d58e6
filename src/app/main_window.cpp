#include "app/main_window.h"

#include <commctrl.h>
#include <shellapi.h>

#include <string>
#include <vector>

#include "codes/code_tables.h"
#include "image/change_history.h"
#include "image/d88_disks.h"
#include "image/image_select.h"
#include "platform/platform.h"
#include "platform/win32/win32_text.h"
#include "resources/resource.h"
#include "texts/texts.h"
#include "transfer/attribute_dialog.h"
#include "transfer/batch_export.h"
#include "transfer/batch_import.h"
#include "transfer/delete_files.h"
#include "transfer/edit_attributes.h"
#include "transfer/export.h"
#include "transfer/identify_command.h"
#include "transfer/import.h"
#include "transfer/new_image.h"
#include "transfer/undo.h"
#include "view/directory_list.h"
#include "volume/app_state.h"
#include "volume/file_ops.h"
#include "volume/volume_load.h"

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

namespace {

HWND MainWindow = nullptr;
// Delete and attributes act on the selected rows: grey without a loaded volume or a selection.
void UpdateFileCommands(HWND window) {
  const bool selected = App.VolumeLoaded && ListFirstSelected(App.ListWindow) != -1;
  MenuEnableItem(window, kCmdDelete, selected);
  MenuEnableItem(window, kCmdAttributes, selected);
}

void SelectOnly(int row) {
  HWND list = static_cast<HWND>(App.ListWindow);
  LVITEMW item{};
  item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
  SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&item));
  const int rows = ListRowCount(App.ListWindow);
  if (rows == 0) return;
  if (row >= rows) row = rows - 1;
  if (row < 0) row = 0;
  item.state = LVIS_SELECTED | LVIS_FOCUSED;
  SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
  SendMessageW(list, LVM_ENSUREVISIBLE, static_cast<WPARAM>(row), FALSE);
}

// After a delete the row that followed the first deleted one is selected (or the new last row);
// a refusal that loaded the volume again selects the first selected row again.
void DeleteCommand(HWND window) {
  const int first = ListFirstSelected(App.ListWindow);
  if (first == -1) return;
  DeleteSelectedFiles(window);
  if (App.VolumeLoaded && ListFirstSelected(App.ListWindow) == -1) SelectOnly(first);
}

// The file of a row keeps its row after its attributes changed.
void AttributesCommand(HWND window, int row) {
  const int slot = SlotOfRow(App.DirectoryBuffer, App.EntryCount, row);
  if (slot < 0) return;
  EditFileAttributes(window, slot, false);
  if (ListFirstSelected(App.ListWindow) == -1) {
    const int now = RowOfUsedSlot(App.DirectoryBuffer, App.EntryCount, slot);
    SelectOnly(now >= 0 ? now : row);
  }
}

// A right-click selects the row under the pointer and offers its commands.
void RowContextMenu(HWND window, int row, POINT screen) {
  if (row < 0) return;
  SelectOnly(row);
  UpdateFileCommands(window);
  HMENU menu = LoadMenuW(static_cast<HINSTANCE>(App.Instance), MAKEINTRESOURCEW(IDR_CONTEXT_MENU));
  if (!menu) return;
  const int command = TrackPopupMenu(GetSubMenu(menu, 0), TPM_RETURNCMD | TPM_RIGHTBUTTON, screen.x,
                                     screen.y, 0, window, nullptr);
  DestroyMenu(menu);
  if (command != 0) SendMessageW(window, WM_COMMAND, static_cast<WPARAM>(command), 0);
}

LRESULT OnListNotify(HWND window, const NMHDR* header) {
  switch (header->code) {
    case LVN_ITEMCHANGED: UpdateFileCommands(window); break;
    case NM_DBLCLK: {
      const auto* activate = reinterpret_cast<const NMITEMACTIVATE*>(header);
      if (activate->iItem >= 0 && App.VolumeLoaded) {
        AttributesCommand(window, activate->iItem);
        UpdateFileCommands(window);
      }
      break;
    }
    case NM_RCLICK: {
      const auto* activate = reinterpret_cast<const NMITEMACTIVATE*>(header);
      if (!App.VolumeLoaded) break;
      POINT screen = activate->ptAction;
      ClientToScreen(header->hwndFrom, &screen);
      RowContextMenu(window, activate->iItem, screen);
      break;
    }
    default: break;
  }
  return 0;
}

// Builds the panel and the list, the modes and the code tables; returns 0 either way.
LRESULT OnCreate(HWND window) {
  MainWindow = window;
  MenuEnableItem(window, kCmdExport, false);
  MenuEnableItem(window, kCmdExportToFolder, false);
  MenuEnableItem(window, kCmdImport, false);
  UpdateUndoCommands(window);
  App.VolumeLoaded = 0;
  UpdateFileCommands(window);
  // A file of the same name is replaced after a question instead of the duplicate-name message.
  SetReplacePolicy(kReplaceAsk);

  HINSTANCE instance = static_cast<HINSTANCE>(App.Instance);
  HWND panel =
      CreateWindowExW(WS_EX_WINDOWEDGE, L"STATIC", WideFromProgramText(kWelcomePanel).c_str(),
                      WS_CHILD | WS_VISIBLE | SS_LEFT, 0, 0, 0, kPanelHeight, window,
                      reinterpret_cast<HMENU>(static_cast<INT_PTR>(kPanelId)), instance, nullptr);
  App.PanelWindow = panel;
  // The panel's default font is the system font, which holds Japanese characters only on a
  // Japanese system; elsewhere the dialog font (linked to a Japanese font) shows the disk name.
  if (panel && GetACP() != kProgramCodePage) {
    SendMessageW(panel, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)),
                 FALSE);
  }

  InitCommonControls();
  HWND list =
      CreateWindowExW(0, WC_LISTVIEWW, L"", WS_CHILD | WS_VISIBLE | LVS_REPORT, 0, 0, 0, 0, window,
                      reinterpret_cast<HMENU>(static_cast<INT_PTR>(kListId)), instance, nullptr);
  App.ListWindow = list;
  if (list) SetupListColumns();

  App.MachineMode = kModeMz;
  App.TransferMode = kTransferBinary;
  const int tables = LoadCodeTables(window);

  if (!panel || !list || tables != 0) {
    MenuEnableItem(window, kCmdOpen, false);
    PlatformMessageBox(window, kMsgCreateFailed, kCaptionError, kMbOk);
  } else {
    DragAcceptFiles(window, TRUE);
  }
  return 0;
}

void OnSize(LPARAM lParam) {
  const int width = LOWORD(lParam);
  const int height = HIWORD(lParam);
  MoveWindow(static_cast<HWND>(App.PanelWindow), 0, 0, width, kPanelHeight, TRUE);
  MoveWindow(static_cast<HWND>(App.ListWindow), 0, kPanelHeight, width, height - kPanelHeight,
             TRUE);
}

void SetMachineMode(HWND window, int mode) {
  App.MachineMode = mode;
  ChangeHistoryClear();  // the changes were made under the other convention
  UpdateUndoCommands(window);
  MenuCheckItem(window, kCmdMz, mode == kModeMz);
  MenuCheckItem(window, kCmdPc, mode == kModePc);
  if (ListRowCount(App.ListWindow) != 0) LoadVolume(window);
}

void SetTransferMode(HWND window, int mode) {
  App.TransferMode = mode;
  MenuCheckItem(window, kCmdBinary, mode == kTransferBinary);
  MenuCheckItem(window, kCmdAscii, mode == kTransferAscii);
}

// Files dropped on the window that are not images are imported, all in one transaction (images
// are left to the Open path).
void OnDropFiles(HWND window, HDROP drop) {
  const UINT count = DragQueryFileA(drop, 0xFFFFFFFF, nullptr, 0);
  std::vector<std::string> files;
  for (UINT i = 0; i < count; i++) {
    const UINT length = DragQueryFileA(drop, i, nullptr, 0);
    std::string path(length + 1, '\0');
    if (DragQueryFileA(drop, i, path.data(), length + 1) != length) continue;
    path.resize(length);
    char extension[256];
    SplitExtension(path.c_str(), extension, sizeof extension);
    for (char* c = extension; *c; ++c)
      if (*c >= 'A' && *c <= 'Z') *c = static_cast<char>(*c - 'A' + 'a');
    if (FormatForExtension(extension) >= 0) continue;
    files.push_back(path);
  }
  DragFinish(drop);
  if (files.empty()) return;
  std::vector<const char*> paths;
  for (const std::string& file : files) paths.push_back(file.c_str());
  ImportHostFiles(window, paths.data(), static_cast<int>(paths.size()), nullptr);
}

void OnCommand(HWND window, int id) {
  switch (id) {
    case kCmdOpen: OpenImageCommand(window); break;
    case kCmdExport: {
      const int row = ListFirstSelected(App.ListWindow);
      if (row != -1) ExportSelectedFile(window, row);
      break;
    }
    case kCmdQuit: SendMessageW(window, WM_CLOSE, 0, 0); break;
    case kCmdAbout:
      DialogBoxParamW(static_cast<HINSTANCE>(App.Instance), MAKEINTRESOURCEW(IDD_ABOUT), window,
                      AboutDlgProc, 0);
      break;
    case kCmdMz: SetMachineMode(window, kModeMz); break;
    case kCmdPc: SetMachineMode(window, kModePc); break;
    case kCmdBinary: SetTransferMode(window, kTransferBinary); break;
    case kCmdAscii: SetTransferMode(window, kTransferAscii); break;
    case kCmdImport: {
      // The reload after a change keeps the selection where it can.
      const int row = ListFirstSelected(App.ListWindow);
      ImportHostFile(window);
      if (row != -1 && App.VolumeLoaded && ListFirstSelected(App.ListWindow) == -1) SelectOnly(row);
      break;
    }
    case kCmdDelete: DeleteCommand(window); break;
    case kCmdAttributes: {
      const int row = ListFirstSelected(App.ListWindow);
      if (row != -1) AttributesCommand(window, row);
      break;
    }
    case kCmdUndo: UndoLastChange(window); break;
    case kCmdRedo: RedoLastChange(window); break;
    case kCmdIdentify: {
      // The convention found is switched to and the image read again under it.
      const int mode = IdentifyImageCommand(window);
      if (mode < 0) break;
      const bool reloads = ListRowCount(App.ListWindow) != 0;
      SetMachineMode(window, mode);
      if (!reloads) LoadVolume(window);
      break;
    }
    case kCmdNew: NewImageCommand(window); break;
    case kCmdExportToFolder: ExportSelectedToFolder(window); break;
    default: break;
  }
  UpdateFileCommands(window);
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
  HWND window = CreateWindowExW(0, kMainClassName, WideFromProgramText(kProgramTitle).c_str(),
                                WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT, kMainWidth,
                                kMainHeight, nullptr, nullptr, instance, nullptr);
  if (!window) return 0;
  ShowWindow(window, showCommand);
  UpdateWindow(window);
  return 1;
}

HWND MainWindowHandle() { return MainWindow; }

LRESULT CALLBACK MainWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE: return OnCreate(window);
    case WM_SIZE: OnSize(lParam); return 0;
    case WM_CLOSE:
      if (PlatformMessageBox(window, kMsgQuitQuestion, kCaptionQuit, kMbYesNo | kMbIconQuestion) ==
          kIdYes) {
        DestroyWindow(window);
      }
      return 0;
    case WM_DESTROY: PostQuitMessage(0); return 0;
    case WM_DROPFILES: OnDropFiles(window, reinterpret_cast<HDROP>(wParam)); return 0;
    case WM_COMMAND: OnCommand(window, LOWORD(wParam)); return 0;
    case WM_NOTIFY: {
      const auto* header = reinterpret_cast<const NMHDR*>(lParam);
      if (header && header->idFrom == static_cast<UINT_PTR>(kListId))
        return OnListNotify(window, header);
      return DefWindowProcW(window, message, wParam, lParam);
    }
    default: return DefWindowProcW(window, message, wParam, lParam);
  }
}

INT_PTR CALLBACK AboutDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  if (message == WM_COMMAND && LOWORD(wParam) == IDOK) {
    EndDialog(dialog, 1);
    return TRUE;
  }
  return FALSE;
}
