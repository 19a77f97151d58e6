// The disk chooser of a D88 file of several disks, the "自動判別" command and a write-protected
// disk, end to end in the real windows.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "flows/app_state.h"
#include "gui_fixture.h"
#include "support/test_support.h"
#include "texts/texts.h"

namespace gui {
namespace {

constexpr int kIdentify = 40050, kImport = 40010, kDiskList = 1200;

std::vector<uint8_t> D88Of(const testimg::VolumeBuilder& volume, const std::string& name,
                           int mode = 0, uint8_t protect = 0) {
  testimg::ImageSpec shape;
  shape.d88 = true;
  shape.machineMode = mode;
  shape.d88Name = name;
  shape.d88WriteProtect = protect;
  return testimg::BuildImage(volume, shape);
}

using IdentifyGuiTest = GuiTest;

TEST_F(IdentifyGuiTest, ChooserListsTheDisksAndOpensTheOneChosen) {
  StartProgram();
  std::vector<uint8_t> file = D88Of(testimg::VolumeBuilder(), "EMPTY");
  const std::vector<uint8_t> second = D88Of(SampleVolume(), "SAMPLE");
  file.insert(file.end(), second.begin(), second.end());
  const std::string path = scratch_.Path("two.d88");
  testimg::WriteFile(path, file);

  std::vector<std::wstring> items;
  std::wstring caption;
  driver_.ChooseFile(path);
  driver_.Expect(Kind::kDiskChooser, [&](HWND dialog) {
    caption = Driver::Text(dialog);
    HWND list = GetDlgItem(dialog, kDiskList);
    const int count = static_cast<int>(SendMessageW(list, CB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
      wchar_t text[128] = {};
      SendMessageW(list, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
      items.push_back(text);
    }
    SendMessageW(list, CB_SETCURSEL, 1, 0);
    Driver::Press(dialog, IDOK);
  });
  Command(40002);
  EXPECT_TRUE(driver_.failures().empty());
  EXPECT_EQ(caption,
            Shown(std::string("\x83\x66\x83\x42\x83\x58\x83\x4E\x82\xCC\x91\x49\x91\xF0")));
  ASSERT_EQ(items.size(), 2u);
  EXPECT_EQ(items[1], Shown(std::string("\x83\x66\x83\x42\x83\x58\x83\x4E") + "1: SAMPLE"));
  EXPECT_EQ(RowCount(), 3);
  EXPECT_EQ(App.DiskIndex, 1);
  wchar_t title[512] = {};
  GetWindowTextW(main_, title, 512);
  EXPECT_NE(std::wstring(title).find(L"SAMPLE"), std::wstring::npos);
}

TEST_F(IdentifyGuiTest, IdentifyOffersTheConventionFoundAndSwitches) {
  StartProgram();
  const std::string path = scratch_.Path("pc.d88");
  testimg::WriteFile(path, D88Of(SampleVolume(), "PC", 1));
  OpenImage(path);  // read under MZ: not what the disk holds
  driver_.AnswerBox(IDYES);
  Command(kIdentify);
  ASSERT_EQ(driver_.boxes().size(), 1u);
  EXPECT_TRUE(driver_.boxes()[0].hasYesNo);
  EXPECT_EQ(driver_.boxes()[0].caption, Shown(kCaptionIdentify));
  EXPECT_NE(driver_.boxes()[0].text.find(L"PC"), std::wstring::npos);
  EXPECT_EQ(App.MachineMode, kModePc);
  EXPECT_TRUE(MenuChecked(40007));
  EXPECT_EQ(RowCount(), 3);
  EXPECT_EQ(CellShown(0, 7), L"02");
}

TEST_F(IdentifyGuiTest, WriteProtectedDiskRefusesImportBeforeAnyDialog) {
  StartProgram();
  const std::string path = scratch_.Path("locked.d88");
  testimg::WriteFile(path, D88Of(SampleVolume(), "LOCKED", 0, 0x10));
  const std::vector<uint8_t> before = testimg::ReadFile(path);
  OpenImage(path);
  ASSERT_EQ(RowCount(), 3);
  const size_t dialogs = driver_.fileDialogs().size();
  driver_.AnswerBox(IDOK);
  Command(kImport);
  ASSERT_EQ(driver_.boxes().size(), 1u);
  EXPECT_EQ(driver_.boxes()[0].text, Shown(kMsgWriteProtected));
  EXPECT_EQ(driver_.fileDialogs().size(), dialogs);
  EXPECT_TRUE(testsupport::BytesEqual(before, testimg::ReadFile(path)));
}

}  // namespace
}  // namespace gui
