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

// Each disk of the chooser tells its size, its protection and what it holds: a volume with its
// file count, something else, or nothing readable.
TEST_F(IdentifyGuiTest, ChooserListsTheDisksAndOpensTheOneChosen) {
  StartProgram();
  std::vector<uint8_t> file = D88Of(testimg::VolumeBuilder(), "EMPTY");
  const std::vector<uint8_t> second = D88Of(SampleVolume(), "SAMPLE");
  file.insert(file.end(), second.begin(), second.end());
  std::vector<uint8_t> noise = testimg::WrapInD88(std::vector<uint8_t>(84 * 16 * 256, 0));
  noise[0x1A] = 0x10;  // write-protected
  file.insert(file.end(), noise.begin(), noise.end());
  const std::vector<uint8_t> bare = testimg::WrapInD88({});  // a header without tracks
  file.insert(file.end(), bare.begin(), bare.end());
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
  ASSERT_EQ(items.size(), 4u);
  const struct {
    const wchar_t* start;
    const wchar_t* end;
  } shown[] = {{L"ディスク0: EMPTY  ", L"KB  Zelvo 0ファイル"},
               {L"ディスク1: SAMPLE  ", L"KB  Zelvo 3ファイル"},
               {L"ディスク2:   ", L"KB  書き込み禁止  Zelvoのボリュームとして読めません"},
               {L"ディスク3:   0KB", L"  空のディスク(システム領域が読めません)"}};
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(items[i].rfind(shown[i].start, 0), 0u) << Narrow(items[i]);
    const std::wstring end = shown[i].end;
    EXPECT_TRUE(items[i].size() > end.size() &&
                items[i].compare(items[i].size() - end.size(), end.size(), end) == 0)
        << Narrow(items[i]);
  }
  EXPECT_EQ(RowCount(), 3);
  EXPECT_EQ(App.DiskIndex, 1);
  wchar_t title[512] = {};
  GetWindowTextW(main_, title, 512);
  EXPECT_NE(std::wstring(title).find(L"SAMPLE"), std::wstring::npos);
}

// ファイル > ディスクを選ぶ switches disk without opening the file again; it starts at the disk
// shown, and Cancel changes nothing.
TEST_F(IdentifyGuiTest, ChooseDiskSwitchesToAnotherDiskOfTheOpenFile) {
  StartProgram();
  constexpr int kChooseDisk = 40062;
  const std::string single = scratch_.Path("one.d88");
  testimg::WriteFile(single, D88Of(SampleVolume(), "ONE"));
  OpenImage(single);
  EXPECT_FALSE(MenuEnabled(kChooseDisk));

  std::vector<uint8_t> file = D88Of(testimg::VolumeBuilder(), "EMPTY");
  const std::vector<uint8_t> second = D88Of(SampleVolume(), "SAMPLE");
  file.insert(file.end(), second.begin(), second.end());
  const std::string path = scratch_.Path("two.d88");
  testimg::WriteFile(path, file);
  driver_.ChooseFile(path);
  driver_.Expect(Kind::kDiskChooser, [](HWND dialog) {
    SendDlgItemMessageW(dialog, kDiskList, CB_SETCURSEL, 1, 0);
    Driver::Press(dialog, IDOK);
  });
  Command(40002);
  ASSERT_EQ(App.DiskIndex, 1);
  EXPECT_TRUE(MenuEnabled(kChooseDisk));
  const size_t dialogs = driver_.fileDialogs().size();
  LRESULT first = -1;
  driver_.Expect(Kind::kDiskChooser, [&](HWND dialog) {
    first = SendDlgItemMessageW(dialog, kDiskList, CB_GETCURSEL, 0, 0);
    Driver::Press(dialog, IDCANCEL);
  });
  Command(kChooseDisk);
  EXPECT_EQ(first, 1);
  EXPECT_EQ(App.DiskIndex, 1);
  EXPECT_EQ(RowCount(), 3);
  driver_.Expect(Kind::kDiskChooser, [](HWND dialog) {
    SendDlgItemMessageW(dialog, kDiskList, CB_SETCURSEL, 0, 0);
    Driver::Press(dialog, IDOK);
  });
  Command(kChooseDisk);
  EXPECT_TRUE(driver_.failures().empty());
  EXPECT_EQ(driver_.fileDialogs().size(), dialogs);  // no Open dialog
  EXPECT_EQ(App.DiskIndex, 0);
  EXPECT_EQ(RowCount(), 0);
  EXPECT_TRUE(testsupport::BytesEqual(file, testimg::ReadFile(path)));
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
