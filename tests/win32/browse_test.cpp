// Opening images through the real open dialog, the list, the panel and the title, the mode
// commands on a loaded volume, Export through the real save dialog, and a screenshot.
#include <gtest/gtest.h>
#include <windows.h>
// After windows.h:
#include <commctrl.h>

#include <cstring>
#include <string>
#include <vector>

#include "flows/app_state.h"
#include "flows/export.h"
#include "flows/volume_view.h"
#include "gui_fixture.h"
#include "image/host_files.h"
#include "platform/platform.h"
#include "platform/win32/win32_text.h"
#include "screenshot.h"
#include "texts/texts.h"
#include "view/directory_list.h"
#include "view/info_panel.h"

namespace gui {
namespace {

class BrowseTest : public GuiTest {
 protected:
  // The nine cells of every used entry as the program formats them, in directory order.
  std::vector<std::vector<std::string>> FormattedRows() const {
    std::vector<std::vector<std::string>> rows;
    for (int slot = 0; slot < App.EntryCount; ++slot) {
      const uint8_t* entry = App.DirectoryBuffer + slot * 32;
      if (entry[0] == 0) continue;
      DirectoryRow row;
      FormatDirectoryRow(entry, App.Tables.TBL1, &row);
      rows.emplace_back(row.cells, row.cells + kColumnCount);
    }
    return rows;
  }

  // The cells read back through the platform layer, as the program's Export reads them.
  std::vector<std::vector<std::string>> RowsReadBack() const {
    std::vector<std::vector<std::string>> rows;
    for (int row = 0; row < RowCount(); ++row) {
      std::vector<std::string> cells;
      for (int column = 0; column < kColumnCount; ++column) {
        char cell[kCellCapacity + 8];
        ListGetCell(List(), row, column, cell, sizeof cell);
        cells.push_back(cell);
      }
      rows.push_back(cells);
    }
    return rows;
  }

  std::vector<std::vector<std::wstring>> Shown(const std::vector<std::vector<std::string>>& rows) {
    std::vector<std::vector<std::wstring>> shown;
    for (const auto& row : rows) {
      std::vector<std::wstring> cells;
      for (const std::string& cell : row) cells.push_back(gui::Shown(cell));
      shown.push_back(cells);
    }
    return shown;
  }

  std::wstring PanelExpected() const {
    char text[kPanelTextCapacity];
    BuildInfoText(text);
    return gui::Shown(text);
  }
};

// The first sample row, written out by hand: full-width name, locked object file.
const std::vector<std::wstring> kHelloRow = {L"\uFF28\uFF25\uFF2C\uFF2C\uFF2F",
                                             L"OBJ*",
                                             L"1200",
                                             L"132B",
                                             L"012C",
                                             L"1200",
                                             L"03/01/15",
                                             L"02",
                                             L"01"};

class OpenTest : public BrowseTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(OpenTest, ShowsTheRowsThePanelAndTheTitle) {
  StartProgram();
  const std::string path = WriteImage(SampleVolume(), GetParam());
  OpenImage(path);

  ASSERT_EQ(driver_.fileDialogs().size(), 1u);
  const ShownFileDialog& dialog = driver_.fileDialogs()[0];
  EXPECT_EQ(dialog.title, gui::Shown(kOpenDialogTitle));
  EXPECT_EQ(dialog.fileName, L"");
  const std::vector<std::wstring> filters = {
      gui::Shown(kFilterAllFilesJa),
      gui::Shown(kFilterFlat),
      gui::Shown(kFilterD88),
      gui::Shown(kFilterD20),
      gui::Shown(kFilterD77),
      gui::Shown(kFilterImd),
      gui::Shown(kFilterHfe),
      gui::Shown(kFilterScp),
      L"全イメージファイル(*.2d;*.d20;*.d88;*.d77;*.imd;*.hfe;*.scp)"};
  EXPECT_EQ(dialog.filters, filters);
  EXPECT_TRUE(driver_.boxes().empty());

