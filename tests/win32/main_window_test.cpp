// The main window on its own: start-up state, layout, the mode commands, About and closing.
#include <gtest/gtest.h>
#include <windows.h>
// After windows.h:
#include <commctrl.h>
#include <shlobj.h>

#include "app/main_window.h"
#include "flows/app_state.h"
#include "gui_fixture.h"
#include "texts/texts.h"
#include "view/directory_list.h"

namespace gui {
namespace {

class MainWindowTest : public GuiTest {};

RECT ChildRect(HWND parent, HWND child) {
  RECT rect;
  GetWindowRect(child, &rect);
  MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

std::wstring MenuText(HMENU menu, UINT item, UINT flags) {
  wchar_t text[128] = {};
  GetMenuStringW(menu, item, text, 128, flags);
  return text;
}

TEST_F(MainWindowTest, StartsWithTheWelcomePanelAnEmptyListAndTheInitialMarks) {
  StartProgram();
  EXPECT_TRUE(driver_.boxes().empty());
  EXPECT_TRUE(IsWindowVisible(main_));
  EXPECT_EQ(Driver::Text(main_), L"Zelvo Explorer");
  EXPECT_EQ(Driver::Text(Panel()), Shown(kWelcomePanel));
  EXPECT_EQ(RowCount(), 0);

  EXPECT_TRUE(MenuEnabled(40002));
  EXPECT_FALSE(MenuEnabled(40003));
  EXPECT_FALSE(MenuEnabled(40010));
  EXPECT_TRUE(MenuEnabled(40004));
  EXPECT_TRUE(MenuEnabled(40005));
  EXPECT_TRUE(MenuChecked(40006));
  EXPECT_FALSE(MenuChecked(40007));
  EXPECT_TRUE(MenuChecked(40008));
  EXPECT_FALSE(MenuChecked(40009));

  EXPECT_EQ(App.MachineMode, kModeMz);
  EXPECT_EQ(App.TransferMode, kTransferBinary);
  EXPECT_EQ(App.VolumeLoaded, 0);
  EXPECT_NE(App.Tables.TBL1['A'], 0) << "the code tables were not read";
  EXPECT_TRUE(GetWindowLongW(main_, GWL_EXSTYLE) & WS_EX_ACCEPTFILES);
}

TEST_F(MainWindowTest, ClassWindowAndChildrenAreBuiltAsSpecified) {
  StartProgram();
  wchar_t name[64];
  GetClassNameW(main_, name, 64);
  EXPECT_STREQ(name, L"ZelvoExp");
  EXPECT_EQ(GetClassLongW(main_, GCL_STYLE), static_cast<DWORD>(CS_HREDRAW | CS_VREDRAW));
  EXPECT_EQ(reinterpret_cast<HBRUSH>(GetClassLongPtrW(main_, GCLP_HBRBACKGROUND)),
            GetStockObject(WHITE_BRUSH));
  HICON icon = reinterpret_cast<HICON>(GetClassLongPtrW(main_, GCLP_HICON));
  ASSERT_NE(icon, nullptr);
  ICONINFO info;
  ASSERT_TRUE(GetIconInfo(icon, &info));
  BITMAP mask;
  GetObjectW(info.hbmMask, sizeof mask, &mask);
  EXPECT_EQ(mask.bmWidth, 32);
  if (info.hbmColor) DeleteObject(info.hbmColor);
  DeleteObject(info.hbmMask);

  const LONG style = GetWindowLongW(main_, GWL_STYLE);
  EXPECT_EQ(style & WS_OVERLAPPEDWINDOW, static_cast<LONG>(WS_OVERLAPPEDWINDOW));
  RECT frame;
  GetWindowRect(main_, &frame);
  EXPECT_EQ(frame.right - frame.left, 600);
  EXPECT_EQ(frame.bottom - frame.top, 480);

  EXPECT_EQ(GetDlgCtrlID(Panel()), 1001);
  GetClassNameW(Panel(), name, 64);
  EXPECT_EQ(_wcsicmp(name, L"Static"), 0);
  EXPECT_EQ(GetDlgCtrlID(List()), 1002);
  GetClassNameW(List(), name, 64);
  EXPECT_STREQ(name, L"SysListView32");
  const LONG listStyle = GetWindowLongW(List(), GWL_STYLE);
  EXPECT_EQ(listStyle & LVS_TYPEMASK, LVS_REPORT);
  EXPECT_FALSE(listStyle & LVS_SINGLESEL);
  EXPECT_FALSE(listStyle & (LVS_SORTASCENDING | LVS_SORTDESCENDING));

  for (int column = 0; column < kColumnCount; ++column) {
    wchar_t title[32] = {};
    LVCOLUMNW info{};
    info.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT;
    info.pszText = title;
    info.cchTextMax = 32;
    ASSERT_TRUE(SendMessageW(List(), LVM_GETCOLUMNW, column, reinterpret_cast<LPARAM>(&info)));
    EXPECT_EQ(title, Shown(kColumnTitles[column])) << column;
    EXPECT_EQ(info.cx, kColumnWidths[column]) << column;
    EXPECT_EQ(info.fmt & LVCFMT_JUSTIFYMASK, LVCFMT_LEFT) << column;
  }
}

TEST_F(MainWindowTest, PanelAndListFollowTheClientArea) {
  StartProgram();
  struct Size {
    int width;
    int height;
  };
  for (const Size size : {Size{600, 480}, Size{800, 300}, Size{420, 200}}) {
    MoveWindow(main_, 10, 10, size.width, size.height, TRUE);
    RECT client;
    GetClientRect(main_, &client);
    const RECT panel = ChildRect(main_, Panel());
    EXPECT_EQ(panel.left, 0);
    EXPECT_EQ(panel.top, 0);
    EXPECT_EQ(panel.right, client.right);
    EXPECT_EQ(panel.bottom, 76);
    const RECT list = ChildRect(main_, List());
    EXPECT_EQ(list.left, 0);
    EXPECT_EQ(list.top, 76);
    EXPECT_EQ(list.right, client.right);
    // The status bar takes the bottom; the list fills the rest.
    const RECT bar = ChildRect(main_, GetDlgItem(main_, 1300));
    EXPECT_GT(bar.bottom - bar.top, 10);
    EXPECT_EQ(bar.bottom, client.bottom);
    EXPECT_EQ(list.bottom, bar.top);
  }
}

TEST_F(MainWindowTest, MenuResourceHoldsEveryCommandWithItsText) {
  StartProgram();
  HMENU bar = GetMenu(main_);
  ASSERT_EQ(GetMenuItemCount(bar), 6);
  EXPECT_EQ(MenuText(bar, 0, MF_BYPOSITION), L"\uFF8C\uFF67\uFF72\uFF99(&F)");
  EXPECT_EQ(MenuText(bar, 1, MF_BYPOSITION), L"\u7DE8\u96C6(&E)");
  EXPECT_EQ(MenuText(bar, 2, MF_BYPOSITION), L"\u8868\u793A(&V)");
  EXPECT_EQ(MenuText(bar, 3, MF_BYPOSITION), L"MZ/PC(&M)");
  EXPECT_EQ(MenuText(bar, 4, MF_BYPOSITION), L"BIN/ASC(&B)");
  EXPECT_EQ(MenuText(bar, 5, MF_BYPOSITION), L"ABOUT(&A)");
  HMENU view = GetSubMenu(bar, 2);
  ASSERT_EQ(GetMenuItemCount(view), 3);
  EXPECT_EQ(GetMenuItemID(view, 0), 40357u);
  EXPECT_EQ(MenuText(view, 0, MF_BYPOSITION), L"\u30BB\u30AF\u30BF\u8868\u793A(&S)...");
  EXPECT_EQ(GetMenuItemID(view, 2), 40360u);
  EXPECT_EQ(MenuText(view, 2, MF_BYPOSITION), L"English");
  HMENU edit = GetSubMenu(bar, 1);
  ASSERT_EQ(GetMenuItemCount(edit), 6);
  EXPECT_EQ(GetMenuItemID(edit, 0), 40020u);
  EXPECT_EQ(GetMenuItemID(edit, 1), 40021u);
  EXPECT_EQ(GetMenuItemID(edit, 3), 40030u);
  EXPECT_EQ(GetMenuItemID(edit, 4), 40031u);
  EXPECT_EQ(GetMenuItemID(edit, 5), 40303u);
  EXPECT_EQ(MenuText(edit, 5, MF_BYPOSITION),
            L"\u524A\u9664\u3057\u305F\u30D5\u30A1\u30A4\u30EB\u306E\u5FA9\u5143(&F)...");
  HMENU file = GetSubMenu(bar, 0);
  ASSERT_EQ(GetMenuItemCount(file), 14);
  const UINT fileIds[] = {40040, 40002, 40070, 40060, 40062, 0, 40003,
                          40041, 40071, 40010, 40250, 40061, 0, 40004};
  for (int i = 0; i < 14; ++i) EXPECT_EQ(GetMenuItemID(file, i), fileIds[i]) << i;
  EXPECT_TRUE(GetMenuState(file, 5, MF_BYPOSITION) & MF_SEPARATOR);
  EXPECT_TRUE(GetMenuState(file, 12, MF_BYPOSITION) & MF_SEPARATOR);
  // The keyboard's accelerators follow the texts after a tab.
  const struct {
    UINT id;
    const wchar_t* text;
  } items[] = {
      {40040, L"\u65B0\u898F\u4F5C\u6210(&N)...\tCtrl+N"},
      {40060, L"\u8AAD\u307F\u8FBC\u307F\u76F4\u3057(&R)\tF5"},
      {40062, L"ディスクを選ぶ(&D)..."},
      {40250,
       L"\u8907\u6570\u306E\u30D5\u30A1\u30A4\u30EB\u3092\u30A4\u30F3\u30DD\u30FC\u30C8(&M)..."},
      {40002, L"Zelvo\uFF8C\uFF67\uFF72\uFF99\u3092\u958B\u304F(&O)\tCtrl+O"},
      {40070, L"\u540D\u524D\u3092\u4ED8\u3051\u3066\u4FDD\u5B58(&A)..."},
      {40003, L"\u30A8\u30AF\u30B9\u30DD\u30FC\u30C8(&E)\tCtrl+E"},
      {40041,
       L"\u9078\u629E\u3057\u305F\u30D5\u30A1\u30A4\u30EB\u3092\u30D5\u30A9\u30EB\u30C0"
       L"\u3078(&F)..."},
      {40010, L"\u30A4\u30F3\u30DD\u30FC\u30C8(&I)\tCtrl+I"},
      {40061, L"\u691C\u67FB(&C)"},
      {40004, L"\u7D42\u4E86(&Q)"},
      {40006, L"MZ(&M)"},
      {40007, L"PC(&P)"},
      {40008, L"Binary(&B)"},
      {40009, L"Ascii(&A)"},
      {40005, L"Zelvo Explorer\u306B\u3064\u3044\u3066(&H)"},
      {40020, L"\u5143\u306B\u623B\u3059(&U)\tCtrl+Z"},
      {40021, L"\u3084\u308A\u76F4\u3057(&R)\tCtrl+Y"},
      {40030, L"\u524A\u9664(&D)\tDel"},
      {40031, L"\u540D\u524D\u3068\u5C5E\u6027\u306E\u5909\u66F4(&A)...\tF2"},
  };
  for (const auto& item : items) EXPECT_EQ(MenuText(bar, item.id, MF_BYCOMMAND), item.text);
}

TEST_F(MainWindowTest, ModeCommandsMoveTheMarksWithoutAVolume) {
  StartProgram();
  EXPECT_EQ(Command(40007), 0);
  EXPECT_EQ(App.MachineMode, kModePc);
  EXPECT_FALSE(MenuChecked(40006));
  EXPECT_TRUE(MenuChecked(40007));
  EXPECT_EQ(Command(40009), 0);
  EXPECT_EQ(App.TransferMode, kTransferAscii);
  EXPECT_FALSE(MenuChecked(40008));
  EXPECT_TRUE(MenuChecked(40009));
  EXPECT_EQ(Command(40006), 0);
  EXPECT_EQ(App.MachineMode, kModeMz);
  EXPECT_TRUE(MenuChecked(40006));
  EXPECT_FALSE(MenuChecked(40007));
  EXPECT_EQ(Command(40008), 0);
  EXPECT_EQ(App.TransferMode, kTransferBinary);
  EXPECT_TRUE(MenuChecked(40008));
  EXPECT_FALSE(MenuChecked(40009));
  // Nothing was loaded on the way: no dialog, no box, still the welcome text.
  EXPECT_TRUE(driver_.boxes().empty());
  EXPECT_TRUE(driver_.fileDialogs().empty());
  EXPECT_EQ(Driver::Text(Panel()), Shown(kWelcomePanel));
  EXPECT_EQ(App.VolumeLoaded, 0);
}

TEST_F(MainWindowTest, ExportWithoutAVolumeOrSelectionAndUnknownCommandsDoNothing) {
  StartProgram();
  EXPECT_EQ(Command(40003), 0);
  EXPECT_EQ(Command(40001), 0);
  EXPECT_EQ(Command(40011), 0);
  EXPECT_EQ(Command(40060), 0);  // F5 without an image
  EXPECT_EQ(Command(40061), 0);  // the check without a volume
  EXPECT_TRUE(driver_.boxes().empty());
  EXPECT_TRUE(driver_.fileDialogs().empty());
  EXPECT_TRUE(IsWindow(main_));
}

TEST_F(MainWindowTest, AboutBoxClosesWithOkOnly) {
  StartProgram();
  HWND about = nullptr;
  HWND owner = nullptr;
  bool openAfterCancel = false;
  std::vector<std::wstring> texts;
  LONG style = 0;
  driver_.Expect(Kind::kAbout, [&](HWND dialog) {
    about = dialog;
    owner = GetWindow(dialog, GW_OWNER);
    style = GetWindowLongW(dialog, GWL_STYLE);
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
      texts.push_back(Driver::Text(child));
    }
    Driver::Press(dialog, IDCANCEL);  // Escape
    PostMessageW(dialog, WM_CLOSE, 0, 0);
    driver_.Later([&, dialog] {
      openAfterCancel = IsWindow(dialog) && IsWindowVisible(dialog);
      Driver::Press(dialog, IDOK);
    });
  });
  EXPECT_EQ(Command(40005), 0);
  EXPECT_TRUE(openAfterCancel);
  EXPECT_FALSE(IsWindow(about));
  EXPECT_EQ(owner, main_);
  EXPECT_FALSE(style & WS_SYSMENU);
  EXPECT_TRUE(style & WS_CAPTION);
  ASSERT_EQ(texts.size(), 4u);
  EXPECT_EQ(texts[0], L"OK");
  EXPECT_EQ(texts[1], L"Zelvo Explorer Ver. 0.9");
  EXPECT_FALSE(texts[2].empty());
  EXPECT_EQ(texts[3], L"2003. 1. 1");
  EXPECT_TRUE(driver_.boxes().empty());
}

TEST_F(MainWindowTest, ClosingAsksAndNoKeepsTheWindow) {
  StartProgram();
  // The close box, Alt+F4 (the system menu's close) and Quit all ask; No leaves all as it was.
  driver_.AnswerBox(IDNO);
  driver_.AnswerBox(IDNO);
  driver_.AnswerBox(IDNO);
  EXPECT_EQ(SendMessageW(main_, WM_CLOSE, 0, 0), 0);
  SendMessageW(main_, WM_SYSCOMMAND, SC_CLOSE, 0);
  EXPECT_EQ(Command(40004), 0);
  ASSERT_EQ(driver_.boxes().size(), 3u);
  for (const ShownBox& box : driver_.boxes()) {
    EXPECT_EQ(box.text, Shown(kMsgQuitQuestion));
    EXPECT_EQ(box.caption, Shown(kCaptionQuit));
    EXPECT_TRUE(box.hasYesNo);
    EXPECT_TRUE(box.hasIcon);
    EXPECT_EQ(box.owner, main_);
  }
  EXPECT_TRUE(IsWindow(main_));
  MSG quit;
  EXPECT_FALSE(PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_NOREMOVE));
}

TEST_F(MainWindowTest, QuitWithYesDestroysTheWindowAndPostsExitCodeZero) {
  StartProgram();
  driver_.AnswerBox(IDYES);
  EXPECT_EQ(Command(40004), 0);
  EXPECT_FALSE(IsWindow(main_));
  MSG quit;
  ASSERT_TRUE(PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
  EXPECT_EQ(quit.wParam, 0u);
}

// The whole program from its entry point: the window comes up, the first close is refused, Quit
// is confirmed, and WinMain returns 0.
TEST_F(MainWindowTest, WinMainRunsUntilTheCloseIsConfirmed) {
  HWND shown = nullptr;
  driver_.Expect(Kind::kMainWindow, [&](HWND window) {
    shown = window;
    PostMessageW(window, WM_CLOSE, 0, 0);
  });
  driver_.Expect(Kind::kBox, [&](HWND box) {
    Driver::Press(box, IDNO);
    PostMessageW(shown, WM_COMMAND, 40004, 0);
  });
  driver_.AnswerBox(IDYES);
  char commandLine[] = "";
  EXPECT_EQ(WinMain(instance_, nullptr, commandLine, SW_SHOWNORMAL), 0);
  ASSERT_NE(shown, nullptr);
  EXPECT_FALSE(IsWindow(shown));
  ASSERT_EQ(driver_.boxes().size(), 2u);
  EXPECT_EQ(driver_.boxes()[1].text, Shown(kMsgQuitQuestion));
}

}  // namespace
}  // namespace gui
