// The window and zelvo.exe on one image under the same Wine: the window waits, with the wait
// cursor, while zelvo.exe holds the image, and shows the busy line when the wait runs out.
#include <gtest/gtest.h>
#include <windows.h>
// After windows.h:
#include <commctrl.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "app/main_window.h"
#include "flows/app_state.h"
#include "gui_fixture.h"
#include "image/image_lock.h"
#include "platform/win32/win32_controls.h"
#include "resources/resource.h"
#include "support/image_builder.h"
#include "support/test_support.h"
#include "texts/texts.h"

namespace gui {
namespace {

// What the window's wait hook was called with, and whether the cursor was the wait cursor.
void (*WindowHook)(int) = nullptr;
std::vector<int> Waits;
bool WaitCursorShown = false;
std::wstring WaitStatus;  // the status line's outcome part while the window waited
std::wstring OutcomeShown() {
  HWND bar = GetDlgItem(MainWindowHandle(), kStatusBarId);
  wchar_t text[256] = L"";
  if (LOWORD(SendMessageW(bar, SB_GETTEXTLENGTHW, 2, 0)) < 256)
    SendMessageW(bar, SB_GETTEXTW, 2, reinterpret_cast<LPARAM>(text));
  return text;
}
void RecordWait(int waiting) {
  Waits.push_back(waiting);
  WindowHook(waiting);
  if (waiting) {
    WaitCursorShown = GetCursor() == LoadCursorW(nullptr, MAKEINTRESOURCEW(32514));
    WaitStatus = OutcomeShown();
  }
}

// A Windows path for the zelvo.exe of this build (a Unix path under Wine's drive Z:).
std::string ZelvoExe() {
  std::string path = ZELVO_EXE;
  if (!path.empty() && path[0] == '/') path = "Z:" + path;
  for (char& c : path)
    if (c == '/') c = '\\';
  return path;
}

class ConcurrentGuiTest : public GuiTest {
 protected:
  void SetUp() override {
    GuiTest::SetUp();
    StartProgram();
    WindowHook = ImageWaitHook;
    ImageWaitHook = RecordWait;
    Waits.clear();
    WaitCursorShown = false;
    WaitStatus.clear();
    image_ = WriteImage(SampleVolume(), "disk.d88");
    host_ = scratch_.Path("NEW.TXT");
    testimg::WriteFile(host_, testsupport::Pattern(700, 3));
  }
  void TearDown() override {
    if (zelvo_.hProcess) {
      WaitForSingleObject(zelvo_.hProcess, 30000);
      CloseHandle(zelvo_.hProcess);
      CloseHandle(zelvo_.hThread);
    }
    ImageWaitHook = WindowHook;
    ImageWaitMs = kImageWaitDefaultMs;
    GuiTest::TearDown();
  }

  // Starts `zelvo.exe import --yes IMAGE NEW.TXT`, which holds the image `holdMs` longer than it
  // needs (a test aid), and returns once it holds it.
  void StartZelvoImport(int holdMs) {
    const std::string command =
        "\"" + ZelvoExe() + "\" import --yes \"" + image_ + "\" \"" + host_ + "\"";
    SetEnvironmentVariableA("ZELVO_TEST_HOLD_MS", std::to_string(holdMs).c_str());
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    std::vector<char> line(command.begin(), command.end());
    line.push_back('\0');
    const BOOL started = CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE,
                                        CREATE_NO_WINDOW, nullptr, nullptr, &startup, &zelvo_);
    SetEnvironmentVariableA("ZELVO_TEST_HOLD_MS", nullptr);
    ASSERT_TRUE(started) << command;
    // Held: a reader's open meets a sharing violation.
    for (int tries = 0; tries < 400; tries++) {
      HANDLE h = CreateFileA(image_.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
      if (h == INVALID_HANDLE_VALUE && GetLastError() == ERROR_SHARING_VIOLATION) return;
      if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
      Sleep(25);
    }
    FAIL() << "zelvo.exe never held the image";
  }

