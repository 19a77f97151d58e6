// Text conversions of the Windows adapter.
//
// The program holds its texts in code page 932. The adapter shows them through the wide (UTF-16)
// calls, so they read right whatever the system's ANSI code page is, and gives back what the user
// sees as code page 932 bytes again. File paths are not texts of the program: they stay in the
// ANSI code page, as the ANSI file calls expect them.
#pragma once

#include <string>

inline constexpr unsigned kProgramCodePage = 932;

// Code page 932 bytes (ended by a zero byte; null for none) to UTF-16.
std::wstring WideFromProgramText(const char* text);
std::wstring WideFromProgramText(const std::string& text);
// UTF-16 to code page 932 bytes; characters that code page 932 lacks become '?'.
std::string ProgramTextFromWide(const std::wstring& text);

// The same between the ANSI code page and UTF-16, for paths.
std::wstring WideFromAnsi(const char* text);
// Sets *lossy when a character has no ANSI form.
std::string AnsiFromWide(const std::wstring& text, bool* lossy = nullptr);

// The bytes to give back for a text that the program once set and the user may since have
// changed: the original bytes while the control still shows them, otherwise the shown text
// converted to code page 932. The original bytes matter where they do not survive the round
// trip through UTF-16 (a lone lead byte, bytes that code page 932 leaves unassigned).
std::string ReadBackText(const std::wstring& shown, const std::string* original);
