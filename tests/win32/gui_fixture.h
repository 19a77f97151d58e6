// The fixture of the end-to-end tests: the real main window of the program, created in this
// process, with a driver for its dialogs and a scratch folder for images and host files.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "gui_driver.h"
#include "support/image_builder.h"

namespace gui {

// UTF-16 of a code page 932 text of the program, as the screen should show it.
std::wstring Shown(const char* text);
std::wstring Shown(const std::string& text);
// A table text with its conversions filled, as the program formats it.
std::string Formatted(const char* format, ...);

// A fresh folder under the Windows temporary folder, removed with its files at destruction.
class ScratchFolder {
 public:
  ScratchFolder();
  ~ScratchFolder();
  std::string Path(const std::string& name) const;

 private:
  std::string path_;
};

// The sample volume of the tests: three files, a disk name in half-width katakana.
struct SampleFile {
  std::string name;
  uint8_t type;
  uint8_t lock;
  unsigned start;
  std::vector<uint8_t> data;
};
std::vector<SampleFile> SampleFiles();
testimg::VolumeBuilder SampleVolume();

class GuiTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Registers the class and creates the main window as the program does at start.
  void StartProgram();
  // Writes an image built from `volume` (MZ unless told otherwise) and returns its path.
  std::string WriteImage(const testimg::VolumeBuilder& volume, const std::string& name,
                         int machineMode = 0);
  // Opens an image through the real open dialog.
  void OpenImage(const std::string& path);

  LRESULT Command(int id);
  bool MenuEnabled(int id) const;
  bool MenuChecked(int id) const;
  HWND Panel() const { return static_cast<HWND>(panel_); }
  HWND List() const { return static_cast<HWND>(list_); }
  int RowCount() const;
  // Cell texts as the list view shows them.
  std::wstring CellShown(int row, int column) const;
  std::vector<std::vector<std::wstring>> RowsShown() const;
  void SelectRows(const std::vector<int>& rows);

  HINSTANCE instance_ = nullptr;
  HWND main_ = nullptr;
  void* panel_ = nullptr;
  void* list_ = nullptr;
  Driver driver_;
  ScratchFolder scratch_;
};

// The path of a file beside the test executable.
std::string BesideExecutable(const std::string& name);

}  // namespace gui