  DWORD ZelvoExitCode() {
    WaitForSingleObject(zelvo_.hProcess, 30000);
    DWORD code = 99;
    GetExitCodeProcess(zelvo_.hProcess, &code);
    return code;
  }

  std::string image_;
  std::string host_;
  PROCESS_INFORMATION zelvo_{};
};

TEST_F(ConcurrentGuiTest, TheWindowWaitsWhileZelvoHoldsTheImage) {
  StartZelvoImport(1500);
  OpenImage(image_);
  // The load waited for zelvo.exe's import and shows what it left.
  EXPECT_TRUE(driver_.boxes().empty());
  EXPECT_EQ(4, RowCount());
  EXPECT_EQ(0u, ZelvoExitCode());
  ASSERT_GE(Waits.size(), 2u);
  EXPECT_EQ(1, Waits.front());
  EXPECT_EQ(0, Waits.back());
  EXPECT_TRUE(WaitCursorShown);
}

TEST_F(ConcurrentGuiTest, AWaitThatRunsOutShowsTheReadErrorAndTheBusyLine) {
  const std::vector<uint8_t> before = testimg::ReadFile(image_);
  ImageWaitMs = 200;
  StartZelvoImport(4000);
  driver_.ChooseFile(image_);
  driver_.AnswerBox(IDOK);
  Command(IDM_OPEN);
  ASSERT_FALSE(driver_.boxes().empty());
  EXPECT_EQ(Shown(kMsgReadBusy), driver_.boxes().back().text);
  EXPECT_EQ(0u, ZelvoExitCode());
  EXPECT_NE(before, testimg::ReadFile(image_));  // zelvo.exe's import went through
}

// A change that waits in vain: the status line says that the window waits, then, after the busy
// box, that nothing was changed; the image stays as it was.
TEST_F(ConcurrentGuiTest, AChangeThatWaitsInVainSaysNothingWasChanged) {
  OpenImage(image_);
  const std::vector<uint8_t> before = testimg::ReadFile(image_);
  SelectRows({1});  // the first file is locked
  ImageWaitMs = 200;
  // Another program starts reading the image (its shared lock) while the question is asked, and
  // lets go once the window has shown that it is busy.
  HANDLE held = INVALID_HANDLE_VALUE;
  OVERLAPPED at{};
  at.Offset = static_cast<DWORD>(kImageLockOffset);
  at.OffsetHigh = static_cast<DWORD>(kImageLockOffset >> 32);
  std::wstring busy;
  driver_.Expect(Kind::kBox, [&](HWND box) {
    held = CreateFileA(image_.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                       OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    LockFileEx(held, 0, 0, kImageLockLength, 0, &at);
    Driver::Press(box, IDYES);  // delete?
  });
  driver_.Expect(Kind::kBox, [&](HWND box) {
    busy = Driver::ItemText(box, 0xFFFF);
    CloseHandle(held);
    Driver::Press(box, IDOK);
  });
  Command(IDM_DELETE);
  EXPECT_TRUE(driver_.failures().empty());
  EXPECT_EQ(Shown(kMsgWriteOpenBusy), busy);
  EXPECT_EQ(L"他のプログラムの終了を待っています…", WaitStatus);
  EXPECT_TRUE(WaitCursorShown);
  EXPECT_EQ(L"変更しませんでした", OutcomeShown());
  EXPECT_TRUE(testsupport::BytesEqual(before, testimg::ReadFile(image_)));
}

// The window beside zelvo on Linux: Wine passes the window's lock on to Linux and Linux's lock
// on to the window. tests/concurrency/wine_pair.py runs these with ZELVO_PAIR_DIR naming a folder
// of the host, and takes and lets go of the image's lock there on Linux when the test's marker
// files ask for it; without it they are skipped.
class PairGuiTest : public GuiTest {
 protected:
  void SetUp() override {
    const char* folder = std::getenv("ZELVO_PAIR_DIR");
    if (!folder || !*folder) GTEST_SKIP() << "run by tests/concurrency/wine_pair.py";
    folder_ = folder;
    if (folder_[0] == '/') folder_ = "Z:" + folder_;
    for (char& c : folder_)
      if (c == '/') c = '\\';
    GuiTest::SetUp();
    StartProgram();
    Folder = folder_;
    image_ = folder_ + "\\disk.d88";
    testimg::ImageSpec shape;
    shape.d88 = true;
    testimg::WriteFile(image_, testimg::BuildImage(SampleVolume(), shape));
    WindowHook = ImageWaitHook;
    ImageWaitHook = SignalWait;
    Waits.clear();
  }
  void TearDown() override {
    if (folder_.empty()) return;
    ImageWaitHook = WindowHook;
    ImageWaitMs = kImageWaitDefaultMs;
    GuiTest::TearDown();
  }

  // Leaves a marker file for the Linux side, and waits for one of it.
  static void Signal(const std::string& name) {
    testimg::WriteFile(Folder + "\\" + name, std::vector<uint8_t>{});
  }
  static bool AwaitSignal(const std::string& name) {
    for (int tries = 0; tries < 1200; tries++) {
      if (GetFileAttributesA((Folder + "\\" + name).c_str()) != INVALID_FILE_ATTRIBUTES)
        return true;
      Sleep(25);
    }
    return false;
  }
  // The wait hook: the Linux side lets go once the window waits.
  static void SignalWait(int waiting) {
    RecordWait(waiting);
    if (waiting) Signal("waiting");
  }

  std::string folder_;
  std::string image_;
  static inline std::string Folder;
};

// A writer on Linux holds the image in the middle of its commit, its journal beside it: the
// window's open says the image is busy and never plays that journal back.
TEST_F(PairGuiTest, TheJournalOfAWriterOnLinuxIsNotPlayedBack) {
  Signal("written");
  ASSERT_TRUE(AwaitSignal("held"));
  ImageWaitMs = 300;
  driver_.ChooseFile(image_);
  driver_.AnswerBox(IDOK);
  Command(IDM_OPEN);
  ASSERT_FALSE(driver_.boxes().empty());
  for (const ShownBox& box : driver_.boxes()) EXPECT_NE(Shown(kMsgJournalRecovered), box.text);
  EXPECT_NE(std::wstring::npos, driver_.boxes().back().text.find(Shown(kMsgImageBusy)));
  EXPECT_FALSE(Waits.empty());
}

// zelvo on Linux holds the image while the window imports a file: the window waits, with the wait
// cursor, and its import goes through once Linux lets go.
TEST_F(PairGuiTest, TheWindowsImportWaitsForALinuxHolder) {
  OpenImage(image_);
  ASSERT_EQ(3, RowCount());
  const std::string host = folder_ + "\\new.bin";
  testimg::WriteFile(host, testsupport::Pattern(600, 5));
  Signal("loaded");
  ASSERT_TRUE(AwaitSignal("held"));
  driver_.ChooseFile(host);
  driver_.Expect(Kind::kAttributes, [](HWND dialog) {
    SetDlgItemTextW(dialog, 1000, L"NEWFILE");  // the name field
    Driver::Press(dialog, IDOK);
  });
  driver_.AnswerBox(IDYES);
  driver_.AnswerBox(IDOK);
  Command(40010);
  ASSERT_EQ(2u, driver_.boxes().size());  // the question, then no busy line
  EXPECT_EQ(Shown(kMsgImportSucceeded), driver_.boxes()[1].text);
  EXPECT_EQ(4, RowCount());
  ASSERT_GE(Waits.size(), 2u);
  EXPECT_EQ(1, Waits.front());
  EXPECT_EQ(0, Waits.back());
  EXPECT_TRUE(WaitCursorShown);
}

}  // namespace
}  // namespace gui
