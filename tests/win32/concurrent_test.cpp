// The window and zelvo.exe on one image under the same Wine: the window waits, with the wait
// cursor, while zelvo.exe holds the image, and shows the busy line when the wait runs out.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "flows/app_state.h"
#include "gui_fixture.h"
#include "image/image_lock.h"
#include "resources/resource.h"
#include "support/test_support.h"
#include "texts/texts.h"

namespace gui {
namespace {

// What the window's wait hook was called with, and whether the cursor was the wait cursor.
void (*WindowHook)(int) = nullptr;
std::vector<int> Waits;
bool WaitCursorShown = false;
void RecordWait(int waiting) {
  Waits.push_back(waiting);
  WindowHook(waiting);
  if (waiting) WaitCursorShown = GetCursor() == LoadCursorW(nullptr, MAKEINTRESOURCEW(32514));
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

}  // namespace
}  // namespace gui
