// The Win32 platform layer on real controls: texts shown through UTF-16 and read back as the
// program's code page 932 bytes, the file dialog record, the executable path and the date.
#include <gtest/gtest.h>
#include <windows.h>
// After windows.h:
#include <commctrl.h>

#include <cstring>
#include <string>
#include <vector>

#include "gui_driver.h"
#include "gui_fixture.h"
#include "platform/platform.h"
#include "texts/texts.h"

namespace gui {
namespace {

constexpr int kTextCapacity = 255;

// Byte strings that do not survive a round trip through UTF-16: a lone lead byte, a lead byte
// with an invalid trail, and an unassigned single byte. And two ordinary ones.
const std::vector<std::string> kAwkwardTexts = {"AB\x81", "\x81\x20X", "\xA0", "\x82\x60\x82\x61",
                                                "HELLO"};

class PlatformListTest : public ::testing::Test {
 protected:
  void SetUp() override {
    InitCommonControls();
    parent_ = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 300, 200, nullptr, nullptr,
                              GetModuleHandleW(nullptr), nullptr);
    list_ = CreateWindowExW(0, WC_LISTVIEWW, L"", WS_CHILD | LVS_REPORT, 0, 0, 300, 200, parent_,
                            nullptr, GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(list_, nullptr);
    ListInsertColumn(list_, 0, 100, "\x83\x74\x83\x40\x83\x43\x83\x8B");  // a Japanese title
    ListInsertColumn(list_, 1, 50, "Type");
  }
  void TearDown() override { DestroyWindow(parent_); }

