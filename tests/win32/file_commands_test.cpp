// Delete and attributes end to end: the "編集(E)" menu's commands on the selected rows, the
// question, the attribute dialog on an existing file, and the image bytes afterwards.
#include <gtest/gtest.h>
#include <windows.h>
// After windows.h:
#include <commctrl.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "gui_fixture.h"
#include "support/test_support.h"
#include "texts/texts.h"

namespace gui {
namespace {

constexpr int kCmdDelete = 40030, kCmdAttributes = 40031;
constexpr int kNameEdit = 1000, kLockRadio = 1002, kStartEdit = 1004;

class FileCommandsTest : public GuiTest {
 protected:
  void SetUp() override {
    GuiTest::SetUp();
    StartProgram();
    volume_ = SampleVolume();
    image_ = WriteImage(volume_, "disk.d88");
    OpenImage(image_);
    ASSERT_EQ(RowCount(), 3);
    before_ = testimg::ReadFile(image_);
  }
  ::testing::AssertionResult ImageIs(const testimg::VolumeBuilder& volume) {
    testimg::ImageSpec shape;
    shape.d88 = true;
    return testsupport::BytesEqual(testimg::BuildImage(volume, shape), testimg::ReadFile(image_));
  }
  std::vector<int> Selected() const {
    std::vector<int> rows;
    for (int row = -1;
         (row = static_cast<int>(SendMessageW(List(), LVM_GETNEXTITEM, static_cast<WPARAM>(row),
                                              LVNI_SELECTED))) != -1;)
      rows.push_back(row);
    return rows;
  }

