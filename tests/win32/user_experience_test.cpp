// The program as a user meets it: dates typed in full, the title after an import, the selection
// and the focus after dialogs, the command line, dropped files, sorting, the keyboard, the status
// bar and the volume check; screenshots of the dialogs.
#include <gtest/gtest.h>
#include <windows.h>
// After windows.h:
#include <commctrl.h>
#include <shlobj.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "app/import_many.h"
#include "app/main_window.h"
#include "app/settings.h"
#include "flows/app_state.h"
#include "flows/batch_export.h"
#include "flows/export.h"
#include "gui_fixture.h"
#include "platform/win32/win32_controls.h"
#include "platform/win32/win32_text.h"
#include "resources/resource.h"
#include "screenshot.h"
#include "support/test_support.h"
#include "texts/texts.h"
#include "view/status_bar.h"
#include "volume/bit_table.h"

namespace gui {
namespace {

constexpr int kYearEdit = 1008, kMonthEdit = 1009, kDayEdit = 1010;

class UserTest : public GuiTest {
 protected:
  void SetUp() override {
    GuiTest::SetUp();
    StartProgram();
    image_ = WriteImage(SampleVolume(), "disk.d88");
  }

  std::wstring Title() const { return L"Zelvo Explorer - " + WideFromAnsi(image_.c_str()); }