  std::string Cell(int row, int column, int capacity = 64) {
    std::vector<char> buffer(static_cast<size_t>(capacity) + 1, '#');
    ListGetCell(list_, row, column, buffer.data(), capacity);
    return buffer.data();
  }
  std::wstring CellShown(int row, int column) {
    wchar_t text[64] = {};
    LVITEMW item{};
    item.iSubItem = column;
    item.pszText = text;
    item.cchTextMax = 64;
    SendMessageW(list_, LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
    return text;
  }

  HWND parent_ = nullptr;
  HWND list_ = nullptr;
};

TEST_F(PlatformListTest, CellsShowInUtf16AndComeBackAsTheBytesGiven) {
  wchar_t title[32] = {};
  LVCOLUMNW column{};
  column.mask = LVCF_TEXT | LVCF_WIDTH;
  column.pszText = title;
  column.cchTextMax = 32;
  SendMessageW(list_, LVM_GETCOLUMNW, 0, reinterpret_cast<LPARAM>(&column));
  EXPECT_STREQ(title, L"\u30D5\u30A1\u30A4\u30EB");
  EXPECT_EQ(column.cx, 100);

  for (size_t i = 0; i < kAwkwardTexts.size(); ++i) {
    const int row = static_cast<int>(i);
    ListInsertRow(list_, row, kAwkwardTexts[i].c_str());
    ListSetCell(list_, row, 1, kAwkwardTexts[kAwkwardTexts.size() - 1 - i].c_str());
  }
  ASSERT_EQ(ListRowCount(list_), static_cast<int>(kAwkwardTexts.size()));
  for (size_t i = 0; i < kAwkwardTexts.size(); ++i) {
    const int row = static_cast<int>(i);
    EXPECT_EQ(Cell(row, 0), kAwkwardTexts[i]) << i;
    EXPECT_EQ(Cell(row, 1), kAwkwardTexts[kAwkwardTexts.size() - 1 - i]) << i;
    EXPECT_EQ(CellShown(row, 0), Shown(kAwkwardTexts[i])) << i;
  }
  EXPECT_EQ(CellShown(3, 0), L"\uFF21\uFF22");
}

TEST_F(PlatformListTest, ChangedCellsReadBackInCodePage932AndCapacityCuts) {
  ListInsertRow(list_, 0, "\x81");
  ListSetCell(list_, 0, 1, "ABCDEF");
  LVITEMW item{};
  item.iSubItem = 0;
  wchar_t changed[] = L"\u30C6\u30B9\u30C8";
  item.pszText = changed;
  SendMessageW(list_, LVM_SETITEMTEXTW, 0, reinterpret_cast<LPARAM>(&item));
  EXPECT_EQ(Cell(0, 0), "\x83\x65\x83\x58\x83\x67");
  EXPECT_EQ(Cell(0, 1, 3), "AB");
  EXPECT_EQ(Cell(0, 1, 1), "");
  EXPECT_EQ(Cell(5, 0), "") << "a row that does not exist";
}

TEST_F(PlatformListTest, DeletionSelectionAndCount) {
  for (int row = 0; row < 4; ++row) ListInsertRow(list_, row, kAwkwardTexts[row].c_str());
  EXPECT_EQ(ListFirstSelected(list_), -1);
  EXPECT_EQ(ListDeleteRow(list_, 1), 1);
  EXPECT_EQ(ListDeleteRow(list_, 7), 0);
  ASSERT_EQ(ListRowCount(list_), 3);
  EXPECT_EQ(Cell(1, 0), kAwkwardTexts[2]);
  EXPECT_EQ(Cell(2, 0), kAwkwardTexts[3]);
  for (int row : {2, 1}) {
    LVITEMW item{};
    item.stateMask = LVIS_SELECTED;
    item.state = LVIS_SELECTED;
    SendMessageW(list_, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&item));
  }
  EXPECT_EQ(ListFirstSelected(list_), 1);
  EXPECT_EQ(ListFirstSelected(nullptr), -1);
  EXPECT_EQ(ListRowCount(nullptr), 0);
}

// What a dialog procedure saw and read back, filled inside the running dialog.
struct DialogRecord {
  std::string awkward[5];
  std::wstring shownName;
  std::string typedBack;
  char shortBuffer[4];
  int shortCount;
  int missingCount;
  std::string comboItems[3];
  int selectionBefore;
  int selectionAfter;
  bool lockChecked;
  bool unlockChecked;
};
DialogRecord record;

intptr_t RecordingProc(WindowHandle dialog, unsigned message, uintptr_t, intptr_t) {
  if (message == kWmInitDialog) {
    DlgSetItemText(dialog, 1000, kAwkwardTexts[0].c_str());
    DlgSetItemText(dialog, 1004, kAwkwardTexts[1].c_str());
    DlgSetItemText(dialog, 1007, kAwkwardTexts[2].c_str());
    DlgSetItemText(dialog, 1008, kAwkwardTexts[3].c_str());
    DlgSetItemText(dialog, 1009, kAwkwardTexts[4].c_str());
    DlgComboAppend(dialog, 1001, "OBJ");
    DlgComboAppend(dialog, 1001, "\x83\x65\x81");
    DlgCheckButton(dialog, 1002, true);
    PostMessageW(static_cast<HWND>(dialog), WM_APP, 0, 0);
    return 1;
  }
  if (message != WM_APP) return 0;
  const int ids[] = {1000, 1004, 1007, 1008, 1009};
  for (int i = 0; i < 5; ++i) {
    char text[kTextCapacity];
    DlgGetItemText(dialog, ids[i], text, sizeof text);
    record.awkward[i] = text;
  }
  record.shownName = Driver::ItemText(static_cast<HWND>(dialog), 1008);
  SetDlgItemTextW(static_cast<HWND>(dialog), 1000, L"\u30C6\u30B9\u30C8");
  char typed[kTextCapacity];
  DlgGetItemText(dialog, 1000, typed, sizeof typed);
  record.typedBack = typed;
  record.shortCount = DlgGetItemText(dialog, 1009, record.shortBuffer, sizeof record.shortBuffer);
  char missing[8] = "x";
  record.missingCount = DlgGetItemText(dialog, 999, missing, sizeof missing);
  record.selectionBefore = DlgComboSelection(dialog, 1001);
  DlgComboSetSelection(dialog, 1001, 1);
  record.selectionAfter = DlgComboSelection(dialog, 1001);
  for (int i = 0; i < 3; ++i) {
    char item[256];
    DlgComboItemText(dialog, 1001, i, item);
    record.comboItems[i] = item;
  }
  record.lockChecked = DlgIsButtonChecked(dialog, 1002);
  record.unlockChecked = DlgIsButtonChecked(dialog, 1003);
  PlatformEndDialog(dialog, 42);
  return 1;
}

TEST(PlatformDialog, ControlTextsComeBackAsTheBytesGivenOrTyped) {
  record = DialogRecord{};
  EXPECT_EQ(PlatformDialogBox(nullptr, kAttributeDialogId, RecordingProc), 42);
  for (int i = 0; i < 5; ++i) EXPECT_EQ(record.awkward[i], kAwkwardTexts[i]) << i;
  EXPECT_EQ(record.shownName, L"\uFF21\uFF22");
  EXPECT_EQ(record.typedBack, "\x83\x65\x83\x58\x83\x67");
  EXPECT_EQ(record.shortCount, 3);
  EXPECT_STREQ(record.shortBuffer, "HEL");
  EXPECT_EQ(record.missingCount, 0);
  EXPECT_EQ(record.selectionBefore, -1);
  EXPECT_EQ(record.selectionAfter, 1);
  EXPECT_EQ(record.comboItems[0], "OBJ");
  EXPECT_EQ(record.comboItems[1], "\x83\x65\x81");
  EXPECT_EQ(record.comboItems[2], "");
  EXPECT_TRUE(record.lockChecked);
  EXPECT_FALSE(record.unlockChecked);
}

TEST(PlatformBox, ShowsTheTextsAndReturnsTheButton) {
  Driver driver;
  driver.AnswerBox(IDYES);
  driver.AnswerBox(IDOK);
  EXPECT_EQ(PlatformMessageBox(nullptr, kMsgQuitQuestion, kCaptionQuit, kMbYesNo | kMbIconQuestion),
            kIdYes);
  EXPECT_EQ(PlatformMessageBox(nullptr, kMsgImportConfirm, kCaptionConfirm, kMbOk), kIdOk);
  ASSERT_EQ(driver.boxes().size(), 2u);
  EXPECT_EQ(driver.boxes()[0].text, Shown(kMsgQuitQuestion));
  EXPECT_EQ(driver.boxes()[0].caption, Shown(kCaptionQuit));
  EXPECT_EQ(driver.boxes()[1].text, Shown(kMsgImportConfirm));
  EXPECT_FALSE(driver.boxes()[1].hasYesNo);
  EXPECT_TRUE(driver.failures().empty());
}

TEST(PlatformFileDialog, GivesTheAnsiPathTheTitleAndTheBufferLimit) {
  ScratchFolder scratch;
  const std::string path = scratch.Path("sample.d88");
  testimg::WriteFile(path, {1, 2, 3});
  Driver driver;
  char filter[] =
      "\x91S\x83t\x83@\x83"
      "C\x83\x8B(*.*)\0*.*\0";
  char file[260] = "";
  char title[64] = "";
  FileDialogRequest request{76,           filter,           0,
                            file,         sizeof file,      title,
                            sizeof title, kOpenDialogTitle, kOfnFileMustExist | kOfnHideReadOnly,
                            "*"};
  driver.ChooseFile(path);
  ASSERT_EQ(PlatformGetOpenFileName(nullptr, &request), 1);
  EXPECT_STREQ(file, path.c_str());
  EXPECT_STREQ(title, "sample.d88");

  // A path longer than the buffer: refused with the dialog's own error code.
  char small[16] = "";
  request.file = small;
  request.fileCapacity = sizeof small;
  driver.ChooseFile(path);
  EXPECT_EQ(PlatformGetOpenFileName(nullptr, &request), 0);
  EXPECT_EQ(PlatformCommDlgExtendedError(), 0x3003u);

  request.file = file;
  request.fileCapacity = sizeof file;
  driver.CancelFileDialog();
  EXPECT_EQ(PlatformGetSaveFileName(nullptr, &request), 0);
  EXPECT_EQ(PlatformCommDlgExtendedError(), 0u);

  ASSERT_EQ(driver.fileDialogs().size(), 3u);
  EXPECT_EQ(driver.fileDialogs()[0].title, Shown(kOpenDialogTitle));
  EXPECT_EQ(driver.fileDialogs()[0].filters,
            std::vector<std::wstring>{L"\u5168\u30D5\u30A1\u30A4\u30EB(*.*)"});
  EXPECT_TRUE(driver.failures().empty()) << driver.failures()[0];
}

TEST(PlatformMisc, ExecutablePathWindowTextAndDate) {
  char expected[MAX_PATH];
  const DWORD length = GetModuleFileNameA(nullptr, expected, MAX_PATH);
  char path[MAX_PATH + 1];
  EXPECT_EQ(PlatformExecutablePath(path, sizeof path), length);
  EXPECT_STREQ(path, expected);
  EXPECT_EQ(PlatformExecutablePath(path, length), 0u) << "no room for the zero byte";
  EXPECT_EQ(PlatformExecutablePath(path, length + 1), length);

  HWND window = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                GetModuleHandleW(nullptr), nullptr);
  PlatformSetWindowText(window, kCaptionFileName);
  EXPECT_EQ(Driver::Text(window), Shown(kCaptionFileName));
  EXPECT_EQ(Driver::Text(window), L"\u30D5\u30A1\u30A4\u30EB\u540D\u30A8\u30E9\u30FC");
  DestroyWindow(window);

  SYSTEMTIME now;
  GetLocalTime(&now);
  char date[9];
  PlatformLocalDate(date);
  char want[16];
  std::snprintf(want, sizeof want, "%02u/%02u/%02u", now.wMonth, now.wDay, now.wYear % 100);
  EXPECT_STREQ(date, want);
}

TEST(PlatformMisc, RunsUnderTheExpectedAnsiCodePage) {
  // scripts/test.d/windows.sh runs the suite once under each locale and says which it wants.
  char wanted[16] = "";
  if (!GetEnvironmentVariableA("ZELVO_EXPECT_ACP", wanted, sizeof wanted)) {
    GTEST_SKIP() << "ZELVO_EXPECT_ACP not set";
  }
  EXPECT_EQ(GetACP(), static_cast<UINT>(std::strtoul(wanted, nullptr, 10)));
}

}  // namespace
}  // namespace gui
