// What a first-time user still tripped over: the outcome part after each action, a restore that
// says so, keys of greyed commands on a write-protected disk, and the further items below.
#include <gtest/gtest.h>
#include <windows.h>
// After windows.h:
#include <commctrl.h>
#include <shlobj.h>

#include <algorithm>
#include <string>
#include <vector>

#include "app/main_window.h"
#include "gui_fixture.h"
#include "platform/win32/win32_controls.h"
#include "platform/win32/win32_text.h"
#include "resources/resource.h"
#include "support/test_support.h"
#include "texts/texts.h"

namespace gui {
namespace {

class ThirdPassTest : public GuiTest {
 protected:
  void SetUp() override {
    GuiTest::SetUp();
    StartProgram();
    image_ = WriteImage(SampleVolume(), "disk.d88");
  }

  std::wstring Status(int part) const {
    HWND bar = GetDlgItem(main_, kStatusBarId);
    const int length = LOWORD(SendMessageW(bar, SB_GETTEXTLENGTHW, part, 0));
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    SendMessageW(bar, SB_GETTEXTW, part, reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<size_t>(length));
    return text;
  }
  std::wstring Outcome() const { return Status(2); }

  int SelectedShown() const {
    return static_cast<int>(
        SendMessageW(List(), LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
  }

  // Presses a key (with Control held when asked) in the list, through the program's message loop
  // and its accelerators. The loop ends once the key is handled; a key that opens a box ends it
  // from the box's step instead (`quit` false), as a modal loop ends at the quit message.
  void PressKey(WORD key, bool control, bool quit = true) {
    HACCEL table = LoadAcceleratorsW(instance_, MAKEINTRESOURCEW(IDR_ACCEL));
    BYTE keys[256];
    GetKeyboardState(keys);
    keys[VK_CONTROL] = control ? 0x80 : 0;
    SetKeyboardState(keys);
    PostMessageW(List(), WM_KEYDOWN, key, 0);
    if (quit) PostQuitMessage(0);
    RunMessageLoop(main_, table);
    keys[VK_CONTROL] = 0;
    SetKeyboardState(keys);
  }

  std::string image_;
};

// Each action's outcome replaces the last one, also when the action ends without one.
TEST_F(ThirdPassTest, ANewActionClearsTheLastOutcome) {
  OpenImage(image_);
  SelectRows({1});
  driver_.AnswerBox(IDYES);
  Command(IDM_DELETE);
  ASSERT_EQ(Outcome(), L"削除しました");
  Command(IDM_ASCII);
  EXPECT_EQ(Outcome(), L"");
  Command(IDM_UNDO);
  ASSERT_EQ(Outcome(), L"元に戻しました");
  const auto before = testimg::ReadFile(image_);
  driver_.CancelFileDialog();
  Command(IDM_EXPORT);  // a cancelled export tells nothing, and the old outcome is gone
  EXPECT_EQ(Outcome(), L"");
  EXPECT_TRUE(testsupport::BytesEqual(before, testimg::ReadFile(image_)));
  EXPECT_TRUE(driver_.failures().empty());
}

// A restored file is named in the status line and selected.
TEST_F(ThirdPassTest, ARestoreSaysSoAndSelectsTheFile) {
  OpenImage(image_);
  const std::wstring name = CellShown(2, 0);
  SelectRows({2});
  driver_.AnswerBox(IDYES);
  Command(IDM_DELETE);
  SelectRows({0});
  driver_.Expect(Kind::kRestoreDeleted, [](HWND dialog) { Driver::Press(dialog, IDOK); });
  driver_.Expect(Kind::kAttributes, [](HWND dialog) { Driver::Press(dialog, IDOK); });
  Command(IDM_RESTORE_DELETED);
  EXPECT_TRUE(driver_.failures().empty());
  ASSERT_EQ(RowCount(), 3);
  EXPECT_EQ(Outcome(), name + L"を復元しました");
  ASSERT_GE(SelectedShown(), 0);
  EXPECT_EQ(CellShown(SelectedShown(), 0), name);
}

// On a write-protected disk the keys of the commands that change it say why nothing happens; the
// image stays as it was.
TEST_F(ThirdPassTest, KeysOfGreyedChangesOnAProtectedDiskSayWhy) {
  testimg::ImageSpec shape;
  shape.d88 = true;
  shape.d88WriteProtect = 0x10;
  const std::string locked = scratch_.Path("locked.d88");
  testimg::WriteFile(locked, testimg::BuildImage(SampleVolume(), shape));
  const auto before = testimg::ReadFile(locked);
  OpenImage(locked);
  SelectRows({0});
  const struct {
    const char* what;
    WORD key;
    bool control;
  } keys[] = {{"Del", VK_DELETE, false}, {"F2", VK_F2, false}, {"Ctrl+I", 'I', true}};
  for (const auto& k : keys) {
    SCOPED_TRACE(k.what);
    Command(IDM_BINARY);  // clears the outcome part
    ASSERT_EQ(Outcome(), L"");
    PressKey(k.key, k.control);
    EXPECT_EQ(Outcome(), Shown(kMsgWriteProtected));
    EXPECT_EQ(RowCount(), 3);
  }
  EXPECT_TRUE(driver_.failures().empty());
  EXPECT_TRUE(driver_.boxes().empty());
  EXPECT_TRUE(testsupport::BytesEqual(before, testimg::ReadFile(locked)));

  // On a writable disk Del asks as before.
  OpenImage(image_);
  SelectRows({0});
  driver_.Expect(Kind::kBox, [](HWND box) {
    Driver::Press(box, IDNO);
    PostQuitMessage(0);
  });
  const auto writable = testimg::ReadFile(image_);
  PressKey(VK_DELETE, false, false);
  EXPECT_EQ(driver_.boxes().size(), 1u);
  EXPECT_TRUE(testsupport::BytesEqual(writable, testimg::ReadFile(image_)));
}

// The attribute dialog of a file's own attributes (F2) and of a restore starts in the name field,
// its text selected; the import's keeps the focus on OK. Cancel writes nothing.
TEST_F(ThirdPassTest, TheAttributeDialogStartsInTheNameWhenAFileIsEdited) {
  constexpr int kNameEdit = 1000;
  OpenImage(image_);
  SelectRows({1});
  driver_.AnswerBox(IDYES);
  Command(IDM_DELETE);
  const auto before = testimg::ReadFile(image_);
  const std::string host = scratch_.Path("NEW.BIN");
  testimg::WriteFile(host, testsupport::Pattern(300, 7));
  const struct {
    const char* what;
    int command;
    bool inName;
  } cases[] = {{"F2", IDM_ATTRIBUTES, true},
               {"restore", IDM_RESTORE_DELETED, true},
               {"import", IDM_IMPORT, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    SelectRows({0});
    if (c.command == IDM_RESTORE_DELETED)
      driver_.Expect(Kind::kRestoreDeleted, [](HWND dialog) { Driver::Press(dialog, IDOK); });
    if (c.command == IDM_IMPORT) driver_.ChooseFile(host);
    HWND focus = nullptr, name = nullptr, ok = nullptr;
    DWORD selection = 0;
    int length = 0;
    driver_.Expect(Kind::kAttributes, [&](HWND dialog) {
      focus = GetFocus();
      name = GetDlgItem(dialog, kNameEdit);
      ok = GetDlgItem(dialog, IDOK);
      selection = static_cast<DWORD>(SendMessageW(name, EM_GETSEL, 0, 0));
      length = GetWindowTextLengthW(name);
      Driver::Press(dialog, IDCANCEL);
    });
    Command(c.command);
    EXPECT_TRUE(driver_.failures().empty());
    EXPECT_EQ(focus, c.inName ? name : ok);
    if (c.inName) {
      EXPECT_EQ(LOWORD(selection), 0);
      EXPECT_EQ(HIWORD(selection), length);
    }
    EXPECT_TRUE(testsupport::BytesEqual(before, testimg::ReadFile(image_)));
  }
}

// The folder chooser of the folder export starts in the folder chosen last.
TEST_F(ThirdPassTest, TheFolderChooserStartsWhereItWasLast) {
  OpenImage(image_);
  SelectRows({0});
  const std::string first = scratch_.Path("first");
  CreateDirectoryA(first.c_str(), nullptr);
  // The files exported into the folder, which is emptied again.
  auto takeFiles = [](const std::string& folder) {
    int count = 0;
    WIN32_FIND_DATAA entry;
    HANDLE search = FindFirstFileA((folder + "\\*.*").c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE) return 0;
    do {
      if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        DeleteFileA((folder + "\\" + entry.cFileName).c_str());
        count++;
      }
    } while (FindNextFileA(search, &entry));
    FindClose(search);
    return count;
  };
  const std::wstring wideFirst = WideFromAnsi(first.c_str());
  driver_.Expect(Kind::kFolderDialog, [&](HWND dialog) {
    SendMessageW(dialog, BFFM_SETSELECTIONW, TRUE, reinterpret_cast<LPARAM>(wideFirst.c_str()));
    Driver::Press(dialog, IDOK);
  });
  Command(IDM_EXPORT_FOLDER);
  EXPECT_EQ(takeFiles(first), 1);
  // Again: OK at once exports where the last export went.
  driver_.Expect(Kind::kFolderDialog, [](HWND dialog) { Driver::Press(dialog, IDOK); });
  Command(IDM_EXPORT_FOLDER);
  EXPECT_EQ(takeFiles(first), 1);
  EXPECT_TRUE(driver_.failures().empty());
}

// The folder chooser takes a typed path: a full one, or a folder inside the one selected in the
// tree; a typed folder that is not there is said, and the chooser comes again.
TEST_F(ThirdPassTest, TheFolderChooserTakesATypedPath) {
  OpenImage(image_);
  SelectRows({0});
  const std::string typed = scratch_.Path("typed");
  const std::string start = scratch_.Path("start");
  const std::string inner = start + "\\inner";
  for (const std::string& folder : {typed, start, inner}) CreateDirectoryA(folder.c_str(), nullptr);
  auto filesIn = [](const std::string& folder) {
    int count = 0;
    WIN32_FIND_DATAA entry;
    HANDLE search = FindFirstFileA((folder + "\\*.*").c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE) return 0;
    do {
      if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) count++;
    } while (FindNextFileA(search, &entry));
    FindClose(search);
    return count;
  };
  // Types into the chooser's edit field as the keyboard does, then presses OK.
  auto type = [](HWND dialog, const std::string& text) {
    HWND edit = FindWindowExW(dialog, nullptr, L"Edit", nullptr);
    ASSERT_NE(edit, nullptr);
    SendMessageW(edit, EM_SETSEL, 0, -1);
    for (wchar_t c : WideFromAnsi(text.c_str())) SendMessageW(edit, WM_CHAR, c, 0);
    Driver::Press(dialog, IDOK);
  };
  const std::wstring wideStart = WideFromAnsi(start.c_str());
  struct Case {
    const char* what;
    std::string typed;
    std::string folder;  // where the file lands; empty: nowhere (the chooser cancelled)
  };
  for (const Case& c : {Case{"a full path", typed, typed}, Case{"a folder inside", "inner", inner},
                        Case{"a folder that is not there", "missing", ""}}) {
    SCOPED_TRACE(c.what);
    const size_t boxes = driver_.boxes().size();
    driver_.Expect(Kind::kFolderDialog, [&](HWND dialog) {
      SendMessageW(dialog, BFFM_SETSELECTIONW, TRUE, reinterpret_cast<LPARAM>(wideStart.c_str()));
      driver_.Later([&, dialog] { type(dialog, c.typed); });
    });
    if (c.folder.empty()) {
      driver_.AnswerBox(IDOK);
      driver_.Expect(Kind::kFolderDialog, [](HWND dialog) { Driver::Press(dialog, IDCANCEL); });
    }
    Command(IDM_EXPORT_FOLDER);
    EXPECT_TRUE(driver_.failures().empty());
    EXPECT_EQ(driver_.pendingSteps(), 0u);
    if (!c.folder.empty()) {
      EXPECT_EQ(filesIn(c.folder), 1);
    } else {
      ASSERT_EQ(driver_.boxes().size(), boxes + 1);
      const std::string missing = start + "\\missing";
      EXPECT_EQ(driver_.boxes().back().text, Shown(Formatted(kMsgFolderMissing, missing.c_str())));
    }
  }
  EXPECT_EQ(filesIn(typed) + filesIn(inner) + filesIn(start), 2);
}

// The sector view shows each row whole (its 16 characters without scrolling), and Enter in a
// number field goes to the sector typed instead of closing the view.
TEST_F(ThirdPassTest, TheSectorViewShowsWholeRowsAndEnterGoesToTheSector) {
  constexpr int kTrack = 40351, kSector = 40352, kOwner = 40355, kHex = 40356;
  testimg::VolumeBuilder volume = SampleVolume();
  // Characters of two bytes through the code tables, on every row of track 2 sector 16.
  for (int i = 0; i < 256; ++i) volume.Sector(2, 16)[i] = static_cast<uint8_t>(0xA0 + i % 16);
  const std::string path = WriteImage(volume, "chars.d88");
  OpenImage(path);
  const auto before = testimg::ReadFile(path);
  bool open = false;
  std::wstring track, sector, owner;
  LONG widest = 0, room = 0;
  driver_.Expect(Kind::kSectorView, [&](HWND dialog) {
    HWND field = GetDlgItem(dialog, kTrack);
    SetFocus(field);
    SetDlgItemTextW(dialog, kTrack, L"2");
    SetDlgItemTextW(dialog, kSector, L"0x10");
    PostMessageW(field, WM_KEYDOWN, VK_RETURN, 0);
    driver_.Later([&, dialog] {
      open = IsWindow(dialog) && IsWindowVisible(dialog);
      track = Driver::ItemText(dialog, kTrack);
      sector = Driver::ItemText(dialog, kSector);
      owner = Driver::ItemText(dialog, kOwner);
      HWND hex = GetDlgItem(dialog, kHex);
      const std::wstring text = Driver::ItemText(dialog, kHex);
      HDC dc = GetDC(hex);
      HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(hex, WM_GETFONT, 0, 0)));
      for (size_t start = 0; start < text.size();) {
        size_t end = text.find(L"\r\n", start);
        if (end == std::wstring::npos) end = text.size();
        SIZE size{};
        GetTextExtentPoint32W(dc, text.c_str() + start, static_cast<int>(end - start), &size);
        widest = std::max(widest, size.cx);
        start = end + 2;
      }
      SelectObject(dc, old);
      ReleaseDC(hex, dc);
      RECT client;
      SendMessageW(hex, EM_GETRECT, 0, reinterpret_cast<LPARAM>(&client));
      room = client.right - client.left;
      Driver::Press(dialog, IDCANCEL);
    });
  });
  Command(IDM_SECTOR_VIEW);
  EXPECT_TRUE(driver_.failures().empty());
  EXPECT_TRUE(open) << "Enter closed the view";
  EXPECT_EQ(track, L"2");
  EXPECT_EQ(sector, L"16");  // written back as the window writes an address
  EXPECT_EQ(owner.rfind(L"Trk02 Sct10", 0), 0u) << Narrow(owner);
  EXPECT_GT(widest, 0);
  EXPECT_LE(widest, room);
  EXPECT_TRUE(testsupport::BytesEqual(before, testimg::ReadFile(path)));
}

}  // namespace
}  // namespace gui
