// Prints the console platform's text conversions for every input that matters: each single byte
// and each byte pair of code page 932 to UTF-8, and each character of the Basic Multilingual Plane
// (and one beyond it) from UTF-8 to code page 932. Built for Linux and for Windows, the two
// outputs must be the same bytes: zelvo converts alike on every system.
#include <cstdio>
#include <string>

#include "platform/console/console.h"

namespace {

void AppendUtf8(std::string& out, unsigned cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

void Hex(const std::string& bytes) {
  for (unsigned char c : bytes) std::printf("%02X", c);
}

}  // namespace

int main() {
  // Code page 932 to UTF-8: every byte alone, every pair, and a lead byte at the end of a text.
  for (unsigned first = 0x80; first < 0x100; ++first) {
    for (unsigned second = 0; second < 0x101; ++second) {
      std::string text(1, static_cast<char>(first));
      if (second < 0x100) text += static_cast<char>(second);
      std::printf("%02X%02X ", first, second);
      Hex(console::Cp932ToUtf8(text));
      std::printf("\n");
    }
  }
  // UTF-8 to code page 932: every character, then texts that are no UTF-8.
  for (unsigned cp = 0x80; cp < 0x10000; ++cp) {
    if (cp >= 0xD800 && cp < 0xE000) continue;
    std::string text;
    AppendUtf8(text, cp);
    std::printf("U+%04X ", cp);
    Hex(console::Utf8ToCp932(text + "A"));
    std::printf("\n");
  }
  const char* broken[] = {"\x80",          "\xC0\x80",         "\xE3\x81",     "\xE3\x81\x82\x80",
                          "\xC3\xA9\x80x", "\xF0\x9F\x98\x80", "\xED\xA0\x80", "\xFF"};
  for (const char* text : broken) {
    Hex(text);
    std::printf(" ");
    Hex(console::Utf8ToCp932(text));
    std::printf("\n");
  }
  return 0;
}
