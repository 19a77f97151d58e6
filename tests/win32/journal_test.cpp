// Changes protected by the journal, end to end in the Windows program: an interrupted change
// undone at the Open, and Undo and Redo in the Edit menu with their accelerators.
#include "image/journal.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "flows/app_image.h"
#include "flows/app_state.h"
#include "gui_fixture.h"
#include "image/image_file.h"
#include "resources/resource.h"
#include "support/test_support.h"
#include "texts/texts.h"

namespace gui {
namespace {

class JournalGuiTest : public GuiTest {
 protected:
  void SetUp() override {
    GuiTest::SetUp();
    StartProgram();
    image_ = WriteImage(SampleVolume(), "disk.2d");
    before_ = testimg::ReadFile(image_);
  }

  std::string image_;
  std::vector<uint8_t> before_;
};

TEST_F(JournalGuiTest, OpenUndoesAChangeThatWasInterrupted) {
  // A change stopped between its image writes, whose rollback failed as well: the image is torn
  // and its journal stays beside it, as after a crash.
  std::snprintf(App.ImagePath, sizeof App.ImagePath, "%s", image_.c_str());
  App.ImageFormat = kFormat2D;
  driver_.AnswerBox(IDOK);
  ImageWriteFaults = ImageWriteFault{3, 0};
  App.Change->faults = JournalFault{0, 0, 1, 0};
  uint8_t junk[1024];
  std::memset(junk, 0x33, sizeof junk);
  EXPECT_EQ(-1, ZLV_WriteZelvoFile(main_, junk, 10, 1, sizeof junk));
  ImageWriteFaults = ImageWriteFault{0, 0};
  App.Change->faults = JournalFault{};
  const std::string journal = image_ + "-journal";
  ASSERT_TRUE(testimg::FileExists(journal));
  ASSERT_NE(before_, testimg::ReadFile(image_));

  driver_.ChooseFile(image_);
  driver_.AnswerBox(IDOK);
  Command(IDM_OPEN);
  ASSERT_EQ(driver_.boxes().size(), 2u);
  EXPECT_EQ(driver_.boxes()[1].text, Shown(kMsgJournalRecovered));
  EXPECT_EQ(driver_.boxes()[1].caption, Shown(kCaptionRecovery));
  EXPECT_EQ(driver_.boxes()[1].owner, main_);
  EXPECT_TRUE(testsupport::BytesEqual(before_, testimg::ReadFile(image_)));
  EXPECT_FALSE(testimg::FileExists(journal));
  EXPECT_EQ(RowCount(), 3);
}

TEST_F(JournalGuiTest, UndoAndRedoOfAnImportFromTheEditMenu) {
  OpenImage(image_);
  ASSERT_EQ(RowCount(), 3);
  EXPECT_FALSE(MenuEnabled(IDM_UNDO));
  EXPECT_FALSE(MenuEnabled(IDM_REDO));
  const std::string host = scratch_.Path("new.bin");
  testimg::WriteFile(host, testsupport::Pattern(600, 3));
  driver_.ChooseFile(host);
  driver_.Expect(Kind::kAttributes, [](HWND dialog) { Driver::Press(dialog, IDOK); });
  driver_.AnswerBox(IDYES);
  driver_.AnswerBox(IDOK);
  Command(IDM_IMPORT);
  const std::vector<uint8_t> after = testimg::ReadFile(image_);
  ASSERT_EQ(RowCount(), 4);
  EXPECT_TRUE(MenuEnabled(IDM_UNDO));
  EXPECT_FALSE(MenuEnabled(IDM_REDO));

  Command(IDM_UNDO);
  EXPECT_TRUE(testsupport::BytesEqual(before_, testimg::ReadFile(image_)));
  EXPECT_EQ(RowCount(), 3);
  EXPECT_FALSE(MenuEnabled(IDM_UNDO));
  EXPECT_TRUE(MenuEnabled(IDM_REDO));

  Command(IDM_REDO);
  EXPECT_TRUE(testsupport::BytesEqual(after, testimg::ReadFile(image_)));
  EXPECT_EQ(RowCount(), 4);
  EXPECT_TRUE(MenuEnabled(IDM_UNDO));
  EXPECT_FALSE(MenuEnabled(IDM_REDO));

  // Switching the convention drops the history.
  Command(IDM_PC);
  EXPECT_FALSE(MenuEnabled(IDM_UNDO));
  EXPECT_FALSE(MenuEnabled(IDM_REDO));
  EXPECT_EQ(driver_.boxes().size(), 2u);
}

TEST_F(JournalGuiTest, CtrlZAndCtrlYAreTheAcceleratorsOfUndoAndRedo) {
  HACCEL table = LoadAcceleratorsW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_ACCEL));
  ASSERT_NE(table, nullptr);
  ACCEL entries[16];
  const int count = CopyAcceleratorTableW(table, entries, 16);
  bool undo = false, redo = false;
  for (int i = 0; i < count; i++) {
    const bool control =
        (entries[i].fVirt & (FVIRTKEY | FCONTROL | FSHIFT | FALT)) == (FVIRTKEY | FCONTROL);
    const int key = entries[i].key;
    if (entries[i].cmd == IDM_UNDO) undo = control && key == 'Z';
    if (entries[i].cmd == IDM_REDO) redo = control && key == 'Y';
  }
  EXPECT_TRUE(undo);
  EXPECT_TRUE(redo);
}

}  // namespace
}  // namespace gui
