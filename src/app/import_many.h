// The open dialog of File > import of several files: any number of host files at once.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// Shows the dialog; true with the chosen paths (ANSI code page, in the order the dialog gives
// them), false when it was cancelled or failed.
bool ChooseHostFiles(HWND window, std::vector<std::string>* paths);
// Splits the dialog's result: one full path, or a folder followed by file names, each ended by a
// zero and the whole by an empty one.
std::vector<std::wstring> SplitMultiSelection(const wchar_t* buffer);
