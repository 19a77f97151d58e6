// What the zelvo tool needs of a terminal: a message printed on standard error ("caption: text",
// in the user's language), a yes/no question answered from the command line (--yes) or asked on
// the terminal, and the host system's streams, paths and texts (and the host files the core takes,
// image/host_files.h). zelvo calls the operations directly; it has no window.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "image/host_files.h"

namespace console {

// The kinds of message and the answers (their Win32 values, as the boxes list them).
inline constexpr unsigned kMbOk = 0x00;
inline constexpr unsigned kMbYesNo = 0x04;
inline constexpr unsigned kMbIconQuestion = 0x20;
inline constexpr int kIdOk = 1;
inline constexpr int kIdYes = 6;
inline constexpr int kIdNo = 7;

// One message box as it was shown (texts in code page 932).
struct Box {
  std::string text;
  std::string caption;
  unsigned flags;
  int answer;
  std::string textEn;  // the same text and caption in English
  std::string captionEn;
  std::string id;  // the name of the table text it came from ("kMsgReadFailed"), or empty
};

struct Settings {
  bool yes = false;          // answer every question with Yes
  bool interactive = false;  // ask questions on the terminal (when yes is not set)
};

void Reset(const Settings& settings);

// Every box shown so far, in order.
const std::vector<Box>& Boxes();

// The language of the messages: Japanese (the program's own texts) or English (their English
// forms from the table of texts). Captions and texts that the table holds are shown in it.
enum class Language { kJapanese, kEnglish };
// ZELVO_LANG when set and not empty ("ja" or "en"; any other value is ignored with *warning set);
// else, on Windows, the user's UI language, elsewhere the first of LC_ALL, LC_MESSAGES and LANG
// that is set and not empty: Japanese when it starts with "ja", English otherwise (also for C and
// POSIX, and when none is set).
Language ChooseLanguage(std::string* warning);
void SetLanguage(Language language);
Language CurrentLanguage();
// A message box as the terminal shows it: "caption: text" on standard error in the current
// language (`textEn` the English text, or null for the table's English of `text`), then the
// answer of a question.
// `format` is the table text the message came from (null: `text` itself).
int ShowMessage(const char* text, const char* textEn, const char* caption, unsigned flags,
                const char* format = nullptr);

// A yes/no question (kCaptionConfirm's kind) as ShowMessage asks it: true when answered Yes.
bool Ask(const char* text, const char* textEn, const char* caption);

// Prints a note of the tool itself (UTF-8) to standard error.
void Note(std::string_view text);
// --quiet: only what went wrong is printed (Info and success messages are not; a question
// answered by --yes never is).
void SetQuiet(bool quiet);
bool Quiet();
// A note that says what was done, not what went wrong: left out under --quiet.
void Info(std::string_view text);

// --- The host system (host_io.cpp). Texts and paths are UTF-8 on every system. ---

// Prepares the streams and puts the command line into `args` (argv[0] first) as UTF-8: on
// Windows read as UTF-16, so no code page changes it. False after a note when an argument cannot
// be used.
bool StartUp(int argc, char** argv, std::vector<std::string>* args);
// Writes UTF-8 text to standard output or standard error: to a Windows console as UTF-16, which
// shows whatever the console's code page, anywhere else as the UTF-8 bytes themselves.
void WriteOut(std::string_view text);
void WriteErr(std::string_view text);
// What is at a host path (through the wide API on Windows). Host files themselves are opened
// with PlatformOpenHostFile, which takes UTF-8 paths here.
enum class HostPathKind { kNone, kFile, kFolder };
HostPathKind HostPathKindOf(const std::string& path);

// Text conversions. Bytes that are not code page 932 become U+FFFD; characters that code page
// 932 lacks become '?'.
std::string Cp932ToUtf8(std::string_view text);
std::string Utf8ToCp932(std::string_view text);
// Code page 932 to what WriteOut and WriteErr take: UTF-8.
std::string Cp932ToTerminal(std::string_view text);
// A command-line argument (UTF-8, see StartUp) to code page 932.
std::string ArgumentToCp932(std::string_view text);
// A command-line argument to UTF-8 (for JSON output).
std::string ArgumentToUtf8(std::string_view text);
// A code page 932 file name to a host path: UTF-8, which PlatformOpenHostFile takes.
std::string Cp932ToHostPath(std::string_view text);
// Whether standard input and standard error are both a terminal.
bool OnTerminal();

}  // namespace console
