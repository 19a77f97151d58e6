// The console's conversion of code page 932 texts to UTF-8: the characters it converts itself
// must come out exactly as iconv's converter gives them.
#include <gtest/gtest.h>

#include <string>

#include "cli_fixture.h"
#include "platform/console/console.h"

namespace clitest {
namespace {

TEST(TextConvert, EveryCharacterConvertsAsIconvDoes) {
  int compared = 0;
  for (int c = 0x01; c <= 0xDF; c++) {
    if (c >= 0x80 && c <= 0xA0) continue;  // lead bytes and unassigned
    const std::string text(1, static_cast<char>(c));
    EXPECT_EQ(console::Cp932ToUtf8(text), Utf8(text.c_str())) << std::hex << c;
    compared++;
  }
  for (int lead : {0x81, 0x82, 0x83, 0x84, 0x88, 0x98, 0xE0, 0xEA, 0xFA}) {
    for (int trail = 0x40; trail <= 0xFC; trail++) {
      const std::string text = {static_cast<char>(lead), static_cast<char>(trail), 'A'};
      const std::string expected = Utf8(text.c_str());
      if (expected.size() < 2) continue;  // not a character: replaced, as before
      EXPECT_EQ(console::Cp932ToUtf8(text), expected) << std::hex << lead << " " << trail;
      compared++;
    }
  }
  EXPECT_GT(compared, 1000);
  // A name of full-width letters with a kanji and half-width katakana in the middle.
  const char mixed[] = "\x82\x60\x8A\xBF\xB1\x82\x61";
  EXPECT_EQ(console::Cp932ToUtf8(mixed), Utf8(mixed));
  EXPECT_EQ(console::Cp932ToUtf8(mixed), "\xEF\xBC\xA1\xE6\xBC\xA2\xEF\xBD\xB1\xEF\xBC\xA2");
}

}  // namespace
}  // namespace clitest
