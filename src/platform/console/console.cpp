// The platform seam for the zelvo command-line tool.
#include "platform/console/console.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <deque>
#include <string>

#ifdef _WIN32
#include <windows.h>
#elif defined(__APPLE__)
#include <mach-o/dyld.h>

#include <climits>
#include <cstdlib>
#else
#include <unistd.h>
#endif

#include "texts/texts.h"

namespace console {
namespace {

constexpr unsigned long kBufferTooSmall = 0x3003;  // FNERR_BUFFERTOOSMALL

struct DialogState {
  std::map<int, std::string> texts;
  std::map<int, bool> checks;
  std::map<int, std::vector<std::string>> comboItems;
  std::map<int, int> comboSelection;
  bool ended = false;
  intptr_t result = 0;
};

struct State {
  Settings settings;
  std::vector<Box> boxes;
  std::deque<FileAnswer> fileAnswers;
  unsigned long lastDialogError = 0;
  bool saveConfirmed = false;
  std::string savedPath;
  DialogInput dialogInput;
  DialogState dialog;
  bool dialogRefused = false;
  std::vector<std::vector<std::string>> rows;
  std::map<WindowHandle, std::string> windowTexts;
};

State& S() {
  static State state;
  return state;
}

void CopyText(const std::string& text, char* buffer, int capacity) {
  if (capacity <= 0) return;
  const size_t n = std::min(text.size(), static_cast<size_t>(capacity - 1));
  std::memcpy(buffer, text.data(), n);
  buffer[n] = '\0';
}

bool IsRegularFile(const std::string& path) {
#ifdef _WIN32
  return HostPathKindOf(path) == HostPathKind::kFile;
#else
  struct stat st;
  return stat(path.c_str(), &st) == 0 && (st.st_mode & S_IFMT) == S_IFREG;
#endif
}

bool Exists(const std::string& path) {
#ifdef _WIN32
  return HostPathKindOf(path) != HostPathKind::kNone;
#else
  struct stat st;
  return stat(path.c_str(), &st) == 0;
#endif
}

// A file name taken from the volume (UTF-8) must stay a plain name in the current folder:
// separators, control characters (and on Windows the characters a file name cannot hold) become
// '_'. Bytes of multi-byte UTF-8 characters are all 0x80 or above and stay.
std::string PlainFileName(const std::string& name) {
  std::string out = name;
  for (size_t i = 0; i < out.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(out[i]);
#ifdef _WIN32
    if (c < 0x20 || std::strchr("\\/:*?\"<>|", c)) out[i] = '_';
#else
    if (c < 0x20 || c == 0x7F || c == '/') out[i] = '_';
#endif
  }
  return out;
}

int RunFileDialog(bool save, FileDialogRequest* request) {
  State& s = S();
  s.lastDialogError = 0;
  if (s.fileAnswers.empty()) return 0;
  const FileAnswer answer = s.fileAnswers.front();
  s.fileAnswers.pop_front();
  const std::string path =
      answer.useInitialName ? PlainFileName(Cp932ToHostPath(request->file)) : answer.path;
  if (path.empty()) return 0;
  if (path.size() + 1 > request->fileCapacity) {
    // The dialog refuses a path longer than its buffer; its caller reports the code.
    s.lastDialogError = kBufferTooSmall;
    return 0;
  }
  if ((request->flags & kOfnFileMustExist) && !answer.accepted && !IsRegularFile(path)) {
    Note(path + ": no such file");
    return 0;
  }
  if (save && (request->flags & kOfnOverwritePrompt) && Exists(path) && !s.settings.force) {
    Note(path + " already exists: pass --force to replace it");
    return 0;
  }
  CopyText(path, request->file, static_cast<int>(request->fileCapacity));
  if (request->fileTitle && request->fileTitleCapacity > 0) {
    const size_t slash = path.find_last_of("/\\");
    CopyText(slash == std::string::npos ? path : path.substr(slash + 1), request->fileTitle,
             static_cast<int>(request->fileTitleCapacity));
  }
  if (save) {
    s.saveConfirmed = true;
    s.savedPath = path;
  }
  return 1;
}

int AskOnTerminal() {
  WriteErr("[y/N] ");
  char line[64];
  if (!std::fgets(line, sizeof line, stdin)) return kIdNo;
  const char* p = line;
  while (*p == ' ' || *p == '\t') ++p;
  return (*p == 'y' || *p == 'Y') ? kIdYes : kIdNo;
}

bool SameAsciiText(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    auto lower = [](unsigned char c) { return c >= 'A' && c <= 'Z' ? c + 32 : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

void ApplyDialogInput() {
  State& s = S();
  for (const auto& [id, text] : s.dialogInput.texts) s.dialog.texts[id] = text;
  for (const auto& [id, typed] : s.dialogInput.comboItems) {
    const std::string& item = typed;  // clang before 16 cannot capture a structured binding
    const auto& items = s.dialog.comboItems[id];
    const auto it = std::find_if(items.begin(), items.end(),
                                 [&item](const std::string& x) { return SameAsciiText(x, item); });
    if (it == items.end()) {
      // Typed into the edit field: no list item is selected.
      s.dialog.comboSelection[id] = -1;
      s.dialog.texts[id] = item;
    } else {
      s.dialog.comboSelection[id] = static_cast<int>(it - items.begin());
    }
  }
  for (const auto& [id, checked] : s.dialogInput.checks) s.dialog.checks[id] = checked;
}

}  // namespace

void Reset(const Settings& settings) {
  S() = State();
  S().settings = settings;
}

void QueueFileAnswer(const FileAnswer& answer) { S().fileAnswers.push_back(answer); }
void SetDialogInput(const DialogInput& input) { S().dialogInput = input; }
void AddComboInput(int id, const std::string& text) { S().dialogInput.comboItems[id] = text; }
const std::vector<Box>& Boxes() { return S().boxes; }
bool SaveDialogConfirmed() { return S().saveConfirmed; }
std::string SavedPath() { return S().savedPath; }
bool DialogRefused() { return S().dialogRefused; }
const std::vector<std::vector<std::string>>& Rows() { return S().rows; }
std::string WindowText(WindowHandle window) { return S().windowTexts[window]; }

Language ChooseLanguage(std::string* warning) {
  const char* chosen = std::getenv("ZELVO_LANG");
  if (chosen && *chosen) {
    const std::string value = chosen;
    if (value == "ja") return Language::kJapanese;
    if (value == "en") return Language::kEnglish;
    *warning = "ZELVO_LANG=" + value + " is neither ja nor en: ignored";
  }
#ifdef _WIN32
  return (GetUserDefaultUILanguage() & 0x3FF) == LANG_JAPANESE ? Language::kJapanese
                                                               : Language::kEnglish;
#else
  for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* value = std::getenv(name);
    if (value && *value)
      return std::strncmp(value, "ja", 2) == 0 ? Language::kJapanese : Language::kEnglish;
  }
  return Language::kEnglish;
#endif
}

namespace {
Language Current = Language::kJapanese;
}  // namespace

void SetLanguage(Language language) { Current = language; }
Language CurrentLanguage() { return Current; }

int ShowMessage(const char* text, const char* textEn, const char* caption, unsigned flags) {
  State& s = S();
  text = text ? text : "";
  caption = caption ? caption : "";
  std::string line;
  if (Current == Language::kEnglish) {
    const TextId captionId = TextIdOf(caption);
    const TextId textId = TextIdOf(text);
    const char* en = textEn ? textEn : textId != TextId::kCount ? TextEn(textId) : text;
    line = std::string(captionId != TextId::kCount ? TextEn(captionId) : caption) + ": " + en;
  } else {
    line = std::string(caption) + ": " + text;
  }
  WriteErr(Cp932ToTerminal(line) + "\n");
  int answer = kIdOk;
  if ((flags & 0xF) == kMbYesNo) {
    if (s.settings.yes) {
      answer = kIdYes;
    } else if (s.settings.interactive) {
      answer = AskOnTerminal();
    } else {
      answer = kIdNo;
      Note("answered No (pass --yes to answer Yes)");
    }
  }
  s.boxes.push_back({text, caption, flags, answer});
  return answer;
}

void Note(std::string_view text) { WriteErr("zelvo: " + std::string(text) + "\n"); }

}  // namespace console

using namespace console;

int PlatformMessageBox(WindowHandle, const char* text, const char* caption, unsigned flags) {
  return ShowMessage(text, nullptr, caption, flags);
}

int PlatformGetOpenFileName(WindowHandle, FileDialogRequest* request) {
  return RunFileDialog(false, request);
}
int PlatformGetSaveFileName(WindowHandle, FileDialogRequest* request) {
  return RunFileDialog(true, request);
}
unsigned long PlatformCommDlgExtendedError() { return S().lastDialogError; }

void ListInsertColumn(WindowHandle, int, int, const char*) {}

void ListInsertRow(WindowHandle, int row, const char* firstCell) {
  auto& rows = S().rows;
  const size_t at = std::min(static_cast<size_t>(std::max(row, 0)), rows.size());
  std::vector<std::string> cells(9);
  cells[0] = firstCell ? firstCell : "";
  rows.insert(rows.begin() + static_cast<long>(at), cells);
}

void ListSetCell(WindowHandle, int row, int column, const char* text) {
  auto& rows = S().rows;
  if (row < 0 || row >= static_cast<int>(rows.size()) || column < 0 || column >= 9) return;
  rows[row][column] = text ? text : "";
}

void ListGetCell(WindowHandle, int row, int column, char* buffer, int capacity) {
  const auto& rows = S().rows;
  if (row < 0 || row >= static_cast<int>(rows.size()) || column < 0 || column >= 9) {
    CopyText("", buffer, capacity);
    return;
  }
  CopyText(rows[row][column], buffer, capacity);
}

int ListRowCount(WindowHandle) { return static_cast<int>(S().rows.size()); }

int ListDeleteRow(WindowHandle, int row) {
  auto& rows = S().rows;
  if (row < 0 || row >= static_cast<int>(rows.size())) return 0;
  rows.erase(rows.begin() + row);
  return 1;
}

int ListFirstSelected(WindowHandle) { return -1; }
int ListNextSelected(WindowHandle, int) { return -1; }
void ListFilled(WindowHandle) {}
void PlatformSetStatus(WindowHandle, int, const char*) {}

void MenuEnableItem(WindowHandle, int, bool) {}
void MenuCheckItem(WindowHandle, int, bool) {}

void PlatformSetWindowText(WindowHandle window, const char* text) {
  S().windowTexts[window] = text ? text : "";
}

void PlatformSetWindowTitle(WindowHandle window, const char* text, const char* path,
                            const char* suffix) {
  S().windowTexts[window] =
      std::string(text ? text : "") + (path ? path : "") + (suffix ? suffix : "");
}

intptr_t PlatformDialogBox(WindowHandle, int, DialogProc proc) {
  State& s = S();
  s.dialog = DialogState();
  proc(kDialogWindow, kWmInitDialog, 0, 0);
  if (!s.dialog.ended) {
    ApplyDialogInput();
    proc(kDialogWindow, kWmCommand, kIdOk, 0);
  }
  if (!s.dialog.ended) {
    // The checks refused the input and said why; a console cannot correct it: cancel.
    s.dialogRefused = true;
    proc(kDialogWindow, kWmCommand, kIdCancel, 0);
  }
  return s.dialog.ended ? s.dialog.result : kIdCancel;
}

void PlatformEndDialog(WindowHandle, intptr_t result) {
  S().dialog.ended = true;
  S().dialog.result = result;
}

void DlgSetItemText(WindowHandle, int id, const char* text) {
  S().dialog.texts[id] = text ? text : "";
}

int DlgGetItemText(WindowHandle, int id, char* buffer, int capacity) {
  CopyText(S().dialog.texts[id], buffer, capacity);
  return capacity > 0 ? static_cast<int>(std::strlen(buffer)) : 0;
}

void DlgCheckButton(WindowHandle, int id, bool checked) { S().dialog.checks[id] = checked; }
bool DlgIsButtonChecked(WindowHandle, int id) { return S().dialog.checks[id]; }

void DlgComboAppend(WindowHandle, int id, const char* text) {
  S().dialog.comboItems[id].push_back(text ? text : "");
}

void DlgComboSetSelection(WindowHandle, int id, int index) {
  const int count = static_cast<int>(S().dialog.comboItems[id].size());
  S().dialog.comboSelection[id] = (index >= 0 && index < count) ? index : -1;
}

int DlgComboSelection(WindowHandle, int id) {
  const auto& selection = S().dialog.comboSelection;
  const auto it = selection.find(id);
  return it == selection.end() ? -1 : it->second;
}

void DlgComboItemText(WindowHandle, int id, int index, char* buffer) {
  const auto& items = S().dialog.comboItems[id];
  CopyText(index >= 0 && index < static_cast<int>(items.size()) ? items[index] : "", buffer, 256);
}

unsigned PlatformExecutablePath(char* buffer, unsigned capacity) {
  if (capacity == 0) return 0;
#ifdef _WIN32
  // In UTF-8, as every path of zelvo: the code file beside the executable is opened with it.
  wchar_t wide[32768];
  const DWORD n = GetModuleFileNameW(nullptr, wide, 32768);
  if (n == 0 || n >= 32768) return 0;
  const int length = WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, wide, static_cast<int>(n),
                                         nullptr, 0, nullptr, nullptr);
  if (length <= 0 || static_cast<unsigned>(length) >= capacity) return 0;
  WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, wide, static_cast<int>(n), buffer, length,
                      nullptr, nullptr);
  buffer[length] = '\0';
  return static_cast<unsigned>(length);