  EXPECT_EQ(App.VolumeLoaded, 1);
  EXPECT_STREQ(App.ImagePath, path.c_str());
  EXPECT_EQ(Driver::Text(main_), L"Zelvo Explorer - " + WideFromAnsi(path.c_str()));
  EXPECT_TRUE(MenuEnabled(40003));
  EXPECT_TRUE(MenuEnabled(40010));

  ASSERT_EQ(RowCount(), 3);
  EXPECT_EQ(RowsShown()[0], kHelloRow);
  EXPECT_EQ(RowsReadBack(), FormattedRows());
  EXPECT_EQ(RowsShown(), Shown(FormattedRows()));

  const std::wstring panel = Driver::Text(Panel());
  EXPECT_EQ(panel, PanelExpected());
  EXPECT_NE(panel.find(L"\uFF7E\uFF9E\uFF99\uFF8E\uFF9E DISK"), std::wstring::npos)
      << Narrow(panel);
  EXPECT_NE(panel.find(L"Volume Number:7"), std::wstring::npos) << Narrow(panel);
}

INSTANTIATE_TEST_SUITE_P(Layouts, OpenTest, ::testing::Values("disk.2d", "DISK.D88", "disk.d77"),
                         [](const ::testing::TestParamInfo<const char*>& info) {
                           std::string name = info.param;
                           for (char& c : name) c = c == '.' ? '_' : c;
                           return name;
                         });

// The title joins the program's name (code page 932) and the path (ANSI code page), each
// converted by its own code page: a path with letters beyond ASCII reads right on a system that
// is not Japanese too.
TEST_F(BrowseTest, TheTitleShowsAPathBeyondAsciiAsTheSystemWritesIt) {
  StartProgram();
  // A name of the system's own code page: katakana under 932, an accented letter under 1252.
  const std::string name =
      GetACP() == 932 ? "\x83\x66\x83\x42\x83\x58\x83\x4E.d88" : "caf\xE9 disk.d88";
  const std::string path = WriteImage(SampleVolume(), name);
  OpenImage(path);
  ASSERT_EQ(App.VolumeLoaded, 1);
  const std::wstring wide = WideFromAnsi(path.c_str());
  EXPECT_EQ(Driver::Text(main_), L"Zelvo Explorer - " + wide);
  EXPECT_NE(wide.find(GetACP() == 932 ? L"\u30C7\u30A3\u30B9\u30AF" : L"caf\u00E9"),
            std::wstring::npos);
}

TEST_F(BrowseTest, RefusedOrCancelledChoiceKeepsTheLoadedImage) {
  StartProgram();
  const std::string path = WriteImage(SampleVolume(), "disk.d88");
  OpenImage(path);
  const auto rows = RowsShown();
  const std::wstring title = Driver::Text(main_);
  const std::wstring panel = Driver::Text(Panel());

  const std::string other = WriteImage(SampleVolume(), "disk.d88.bak");
  driver_.ChooseFile(other);
  driver_.AnswerBox(IDOK);
  Command(40002);
  ASSERT_EQ(driver_.boxes().size(), 1u);
  EXPECT_EQ(driver_.boxes()[0].text, gui::Shown(kMsgBadExtension));
  EXPECT_EQ(driver_.boxes()[0].caption, gui::Shown(kCaptionExtension));
  EXPECT_EQ(driver_.boxes()[0].owner, main_);

  driver_.CancelFileDialog();
  Command(40002);

  EXPECT_EQ(driver_.fileDialogs().size(), 3u);
  // The dialog starts from the last choice.
  EXPECT_EQ(driver_.fileDialogs()[1].fileName, L"disk.d88");
  EXPECT_STREQ(App.ImagePath, path.c_str());
  EXPECT_EQ(RowsShown(), rows);
  EXPECT_EQ(Driver::Text(main_), title);
  EXPECT_EQ(Driver::Text(Panel()), panel);
  EXPECT_TRUE(MenuEnabled(40003));
}

TEST_F(BrowseTest, MachineModeSwitchReloadsALoadedVolume) {
  StartProgram();
  const std::string path = WriteImage(SampleVolume(), "disk.2d");
  OpenImage(path);
  const auto mzRows = RowsShown();
  const std::wstring mzPanel = Driver::Text(Panel());
  ASSERT_EQ(mzRows.size(), 3u);

  Command(40007);  // PC: the same image read without the side swap and the inversion
  EXPECT_EQ(App.MachineMode, 1);
  EXPECT_TRUE(MenuChecked(40007));
  EXPECT_FALSE(MenuChecked(40006));
  const auto pcRows = RowsShown();
  const std::wstring pcPanel = Driver::Text(Panel());
  EXPECT_NE(pcRows, mzRows);
  EXPECT_NE(pcPanel, mzPanel);
  EXPECT_TRUE(driver_.fileDialogs().size() == 1u) << "a reload asks for no file";

  // What the reload showed is what opening the image under PC shows.
  if (!pcRows.empty()) {
    OpenImage(path);
    EXPECT_EQ(RowsShown(), pcRows);
    EXPECT_EQ(Driver::Text(Panel()), pcPanel);
  }

  Command(40006);
  EXPECT_EQ(App.MachineMode, 0);
  EXPECT_TRUE(MenuChecked(40006));
  EXPECT_FALSE(MenuChecked(40007));
  EXPECT_EQ(RowsShown(), mzRows);
  EXPECT_EQ(Driver::Text(Panel()), mzPanel);
}

TEST_F(BrowseTest, ModeChosenBeforeOpeningIsUsedByTheNextLoad) {
  StartProgram();
  const std::string path = WriteImage(SampleVolume(), "disk.d88", 1);
  Command(40007);
  EXPECT_EQ(RowCount(), 0);
  OpenImage(path);
  ASSERT_EQ(RowCount(), 3);
  EXPECT_EQ(RowsShown()[0], kHelloRow);
}

TEST_F(BrowseTest, SameModeAgainReloadsButTransferModesNeverDo) {
  StartProgram();
  OpenImage(WriteImage(SampleVolume(), "disk.2d"));
  const auto rows = RowsShown();
  ASSERT_EQ(rows.size(), 3u);

  // A row removed behind the program's back shows whether a command reloads.
  SendMessageW(List(), LVM_DELETEITEM, 0, 0);
  Command(40009);
  EXPECT_EQ(App.TransferMode, 1);
  EXPECT_TRUE(MenuChecked(40009));
  EXPECT_FALSE(MenuChecked(40008));
  Command(40008);
  EXPECT_EQ(App.TransferMode, 0);
  EXPECT_TRUE(MenuChecked(40008));
  EXPECT_FALSE(MenuChecked(40009));
  EXPECT_EQ(RowCount(), 2);

  Command(40006);  // MZ while MZ is in force
  EXPECT_EQ(RowsShown(), rows);
}

TEST_F(BrowseTest, ExportWritesTheFirstSelectedFileThroughTheSaveDialog) {
  StartProgram();
  OpenImage(WriteImage(SampleVolume(), "disk.d88"));
  const std::vector<SampleFile> files = SampleFiles();

  // No selection: nothing at all.
  SelectRows({});
  Command(40003);
  EXPECT_EQ(driver_.fileDialogs().size(), 1u);

  SelectRows({1, 2});
  const std::string target = scratch_.Path("readme.txt");
  driver_.ChooseFile(target);
  Command(40003);
  ASSERT_EQ(driver_.fileDialogs().size(), 2u);
  const ShownFileDialog& dialog = driver_.fileDialogs()[1];
  EXPECT_EQ(dialog.title, gui::Shown(kExportDialogTitle));
  EXPECT_EQ(dialog.filters, std::vector<std::wstring>{gui::Shown(kFilterAllFilesEn)});
  char name[kCellCapacity];
  ListGetCell(List(), 1, 0, name, sizeof name);
  // The row's name, in the ANSI code page as the folder export names the file.
  char hostName[3 * kCellCapacity];
  ASSERT_EQ(PlatformHostFileName((std::string(name) + ".TEX").c_str(), hostName, sizeof hostName),
            0);
  EXPECT_EQ(dialog.fileName, WideFromAnsi(hostName));
  EXPECT_EQ(testimg::ReadFile(target), files[1].data);
  EXPECT_STREQ(App.FileTitle, "readme.txt");
  EXPECT_TRUE(driver_.boxes().empty());
}

TEST_F(BrowseTest, ExportInAsciiModeConvertsAndReplacesAfterTheOverwriteQuestion) {
  StartProgram();
  OpenImage(WriteImage(SampleVolume(), "disk.2d"));
  const std::vector<SampleFile> files = SampleFiles();
  const std::string target = scratch_.Path("hello.txt");
  testimg::WriteFile(target, {'o', 'l', 'd'});

  Command(40009);
  SelectRows({0});
  driver_.ChooseFile(target);
  driver_.AnswerBox(IDYES);  // the dialog's own question before replacing a file
  Command(40003);

  std::vector<uint8_t> expected(files[0].data.size() * 2 + 2);
  const long length =
      ConvertExportText(files[0].data.data(), static_cast<long>(files[0].data.size()),
                        App.Tables.TBL2, expected.data());
  expected.resize(static_cast<size_t>(length));
  EXPECT_EQ(testimg::ReadFile(target), expected);
}

TEST_F(BrowseTest, CancelledExportWritesNothing) {
  StartProgram();
  const std::string image = WriteImage(SampleVolume(), "disk.2d");
  OpenImage(image);
  const std::vector<uint8_t> before = testimg::ReadFile(image);
  SelectRows({0});
  driver_.CancelFileDialog();
  Command(40003);
  EXPECT_EQ(driver_.fileDialogs().size(), 2u);
  EXPECT_TRUE(driver_.boxes().empty());
  EXPECT_EQ(testimg::ReadFile(image), before);
}

// Leaves a picture of the main window with a loaded image in the build folder, and checks that
// the fonts on screen carry the Japanese characters the window shows.
TEST_F(BrowseTest, ScreenshotOfALoadedImage) {
  StartProgram();
  OpenImage(WriteImage(SampleVolume(), "disk.d88"));
  SetForegroundWindow(main_);
  RedrawWindow(main_, nullptr, nullptr,
               RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
  const DWORD until = GetTickCount() + 500;
  while (GetTickCount() < until) {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
    Sleep(20);
  }

  for (HWND window : {Panel(), List()}) {
    HDC dc = GetDC(window);
    HFONT font = reinterpret_cast<HFONT>(SendMessageW(window, WM_GETFONT, 0, 0));
    HGDIOBJ old = SelectObject(dc, font ? font : GetStockObject(SYSTEM_FONT));
    const std::wstring japanese =
        window == Panel() ? L"\uFF7E\uFF9E\uFF99\uFF8E\uFF9E" : L"\uFF28\uFF25\uFF2C\uFF2C\uFF2F";
    std::vector<WORD> glyphs(japanese.size());
    GetGlyphIndicesW(dc, japanese.c_str(), static_cast<int>(japanese.size()), glyphs.data(),
                     GGI_MARK_NONEXISTING_GLYPHS);
    for (WORD glyph : glyphs) EXPECT_NE(glyph, 0xFFFF) << "a character the font lacks";
    SelectObject(dc, old);
    ReleaseDC(window, dc);
  }

  const Capture capture = CaptureWindow(main_);
  EXPECT_EQ(capture.width, 600);
  EXPECT_EQ(capture.height, 480);
  EXPECT_GT(capture.DistinctColours(), 4u);
  const std::string name = GetACP() == 932 ? "main_window_ja.png" : "main_window_en.png";
  EXPECT_TRUE(WritePng(capture, BesideExecutable(name)));
}

}  // namespace
}  // namespace gui
