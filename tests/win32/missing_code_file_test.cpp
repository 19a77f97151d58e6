// Start-up without "CodeChg.txt" beside the executable. Runs from a copy of the test program in
// a folder of its own that holds no such file.
#include <gtest/gtest.h>
#include <windows.h>

#include "flows/app_state.h"
#include "gui_fixture.h"
#include "texts/texts.h"

namespace gui {
namespace {

class MissingCodeFile : public GuiTest {};

TEST_F(MissingCodeFile, GreysOpenShowsBothBoxesAndStillOpensTheWindow) {
  ASSERT_EQ(GetFileAttributesA(BesideExecutable("CodeChg.txt").c_str()), INVALID_FILE_ATTRIBUTES)
      << "this test runs from a folder without the code file";
  driver_.AnswerBox(IDOK);
  driver_.AnswerBox(IDOK);
  StartProgram();
  ASSERT_EQ(driver_.boxes().size(), 2u);
  EXPECT_EQ(driver_.boxes()[0].text, Shown(kMsgCodeFileMissing));
  EXPECT_EQ(driver_.boxes()[0].caption, Shown(kCaptionError));
  EXPECT_EQ(driver_.boxes()[1].text, Shown(kMsgCreateFailed));
  EXPECT_EQ(driver_.boxes()[1].caption, Shown(kCaptionError));
  EXPECT_FALSE(driver_.boxes()[1].hasYesNo);

  EXPECT_TRUE(IsWindowVisible(main_));
  EXPECT_FALSE(MenuEnabled(40002));
  EXPECT_FALSE(MenuEnabled(40003));
  EXPECT_FALSE(MenuEnabled(40010));
  EXPECT_FALSE(GetWindowLongW(main_, GWL_EXSTYLE) & WS_EX_ACCEPTFILES);
  EXPECT_EQ(Driver::Text(Panel()), Shown(kWelcomePanel));

  // About and Quit still work.
  driver_.Expect(Kind::kAbout, [](HWND about) { Driver::Press(about, IDOK); });
  Command(40005);
  driver_.AnswerBox(IDYES);
  Command(40004);
  EXPECT_FALSE(IsWindow(main_));
  ASSERT_EQ(driver_.boxes().size(), 3u);
  EXPECT_EQ(driver_.boxes()[2].text, Shown(kMsgQuitQuestion));
}

}  // namespace
}  // namespace gui
