// File > 名前を付けて保存 through the real save dialog: the file type chosen in it names the
// container of a name typed without an extension, and a file of the final name that the dialog
// did not see is asked about.
#include "flows/save_as.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "gui_fixture.h"
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
                        {kFilterD88, "b", "b.d88", nullptr}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.written);
    driver_.ChooseFileOfType(scratch_.Path(c.typed), testsupport::FilterRow(SaveAsFilter(), c.row));
    driver_.AnswerBox(IDYES);               // keep the convention
    if (c.magic) driver_.AnswerBox(IDYES);  // the losses
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

}  // namespace
}  // namespace gui
