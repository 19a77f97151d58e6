// Conversions between code page 932 and the host's encodings for the console platform.
#include <cerrno>
#include <cstdint>
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

// The characters that names and the panel show in nearly every listing, converted here without
// loading iconv's converter: ASCII, half-width katakana, and the double-byte rows of symbols
// (0x81), full-width digits and letters and hiragana (0x82) and katakana (0x83). A text with any
// other character goes through iconv whole.
// 0x8140-0x81FC; 0: not a character, iconv decides.
constexpr uint16_t kSymbolRow[] = {
    0x3000, 0x3001, 0x3002, 0xFF0C, 0xFF0E, 0x30FB, 0xFF1A, 0xFF1B, 0xFF1F, 0xFF01, 0x309B, 0x309C,
    0x00B4, 0xFF40, 0x00A8, 0xFF3E, 0xFFE3, 0xFF3F, 0x30FD, 0x30FE, 0x309D, 0x309E, 0x3003, 0x4EDD,
    0x3005, 0x3006, 0x3007, 0x30FC, 0x2015, 0x2010, 0xFF0F, 0xFF3C, 0xFF5E, 0x2225, 0xFF5C, 0x2026,
    0x2025, 0x2018, 0x2019, 0x201C, 0x201D, 0xFF08, 0xFF09, 0x3014, 0x3015, 0xFF3B, 0xFF3D, 0xFF5B,
    0xFF5D, 0x3008, 0x3009, 0x300A, 0x300B, 0x300C, 0x300D, 0x300E, 0x300F, 0x3010, 0x3011, 0xFF0B,
    0xFF0D, 0x00B1, 0x00D7, 0x0000, 0x00F7, 0xFF1D, 0x2260, 0xFF1C, 0xFF1E, 0x2266, 0x2267, 0x221E,
    0x2234, 0x2642, 0x2640, 0x00B0, 0x2032, 0x2033, 0x2103, 0xFFE5, 0xFF04, 0xFFE0, 0xFFE1, 0xFF05,
    0xFF03, 0xFF06, 0xFF0A, 0xFF20, 0x00A7, 0x2606, 0x2605, 0x25CB, 0x25CF, 0x25CE, 0x25C7, 0x25C6,
    0x25A1, 0x25A0, 0x25B3, 0x25B2, 0x25BD, 0x25BC, 0x203B, 0x3012, 0x2192, 0x2190, 0x2191, 0x2193,
    0x3013, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000,
    0x2208, 0x220B, 0x2286, 0x2287, 0x2282, 0x2283, 0x222A, 0x2229, 0x0000, 0x0000, 0x0000, 0x0000,
    0x0000, 0x0000, 0x0000, 0x0000, 0x2227, 0x2228, 0xFFE2, 0x21D2, 0x21D4, 0x2200, 0x2203, 0x0000,
    0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x2220, 0x22A5,
    0x2312, 0x2202, 0x2207, 0x2261, 0x2252, 0x226A, 0x226B, 0x221A, 0x223D, 0x221D, 0x2235, 0x222B,
    0x222C, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x212B, 0x2030, 0x266F, 0x266D,
    0x266A, 0x2020, 0x2021, 0x00B6, 0x0000, 0x0000, 0x0000, 0x0000, 0x25EF,
};

void AppendUtf8(std::string* out, unsigned code) {
  if (code < 0x80) {
    out->push_back(static_cast<char>(code));
  } else if (code < 0x800) {
    out->push_back(static_cast<char>(0xC0 | (code >> 6)));
    out->push_back(static_cast<char>(0x80 | (code & 0x3F)));
  } else {
    out->push_back(static_cast<char>(0xE0 | (code >> 12)));
    out->push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (code & 0x3F)));
  }
}

// The code point of the double-byte character lead, trail, or 0 when it is left to iconv.
unsigned DoubleByte(unsigned lead, unsigned trail) {
  if (lead == 0x81 && trail >= 0x40 && trail <= 0xFC) return kSymbolRow[trail - 0x40];
  if (lead == 0x82) {
    if (trail >= 0x4F && trail <= 0x58) return 0xFF10 + trail - 0x4F;
    if (trail >= 0x60 && trail <= 0x79) return 0xFF21 + trail - 0x60;
    if (trail >= 0x81 && trail <= 0x9A) return 0xFF41 + trail - 0x81;
    if (trail >= 0x9F && trail <= 0xF1) return 0x3041 + trail - 0x9F;
  }
  if (lead == 0x83) {
    if (trail >= 0x40 && trail <= 0x7E) return 0x30A1 + trail - 0x40;
    if (trail >= 0x80 && trail <= 0x96) return 0x30E0 + trail - 0x80;
  }
  return 0;
}

// False when the text holds a character outside those rows.
bool QuickCp932ToUtf8(std::string_view text, std::string* out) {
  out->reserve(text.size() * 3 / 2);
  for (size_t i = 0; i < text.size(); ++i) {
    const unsigned c = static_cast<unsigned char>(text[i]);
    if (c < 0x80) {
      out->push_back(static_cast<char>(c));
    } else if (c >= 0xA1 && c <= 0xDF) {
      AppendUtf8(out, 0xFF61 + c - 0xA1);
    } else {
      if (i + 1 >= text.size()) return false;
      const unsigned code = DoubleByte(c, static_cast<unsigned char>(text[++i]));
      if (code == 0) return false;
      AppendUtf8(out, code);
    }
  }
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
  std::string quick;
  if (QuickCp932ToUtf8(text, &quick)) return quick;
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
