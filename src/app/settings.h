// What the Windows program remembers between runs, in a file under the user's application-data
// folder: the main window's place and size, the list's column widths and the folder each file
// dialog was last used in. The modes (MZ/PC, Binary/Ascii) are not kept: they start as MZ and
// Binary at every start.
#pragma once

#include <windows.h>

#include <string>

inline constexpr int kSettingsColumns = 9;

struct WindowSettings {
  bool placed = false;  // a place and size were kept
  RECT rect{};          // the normal (not maximised) place, as the window placement gives it
  bool maximized = false;
  int columnWidths[kSettingsColumns] = {};  // 0 where none was kept
  bool english = false;                     // View > English was on
};

// The settings file: "%APPDATA%\Zelvo Explorer\settings.ini" unless another was set (tests).
std::wstring SettingsFile();
void SetSettingsFile(const std::wstring& path);
// Reads the file (missing or damaged values are left out) and hands the dialog folders to the
// platform layer.
void LoadSettings(WindowSettings* settings);
// Writes the main window's place, the list's column widths, the language (App.English) and the
// dialog folders.
void SaveSettings(HWND window, HWND list);
