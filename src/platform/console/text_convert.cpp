// Conversions between code page 932 and the host's encodings for the console platform.
#include <cerrno>
#include <cstdio>
#include <string>
#include <string_view>

#include "platform/console/console.h"

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <iconv.h>
#include <unistd.h>
#endif

namespace console {
namespace {

#ifdef _WIN32

std::wstring ToWide(unsigned codePage, std::string_view text) {
  if (text.empty()) return std::wstring();
  const int n =
      MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(static_cast<size_t>(n > 0 ? n : 0), L'\0');
  if (n > 0)
    MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), wide.data(), n);
  return wide;
}

std::string FromWide(unsigned codePage, const std::wstring& wide) {
  if (wide.empty()) return std::string();
  const bool utf8 = codePage == CP_UTF8;
  const char* fallback = utf8 ? nullptr : "?";
  const int n = WideCharToMultiByte(codePage, 0, wide.data(), static_cast<int>(wide.size()),
                                    nullptr, 0, fallback, nullptr);
  std::string out(static_cast<size_t>(n > 0 ? n : 0), '\0');
  if (n > 0)
    WideCharToMultiByte(codePage, 0, wide.data(), static_cast<int>(wide.size()), out.data(), n,
                        fallback, nullptr);
  return out;
}

#else

constexpr char kReplacementUtf8[] = "\xEF\xBF\xBD";

// One direction of conversion. Its iconv descriptor is opened the first time a text needs it
// (loading the converter costs more than a listing) and kept for the rest of the process.
struct Direction {
  const char* to;
  const char* from;
  iconv_t cd;
  bool opened;
};
Direction toUtf8{"UTF-8", "CP932", reinterpret_cast<iconv_t>(-1), false};
Direction toCp932{"CP932", "UTF-8", reinterpret_cast<iconv_t>(-1), false};

iconv_t Descriptor(Direction* direction) {
  if (!direction->opened) {
    direction->opened = true;
    direction->cd = iconv_open(direction->to, direction->from);
  }
  return direction->cd;
}

// ASCII reads the same in code page 932 and in UTF-8: nothing to convert.
bool IsAscii(std::string_view text) {
  for (unsigned char c : text)
    if (c >= 0x80) return false;
  return true;
}

// Converts with iconv, putting `replacement` for every input byte that does not convert and
// going on with the next byte.
std::string Convert(Direction* direction, std::string_view text, std::string_view replacement,
                    bool skipWholeUtf8) {
  if (IsAscii(text)) return std::string(text);
  std::string out;
  iconv_t cd = Descriptor(direction);
  if (cd == reinterpret_cast<iconv_t>(-1)) {
    for (unsigned char c : text)
      out += c < 0x80 ? std::string(1, static_cast<char>(c)) : std::string(replacement);
    return out;
  }
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  char buffer[1024];
  size_t at = 0;
  while (at < text.size()) {
    char* in = const_cast<char*>(text.data() + at);
    size_t inLeft = text.size() - at;
    char* dst = buffer;
    size_t dstLeft = sizeof buffer;
    const size_t r = iconv(cd, &in, &inLeft, &dst, &dstLeft);
    out.append(buffer, static_cast<size_t>(dst - buffer));
    at = text.size() - inLeft;
    if (r != static_cast<size_t>(-1)) break;
    if (errno == E2BIG) continue;
    // EILSEQ or EINVAL: replace the byte (or the whole UTF-8 sequence) and go on.
    out += replacement;
    size_t skip = 1;
    if (skipWholeUtf8) {
      while (at + skip < text.size() &&
             (static_cast<unsigned char>(text[at + skip]) & 0xC0) == 0x80)
        ++skip;
    }
    at += skip;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
  }
  // The shift state back to the initial one (nothing for these encodings, but the rule).
  char* dst = buffer;
  size_t dstLeft = sizeof buffer;
  iconv(cd, nullptr, nullptr, &dst, &dstLeft);
  out.append(buffer, static_cast<size_t>(dst - buffer));
  return out;
}

#endif

}  // namespace

#ifdef _WIN32

std::string Cp932ToUtf8(std::string_view text) { return FromWide(CP_UTF8, ToWide(932, text)); }
std::string Utf8ToCp932(std::string_view text) { return FromWide(932, ToWide(CP_UTF8, text)); }

std::string Cp932ToTerminal(std::string_view text) {
  unsigned codePage = GetConsoleOutputCP();
  if (codePage == 0) codePage = GetACP();
  if (codePage == 932) return std::string(text);
  return FromWide(codePage, ToWide(932, text));
}

std::string ArgumentToCp932(std::string_view text) {
  if (GetACP() == 932) return std::string(text);
  return FromWide(932, ToWide(CP_ACP, text));
}

std::string ArgumentToUtf8(std::string_view text) {
  return FromWide(CP_UTF8, ToWide(CP_ACP, text));
}

std::string Cp932ToHostPath(std::string_view text) {
  if (GetACP() == 932) return std::string(text);
  return FromWide(CP_ACP, ToWide(932, text));
}

bool OnTerminal() { return _isatty(_fileno(stdin)) && _isatty(_fileno(stderr)); }

#else

std::string Cp932ToUtf8(std::string_view text) {
  return Convert(&toUtf8, text, kReplacementUtf8, false);
}
std::string Utf8ToCp932(std::string_view text) { return Convert(&toCp932, text, "?", true); }
std::string Cp932ToTerminal(std::string_view text) { return Cp932ToUtf8(text); }
std::string ArgumentToCp932(std::string_view text) { return Utf8ToCp932(text); }
std::string ArgumentToUtf8(std::string_view text) { return std::string(text); }
std::string Cp932ToHostPath(std::string_view text) { return Cp932ToUtf8(text); }
bool OnTerminal() { return isatty(STDIN_FILENO) && isatty(STDERR_FILENO); }

#endif

}  // namespace console
