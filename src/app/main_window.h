// The program's frame: the main window class and window, its procedure and the About box.
#pragma once

#include <windows.h>

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
// The main window of this process, once created (the message loop translates its accelerators).
HWND MainWindowHandle();
LRESULT CALLBACK MainWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK AboutDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