  testimg::VolumeBuilder volume_;
  std::string image_;
  std::vector<uint8_t> before_;
};

TEST_F(FileCommandsTest, DeleteSeveralSelectedRowsAfterOneQuestion) {
  // A load selects the first row; without a selection both commands are greyed.
  EXPECT_TRUE(MenuEnabled(kCmdDelete));
  SelectRows({});
  EXPECT_FALSE(MenuEnabled(kCmdDelete));
  EXPECT_FALSE(MenuEnabled(kCmdAttributes));
  SelectRows({1, 2});
  EXPECT_TRUE(MenuEnabled(kCmdDelete));
  EXPECT_TRUE(MenuEnabled(kCmdAttributes));
  driver_.AnswerBox(IDYES);
  Command(kCmdDelete);
  EXPECT_TRUE(driver_.failures().empty());

  ASSERT_EQ(driver_.boxes().size(), 1u);
  char question[512];
  std::snprintf(question, sizeof question, kMsgDeleteManyConfirm, 2);
  EXPECT_EQ(driver_.boxes()[0].text, Shown(question));
  EXPECT_EQ(driver_.boxes()[0].caption, Shown(kCaptionConfirm));
  EXPECT_TRUE(driver_.boxes()[0].hasYesNo);
  EXPECT_TRUE(driver_.boxes()[0].hasIcon);
  EXPECT_EQ(driver_.boxes()[0].owner, main_);

  testimg::VolumeBuilder expected = volume_;
  expected.Entry(1)[0] = 0;
  expected.Entry(2)[0] = 0;
  expected.MarkFree(34, 7);  // README.TXT 34-36, GAME 37-40
  EXPECT_TRUE(ImageIs(expected));
  EXPECT_EQ(RowCount(), 1);
  EXPECT_EQ(Selected(), std::vector<int>{0});  // the row nearest the deleted ones
}

TEST_F(FileCommandsTest, ALockedFileIsRefusedAndNoLeavesTheImage) {
  SelectRows({0});  // HELLO is locked
  driver_.AnswerBox(IDOK);
  Command(kCmdDelete);
  SelectRows({1});
  driver_.AnswerBox(IDNO);
  Command(kCmdDelete);
  EXPECT_TRUE(driver_.failures().empty());
  ASSERT_EQ(driver_.boxes().size(), 2u);
  EXPECT_EQ(driver_.boxes()[0].caption, Shown(kCaptionError));
  EXPECT_FALSE(driver_.boxes()[0].hasYesNo);
  EXPECT_TRUE(driver_.boxes()[1].hasYesNo);
  EXPECT_TRUE(testsupport::BytesEqual(before_, testimg::ReadFile(image_)));
  EXPECT_EQ(RowCount(), 3);
}

// A deleted file chosen from the list and restored with its type through the attribute dialog:
// the image as before the delete; Undo deletes it again.
TEST_F(FileCommandsTest, ADeletedFileRestoredFromTheList) {
  constexpr int kCmdRestore = 40303, kRestoreList = 40301, kTypeCombo = 1001;
  EXPECT_FALSE(MenuEnabled(kCmdRestore));
  SelectRows({2});
  driver_.AnswerBox(IDYES);
  Command(kCmdDelete);
  const auto deleted = testimg::ReadFile(image_);
  ASSERT_TRUE(MenuEnabled(kCmdRestore));
  LRESULT items = 0;
  std::wstring item;
  driver_.Expect(Kind::kRestoreDeleted, [&](HWND dialog) {
    items = SendDlgItemMessageW(dialog, kRestoreList, CB_GETCOUNT, 0, 0);
    item = Driver::Text(GetDlgItem(dialog, kRestoreList));
    Driver::Press(dialog, IDOK);
  });
  driver_.Expect(Kind::kAttributes, [&](HWND dialog) {
    SendDlgItemMessageW(dialog, kTypeCombo, CB_SETCURSEL, 4, 0);  // GAME's type 5
    Driver::Press(dialog, IDOK);
  });
  Command(kCmdRestore);
  EXPECT_TRUE(driver_.failures().empty());
  EXPECT_EQ(items, 1);
  EXPECT_EQ(item.rfind(L"#d0", 0), 0u);
  EXPECT_TRUE(testsupport::BytesEqual(before_, testimg::ReadFile(image_)));
  EXPECT_EQ(RowCount(), 3);
  EXPECT_FALSE(MenuEnabled(kCmdRestore));
  Command(40020);  // 元に戻す
  EXPECT_TRUE(testsupport::BytesEqual(deleted, testimg::ReadFile(image_)));
}

TEST_F(FileCommandsTest, AttributesOfTheSelectedFile) {
  std::wstring shownName, shownStart;
  SelectRows({1});
  driver_.Expect(Kind::kAttributes, [&](HWND dialog) {
    shownName = Driver::ItemText(dialog, kNameEdit);
    shownStart = Driver::ItemText(dialog, kStartEdit);
    SetDlgItemTextW(dialog, kNameEdit, L"NOTES");
    SetDlgItemTextW(dialog, kStartEdit, L"2000");
    SendDlgItemMessageW(dialog, kLockRadio, BM_CLICK, 0, 0);
    Driver::Press(dialog, IDOK);
  });
  Command(kCmdAttributes);
  EXPECT_TRUE(driver_.failures().empty());
  EXPECT_TRUE(driver_.boxes().empty());
  EXPECT_EQ(shownName, L"README.TXT");
  EXPECT_EQ(shownStart, L"0000");

  testimg::VolumeBuilder expected = volume_;
  uint8_t* entry = expected.Entry(1);
  std::memcpy(entry + 1, "NOTES\x0D\x0D\x0D\x0D\x0D\x0D\x0D\x0D\x0D\x0D\x0D", 16);
  entry[18] = 1;
  entry[22] = 0x00;
  entry[23] = 0x20;
  EXPECT_TRUE(ImageIs(expected));
  EXPECT_EQ(Selected(), std::vector<int>{1});

  // Cancel writes nothing.
  const auto now = testimg::ReadFile(image_);
  driver_.Expect(Kind::kAttributes, [](HWND dialog) { Driver::Press(dialog, IDCANCEL); });
  Command(kCmdAttributes);
  EXPECT_TRUE(testsupport::BytesEqual(now, testimg::ReadFile(image_)));

  // A double-click on a row opens its attributes.
  std::wstring clicked;
  driver_.Expect(Kind::kAttributes, [&](HWND dialog) {
    clicked = Driver::ItemText(dialog, kNameEdit);
    Driver::Press(dialog, IDCANCEL);
  });
  NMITEMACTIVATE click{};
  click.hdr.hwndFrom = List();
  click.hdr.idFrom = 1002;
  click.hdr.code = NM_DBLCLK;
  click.iItem = 2;
  SendMessageW(main_, WM_NOTIFY, 1002, reinterpret_cast<LPARAM>(&click));
  EXPECT_EQ(clicked, L"GAME");
  EXPECT_TRUE(driver_.failures().empty());
}

// Sorted by name the screen shows GAME, HELLO, README.TXT: each command acts on the file of the
// row the user picked, not on the file inserted at that place.
TEST_F(FileCommandsTest, SortedRowsKeepTheirOwnFiles) {
  NMLISTVIEW sort{};
  sort.hdr.hwndFrom = List();
  sort.hdr.idFrom = 1002;
  sort.hdr.code = LVN_COLUMNCLICK;
  sort.iItem = -1;
  sort.iSubItem = 0;
  SendMessageW(main_, WM_NOTIFY, 1002, reinterpret_cast<LPARAM>(&sort));

  std::vector<std::wstring> names;
  driver_.Expect(Kind::kAttributes, [&](HWND dialog) {
    names.push_back(Driver::ItemText(dialog, kNameEdit));
    Driver::Press(dialog, IDCANCEL);
  });
  NMITEMACTIVATE click{};
  click.hdr.hwndFrom = List();
  click.hdr.idFrom = 1002;
  click.hdr.code = NM_DBLCLK;
  click.iItem = 0;
  SendMessageW(main_, WM_NOTIFY, 1002, reinterpret_cast<LPARAM>(&click));
  EXPECT_TRUE(testsupport::BytesEqual(before_, testimg::ReadFile(image_)));

  // README.TXT renamed NOTES keeps its place in the order, and its row stays selected.
  SelectRows({2});
  driver_.Expect(Kind::kAttributes, [&](HWND dialog) {
    names.push_back(Driver::ItemText(dialog, kNameEdit));
    SetDlgItemTextW(dialog, kNameEdit, L"NOTES");
    Driver::Press(dialog, IDOK);
  });
  Command(kCmdAttributes);
  EXPECT_EQ(names, (std::vector<std::wstring>{L"GAME", L"README.TXT"}));
  testimg::VolumeBuilder expected = volume_;
  std::memcpy(expected.Entry(1) + 1, "NOTES\x0D\x0D\x0D\x0D\x0D\x0D\x0D\x0D\x0D\x0D\x0D", 16);
  EXPECT_TRUE(ImageIs(expected));
  EXPECT_EQ(Selected(), std::vector<int>{2});

  // Two rows of the sorted list: GAME and NOTES go, the locked HELLO stays.
  SelectRows({0, 2});
  driver_.AnswerBox(IDYES);
  Command(kCmdDelete);
  EXPECT_TRUE(driver_.failures().empty());
  ASSERT_EQ(driver_.boxes().size(), 1u);
  EXPECT_TRUE(driver_.boxes()[0].hasYesNo);
  expected.Entry(1)[0] = 0;
  expected.Entry(2)[0] = 0;
  expected.MarkFree(34, 7);
  EXPECT_TRUE(ImageIs(expected));
  EXPECT_EQ(RowCount(), 1);
  EXPECT_EQ(Selected(), std::vector<int>{0});
}

}  // namespace
}  // namespace gui