  int SelectedShown() const {
    return static_cast<int>(
        SendMessageW(List(), LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
  }

  std::wstring Status(int part) const {
    HWND bar = GetDlgItem(main_, kStatusBarId);
    const int length = LOWORD(SendMessageW(bar, SB_GETTEXTLENGTHW, part, 0));
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    SendMessageW(bar, SB_GETTEXTW, part, reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<size_t>(length));
    return text;
  }

  void ClickColumn(int column) {
    NMLISTVIEW click{};
    click.hdr.hwndFrom = List();
    click.hdr.idFrom = kListId;
    click.hdr.code = LVN_COLUMNCLICK;
    click.iItem = -1;
    click.iSubItem = column;
    SendMessageW(main_, WM_NOTIFY, kListId, reinterpret_cast<LPARAM>(&click));
  }

  void Drop(const std::vector<std::string>& paths) {
    std::wstring names;
    for (const std::string& path : paths) {
      names += WideFromAnsi(path.c_str());
      names.push_back(L'\0');
    }
    names.push_back(L'\0');
    const size_t bytes = names.size() * sizeof(wchar_t);
    HGLOBAL memory = GlobalAlloc(GHND, sizeof(DROPFILES) + bytes);
    auto* drop = static_cast<DROPFILES*>(GlobalLock(memory));
    drop->pFiles = sizeof(DROPFILES);
    drop->fWide = TRUE;
    std::memcpy(reinterpret_cast<char*>(drop) + sizeof(DROPFILES), names.data(), bytes);
    GlobalUnlock(memory);
    EXPECT_EQ(SendMessageW(main_, WM_DROPFILES, reinterpret_cast<WPARAM>(memory), 0), 0);
  }

  // Closes the program's window as at the end of a run, so that StartProgram or WinMain can run
  // it again; the quit message of the first run is taken away.
  void EndFirstRun() {
    DestroyWindow(main_);
    MSG quit;
    while (PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
    }
    UnregisterClassW(kMainClassName, instance_);
    ResetAppState();
  }

  std::string image_;
};

// Types the text as keys into an edit control of a dialog, replacing what it holds.
void TypeInto(HWND dialog, int id, const wchar_t* text) {
  HWND edit = GetDlgItem(dialog, id);
  SendMessageW(edit, EM_SETSEL, 0, -1);
  SendMessageW(edit, WM_CHAR, VK_BACK, 0);
  for (const wchar_t* c = text; *c; ++c) SendMessageW(edit, WM_CHAR, *c, 0);
}

// Whether the edit's text shows whole in its formatting rectangle.
bool ShowsWhole(HWND dialog, int id) {
  HWND edit = GetDlgItem(dialog, id);
  RECT area;
  SendMessageW(edit, EM_GETRECT, 0, reinterpret_cast<LPARAM>(&area));
  const std::wstring text = Driver::Text(edit);
  HDC dc = GetDC(edit);
  HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(edit, WM_GETFONT, 0, 0)));
  SIZE size{};
  GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
  SelectObject(dc, old);
  ReleaseDC(edit, dc);
  return size.cx <= area.right - area.left;
}

void Settle() {
  const DWORD until = GetTickCount() + 300;
  while (GetTickCount() < until) {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
    Sleep(20);
  }
}

std::string Localised(const std::string& name) {
  return BesideExecutable(name + (GetACP() == 932 ? "_ja.png" : "_en.png"));
}

TEST_F(UserTest, ImportTakesADateTypedInFullAndKeepsTheImageInTheTitle) {
  OpenImage(image_);
  ASSERT_EQ(RowCount(), 3);
  const std::string host = scratch_.Path("hello.txt");
  testimg::WriteFile(host, {'h', 'i', '\r', '\n'});

  std::wstring typed[3];
  bool whole[3] = {};
  driver_.ChooseFile(host);
  driver_.Expect(Kind::kAttributes, [&](HWND dialog) {
    const int ids[] = {kYearEdit, kMonthEdit, kDayEdit};
    for (int i = 0; i < 3; ++i) {
      TypeInto(dialog, ids[i], L"12");
      typed[i] = Driver::ItemText(dialog, ids[i]);
      whole[i] = ShowsWhole(dialog, ids[i]);
    }
    SetDlgItemTextW(dialog, 1000, L"GREETING");
    RedrawWindow(dialog, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    Settle();
    WritePng(CaptureWindow(dialog), Localised("attribute_dialog"));
    Driver::Press(dialog, IDOK);
  });
  driver_.AnswerBox(IDYES);
  driver_.AnswerBox(IDOK);
  Command(40010);

  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(typed[i], L"12") << i;
    EXPECT_TRUE(whole[i]) << "the two digits do not show whole in field " << i;
  }
  ASSERT_EQ(driver_.boxes().size(), 2u) << "the date was refused";
  EXPECT_EQ(driver_.boxes()[1].text, Shown(kMsgImportSucceeded));
  ASSERT_EQ(RowCount(), 4);
  EXPECT_EQ(CellShown(3, 6), L"12/12/12");
  // The title names the image, not the imported host file.
  EXPECT_EQ(Driver::Text(main_), Title());
  // The success box's text is the outcome in the status bar.
  EXPECT_EQ(Status(kStatusOutcome), Shown(kMsgImportSucceeded));
  EXPECT_EQ(GetFocus(), List());
}

TEST_F(UserTest, TheSelectionShowsAndTheListHasTheFocusAfterOpenAndAfterDialogs) {
  EXPECT_TRUE(GetWindowLongW(List(), GWL_STYLE) & LVS_SHOWSELALWAYS);
  EXPECT_TRUE(SendMessageW(List(), LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0) & LVS_EX_FULLROWSELECT);
  OpenImage(image_);
  EXPECT_EQ(SelectedShown(), 0) << "the first row is selected after a load";
  EXPECT_EQ(GetFocus(), List());

  SelectRows({2});
  driver_.Expect(Kind::kAbout, [](HWND dialog) {
    Settle();
    WritePng(CaptureWindow(dialog), Localised("about_box"));
    Driver::Press(dialog, IDOK);
  });
  Command(40005);
  EXPECT_EQ(GetFocus(), List());
  EXPECT_EQ(SelectedShown(), 2);

  driver_.CancelFileDialog();
  Command(40010);
  EXPECT_EQ(GetFocus(), List());
  EXPECT_EQ(SelectedShown(), 2);

  // A reload (the mode switch) selects the first row again.
  Command(40007);
  Command(40006);
  EXPECT_EQ(SelectedShown(), 0);
  EXPECT_EQ(GetFocus(), List());
}

TEST(CommandLine, NamesTheFirstPath) {
  const struct {
    const char* line;
    const char* path;
  } cases[] = {
      {"", nullptr},
      {"   \t", nullptr},
      {"C:\\disks\\a.d88", "C:\\disks\\a.d88"},
      {"  C:\\my disks\\a b.d88  ", "C:\\my disks\\a b.d88"},
      {"\"C:\\my disks\\a.2d\" --other", "C:\\my disks\\a.2d"},
      {"\"C:\\unclosed.d20", "C:\\unclosed.d20"},
      {"\"\"", nullptr},
  };
  for (const auto& c : cases) {
    std::string path;
    EXPECT_EQ(CommandLinePath(c.line, &path), c.path != nullptr) << c.line;
    if (c.path) {
      EXPECT_EQ(path, c.path) << c.line;
    }
  }
}

TEST_F(UserTest, TheCommandLineOpensAnImageAsTheOpenDialogWould) {
  OpenFromCommandLine(main_, ("\"" + image_ + "\"").c_str());
  EXPECT_TRUE(driver_.fileDialogs().empty());
  EXPECT_TRUE(driver_.boxes().empty());
  ASSERT_EQ(RowCount(), 3);
  EXPECT_STREQ(App.ImagePath, image_.c_str());
  EXPECT_STREQ(App.ChosenPath, image_.c_str());
  EXPECT_EQ(Driver::Text(main_), Title());
  EXPECT_EQ(SelectedShown(), 0);

  // A path relative to the current folder becomes the full path the dialog would give.
  char previous[MAX_PATH];
  GetCurrentDirectoryA(MAX_PATH, previous);
  const std::string other = WriteImage(SampleVolume(), "other.2d");
  SetCurrentDirectoryA(scratch_.Path("").c_str());
  OpenFromCommandLine(main_, "other.2d");
  SetCurrentDirectoryA(previous);
  EXPECT_STREQ(App.ImagePath, other.c_str());
  EXPECT_EQ(App.ImageFormat, kFormat2D);

  // An extension that is no image's: the Open command's own refusal, the image stays.
  driver_.AnswerBox(IDOK);
  OpenFromCommandLine(main_, scratch_.Path("notes.txt").c_str());
  ASSERT_EQ(driver_.boxes().size(), 1u);
  EXPECT_EQ(driver_.boxes()[0].text, Shown(kMsgBadExtension));
  EXPECT_EQ(driver_.boxes()[0].caption, Shown(kCaptionExtension));
  EXPECT_STREQ(App.ImagePath, other.c_str());
  EXPECT_EQ(RowCount(), 3);
}

// The whole program started with an image on its command line.
TEST_F(UserTest, WinMainOpensTheImageOnItsCommandLine) {
  EndFirstRun();
  int rows = -1;
  std::wstring title;
  driver_.Expect(Kind::kMainWindow, [&](HWND window) {
    rows =
        static_cast<int>(SendMessageW(static_cast<HWND>(App.ListWindow), LVM_GETITEMCOUNT, 0, 0));
    title = Driver::Text(window);
    PostMessageW(window, WM_COMMAND, 40004, 0);
  });
  driver_.AnswerBox(IDYES);
  std::string line = "\"" + image_ + "\"";
  EXPECT_EQ(WinMain(instance_, nullptr, line.data(), SW_SHOWNORMAL), 0);
  EXPECT_EQ(rows, 3);
  EXPECT_EQ(title, Title());
}

TEST_F(UserTest, ADroppedImageIsOpenedAndOtherFilesAreImportedIntoIt) {
  const std::string host = scratch_.Path("notes.txt");
  testimg::WriteFile(host, {'x'});
  const std::string second = WriteImage(SampleVolume(), "second.2d");

  // Only a host file, no image open: the import says so, nothing opens.
  driver_.AnswerBox(IDOK);
  Drop({host});
  ASSERT_EQ(driver_.boxes().size(), 1u);
  EXPECT_EQ(driver_.boxes()[0].text, Shown(kMsgImportNotReady));
  EXPECT_EQ(App.ImagePath[0], '\0');
  EXPECT_EQ(RowCount(), 0);

  // Several images: the first.
  Drop({image_, second});
  EXPECT_EQ(driver_.boxes().size(), 1u);
  EXPECT_TRUE(driver_.fileDialogs().empty());
  EXPECT_STREQ(App.ImagePath, image_.c_str());
  EXPECT_EQ(RowCount(), 3);
  EXPECT_EQ(Driver::Text(main_), Title());
  EXPECT_EQ(GetFocus(), List());

  // An image and a host file: the image opens, the host file goes into it; the image shown
  // before is left as it was.
  const std::vector<uint8_t> first = testimg::ReadFile(image_);
  driver_.Expect(Kind::kAttributes, [](HWND dialog) { Driver::Press(dialog, IDOK); });
  driver_.AnswerBox(IDYES);
  driver_.AnswerBox(IDOK);
  Drop({host, second});
  EXPECT_TRUE(driver_.failures().empty());
  EXPECT_EQ(driver_.pendingSteps(), 0u);
  EXPECT_STREQ(App.ImagePath, second.c_str());
  EXPECT_EQ(RowCount(), 4);
  EXPECT_TRUE(testsupport::BytesEqual(first, testimg::ReadFile(image_)));
  EXPECT_TRUE(IsImagePath("A.D77"));
  EXPECT_FALSE(IsImagePath("a.d88.bak"));
}

TEST_F(UserTest, SortedRowsExportTheirOwnFilesAndAReloadKeepsTheOrder) {
  OpenImage(image_);
  const std::vector<SampleFile> files = SampleFiles();  // HELLO, README.TXT, GAME
  const std::wstring game = L"\uFF27\uFF21\uFF2D\uFF25";
  const std::wstring readme = CellShown(1, 0);

  ClickColumn(0);
  bool descending = true;
  EXPECT_EQ(ListSortColumn(List(), &descending), 0);
  EXPECT_FALSE(descending);
  EXPECT_EQ(CellShown(0, 0), game);
  EXPECT_EQ(CellShown(2, 0), readme);

  SelectRows({0});
  const std::string first = scratch_.Path("first.bin");
  driver_.ChooseFile(first);
  Command(40003);
  EXPECT_EQ(testimg::ReadFile(first), files[2].data);
  // The default name is the row's name as the list shows it (under another ANSI code page, as the
  // folder export converts it: full-width letters to their plain forms).
  EXPECT_EQ(driver_.fileDialogs().back().fileName,
            GetACP() == 932 ? game + L".SCD" : std::wstring(L"GAME.SCD"));

  // Again: the other way round; F5 reloads and keeps that order, with the first row selected.
  ClickColumn(0);
  EXPECT_EQ(CellShown(0, 0), readme);
  SendMessageW(List(), LVM_DELETEITEM, 1, 0);  // shows whether the reload happened
  Command(40060);
  ASSERT_EQ(RowCount(), 3);
  EXPECT_EQ(CellShown(0, 0), readme);
  EXPECT_EQ(CellShown(2, 0), game);
  EXPECT_EQ(SelectedShown(), 0);

  // Enter on the row exports it.
  const std::string second = scratch_.Path("second.bin");
  driver_.ChooseFile(second);
  SendMessageW(List(), WM_KEYDOWN, VK_RETURN, 0);
  EXPECT_EQ(testimg::ReadFile(second), files[1].data);

  // Numbers sort by value: the length column, shortest first.
  ClickColumn(4);
  EXPECT_EQ(CellShown(0, 0), L"\uFF28\uFF25\uFF2C\uFF2C\uFF2F");
  EXPECT_EQ(CellShown(2, 0), game);
  EXPECT_EQ(ListSortColumn(List(), &descending), 4);
  EXPECT_FALSE(descending);
  // The column's title carries the arrow where the title still shows whole beside it, no other
  // does; each column sorted in turn, the name's title (the widest) always has room.
  HWND header = reinterpret_cast<HWND>(SendMessageW(List(), LVM_GETHEADER, 0, 0));
  EXPECT_TRUE(SortMarkFits(List(), 0));
  for (int sorted : {4, 0, 1, 2, 6, 7, 8, 4}) {
    ClickColumn(sorted);
    for (int column = 0; column < 9; ++column) {
      HDITEMW item{};
      item.mask = HDI_FORMAT;
      SendMessageW(header, HDM_GETITEMW, column, reinterpret_cast<LPARAM>(&item));
      const bool marked = (item.fmt & (HDF_SORTUP | HDF_SORTDOWN)) != 0;
      EXPECT_EQ(marked, column == sorted && SortMarkFits(List(), column)) << sorted << column;
    }
  }
  EXPECT_EQ(ListSortColumn(List(), &descending), 4);
  EXPECT_FALSE(descending);
  SetForegroundWindow(main_);
  RedrawWindow(main_, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  Settle();
  WritePng(CaptureWindow(main_), Localised("sorted_list"));
}

TEST_F(UserTest, TheStatusBarTellsModesCountsAndOutcomes) {
  EXPECT_EQ(Status(kStatusModes), L"MZ / Binary");
  EXPECT_EQ(Status(kStatusVolume), L"");
  OpenImage(image_);
  wchar_t counts[96];
  int longest = 0;
  const int usable = UsableFreeSectors(App.SystemArea, &longest);
  swprintf(counts, 96, L"3ファイル、空き%dセクタ、最大%dバイト", usable,
           std::min(longest * 256, 65535));
  EXPECT_EQ(Status(kStatusVolume), counts);
  Command(40009);
  Command(40007);
  EXPECT_EQ(Status(kStatusModes), L"PC / Ascii");
  Command(40006);
  Command(40008);

  SelectRows({1});
  driver_.ChooseFile(scratch_.Path("readme.txt"));
  Command(40003);
  EXPECT_EQ(Status(kStatusOutcome), CellShown(1, 0) + L"をエクスポートしました(557バイト)");

  // A refusal's message replaces it.
  testimg::WriteFile(scratch_.Path("disk.bak"), {0});
  driver_.ChooseFile(scratch_.Path("disk.bak"));
  driver_.AnswerBox(IDOK);
  Command(40002);
  EXPECT_EQ(Status(kStatusOutcome), Shown(kMsgBadExtension));
}

TEST_F(UserTest, TheKeyboardReachesTheCommands) {
  HACCEL table = LoadAcceleratorsW(instance_, MAKEINTRESOURCEW(IDR_ACCEL));
  ASSERT_NE(table, nullptr);
  std::vector<ACCEL> entries(static_cast<size_t>(CopyAcceleratorTableW(table, nullptr, 0)));
  CopyAcceleratorTableW(table, entries.data(), static_cast<int>(entries.size()));
  const struct {
    BYTE flags;
    WORD key;
    WORD command;
  } expected[] = {{FVIRTKEY | FCONTROL, 'O', 40002}, {FVIRTKEY | FCONTROL, 'E', 40003},
                  {FVIRTKEY | FCONTROL, 'I', 40010}, {FVIRTKEY, VK_F5, 40060},
                  {FVIRTKEY | FCONTROL, 'N', 40040}, {FVIRTKEY | FCONTROL, 'A', IDM_SELECT_ALL}};
  for (const auto& want : expected) {
    bool found = false;
    for (const ACCEL& entry : entries) {
      found = found || ((entry.fVirt & ~FNOINVERT) == want.flags && entry.key == want.key &&
                        entry.cmd == want.command);
    }
    EXPECT_TRUE(found) << want.command;
  }

  // F5 pressed in the list goes through the message loop's accelerators and reloads.
  OpenImage(image_);
  SendMessageW(List(), LVM_DELETEITEM, 0, 0);
  PostMessageW(List(), WM_KEYDOWN, VK_F5, 0);
  PostQuitMessage(0);
  RunMessageLoop(main_, table);
  EXPECT_EQ(RowCount(), 3);

  // Ctrl+E with the Control key held: the selected row is exported.
  BYTE keys[256];
  GetKeyboardState(keys);
  keys[VK_CONTROL] = 0x80;
  SetKeyboardState(keys);
  const std::string target = scratch_.Path("ctrl-e.bin");
  driver_.Expect(Kind::kFileDialog, [&target](HWND dialog) {
    SetWindowTextA(GetDlgItem(dialog, 0x47C), target.c_str());
    Driver::Press(dialog, IDOK);
    PostQuitMessage(0);  // read only after the dialog has ended and the export is done
  });
  PostMessageW(List(), WM_KEYDOWN, 'E', 0);
  RunMessageLoop(main_, table);
  keys[VK_CONTROL] = 0;
  SetKeyboardState(keys);
  EXPECT_EQ(testimg::ReadFile(target), SampleFiles()[0].data);
}

TEST_F(UserTest, TheCheckCommandTellsTheFindingsInABox) {
  OpenImage(image_);
  driver_.AnswerBox(IDOK);
  Command(40061);
  ASSERT_EQ(driver_.boxes().size(), 1u);
  EXPECT_EQ(driver_.boxes()[0].text, Shown(kMsgCheckClean));
  EXPECT_EQ(driver_.boxes()[0].caption, Shown(kCaptionCheck));
  EXPECT_EQ(driver_.boxes()[0].owner, main_);
  EXPECT_EQ(Status(kStatusOutcome), Shown(kMsgCheckClean));

  // A file whose run the bit table calls free: one finding, naming the file as the list does.
  testimg::VolumeBuilder damaged = SampleVolume();
  testimg::FileSpec stray;
  stray.name = "STRAY";
  stray.data.assign(600, 0x5A);
  stray.markUsed = false;
  damaged.AddFile(stray);
  const std::string damagedPath = WriteImage(damaged, "damaged.2d");
  OpenImage(damagedPath);
  const auto before = testimg::ReadFile(damagedPath);
  driver_.AnswerBox(IDOK);
  driver_.AnswerBox(IDNO);  // the repair offered after the report
  Command(40061);
  ASSERT_EQ(driver_.boxes().size(), 3u);
  EXPECT_TRUE(driver_.boxes()[2].hasYesNo);
  EXPECT_TRUE(testsupport::BytesEqual(before, testimg::ReadFile(damagedPath)));
  const std::wstring report = driver_.boxes()[1].text;
  char head[64];
  std::snprintf(head, sizeof head, kMsgCheckFound, 1);
  EXPECT_EQ(report.rfind(Shown(head) + L"\n", 0), 0u) << Narrow(report);
  EXPECT_NE(report.find(L"\uFF33\uFF34\uFF32\uFF21\uFF39: "), std::string::npos) << Narrow(report);
  EXPECT_EQ(Status(kStatusOutcome), Shown(head));
}

}  // namespace
}  // namespace gui

namespace gui {
namespace {

// The place, the column widths and the dialog folders come back at the next start; the modes
// do not.
TEST_F(UserTest, TheNextRunStartsWhereThisOneEnded) {
  MoveWindow(main_, 30, 40, 700, 520, TRUE);
  SendMessageW(List(), LVM_SETCOLUMNWIDTH, 0, 123);
  OpenImage(image_);
  Command(40007);
  Command(40009);
  EndFirstRun();
  FileDialogFolders().clear();

  StartProgram();
  RECT frame;
  GetWindowRect(main_, &frame);
  EXPECT_EQ(frame.left, 30);
  EXPECT_EQ(frame.top, 40);
  EXPECT_EQ(frame.right - frame.left, 700);
  EXPECT_EQ(frame.bottom - frame.top, 520);
  EXPECT_EQ(SendMessageW(List(), LVM_GETCOLUMNWIDTH, 0, 0), 123);
  EXPECT_EQ(SendMessageW(List(), LVM_GETCOLUMNWIDTH, 1, 0), 50);
  EXPECT_EQ(App.MachineMode, kModeMz);
  EXPECT_EQ(App.TransferMode, kTransferBinary);
  EXPECT_EQ(FileDialogFolders()[kOpenDialogTitle], scratch_.Path(""));

  // Each dialog keeps its own folder.
  OpenImage(image_);
  SelectRows({0});
  driver_.ChooseFile(scratch_.Path("out.bin"));
  Command(40003);
  EXPECT_EQ(FileDialogFolders()[kExportDialogTitle], scratch_.Path(""));
  EXPECT_EQ(FileDialogFolders().count(kImportDialogTitle), 0u);
  const std::string host = scratch_.Path("h.bin");
  testimg::WriteFile(host, {1, 2, 3});
  driver_.ChooseFile(host);
  driver_.Expect(Kind::kAttributes, [](HWND dialog) { Driver::Press(dialog, IDCANCEL); });
  Command(40010);
  EXPECT_EQ(FileDialogFolders()[kImportDialogTitle], scratch_.Path(""));
}

}  // namespace
}  // namespace gui

namespace gui {
namespace {

// A place that no screen shows any longer, or nonsense, is not taken.
TEST_F(UserTest, APlaceOffEveryScreenIsNotTaken) {
  EndFirstRun();
  const std::wstring file = SettingsFile();
  const struct {
    const wchar_t *left, *top, *right, *bottom, *width;
  } cases[] = {{L"-30000", L"-30000", L"-29000", L"-29000", L"0"},
               {L"10", L"10", L"20", L"20", L"-5"},
               {L"x", L"y", L"z", L"w", L"99999"}};
  for (const auto& c : cases) {
    WritePrivateProfileStringW(L"Window", L"Left", c.left, file.c_str());
    WritePrivateProfileStringW(L"Window", L"Top", c.top, file.c_str());
    WritePrivateProfileStringW(L"Window", L"Right", c.right, file.c_str());
    WritePrivateProfileStringW(L"Window", L"Bottom", c.bottom, file.c_str());
    WritePrivateProfileStringW(L"Columns", L"Width0", c.width, file.c_str());
    StartProgram();
    RECT frame;
    GetWindowRect(main_, &frame);
    EXPECT_EQ(frame.right - frame.left, 600) << Narrow(c.left);
    EXPECT_EQ(frame.bottom - frame.top, 480) << Narrow(c.left);
    EXPECT_EQ(SendMessageW(List(), LVM_GETCOLUMNWIDTH, 0, 0), 170) << Narrow(c.width);
    EndFirstRun();
    DeleteFileW(file.c_str());
  }
}

// ---- What a first-time user tripped over (second pass) ----------------------------------------

TEST_F(UserTest, TheStatusBarFollowsEachActionAndEachLoad) {
  OpenImage(image_);
  const std::wstring deleted = CellShown(1, 0);
  SelectRows({1});
  driver_.AnswerBox(IDYES);
  Command(IDM_DELETE);
  EXPECT_EQ(Status(kStatusOutcome), L"削除しました");
  Command(IDM_UNDO);
  EXPECT_EQ(Status(kStatusOutcome), L"元に戻しました");
  // The restored file is selected.
  ASSERT_GE(SelectedShown(), 0);
  EXPECT_EQ(CellShown(SelectedShown(), 0), deleted);
  Settle();
  WritePng(CaptureWindow(main_), Localised("status_after_undo"));

  testimg::ImageSpec shape;
  shape.d88 = true;
  shape.d88WriteProtect = 0x10;
  const std::string locked = scratch_.Path("locked.d88");
  testimg::WriteFile(locked, testimg::BuildImage(SampleVolume(), shape));
  OpenImage(locked);
  EXPECT_EQ(Status(kStatusOutcome), L"");  // the previous image's message is gone
  Settle();
  WritePng(CaptureWindow(main_), Localised("write_protected"));
}

TEST_F(UserTest, TheSelectionStaysOnTheFileAfterReloadAndImport) {
  OpenImage(image_);
  ClickColumn(0);  // sorted by name: rows shown differ from the order of insertion
  SelectRows({2});
  const std::wstring kept = CellShown(2, 0);
  Command(IDM_RELOAD);
  ASSERT_GE(SelectedShown(), 0);
  EXPECT_EQ(CellShown(SelectedShown(), 0), kept);

  const std::string host = scratch_.Path("new.txt");
  testimg::WriteFile(host, {'n', 'e', 'w'});
  driver_.ChooseFile(host);
  driver_.Expect(Kind::kAttributes, [](HWND dialog) {
    SetDlgItemTextW(dialog, 1000, L"AAA");
    Driver::Press(dialog, IDOK);
  });
  driver_.AnswerBox(IDYES);
  driver_.AnswerBox(IDOK);
  Command(IDM_IMPORT);
  ASSERT_EQ(RowCount(), 4);
  ASSERT_GE(SelectedShown(), 0);
  EXPECT_EQ(ListInsertedIndex(List(), SelectedShown()), 3) << "the imported file is selected";
}

TEST_F(UserTest, SelectAllAndTheKeyboardsRowMenu) {
  OpenImage(image_);
  Command(IDM_SELECT_ALL);
  EXPECT_EQ(SendMessageW(List(), LVM_GETSELECTEDCOUNT, 0, 0), 3);

  // The menu key (WM_CONTEXTMENU without a point) opens the row menu; the selection stays.
  bool opened = false;
  driver_.Later([&opened] {
    opened = FindWindowW(L"#32768", nullptr) != nullptr;
    EndMenu();
  });
  SendMessageW(main_, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(List()), -1);
  EXPECT_TRUE(opened);
  EXPECT_EQ(SendMessageW(List(), LVM_GETSELECTEDCOUNT, 0, 0), 3);

  // Enter with all three selected exports the first and says so.
  const std::string target = scratch_.Path("first.bin");
  driver_.ChooseFile(target);
  SendMessageW(List(), WM_KEYDOWN, VK_RETURN, 0);
  EXPECT_EQ(testimg::ReadFile(target), SampleFiles()[0].data);
}

TEST_F(UserTest, TheSingleExportProposesTheNameTheFolderExportWrites) {
  OpenImage(image_);
  SelectRows({0});
  driver_.CancelFileDialog();
  Command(IDM_EXPORT);
  ASSERT_EQ(driver_.fileDialogs().size(), 2u);  // Open, then Export
  const std::wstring proposed = driver_.fileDialogs()[1].fileName;
  Settle();

  std::string written;
  static std::string* sink = nullptr;
  sink = &written;
  const int rows[] = {0};
  const std::string folder = scratch_.Path("folder");
  CreateDirectoryA(folder.c_str(), nullptr);
  ExportRowsToFolder(main_, rows, 1, folder.c_str(), HostReplacePolicy::kReplace,
                     [](const char* path) { *sink = path; });
  const std::string name = written.substr(written.find_last_of("\\/") + 1);
  EXPECT_EQ(proposed, WideFromAnsi(name.c_str()));
  if (GetACP() == 932) {
    char plain[kHostNameBytes];
    DefaultExportName(0, plain);
    EXPECT_EQ(proposed, Shown(plain));
  }
  EXPECT_EQ(proposed.find(L'?'), std::wstring::npos);
}

TEST_F(UserTest, NewOffersD77AndOpensItsDialogCentredWithTheFocusInTheFirstField) {
  bool focused = false;
  int offsetX = 1000, offsetY = 1000;
  driver_.ChooseFile(scratch_.Path("new.d77"));
  driver_.Expect(Kind::kNewImage, [&](HWND dialog) {
    focused = GetFocus() == GetDlgItem(dialog, IDC_NEW_DISK_NAME);
    RECT box, owner;
    GetWindowRect(dialog, &box);
    GetWindowRect(main_, &owner);
    offsetX = (box.left + box.right) / 2 - (owner.left + owner.right) / 2;
    offsetY = (box.top + box.bottom) / 2 - (owner.top + owner.bottom) / 2;
    Driver::Press(dialog, IDCANCEL);
  });
  Command(IDM_NEW);
  ASSERT_EQ(driver_.fileDialogs().size(), 1u);  // no image was opened
  const auto& filters = driver_.fileDialogs()[0].filters;
  EXPECT_NE(std::find(filters.begin(), filters.end(), Shown(kFilterD77)), filters.end());
  EXPECT_TRUE(focused);
  EXPECT_LE(std::abs(offsetX), 2);
  EXPECT_LE(std::abs(offsetY), 2);
}

TEST(MultiSelection, SplitsOnePathOrAFolderAndItsNames) {
  const struct {
    std::wstring buffer;  // as the dialog fills it, ended by two zeros
    std::vector<std::wstring> paths;
  } cases[] = {
      {std::wstring(L"C:\\d\\a.txt\0\0", 12), {L"C:\\d\\a.txt"}},
      {std::wstring(L"C:\\d\0a.txt\0b.bin\0\0", 19), {L"C:\\d\\a.txt", L"C:\\d\\b.bin"}},
      {std::wstring(L"C:\\\0a\0\0", 8), {L"C:\\a"}},
      {std::wstring(L"\0\0", 2), {}},
  };
  for (const auto& c : cases) EXPECT_EQ(SplitMultiSelection(c.buffer.c_str()), c.paths);
}

TEST_F(UserTest, ImportOfSeveralFilesTakesThemFromOneDialog) {
  OpenImage(image_);
  const std::string first = scratch_.Path("one.txt");
  const std::string second = scratch_.Path("two.txt");
  testimg::WriteFile(first, {'1'});
  testimg::WriteFile(second, {'2', '2'});
  // The dialog starts in the current folder; both names are typed into its name field.
  char previous[MAX_PATH] = {};
  GetCurrentDirectoryA(MAX_PATH, previous);
  SetCurrentDirectoryA(first.substr(0, first.find_last_of("\\/")).c_str());
  std::wstring title;
  driver_.Expect(Kind::kFileDialog, [&](HWND dialog) {
    title = Driver::Text(dialog);
    SetWindowTextA(GetDlgItem(dialog, 0x47C), "\"one.txt\" \"two.txt\"");
    Driver::Press(dialog, IDOK);
  });
  for (int i = 0; i < 2; ++i)
    driver_.Expect(Kind::kAttributes, [](HWND dialog) { Driver::Press(dialog, IDOK); });
  driver_.AnswerBox(IDYES);
  driver_.AnswerBox(IDOK);
  Command(IDM_IMPORT_MANY);
  SetCurrentDirectoryA(previous);
  EXPECT_EQ(title, Shown(kImportManyDialogTitle));
  EXPECT_EQ(RowCount(), 5);
  EXPECT_TRUE(driver_.failures().empty());
}

TEST_F(UserTest, ThePanelLooksAsUnderAJapaneseSystemInEveryLocale) {
  OpenImage(image_);
  HDC dc = GetDC(Panel());
  HGDIOBJ font = reinterpret_cast<HGDIOBJ>(SendMessageW(Panel(), WM_GETFONT, 0, 0));
  HGDIOBJ old = SelectObject(dc, font ? font : GetStockObject(SYSTEM_FONT));
  TEXTMETRICW panel{};
  GetTextMetricsW(dc, &panel);
  SelectObject(dc, GetStockObject(SYSTEM_FONT));
  TEXTMETRICW system{};
  GetTextMetricsW(dc, &system);
  SelectObject(dc, old);
  ReleaseDC(Panel(), dc);
  // As high as a Japanese system's system font, and able to show the disk name.
  EXPECT_EQ(panel.tmHeight, GetACP() == 932 ? system.tmHeight : 18);
  EXPECT_EQ(panel.tmCharSet, GetACP() == 932 ? system.tmCharSet : SHIFTJIS_CHARSET);
  Settle();
  WritePng(CaptureWindow(main_), Localised("panel_and_list"));
}

}  // namespace
}  // namespace gui
