// File > 別のイメージへコピー: the selected files into another image chosen in the open dialog,
// after one question that says the copy is not in the open image's undo history.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "gui_fixture.h"
#include "image/change_history.h"
#include "resources/resource.h"
#include "support/test_support.h"
#include "texts/texts.h"

namespace gui {
namespace {

class CopyFilesTest : public GuiTest {
 protected:
  void SetUp() override {
    GuiTest::SetUp();
    StartProgram();
    image_ = WriteImage(SampleVolume(), "open.d88");
    testimg::VolumeBuilder target;
    testimg::FileSpec kept;
    kept.name = "KEPT";
    kept.data = testsupport::Pattern(100, 4);
    target.AddFile(kept);
    target_ = WriteImage(target, "target.2d");
    OpenImage(image_);
    before_ = testimg::ReadFile(image_);
    targetBefore_ = testimg::ReadFile(target_);
  }
  // The stored names of the target's used slots (a flat MZ image: track 1 lies at physical track
  // 0, its bytes inverted).
  std::vector<std::string> TargetNames() const {
    const std::vector<uint8_t> bytes = testimg::ReadFile(target_);
    std::vector<std::string> names;
    for (int slot = 0; slot < 64; slot++) {
      const uint8_t* entry = bytes.data() + slot * 32;
      if (static_cast<uint8_t>(~entry[0]) == 0) continue;
      std::string name;
      for (int i = 1; i <= 16 && static_cast<uint8_t>(~entry[i]) != 0x0D; i++)
        name.push_back(static_cast<char>(~entry[i]));
      names.push_back(name);
    }
    return names;
  }
  std::string image_, target_;
  std::vector<uint8_t> before_, targetBefore_;
};

TEST_F(CopyFilesTest, NoWritesNothingAndYesCopiesIntoTheTargetOnly) {
  SelectRows({0, 2});
  char question[MAX_PATH + 512];
  std::snprintf(question, sizeof question, kMsgCopyQuestion, 2, target_.c_str());
  driver_.ChooseFile(target_);
  driver_.AnswerBox(IDNO);
  Command(IDM_COPY_FILES);
  EXPECT_TRUE(driver_.failures().empty());
  ASSERT_EQ(driver_.boxes().size(), 1u);
  EXPECT_EQ(driver_.boxes()[0].text, Shown(question));
  EXPECT_TRUE(testsupport::BytesEqual(targetBefore_, testimg::ReadFile(target_)));

  driver_.ChooseFile(target_);
  driver_.AnswerBox(IDYES);
  Command(IDM_COPY_FILES);
  EXPECT_TRUE(driver_.failures().empty());
  EXPECT_EQ(TargetNames(), (std::vector<std::string>{"KEPT", "HELLO", "GAME"}));
  EXPECT_TRUE(testsupport::BytesEqual(before_, testimg::ReadFile(image_)));
  // The open image's history holds nothing of it.
  EXPECT_FALSE(ChangeHistoryCanUndo(App.History));
  EXPECT_FALSE(MenuEnabled(IDM_UNDO));

  // Again: the names are there now, refused, the target as it was.
  const std::vector<uint8_t> copied = testimg::ReadFile(target_);
  driver_.ChooseFile(target_);
  driver_.AnswerBox(IDYES);
  driver_.AnswerBox(IDOK);
  Command(IDM_COPY_FILES);
  EXPECT_TRUE(driver_.failures().empty());
  EXPECT_TRUE(testsupport::BytesEqual(copied, testimg::ReadFile(target_)));
}

TEST_F(CopyFilesTest, TheOpenImageItselfIsRefused) {
  SelectRows({0});
  driver_.ChooseFile(image_);
  driver_.AnswerBox(IDOK);
  Command(IDM_COPY_FILES);
  EXPECT_TRUE(driver_.failures().empty());
  ASSERT_EQ(driver_.boxes().size(), 1u);
  EXPECT_EQ(driver_.boxes()[0].text, Shown(kMsgCopySameImage));
  EXPECT_TRUE(testsupport::BytesEqual(before_, testimg::ReadFile(image_)));
}

}  // namespace
}  // namespace gui
