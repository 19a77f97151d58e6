// The program's frame: the main window class and window, its procedure and the About box.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

inline constexpr wchar_t kMainClassName[] = L"ZelvoExp";
inline constexpr int kMainWidth = 600;
inline constexpr int kMainHeight = 480;
inline constexpr int kPanelId = 1001;
inline constexpr int kListId = 1002;
inline constexpr int kPanelHeight = 76;

// Registers the class "ZelvoExp"; the class atom, or 0 on failure.
ATOM RegisterMainClass(HINSTANCE instance);
// Stores the instance in App, creates, shows and updates the main window; 1 or 0.
int CreateMainWindow(HINSTANCE instance, int showCommand);
// Whether the window starts in English: ZELVO_LANG ("en" or "ja") when it names one of them, else
// `kept` (the settings' View > English).
bool StartsInEnglish(bool kept);
// Shows the window in the language App.English names: the menu (View > English checked while
// on), the status line, and the title, panel and list of a loaded volume.
void ShowWindowLanguage(HWND window);
// The main window the last CreateMainWindow made (null before, or when it failed).
HWND MainWindowHandle();
// Whether that window was built whole: its panel, its list and the code tables (else Open is
// greyed).
bool MainWindowComplete();
LRESULT CALLBACK MainWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK AboutDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// The first path of a command line (the part after the program's name): a quoted path, or the
// whole line without its surrounding blanks. False when the line names nothing.
bool CommandLinePath(const char* commandLine, std::string* path);
// Opens the image named on the command line as if it had been chosen in the Open dialog; does
// nothing when the line is empty or Open is not available.
void OpenFromCommandLine(HWND window, const char* commandLine);
// Whether a path's extension is that of an image layout (.2d, .d20, .d88, .d77, any case).
bool IsImagePath(const std::string& path);
// Dropped files: the first image file is opened; the other files go to DroppedHostFiles.
void OpenDroppedFiles(HWND window, const std::vector<std::string>& paths);
// Dropped files that are not images: imported into the open image, all in one change.
void DroppedHostFiles(HWND window, const std::vector<std::string>& paths);
// Runs the message loop with the keyboard accelerators of the main window until the quit
// message; returns its wParam, or 0 when getting a message failed.
int RunMessageLoop(HWND window, HACCEL accelerators);
