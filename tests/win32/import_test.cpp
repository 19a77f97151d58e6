// Import end to end: the real open dialog, the attribute dialog with a failed check and then
// OK, the confirmation, and the image bytes afterwards.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "flows/app_state.h"
#include "gui_fixture.h"
#include "support/test_support.h"
#include "texts/texts.h"

namespace gui {
namespace {

constexpr int kNameEdit = 1000, kTypeCombo = 1001, kLockRadio = 1002, kUnlockRadio = 1003;
constexpr int kStartEdit = 1004, kLengthEdit = 1006, kExecEdit = 1007;
constexpr int kYearEdit = 1008, kMonthEdit = 1009, kDayEdit = 1010, kTrkEdit = 1011;
constexpr int kSctEdit = 1012;

std::vector<uint8_t> HostData(size_t size) {
  std::vector<uint8_t> data(size);
  for (size_t i = 0; i < size; ++i) data[i] = static_cast<uint8_t>((i * 31 + 5) & 0xFF);
  return data;
}

// What the dialog showed when it opened.
struct AttributeView {
  std::wstring caption;
  std::wstring name, start, length, exec, year, month, day, trk, sct;
  std::wstring type;
  bool locked = false;
  bool unlocked = false;
  bool focusOnOk = false;
  HWND window = nullptr;
};

AttributeView Read(HWND dialog) {
  AttributeView view;
  view.window = dialog;
  view.caption = Driver::Text(dialog);
  view.name = Driver::ItemText(dialog, kNameEdit);
  view.start = Driver::ItemText(dialog, kStartEdit);
  view.length = Driver::ItemText(dialog, kLengthEdit);
  view.exec = Driver::ItemText(dialog, kExecEdit);
  view.year = Driver::ItemText(dialog, kYearEdit);
  view.month = Driver::ItemText(dialog, kMonthEdit);
  view.day = Driver::ItemText(dialog, kDayEdit);
  view.trk = Driver::ItemText(dialog, kTrkEdit);
  view.sct = Driver::ItemText(dialog, kSctEdit);
  view.type = Driver::ItemText(dialog, kTypeCombo);
  view.locked = IsDlgButtonChecked(dialog, kLockRadio) == BST_CHECKED;
  view.unlocked = IsDlgButtonChecked(dialog, kUnlockRadio) == BST_CHECKED;
  view.focusOnOk = GetFocus() == GetDlgItem(dialog, IDOK);
  return view;
}

class ImportTest : public GuiTest {
 protected:
  void SetUp() override {
    GuiTest::SetUp();
    StartProgram();
    image_ = WriteImage(SampleVolume(), "disk.2d");
    OpenImage(image_);
    ASSERT_EQ(RowCount(), 3);
    host_ = scratch_.Path("new.bin");
    testimg::WriteFile(host_, HostData(600));
    before_ = testimg::ReadFile(image_);
  }

