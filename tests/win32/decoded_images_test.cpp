// IMD and HFE images in the window: the single import writes into them in place, as into the D88
// of the same disk; a dump whose sectors are recorded bad says so after loading.
#include <gtest/gtest.h>
#include <windows.h>
// After windows.h:
#include <commctrl.h>

#include <string>
#include <vector>

#include "flows/app_state.h"
#include "gui_fixture.h"
#include "platform/win32/win32_controls.h"
#include "resources/resource.h"
#include "support/test_support.h"
#include "texts/texts.h"
#include "transfer/convert_image.h"

namespace gui {
namespace {

constexpr int kCmdImport = 40010;

class DecodedImagesTest : public GuiTest {
 protected:
  void SetUp() override {
    GuiTest::SetUp();
    StartProgram();
  }
  // The sample disk as a D88, converted into `extension` beside it.
  std::string Sample(const std::string& extension, const std::vector<uint8_t>& d88) {
    const std::string source = scratch_.Path("source.d88");
    testimg::WriteFile(source, d88);
    if (extension == ".d88") return source;
    const std::string target = scratch_.Path("disk" + extension);
    ConvertRequest request{};
    request.sourcePath = source.c_str();
    request.targetPath = target.c_str();
    request.machineMode = kModeMz;
    request.toMode = kModeMz;
    request.disk = -1;
    request.replace = true;
    Outcome out;
    OutcomeClear(&out);
    EXPECT_EQ(0, ConvertImage(&out, request, nullptr));
    return target;
  }
  std::vector<uint8_t> SampleD88() {
    testimg::ImageSpec shape;
    shape.d88 = true;
    return testimg::BuildImage(SampleVolume(), shape);
  }
  std::wstring StatusOutcome() const {
    HWND bar = GetDlgItem(main_, kStatusBarId);
    wchar_t text[512] = {};
    if (LOWORD(SendMessageW(bar, SB_GETTEXTLENGTHW, 2, 0)) < 512)
      SendMessageW(bar, SB_GETTEXTW, 2, reinterpret_cast<LPARAM>(text));
    return text;
  }
};

TEST_F(DecodedImagesTest, TheImportWritesIntoImdAndHfeAsIntoTheD88) {
  const std::string host = scratch_.Path("new.bin");
  testimg::WriteFile(host, testsupport::Pattern(600, 3));
  std::vector<std::vector<std::wstring>> expected;
  for (const char* extension : {".d88", ".imd", ".hfe"}) {
    SCOPED_TRACE(extension);
    const std::string image = Sample(extension, SampleD88());
    OpenImage(image);
    ASSERT_EQ(RowCount(), 3);
    driver_.ChooseFile(host);
    driver_.Expect(Kind::kAttributes, [](HWND dialog) { Driver::Press(dialog, IDOK); });
    driver_.AnswerBox(IDYES);
    driver_.AnswerBox(IDOK);
    Command(kCmdImport);
    EXPECT_TRUE(driver_.failures().empty());
    EXPECT_EQ(driver_.pendingSteps(), 0u);
    ASSERT_EQ(RowCount(), 4);
    // What the window lists after reading the image again.
    OpenImage(image);
    if (expected.empty()) expected = RowsShown();
    EXPECT_EQ(RowsShown(), expected);
  }
}

TEST_F(DecodedImagesTest, ADumpWithABadSectorUnderAFileSaysSoAfterLoading) {
  std::vector<uint8_t> d88 = SampleD88();
  // The sample's first file starts at track 2, sector 1 (physical track 3 under MZ).
  d88[testimg::D88DataOffset(d88, 3, 1) - 16 + 8] = 0xB0;
  const std::string image = Sample(".d88", d88);
  OpenImage(image);
  char expected[128];
  std::snprintf(expected, sizeof expected, kStatusDamagedFiles, 1);
  EXPECT_EQ(StatusOutcome(), Shown(expected));
  // A sound image says nothing of it.
  OpenImage(Sample(".d88", SampleD88()));
  EXPECT_NE(StatusOutcome(), Shown(expected));
}

}  // namespace
}  // namespace gui
