// File > 名前を付けて保存 through the real save dialog: the file type chosen in it names the
// container of a name typed without an extension, and a file of the final name that the dialog
// did not see is asked about.
#include "flows/save_as.h"

#include <gtest/gtest.h>
#include <windows.h>
// After windows.h:
#include <commctrl.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "flows/app_state.h"
#include "gui_fixture.h"
#include "platform/win32/win32_controls.h"
#include "platform/win32/win32_text.h"
#include "resources/resource.h"
#include "support/test_support.h"
#include "texts/texts.h"

namespace gui {
namespace {

class SaveAsTest : public GuiTest {
 protected:
  void SetUp() override {
    GuiTest::SetUp();
    StartProgram();
    image_ = WriteImage(SampleVolume(), "open.d88");
    OpenImage(image_);
    before_ = testimg::ReadFile(image_);
  }
  std::string image_;
  std::vector<uint8_t> before_;
};

TEST_F(SaveAsTest, TheChosenFileTypeNamesTheContainerOfANameWithoutExtension) {
  struct Case {
    const char* row;
    const char* typed;
    const char* written;
    const char* magic;  // the first bytes of the copy, or null
  };
  // The container of each row is the flow's own (tested there); this is the real dialog telling
  // which row was chosen.
  const Case cases[] = {{kFilterImd, "a_conv4", "a_conv4.imd", "IMD "},
                        {kFilterD88, "b", "b.d88", nullptr},
                        {kFilterD77, "c", "c.d77", nullptr}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.written);
    driver_.ChooseFileOfType(scratch_.Path(c.typed), testsupport::FilterRow(SaveAsFilter(), c.row));
    driver_.AnswerBox(IDYES);               // keep the convention
    if (c.magic) driver_.AnswerBox(IDYES);  // the losses
    driver_.AnswerBox(IDNO);                // open the copy? No
    Command(IDM_SAVE_AS);
    EXPECT_TRUE(driver_.failures().empty());
    EXPECT_EQ(driver_.pendingSteps(), 0u);
    const std::vector<uint8_t> copy = testimg::ReadFile(scratch_.Path(c.written));
    ASSERT_GT(copy.size(), 0x2B0u);
    if (c.magic) {
      EXPECT_EQ(0, std::memcmp(copy.data(), c.magic, std::strlen(c.magic)));
    }
    if (std::strcmp(c.typed, c.written) != 0) {
      EXPECT_FALSE(testimg::FileExists(scratch_.Path(c.typed)));
    }
  }
  EXPECT_EQ(before_, testimg::ReadFile(image_));
}

TEST_F(SaveAsTest, AnExistingFileOfTheFinalNameAnsweredNoIsLeftAlone) {
  const std::string existing = scratch_.Path("kept.d88");
  const std::vector<uint8_t> kept = {'k', 'e', 'p', 't'};
  testimg::WriteFile(existing, kept);
  driver_.ChooseFileOfType(scratch_.Path("kept"),
                           testsupport::FilterRow(SaveAsFilter(), kFilterD88));
  driver_.AnswerBox(IDNO);
  Command(IDM_SAVE_AS);
  EXPECT_TRUE(driver_.failures().empty());
  ASSERT_EQ(driver_.boxes().size(), 1u);
  char question[MAX_PATH + 128];
  std::snprintf(question, sizeof question, kMsgSaveAsReplace, existing.c_str());
  EXPECT_EQ(driver_.boxes()[0].text, Shown(question));
  EXPECT_EQ(driver_.boxes()[0].caption, Shown(kCaptionConfirm));
  EXPECT_EQ(kept, testimg::ReadFile(existing));
  EXPECT_EQ(before_, testimg::ReadFile(image_));
}

// The convention question can be cancelled (nothing written); after a copy the status line names
// it and Yes to the next question opens it.
TEST_F(SaveAsTest, CancelWritesNothingAndTheCopyIsNamedAndOpened) {
  const std::string copy = scratch_.Path("copy.d88");
  bool cancel = false;
  driver_.ChooseFile(copy);
  driver_.Expect(Kind::kBox, [&](HWND box) {
    cancel = GetDlgItem(box, IDCANCEL) != nullptr;
    Driver::Press(box, IDCANCEL);
  });
  Command(IDM_SAVE_AS);
  EXPECT_TRUE(driver_.failures().empty());
  EXPECT_TRUE(cancel);
  EXPECT_FALSE(testimg::FileExists(copy));
  EXPECT_TRUE(testsupport::BytesEqual(before_, testimg::ReadFile(image_)));

  driver_.ChooseFile(copy);
  driver_.AnswerBox(IDYES);  // keep the convention
  driver_.AnswerBox(IDYES);  // open the copy
  Command(IDM_SAVE_AS);
  EXPECT_TRUE(driver_.failures().empty());
  ASSERT_EQ(driver_.boxes().size(), 3u);
  EXPECT_EQ(driver_.boxes()[2].text, WideFromAnsi(copy.c_str()) + L"を開きますか？");
  EXPECT_STREQ(App.ImagePath, copy.c_str());
  EXPECT_EQ(Driver::Text(main_), L"Zelvo Explorer - " + WideFromAnsi(copy.c_str()));
  HWND bar = GetDlgItem(main_, kStatusBarId);
  wchar_t status[512] = L"";
  SendMessageW(bar, SB_GETTEXTW, 2, reinterpret_cast<LPARAM>(status));
  EXPECT_EQ(std::wstring(status), L"保存しました: " + WideFromAnsi(copy.c_str()));
  EXPECT_TRUE(testsupport::BytesEqual(before_, testimg::ReadFile(image_)));
}

}  // namespace
}  // namespace gui