  std::string image_;
  std::string host_;
  std::vector<uint8_t> before_;
};

TEST_F(ImportTest, FailedCheckKeepsTheDialogThenOkWritesTheFile) {
  AttributeView opened;
  AttributeView retried;
  driver_.ChooseFile(host_);
  driver_.Expect(Kind::kAttributes, [&](HWND dialog) {
    opened = Read(dialog);
    SetDlgItemTextW(dialog, kNameEdit, L"BAD NAME");
    Driver::Press(dialog, IDOK);
  });
  driver_.AnswerBox(IDOK);
  driver_.Expect(Kind::kAttributes, [&](HWND dialog) {
    retried = Read(dialog);
    SetDlgItemTextW(dialog, kNameEdit, L"NEWFILE");
    SendDlgItemMessageW(dialog, kLockRadio, BM_CLICK, 0, 0);
    Driver::Press(dialog, IDOK);
  });
  driver_.AnswerBox(IDYES);
  driver_.AnswerBox(IDOK);
  Command(40010);

  ASSERT_EQ(driver_.fileDialogs().size(), 2u);
  EXPECT_EQ(driver_.fileDialogs()[1].title, Shown(kImportDialogTitle));
  EXPECT_EQ(driver_.fileDialogs()[1].filters, std::vector<std::wstring>{Shown(kFilterAllFilesJa)});

  EXPECT_EQ(opened.caption, L"Zelvo\u30D5\u30A1\u30A4\u30EB\u306E\u5C5E\u6027\u8A2D\u5B9A");
  EXPECT_EQ(opened.name, L"new.bin");
  EXPECT_EQ(opened.type, L"OBJ");
  EXPECT_EQ(opened.start, L"1500");
  EXPECT_EQ(opened.exec, L"0000");
  EXPECT_EQ(opened.length, L"0258");
  EXPECT_EQ(opened.trk, L"02");
  EXPECT_EQ(opened.sct, L"0A");  // after the sample's 2 + 3 + 4 sectors from track 2, sector 1
  EXPECT_FALSE(opened.locked);
  EXPECT_TRUE(opened.unlocked);
  EXPECT_TRUE(opened.focusOnOk);
  SYSTEMTIME now;
  GetLocalTime(&now);
  wchar_t today[3][8];
  swprintf(today[0], 8, L"%02u", now.wYear % 100);
  swprintf(today[1], 8, L"%02u", now.wMonth);
  swprintf(today[2], 8, L"%02u", now.wDay);
  EXPECT_EQ(opened.year, today[0]);
  EXPECT_EQ(opened.month, today[1]);
  EXPECT_EQ(opened.day, today[2]);
  // After the failed check the dialog is the same one, as the user left it.
  EXPECT_EQ(retried.window, opened.window);
  EXPECT_EQ(retried.name, L"BAD NAME");

  ASSERT_EQ(driver_.boxes().size(), 3u);
  char badChar[256];
  std::snprintf(badChar, sizeof badChar, kMsgNameBadChar, ' ');
  EXPECT_EQ(driver_.boxes()[0].text, Shown(badChar));
  EXPECT_EQ(driver_.boxes()[0].caption, Shown(kCaptionFileName));
  EXPECT_EQ(driver_.boxes()[0].owner, opened.window);
  EXPECT_EQ(driver_.boxes()[1].text, Shown(kMsgImportConfirm));
  EXPECT_EQ(driver_.boxes()[1].caption, Shown(kCaptionConfirm));
  EXPECT_TRUE(driver_.boxes()[1].hasYesNo);
  EXPECT_TRUE(driver_.boxes()[1].hasIcon);
  EXPECT_EQ(driver_.boxes()[1].owner, main_);
  EXPECT_EQ(driver_.boxes()[2].text, Shown(kMsgImportSucceeded));
  EXPECT_EQ(driver_.boxes()[2].caption, Shown(kCaptionSuccess));

  // The image is the sample volume with the new file added, byte for byte.
  testimg::VolumeBuilder expected = SampleVolume();
  testimg::FileSpec file;
  file.name = "NEWFILE";
  file.type = 1;
  file.lock = 1;
  file.start = 0x1500;
  file.exec = 0x0000;
  file.date[0] = static_cast<uint8_t>(std::stoul(std::string(today[0], today[0] + 2), nullptr, 16));
  file.date[1] = static_cast<uint8_t>(std::stoul(std::string(today[1], today[1] + 2), nullptr, 16));
  file.date[2] = static_cast<uint8_t>(std::stoul(std::string(today[2], today[2] + 2), nullptr, 16));
  file.data = HostData(600);
  ASSERT_EQ(expected.AddFile(file), 3);
  // The last sector's tail reaches the image as raw 0xFF bytes: under MZ that reads as the
  // builder's zero bytes.
  testimg::ImageSpec shape;
  EXPECT_TRUE(
      testsupport::BytesEqual(testimg::BuildImage(expected, shape), testimg::ReadFile(image_)));

  // The list was reloaded and shows the new file.
  ASSERT_EQ(RowCount(), 4);
  const std::vector<std::wstring> row = RowsShown()[3];
  EXPECT_EQ(row[0], L"\uFF2E\uFF25\uFF37\uFF26\uFF29\uFF2C\uFF25");
  EXPECT_EQ(row[1], L"OBJ*");
  EXPECT_EQ(row[2], L"1500");
  EXPECT_EQ(row[4], L"0258");
  EXPECT_EQ(row[7], L"02");
  EXPECT_EQ(row[8], L"0A");
}

// The disk is recorded under MZ: read as PC, the import is refused with one box before its open
// dialog, and the image is not touched.
TEST_F(ImportTest, RefusedWhenReadUnderTheOtherConvention) {
  Command(40007);  // PC
  driver_.AnswerBox(IDOK);
  Command(40010);
  EXPECT_EQ(driver_.fileDialogs().size(), 1u);  // only the Open of the image
  ASSERT_EQ(driver_.boxes().size(), 1u);
  EXPECT_EQ(driver_.boxes()[0].text, Shown(kMsgRecordedMz));
  EXPECT_EQ(driver_.boxes()[0].caption, Shown(kCaptionError));
  EXPECT_TRUE(testsupport::BytesEqual(before_, testimg::ReadFile(image_)));
}

TEST_F(ImportTest, NoAtTheConfirmationLeavesTheImageUnchanged) {
  driver_.ChooseFile(host_);
  driver_.Expect(Kind::kAttributes, [](HWND dialog) {
    SetDlgItemTextW(dialog, kNameEdit, L"NEWFILE");
    Driver::Press(dialog, IDOK);
  });
  driver_.AnswerBox(IDNO);
  Command(40010);
  ASSERT_EQ(driver_.boxes().size(), 1u);
  EXPECT_EQ(driver_.boxes()[0].text, Shown(kMsgImportConfirm));
  EXPECT_TRUE(testsupport::BytesEqual(before_, testimg::ReadFile(image_)));
  EXPECT_EQ(RowCount(), 3);
}

TEST_F(ImportTest, CancelInTheDialogOrTheFileChoiceLeavesTheImageUnchanged) {
  driver_.ChooseFile(host_);
  driver_.Expect(Kind::kAttributes, [](HWND dialog) { Driver::Press(dialog, IDCANCEL); });
  Command(40010);
  driver_.CancelFileDialog();
  Command(40010);
  // The close box of the dialog is Cancel as well.
  driver_.ChooseFile(host_);
  driver_.Expect(Kind::kAttributes, [](HWND dialog) { PostMessageW(dialog, WM_CLOSE, 0, 0); });
  Command(40010);
  EXPECT_TRUE(driver_.boxes().empty());
  EXPECT_TRUE(testsupport::BytesEqual(before_, testimg::ReadFile(image_)));
  EXPECT_EQ(RowCount(), 3);
}

TEST_F(ImportTest, TypedJapaneseComesBackAsCodePage932Bytes) {
  // A name typed in full-width letters reaches the check as its code page 932 bytes, whatever
  // the system's code page: the check refuses the first byte, 0x82.
  driver_.ChooseFile(host_);
  driver_.Expect(Kind::kAttributes, [](HWND dialog) {
    SetDlgItemTextW(dialog, kNameEdit, L"\uFF21BC");
    Driver::Press(dialog, IDOK);
  });
  driver_.AnswerBox(IDOK);
  driver_.Expect(Kind::kAttributes, [](HWND dialog) { Driver::Press(dialog, IDCANCEL); });
  Command(40010);
  ASSERT_EQ(driver_.boxes().size(), 1u);
  char badChar[256];
  std::snprintf(badChar, sizeof badChar, kMsgNameBadChar, '\x82');
  EXPECT_EQ(driver_.boxes()[0].text, Shown(badChar));
  EXPECT_TRUE(testsupport::BytesEqual(before_, testimg::ReadFile(image_)));
}

}  // namespace
}  // namespace gui