#elif defined(__APPLE__)
  char raw[PATH_MAX];
  uint32_t size = sizeof raw;
  char resolved[PATH_MAX];
  if (_NSGetExecutablePath(raw, &size) != 0 || !realpath(raw, resolved)) return 0;
  const size_t n = std::strlen(resolved);
  if (n + 1 > capacity) return 0;
  std::memcpy(buffer, resolved, n + 1);
  return static_cast<unsigned>(n);
#else
  const ssize_t n = readlink("/proc/self/exe", buffer, capacity);
  if (n <= 0 || static_cast<unsigned>(n) >= capacity) return 0;
  buffer[n] = '\0';
  return static_cast<unsigned>(n);
#endif
}

void PlatformLocalDate(char out[9]) {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
#ifdef _WIN32
  local = *std::localtime(&now);
#else
  localtime_r(&now, &local);
#endif
  if (std::strftime(out, 9, "%m/%d/%y", &local) != 8) std::strcpy(out, "01/01/00");
}

int PlatformChooseFolder(WindowHandle, const char*, char* folder, int capacity) {
  State& s = S();
  if (s.fileAnswers.empty()) return 0;
  const std::string path = s.fileAnswers.front().path;
  s.fileAnswers.pop_front();
  if (path.empty() || path.size() + 1 > static_cast<size_t>(capacity)) return 0;
  CopyText(path, folder, capacity);
  return 1;
}

int PlatformHostFileName(const char* name, char* out, int capacity) {
  const std::string plain = PlainFileName(Cp932ToHostPath(name ? name : ""));
  if (capacity <= 0 || plain.size() + 1 > static_cast<size_t>(capacity)) return -1;
  CopyText(plain, out, capacity);
  return 0;
}
