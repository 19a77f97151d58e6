// How zelvo writes and reads Ascii text on the host.
#include "cli/host_text.h"

#include <CLI/CLI.hpp>
#include <cstdio>

#include "platform/console/console.h"
#include "texts/texts.h"

namespace cli {
namespace {

#ifdef _WIN32
constexpr bool kDefaultUtf8 = false, kDefaultLf = false;
#else
constexpr bool kDefaultUtf8 = true, kDefaultLf = true;
#endif

bool Utf8 = kDefaultUtf8;
bool Lf = kDefaultLf;
std::string Shaped;  // the last text shaped or decoded

// The length of the UTF-8 sequence at data[i] and its code point; 0 when it is none.
int Utf8Sequence(const uint8_t* data, long length, long i, unsigned long* code) {
  const uint8_t lead = data[i];
  const int size = lead < 0x80         ? 1
                   : (lead >> 5) == 6  ? 2
                   : (lead >> 4) == 14 ? 3
                   : (lead >> 3) == 30 ? 4
                                       : 0;
  if (size == 0 || i + size > length) return 0;
  unsigned long value = size == 1 ? lead : lead & (0x7F >> size);
  for (int k = 1; k < size; ++k) {
    if ((data[i + k] & 0xC0) != 0x80) return 0;
    value = value << 6 | (data[i + k] & 0x3F);
  }
  // Overlong forms, surrogates and values past U+10FFFF are no UTF-8.
  static const unsigned long kLeast[] = {0, 0, 0x80, 0x800, 0x10000};
  if (value < kLeast[size] || (value >= 0xD800 && value <= 0xDFFF) || value > 0x10FFFF) return 0;
  *code = value;
  return size;
}

bool DecodesAsUtf8(const uint8_t* data, long length) {
  unsigned long code;
  for (long i = 0; i < length;) {
    const int size = Utf8Sequence(data, length, i, &code);
    if (size == 0) return false;
    i += size;
  }
  return true;
}

}  // namespace

void AddTextForm(CLI::App* command, CLI::Option* ascii, TextFormOptions* options) {
  command
      ->add_option("--encoding", options->encoding,
                   "With --ascii: the host text's encoding (default: utf-8; cp932 on Windows)")
      ->check(CLI::IsMember({"cp932", "utf-8"}, CLI::ignore_case))
      ->type_name("cp932|utf-8")
      ->needs(ascii);
  command
      ->add_option("--eol", options->eol,
                   "With --ascii: the host text's line ends (default: lf; crlf on Windows)")
      ->check(CLI::IsMember({"crlf", "lf"}, CLI::ignore_case))
      ->type_name("crlf|lf")
      ->needs(ascii);
}

void UseTextForm(const TextFormOptions& options) {
  const std::string encoding = options.encoding;
  Utf8 = encoding.empty() ? kDefaultUtf8 : (encoding == "utf-8" || encoding == "UTF-8");
  Lf = options.eol.empty() ? kDefaultLf : (options.eol == "lf" || options.eol == "LF");
}

const uint8_t* ShapeExportText(const uint8_t* data, long* length) {
  std::string text(reinterpret_cast<const char*>(data), static_cast<size_t>(*length));
  if (Lf) {
    std::string lines;
    for (size_t i = 0; i < text.size(); ++i)
      if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')) lines += text[i];
    text.swap(lines);
  }
  Shaped = Utf8 ? console::Cp932ToUtf8(text) : text;
  *length = static_cast<long>(Shaped.size());
  return reinterpret_cast<const uint8_t*>(Shaped.data());
}

long DecodeImportText(const uint8_t* data, long length, const uint8_t** text, char* message,
                      char* messageEn, int capacity, const char** format) {
  Shaped.clear();
  const bool utf8 = Utf8 && DecodesAsUtf8(data, length);
  long line = 1;
  for (long i = 0; i < length;) {
    unsigned long code = data[i];
    const int size = utf8 ? Utf8Sequence(data, length, i, &code) : 1;
    char byte;
    if (!utf8 || code < 0x80) {
      byte = static_cast<char>(code);
    } else if (code >= 0xFF61 && code <= 0xFF9F) {  // the half-width katakana
      byte = static_cast<char>(code - 0xFF61 + 0xA1);
    } else {
      std::snprintf(message, static_cast<size_t>(capacity), kMsgImportNoSingleByte, line, code);
      if (messageEn)
        std::snprintf(messageEn, static_cast<size_t>(capacity), kMsgImportNoSingleByteEn, line,
                      code);
      if (format) *format = kMsgImportNoSingleByte;
      return -1;
    }
    if (byte == '\n') {
      line++;
      if (Lf && (Shaped.empty() || Shaped.back() != '\r')) Shaped += '\r';
    }
    Shaped += byte;
    i += size;
  }
  *text = reinterpret_cast<const uint8_t*>(Shaped.data());
  return static_cast<long>(Shaped.size());
}

}  // namespace cli