namespace gui {
namespace {

// The first line of the hex text: "0000  " and the first 16 bytes, as the sector view shows it.
std::wstring HexStart(const std::vector<uint8_t>& data, size_t from, int offset) {
  wchar_t text[80];
  int n = swprintf(text, 80, L"%04X ", offset);
  for (size_t i = 0; i < 16; ++i) n += swprintf(text + n, 80 - n, L" %02X", data[from + i]);
  return text;
}

// A list row's ファイルのセクタ opens the sector view at the file's first sector: the owner and
// the bytes of the file, the next sector with its next bytes, a bad address said; nothing written.
TEST_F(FileCommandsTest, FileSectorsShowsTheFirstSectorOfTheRowsFile) {
  constexpr int kCmdFileSectors = 40358, kTrack = 40351, kNext = 40354, kOwner = 40355;
  constexpr int kHex = 40356;
  const std::vector<uint8_t> data = SampleFiles()[0].data;
  // ファイル ＨＥＬＬＯ: the name through the code tables.
  const std::wstring fileOwner = L"\u30D5\u30A1\u30A4\u30EB \uFF28\uFF25\uFF2C\uFF2C\uFF2F";
  std::wstring owner, hex, nextOwner, nextHex, badOwner;
  SelectRows({0});
  driver_.Expect(Kind::kSectorView, [&](HWND dialog) {
    owner = Driver::ItemText(dialog, kOwner);
    hex = Driver::ItemText(dialog, kHex);
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(kNext, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, kNext)));
    nextOwner = Driver::ItemText(dialog, kOwner);
    nextHex = Driver::ItemText(dialog, kHex);
    SetDlgItemTextW(dialog, kTrack, L"99");
    badOwner = Driver::ItemText(dialog, kOwner);
    Driver::Press(dialog, IDCANCEL);
  });
  Command(kCmdFileSectors);
  EXPECT_TRUE(driver_.failures().empty());
  EXPECT_EQ(owner.rfind(L"Trk", 0), 0u) << owner.size();
  EXPECT_NE(owner.find(fileOwner), std::wstring::npos) << testing::PrintToString(owner);
  EXPECT_EQ(hex.rfind(HexStart(data, 0, 0), 0), 0u);
  EXPECT_NE(nextOwner.find(fileOwner), std::wstring::npos);
  EXPECT_EQ(nextHex.rfind(HexStart(data, 256, 0), 0), 0u);
  EXPECT_NE(badOwner, nextOwner);
  EXPECT_EQ(badOwner.find(fileOwner), std::wstring::npos);
  EXPECT_TRUE(testsupport::BytesEqual(before_, testimg::ReadFile(image_)));
}

}  // namespace
}  // namespace gui
