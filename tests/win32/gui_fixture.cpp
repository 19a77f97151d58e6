#include "gui_fixture.h"

#include <commctrl.h>

#include <cstdarg>
#include <cstdio>

#include "app/main_window.h"
#include "app/settings.h"
#include "flows/app_state.h"
#include "image/change_history.h"
#include "platform/win32/win32_controls.h"
#include "platform/win32/win32_text.h"

namespace gui {

std::wstring Shown(const char* text) { return WideFromProgramText(text); }
std::wstring Shown(const std::string& text) { return WideFromProgramText(text); }

std::string Formatted(const char* format, ...) {
  char text[2048];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  return text;
}

ScratchFolder::ScratchFolder() {
  static int counter = 0;
  char temp[MAX_PATH];
  GetTempPathA(MAX_PATH, temp);
  char name[MAX_PATH + 64];
  std::snprintf(name, sizeof name, "%szelvo-gui-%lu-%d", temp, GetCurrentProcessId(), ++counter);
  CreateDirectoryA(name, nullptr);
  path_ = name;
}

ScratchFolder::~ScratchFolder() {
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((path_ + "\\*").c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        DeleteFileA((path_ + "\\" + found.cFileName).c_str());
      }
    } while (FindNextFileA(search, &found));
    FindClose(search);
  }
  RemoveDirectoryA(path_.c_str());
}

std::string ScratchFolder::Path(const std::string& name) const { return path_ + "\\" + name; }

std::string BesideExecutable(const std::string& name) {
  char path[MAX_PATH];
  DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string folder(path, length);
  folder.resize(folder.find_last_of("\\/") + 1);
  return folder + name;
}

std::vector<SampleFile> SampleFiles() {
  std::vector<SampleFile> files = {
      {"HELLO", 1, 1, 0x1200, {}},
      {"README.TXT", 2, 0, 0x0000, {}},
      {"GAME", 5, 0, 0x8000, {}},
  };
  for (size_t i = 0; i < files.size(); ++i) {
    const size_t size = 300 + 257 * i;
    for (size_t b = 0; b < size; ++b) {
      files[i].data.push_back(static_cast<uint8_t>((b * 7 + i * 13 + (b >> 8)) & 0xFF));
    }
  }
  return files;
}

testimg::VolumeBuilder SampleVolume() {
  testimg::VolumeBuilder volume;
  volume.SetVolumeNumber(7);
  volume.SetDate(0x03, 0x01, 0x15);
  volume.SetDiskName("\xBE\xDE\xD9\xCE\xDE DISK");  // half-width katakana, then ASCII
  for (const SampleFile& sample : SampleFiles()) {
    testimg::FileSpec file;
    file.name = sample.name;
    file.type = sample.type;
    file.lock = sample.lock;
    file.start = sample.start;
    file.exec = sample.start;
    file.data = sample.data;
    volume.AddFile(file);
  }
  return volume;
}

void GuiTest::SetUp() {
  ResetAppState();
  ChangeHistoryClear(App.History);  // no change of an earlier test's image to undo
  // Every test starts as a first run: no settings kept, none left for the next test.
  SetSettingsFile(WideFromAnsi(scratch_.Path("settings.ini").c_str()));
  FileDialogFolders().clear();
  instance_ = GetModuleHandleW(nullptr);
}

void GuiTest::StartProgram() {
  ASSERT_NE(RegisterMainClass(instance_), 0);
  ASSERT_EQ(CreateMainWindow(instance_, SW_SHOWNORMAL), 1);
  ASSERT_NE(App.ListWindow, nullptr);
  main_ = GetParent(static_cast<HWND>(App.ListWindow));
  panel_ = App.PanelWindow;
  list_ = App.ListWindow;
  ASSERT_NE(main_, nullptr);
}

void GuiTest::TearDown() {
  if (main_ && IsWindow(main_)) DestroyWindow(main_);
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
  }
  UnregisterClassW(kMainClassName, instance_);
  for (const std::string& failure : driver_.failures()) ADD_FAILURE() << failure;
  EXPECT_EQ(driver_.pendingSteps(), 0u) << "scripted windows that never came up";
}

std::string GuiTest::WriteImage(const testimg::VolumeBuilder& volume, const std::string& name,
                                int machineMode) {
  testimg::ImageSpec shape;
  const std::string lower = name.substr(name.find_last_of('.'));
  shape.d88 = lower != ".2d" && lower != ".2D";
  shape.machineMode = machineMode;
  const std::string path = scratch_.Path(name);
  testimg::WriteFile(path, testimg::BuildImage(volume, shape));
  return path;
}

void GuiTest::OpenImage(const std::string& path) {
  driver_.ChooseFile(path);
  Command(40002);
}

LRESULT GuiTest::Command(int id) { return SendMessageW(main_, WM_COMMAND, id, 0); }

bool GuiTest::MenuEnabled(int id) const {
  return !(GetMenuState(GetMenu(main_), id, MF_BYCOMMAND) & (MF_GRAYED | MF_DISABLED));
}

bool GuiTest::MenuChecked(int id) const {
  return (GetMenuState(GetMenu(main_), id, MF_BYCOMMAND) & MF_CHECKED) != 0;
}

int GuiTest::RowCount() const {
  return static_cast<int>(SendMessageW(List(), LVM_GETITEMCOUNT, 0, 0));
}

std::wstring GuiTest::CellShown(int row, int column) const {
  wchar_t text[256] = {};
  LVITEMW item{};
  item.iSubItem = column;
  item.pszText = text;
  item.cchTextMax = 256;
  SendMessageW(List(), LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
  return text;
}

std::vector<std::vector<std::wstring>> GuiTest::RowsShown() const {
  std::vector<std::vector<std::wstring>> rows;
  for (int row = 0; row < RowCount(); ++row) {
    std::vector<std::wstring> cells;
    for (int column = 0; column < 9; ++column) cells.push_back(CellShown(row, column));
    rows.push_back(cells);
  }
  return rows;
}

void GuiTest::SelectRows(const std::vector<int>& rows) {
  LVITEMW clear{};
  clear.stateMask = LVIS_SELECTED;
  SendMessageW(List(), LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&clear));
  for (int row : rows) {
    LVITEMW item{};
    item.stateMask = LVIS_SELECTED;
    item.state = LVIS_SELECTED;
    SendMessageW(List(), LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&item));
  }
}

}  // namespace gui
