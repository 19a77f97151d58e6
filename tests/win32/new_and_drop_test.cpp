// The New command and files dropped on the window, end to end.
#include <gtest/gtest.h>
#include <shlobj.h>
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "flows/app_state.h"
#include "gui_fixture.h"
#include "resources/resource.h"
#include "screenshot.h"
#include "support/test_support.h"
#include "texts/texts.h"

namespace gui {
namespace {

constexpr int kCmdNew = 40040, kCmdExportToFolder = 40041, kCmdExport = 40003;
constexpr int kDiskName = 1100, kVolumeNumber = 1101, kYear = 1102, kMonth = 1103, kDay = 1104;
constexpr int kExdir = 1105;

class NewAndDropTest : public GuiTest {
 protected:
  void SetUp() override {
    GuiTest::SetUp();
    StartProgram();
  }
  // Drops the files on the main window as the shell does.
  void Drop(const std::vector<std::string>& files) {
    size_t bytes = sizeof(DROPFILES) + 1;
    for (const std::string& file : files) bytes += file.size() + 1;
    HGLOBAL memory = GlobalAlloc(GHND, bytes);
    auto* drop = static_cast<DROPFILES*>(GlobalLock(memory));
    drop->pFiles = sizeof(DROPFILES);
    drop->fWide = FALSE;
    char* at = reinterpret_cast<char*>(drop) + sizeof(DROPFILES);
    for (const std::string& file : files) {
      std::memcpy(at, file.c_str(), file.size() + 1);
      at += file.size() + 1;
    }
    GlobalUnlock(memory);
    SendMessageW(main_, WM_DROPFILES, reinterpret_cast<WPARAM>(memory), 0);
  }
};

TEST_F(NewAndDropTest, NewCreatesTheImageAndOpensIt) {
  const std::string path = scratch_.Path("blank.d88");
  std::wstring year;
  driver_.ChooseFile(path);
  driver_.Expect(Kind::kNewImage, [&](HWND dialog) {
    year = Driver::ItemText(dialog, kYear);
    SetDlgItemTextA(dialog, kDiskName, "BLANK");
    SetDlgItemTextA(dialog, kVolumeNumber, "5");
    SetDlgItemTextA(dialog, kYear, "24");
    SetDlgItemTextA(dialog, kMonth, "06");
    SetDlgItemTextA(dialog, kDay, "30");
    SendDlgItemMessageW(dialog, kExdir, BM_CLICK, 0, 0);
    RedrawWindow(dialog, nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_UPDATENOW | RDW_ALLCHILDREN);
    const DWORD until = GetTickCount() + 300;
    while (GetTickCount() < until) {
      MSG message;
      while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
      Sleep(20);
    }
    WritePng(CaptureWindow(dialog), BesideExecutable("new_image_dialog.png"));
    Driver::Press(dialog, IDOK);
  });
  Command(kCmdNew);
  EXPECT_TRUE(driver_.failures().empty());
  EXPECT_EQ(driver_.pendingSteps(), 0u);
  ASSERT_EQ(driver_.fileDialogs().size(), 1u);
  EXPECT_EQ(driver_.fileDialogs()[0].title, Shown(kNewImageDialogTitle));
  EXPECT_EQ(year.size(), 2u);  // today's year

  testimg::VolumeBuilder expected;
  expected.SetDiskName("BLANK").SetVolumeNumber(5).SetDate(0x24, 0x06, 0x30).SetExdir(2, 1);
  testimg::ImageSpec shape;
  shape.d88 = true;
  shape.d88Name = "BLANK";
  EXPECT_TRUE(
      testsupport::BytesEqual(testimg::BuildImage(expected, shape), testimg::ReadFile(path)));
  EXPECT_EQ(RowCount(), 0);
  EXPECT_TRUE(MenuEnabled(kCmdExport));
  EXPECT_TRUE(MenuEnabled(kCmdExportToFolder));
  EXPECT_NE(Driver::Text(main_).find(L"blank.d88"), std::wstring::npos);
}

TEST_F(NewAndDropTest, DroppedFilesAreImportedInOneTransaction) {
  const std::string image = WriteImage(SampleVolume(), "disk.d88");
  OpenImage(image);
  ASSERT_EQ(RowCount(), 3);
  const std::string first = scratch_.Path("first.bin");
  const std::string second = scratch_.Path("second.bin");
  testimg::WriteFile(first, testsupport::Pattern(500, 1));
  testimg::WriteFile(second, testsupport::Pattern(40, 2));
  std::vector<std::wstring> names;
  for (int i = 0; i < 2; i++) {
    driver_.Expect(Kind::kAttributes, [&](HWND dialog) {
      names.push_back(Driver::ItemText(dialog, 1000));
      Driver::Press(dialog, IDOK);
    });
  }
  driver_.AnswerBox(IDYES);
  driver_.AnswerBox(IDOK);
  // An image among the dropped files is opened, the others go into it; the first image stays.
  const std::string other = WriteImage(SampleVolume(), "other.d88");
  const std::vector<uint8_t> before = testimg::ReadFile(image);
  Drop({first, other, second});
  EXPECT_STREQ(App.ImagePath, other.c_str());
  EXPECT_TRUE(testsupport::BytesEqual(before, testimg::ReadFile(image)));
  EXPECT_TRUE(driver_.failures().empty());
  EXPECT_EQ(driver_.pendingSteps(), 0u);
  EXPECT_EQ(names, (std::vector<std::wstring>{L"first.bin", L"second.bin"}));
  ASSERT_EQ(driver_.boxes().size(), 2u);
  EXPECT_EQ(driver_.boxes()[0].text, Shown(kMsgImportConfirm));
  char success[128];
  std::snprintf(success, sizeof success, kMsgBatchImportSucceeded, 2);
  EXPECT_EQ(driver_.boxes()[1].text, Shown(success));
  EXPECT_EQ(RowCount(), 5);
}

// A dropped file of an existing name, Yes to the replace question: the image is byte for byte
// what the single import (Ctrl+I) makes of the same file and answers, one file of that name.
TEST_F(NewAndDropTest, ADroppedFileOfAnExistingNameReplacesItAsTheSingleImportDoes) {
  const std::string host = scratch_.Path("game");
  testimg::WriteFile(host, testsupport::Pattern(900, 4));
  const std::string one = WriteImage(SampleVolume(), "one.2d");
  OpenImage(one);
  driver_.ChooseFile(host);
  driver_.Expect(Kind::kAttributes, [](HWND dialog) { Driver::Press(dialog, IDOK); });
  driver_.AnswerBox(IDYES);  // replace GAME
  driver_.AnswerBox(IDYES);  // import
  driver_.AnswerBox(IDOK);   // done
  Command(IDM_IMPORT);
  ASSERT_EQ(RowCount(), 3);

  const std::string many = WriteImage(SampleVolume(), "many.2d");
  OpenImage(many);
  driver_.Expect(Kind::kAttributes, [](HWND dialog) { Driver::Press(dialog, IDOK); });
  driver_.AnswerBox(IDYES);  // replace GAME
  driver_.AnswerBox(IDYES);  // import
  driver_.AnswerBox(IDOK);   // done
  Drop({host});
  EXPECT_TRUE(driver_.failures().empty());
  EXPECT_EQ(driver_.pendingSteps(), 0u);
  ASSERT_GE(driver_.boxes().size(), 6u);
  EXPECT_EQ(driver_.boxes()[3].text, Shown(kMsgReplaceQuestion));
  EXPECT_EQ(RowCount(), 3);
  EXPECT_TRUE(testsupport::BytesEqual(testimg::ReadFile(one), testimg::ReadFile(many)));
}

TEST_F(NewAndDropTest, DroppedFilesAnsweredNoLeaveTheImageUnchanged) {
  const std::string image = WriteImage(SampleVolume(), "disk.2d");
  OpenImage(image);
  const std::vector<uint8_t> before = testimg::ReadFile(image);
  const std::string host = scratch_.Path("host.bin");
  testimg::WriteFile(host, testsupport::Pattern(300, 3));
  driver_.Expect(Kind::kAttributes, [](HWND dialog) { Driver::Press(dialog, IDOK); });
  driver_.AnswerBox(IDNO);
  Drop({host});
  EXPECT_TRUE(driver_.failures().empty());
  EXPECT_TRUE(testsupport::BytesEqual(before, testimg::ReadFile(image)));
  EXPECT_EQ(RowCount(), 3);
}

TEST_F(NewAndDropTest, SelectedFilesGoToTheChosenFolderWithOneQuestion) {
  OpenImage(WriteImage(SampleVolume(), "disk.d88"));
  ASSERT_EQ(RowCount(), 3);
  const std::string folder = scratch_.Path("");
  SelectRows({0, 2});
  std::wstring wideFolder(folder.begin(), folder.end());
  while (!wideFolder.empty() && wideFolder.back() == L'\\') wideFolder.pop_back();
  for (int run = 0; run < 2; run++) {
    driver_.Expect(Kind::kFolderDialog, [&](HWND dialog) {
      SendMessageW(dialog, BFFM_SETSELECTIONW, TRUE, reinterpret_cast<LPARAM>(wideFolder.c_str()));
      Driver::Press(dialog, IDOK);
    });
  }
  driver_.AnswerBox(IDYES);  // the second time the files are there: one question for both
  Command(kCmdExportToFolder);
  Command(kCmdExportToFolder);
  EXPECT_TRUE(driver_.failures().empty());
  EXPECT_EQ(driver_.pendingSteps(), 0u);
  ASSERT_EQ(driver_.boxes().size(), 1u);
  EXPECT_TRUE(driver_.boxes()[0].hasYesNo);
  const std::vector<SampleFile> files = SampleFiles();
  int found = 0;
  WIN32_FIND_DATAA entry;
  HANDLE search = FindFirstFileA((folder + "*.*").c_str(), &entry);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        const std::vector<uint8_t> bytes = testimg::ReadFile(folder + entry.cFileName);
        if (bytes == files[0].data || bytes == files[2].data) found++;
      }
    } while (FindNextFileA(search, &entry));
    FindClose(search);
  }
  EXPECT_EQ(found, 2);
}

}  // namespace
}  // namespace gui
