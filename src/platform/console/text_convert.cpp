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

// Converts with iconv, putting `replacement` for every input byte that does not convert and
// going on with the next byte.
std::string Convert(const char* to, const char* from, std::string_view text,
                    std::string_view replacement, bool skipWholeUtf8) {
  std::string out;
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) {
    for (unsigned char c : text)
      out += c < 0x80 ? std::string(1, static_cast<char>(c)) : std::string(replacement);
    return out;
  }
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
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  iconv_close(cd);
  return out;
}

#endif

}  // namespace

#ifdef _WIN32

// Character by character, so that Windows gives the bytes iconv gives on other systems: bytes
// that are not code page 932 (0x80, 0xA0 and 0xFD-0xFF among them, which Windows would map to
// private characters) become U+FFFD one byte at a time.
std::string Cp932ToUtf8(std::string_view text) {
  std::string out;
  size_t at = 0;
  while (at < text.size()) {
    const unsigned char c = static_cast<unsigned char>(text[at]);
    if (c < 0x80) {
      out += static_cast<char>(c);
      ++at;
      continue;
    }
    const int length = IsDBCSLeadByteEx(932, c) ? 2 : 1;
    wchar_t wide[2];
    int got = 0;
    if (length == 2 ? at + 1 < text.size() : (c > 0xA0 && c < 0xE0))
      got = MultiByteToWideChar(932, MB_ERR_INVALID_CHARS, text.data() + at, length, wide, 2);
    if (got <= 0) {
      out += "\xEF\xBF\xBD";
      ++at;
      continue;
    }
    out += FromWide(CP_UTF8, std::wstring(wide, static_cast<size_t>(got)));
    at += static_cast<size_t>(length);
  }
  return out;
}

// Character by character, as iconv: a character code page 932 lacks, or bytes that are no UTF-8
// character, become one '?' together with the continuation bytes that follow.
std::string Utf8ToCp932(std::string_view text) {
  // Characters iconv also takes for the code page 932 character that shows them.
  static const struct {
    wchar_t from;
    const char* to;
  } kAlso[] = {{0x00A5, "\x5C"},     {0x203E, "\x7E"},     {0x301C, "\x81\x60"},
               {0x2014, "\x81\x5C"}, {0x2016, "\x81\x61"}, {0x2212, "\x81\x7C"},
               {0x00A2, "\x81\x91"}, {0x00A3, "\x81\x92"}, {0x00AC, "\x81\xCA"}};
  std::string out;
  size_t at = 0;
  while (at < text.size()) {
    const unsigned char c = static_cast<unsigned char>(text[at]);
    if (c < 0x80) {
      out += static_cast<char>(c);
      ++at;
      continue;
    }
    const size_t length = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 0;
    wchar_t wide[2];
    int got = 0;
    if (length > 0 && at + length <= text.size())
      got = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data() + at,
                                static_cast<int>(length), wide, 2);
    std::string bytes;
    if (got == 1) {
      for (const auto& also : kAlso)
        if (also.from == wide[0]) bytes = also.to;
      if (bytes.empty()) {
        char buffer[4];
        BOOL usedDefault = FALSE;
        const int n = WideCharToMultiByte(932, WC_NO_BEST_FIT_CHARS, wide, 1, buffer, sizeof buffer,
                                          "?", &usedDefault);
        // Windows also gives the single bytes 0x80, 0xA0 and 0xFD-0xFF, which are no characters
        // of code page 932 elsewhere.
        const unsigned char first = static_cast<unsigned char>(buffer[0]);
        const bool privateByte = n == 1 && (first == 0x80 || first == 0xA0 || first >= 0xFD);
        if (n > 0 && !usedDefault && !privateByte) bytes.assign(buffer, static_cast<size_t>(n));
      }
    }
    if (bytes.empty()) {
      out += '?';
      ++at;
      while (at < text.size() && (static_cast<unsigned char>(text[at]) & 0xC0) == 0x80) ++at;
      continue;
    }
    out += bytes;
    at += length;
  }
  return out;
}

// Every text of zelvo is UTF-8 inside, arguments included (see StartUp); WriteOut and WriteErr
// show it on a console whatever the console's code page.
std::string Cp932ToTerminal(std::string_view text) { return Cp932ToUtf8(text); }
std::string ArgumentToCp932(std::string_view text) { return Utf8ToCp932(text); }
std::string ArgumentToUtf8(std::string_view text) { return std::string(text); }
std::string Cp932ToHostPath(std::string_view text) { return Cp932ToUtf8(text); }

bool OnTerminal() { return _isatty(_fileno(stdin)) && _isatty(_fileno(stderr)); }

#else

std::string Cp932ToUtf8(std::string_view text) {
  return Convert("UTF-8", "CP932", text, kReplacementUtf8, false);
}
std::string Utf8ToCp932(std::string_view text) {
  return Convert("CP932", "UTF-8", text, "?", true);
}
std::string Cp932ToTerminal(std::string_view text) { return Cp932ToUtf8(text); }
std::string ArgumentToCp932(std::string_view text) { return Utf8ToCp932(text); }
std::string ArgumentToUtf8(std::string_view text) { return std::string(text); }
std::string Cp932ToHostPath(std::string_view text) { return Cp932ToUtf8(text); }
bool OnTerminal() { return isatty(STDIN_FILENO) && isatty(STDERR_FILENO); }

#endif

}  // namespace console
