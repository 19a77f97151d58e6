// What zelvo exchanges with the host system: the command line, standard output and standard
// error, host files and folders. Inside, every text and path is UTF-8. On Windows the command line
// is read as UTF-16, paths are opened through the wide API and a console is written in UTF-16, so
// that neither the ANSI nor the console code page changes a name or a message.
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "image/image_file.h"
#include "platform/console/console.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>
#endif

namespace console {
namespace {

#ifdef _WIN32

// UTF-8 to UTF-16; false when the text is not valid UTF-8.
bool Utf8ToWide(std::string_view text, std::wstring* wide) {
  wide->clear();
  if (text.empty()) return true;
  const int n = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(),
                                    static_cast<int>(text.size()), nullptr, 0);
  if (n <= 0) return false;
  wide->resize(static_cast<size_t>(n));
  MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), static_cast<int>(text.size()),
                      wide->data(), n);
  return true;
}

// UTF-16 to UTF-8; false when the text holds an unpaired surrogate.
bool WideToUtf8(const wchar_t* wide, std::string* text) {
  text->clear();
  if (*wide == L'\0') return true;
  const int n =
      WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, wide, -1, nullptr, 0, nullptr, nullptr);
  if (n <= 0) return false;
  text->resize(static_cast<size_t>(n));
  WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, wide, -1, text->data(), n, nullptr, nullptr);
  text->pop_back();  // the terminating zero
  return true;
}

// A console takes UTF-16 whatever its code page; a file or a pipe gets the UTF-8 bytes.
void Write(std::FILE* stream, DWORD handleId, std::string_view text) {
  std::fflush(stream);
  const HANDLE handle = GetStdHandle(handleId);
  DWORD mode;
  std::wstring wide;
  if (handle != nullptr && handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode) &&
      Utf8ToWide(text, &wide)) {
    size_t at = 0;
    while (at < wide.size()) {
      // Large writes are split: older consoles refuse a single write of more than 64 KB.
      const DWORD chunk = static_cast<DWORD>(std::min<size_t>(wide.size() - at, 8192));
      DWORD written = 0;
      if (!WriteConsoleW(handle, wide.data() + at, chunk, &written, nullptr) || written == 0) break;
      at += written;
    }
    return;
  }
  std::fwrite(text.data(), 1, text.size(), stream);
  std::fflush(stream);
}

#else

void Write(std::FILE* stream, std::string_view text) {
  std::fwrite(text.data(), 1, text.size(), stream);
  std::fflush(stream);
}

#endif

}  // namespace

bool StartUp(int argc, char** argv, std::vector<std::string>* args) {
  args->clear();
  // The core takes every path as zelvo holds it: in UTF-8.
  PathCodePage = kPathCodePageUtf8;
#ifdef _WIN32
  (void)argc;
  (void)argv;
  // Redirected output carries the same bytes as on other systems: no CR before each LF.
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
  int count = 0;
  wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
  if (!wide) {
    Note("cannot read the command line");
    return false;
  }
  bool valid = true;
  for (int i = 0; i < count && valid; ++i) {
    std::string text;
    if (WideToUtf8(wide[i], &text)) {
      args->push_back(text);
    } else {
      // An unpaired surrogate has no UTF-8 form: any stand-in would name another file.
      Note("argument " + std::to_string(i) +
           " is not valid Unicode (it holds an unpaired surrogate) and cannot be used");
      valid = false;
    }
  }
  LocalFree(wide);
  return valid;
#else
  for (int i = 0; i < argc; ++i) args->push_back(argv[i]);
  return true;
#endif
}

void WriteOut(std::string_view text) {
#ifdef _WIN32
  Write(stdout, STD_OUTPUT_HANDLE, text);
#else
  Write(stdout, text);
#endif
}

void WriteErr(std::string_view text) {
#ifdef _WIN32
  Write(stderr, STD_ERROR_HANDLE, text);
#else
  Write(stderr, text);
#endif
}

HostPathKind HostPathKindOf(const std::string& path) {
#ifdef _WIN32
  std::wstring wide;
  if (path.empty() || !Utf8ToWide(path, &wide)) return HostPathKind::kNone;
  const DWORD attributes = GetFileAttributesW(wide.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return HostPathKind::kNone;
  return (attributes & FILE_ATTRIBUTE_DIRECTORY) ? HostPathKind::kFolder : HostPathKind::kFile;
#else
  struct stat st;
  if (stat(path.c_str(), &st) != 0) return HostPathKind::kNone;
  return S_ISDIR(st.st_mode) ? HostPathKind::kFolder : HostPathKind::kFile;
#endif
}

}  // namespace console

std::FILE* PlatformOpenHostFile(const char* path, const char* mode) {
#ifdef _WIN32
  std::wstring widePath, wideMode;
  if (!console::Utf8ToWide(path, &widePath) || !console::Utf8ToWide(mode, &wideMode) ||
      widePath.empty())
    return nullptr;
  return _wfopen(widePath.c_str(), wideMode.c_str());
#else
  return std::fopen(path, mode);
#endif
}
