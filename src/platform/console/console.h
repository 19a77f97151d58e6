// The console platform of the zelvo tool: message boxes go to standard error, questions are
// answered from the command line (or asked on a terminal), file dialogs are answered with the
// paths given on the command line, the attribute dialog is filled from the command-line options
// and OK is pressed once, and the list rows are kept in memory.
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.h"

namespace console {

inline WindowHandle const kMainWindow = reinterpret_cast<WindowHandle>(0x10);
inline WindowHandle const kPanelWindow = reinterpret_cast<WindowHandle>(0x20);
inline WindowHandle const kListWindow = reinterpret_cast<WindowHandle>(0x30);
inline WindowHandle const kDialogWindow = reinterpret_cast<WindowHandle>(0x40);

// One message box as it was shown (texts in code page 932).
struct Box {
  std::string text;
  std::string caption;
  unsigned flags;
  int answer;
};

// What the next file dialog answers: a path, or (for a save dialog) the file name the dialog was
// opened with. An accepted path is taken as it is, even where the dialog wants an existing file:
// the file named on the command line is then read, and a missing one fails as a read does.
struct FileAnswer {
  std::string path;
  bool useInitialName;
  bool accepted = false;
};

// The values a user would enter in a modal dialog before pressing OK: texts of edit controls,
// the item to select in a combo box (by its text; no matching item leaves nothing selected), and
// button states. Texts are code page 932.
struct DialogInput {
  std::map<int, std::string> texts;
  std::map<int, std::string> comboItems;
  std::map<int, bool> checks;
};

struct Settings {
  bool yes = false;          // answer every question with Yes
  bool interactive = false;  // ask questions on the terminal (when yes is not set)
  bool force = false;        // replace an existing file chosen in a save dialog
};

void Reset(const Settings& settings);
void QueueFileAnswer(const FileAnswer& answer);
void SetDialogInput(const DialogInput& input);
// Adds to the input: pick the combo box item with this text (code page 932).
void AddComboInput(int id, const std::string& text);

// Every box shown so far, in order.
const std::vector<Box>& Boxes();
// Whether a save dialog confirmed a path, and that path.
bool SaveDialogConfirmed();
std::string SavedPath();
// Whether a modal dialog was cancelled because its checks refused the input.
bool DialogRefused();
// The list rows (cell texts in code page 932) and the text last set on a window.
const std::vector<std::vector<std::string>>& Rows();
std::string WindowText(WindowHandle window);

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
// answer of a question. PlatformMessageBox is this with a null `textEn`.
int ShowMessage(const char* text, const char* textEn, const char* caption, unsigned flags);

// Prints a note of the tool itself (UTF-8) to standard error.
void Note(std::string_view text);

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
