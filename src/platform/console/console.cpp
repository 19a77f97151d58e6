// What the zelvo command-line tool needs of a terminal, and the host files the core takes.
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

struct State {
  Settings settings;
  std::vector<Box> boxes;
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

int AskOnTerminal() {
  WriteErr("[y/N] ");
  char line[64];
  if (!std::fgets(line, sizeof line, stdin)) return kIdNo;
  const char* p = line;
  while (*p == ' ' || *p == '\t') ++p;
  return (*p == 'y' || *p == 'Y') ? kIdYes : kIdNo;
}

}  // namespace

void Reset(const Settings& settings) {
  S() = State();
  S().settings = settings;
}

const std::vector<Box>& Boxes() { return S().boxes; }

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

bool QuietMode = false;

void SetQuiet(bool quiet) { QuietMode = quiet; }
bool Quiet() { return QuietMode; }

void SetLanguage(Language language) { Current = language; }
Language CurrentLanguage() { return Current; }

int ShowMessage(const char* text, const char* textEn, const char* caption, unsigned flags,
                const char* format) {
  State& s = S();
  text = text ? text : "";
  caption = caption ? caption : "";
  const TextId captionId = TextIdOf(caption);
  const TextId textId = TextIdOf(format ? format : text);
  const char* en = textEn ? textEn : textId != TextId::kCount && !format ? TextEn(textId) : text;
  const char* captionEn = captionId != TextId::kCount ? TextEn(captionId) : caption;
  std::string line;
  if (Current == Language::kEnglish) {
    line = std::string(captionEn) + ": " + en;
  } else {
    line = std::string(caption) + ": " + text;
  }
  // A question that --yes answers is not shown; --quiet shows nothing but what went wrong.
  const bool question = (flags & 0xF) == kMbYesNo;
  const bool done = caption == std::string_view(kCaptionSuccess) ||
                    caption == std::string_view(kCaptionDeleted) || format == kMsgPatchDone ||
                    format == kMsgRepairDone || format == kMsgRepairNothing;
  const bool shown = question ? !s.settings.yes : !(QuietMode && done);
  if (shown) WriteErr(Cp932ToTerminal(line) + "\n");
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
  s.boxes.push_back({text, caption, flags, answer, en, captionEn,
                     textId != TextId::kCount ? TextName(textId) : ""});
  return answer;
}

bool Ask(const char* text, const char* textEn, const char* caption) {
  return ShowMessage(text, textEn, caption, kMbYesNo | kMbIconQuestion) == kIdYes;
}

void Note(std::string_view text) { WriteErr("zelvo: " + std::string(text) + "\n"); }
void Info(std::string_view text) {
  if (!QuietMode) Note(text);
}

}  // namespace console

using namespace console;

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

// zelvo works in UTF-8.
bool PlatformHostUsesProgramCodePage() { return false; }

// Today, or the day of SOURCE_DATE_EPOCH (seconds since 1970, read as UTC) when it is set: a
// build that gives it gets the same dates, so the same image, on every run.
void PlatformLocalDate(char out[9]) {
  std::time_t now = std::time(nullptr);
  const char* epoch = std::getenv("SOURCE_DATE_EPOCH");
  char* end = nullptr;
  const long long seconds = epoch && *epoch ? std::strtoll(epoch, &end, 10) : -1;
  const bool fixed = seconds >= 0 && end && *end == '\0';
  if (fixed) now = static_cast<std::time_t>(seconds);
  std::tm local{};
#ifdef _WIN32
  local = fixed ? *std::gmtime(&now) : *std::localtime(&now);
#else
  if (fixed)
    gmtime_r(&now, &local);
  else
    localtime_r(&now, &local);
#endif
  if (std::strftime(out, 9, "%m/%d/%y", &local) != 8) std::strcpy(out, "01/01/00");
}

int PlatformHostFileName(const char* name, char* out, int capacity) {
  const std::string plain = PlainFileName(Cp932ToHostPath(name ? name : ""));
  if (capacity <= 0 || plain.size() + 1 > static_cast<size_t>(capacity)) return -1;
  CopyText(plain, out, capacity);
  return 0;
}
