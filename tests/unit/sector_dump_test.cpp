// The sector view's text: the hex lines of a sector, the typed addresses and the step.
#include "view/sector_dump.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "view/sector_owner.h"

namespace {

// Each code shown as its own byte, but 0x41 as a two-byte character and 0x7F as nothing shown.
struct Tables {
  uint16_t tbl1[256];
  Tables() {
    for (int c = 0; c < 256; ++c) tbl1[c] = static_cast<uint16_t>(c);
    tbl1[0x41] = 0x8341;  // ア in code page 932
  }
};

TEST(SectorDump, SixteenLinesOfHexAndCharactersWithoutControlCodes) {
  Tables tables;
  uint8_t sector[256];
  for (int i = 0; i < 256; ++i) sector[i] = static_cast<uint8_t>(i);
  char text[16 * 160];
  FormatSectorDump(sector, tables.tbl1, text, sizeof text);
  std::string all(text);
  std::string lines[16];
  size_t start = 0;
  for (int line = 0; line < 16; ++line) {
    const size_t end = all.find("\r\n", start);
    ASSERT_EQ(end == std::string::npos, line == 15) << line;
    lines[line] = all.substr(start, end == std::string::npos ? std::string::npos : end - start);
    start = end + 2;
  }
  EXPECT_EQ(lines[0], "0000  00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F  ................");
  EXPECT_EQ(lines[4],
            "0040  40 41 42 43 44 45 46 47 48 49 4A 4B 4C 4D 4E 4F  @\x83\x41"
            "BCDEFGHIJKLMNO");
  EXPECT_EQ(lines[7].substr(0, 4), "0070");
  EXPECT_EQ(lines[7].back(), '.');  // 0x7F
  EXPECT_EQ(lines[15].substr(0, 4), "00F0");
  for (char c : all) EXPECT_TRUE(c == '\r' || c == '\n' || static_cast<unsigned char>(c) >= 0x20);
}

// Every byte shows as one character, so that each line holds 16: a code with no character of
// code page 932 (a lone lead byte, an undefined byte, a pair that is none) as '.'.
TEST(SectorDump, EachByteIsOneCharacterOrADot) {
  Tables tables;
  tables.tbl1[0x42] = 0x8320;  // a lead byte with a byte that cannot follow it
  tables.tbl1[0x43] = 0x2041;  // no lead byte
  const struct {
    uint8_t first;
    const char* characters;
  } lines[] = {
      {0x40, "@\x83\x41..DEFGHIJKLMNO"},
      {0x80, "................"},
      {0xA0, ".\xA1\xA2\xA3\xA4\xA5\xA6\xA7\xA8\xA9\xAA\xAB\xAC\xAD\xAE\xAF"},
      {0xD8, "\xD8\xD9\xDA\xDB\xDC\xDD\xDE\xDF........"},
      {0xF0, "................"},
  };
  for (const auto& l : lines) {
    uint8_t bytes[16];
    for (int i = 0; i < 16; ++i) bytes[i] = static_cast<uint8_t>(l.first + i);
    char row[160];
    FormatHexLine(bytes, 0, tables.tbl1, row, sizeof row);
    const std::string text(row);
    EXPECT_EQ(text.substr(55), l.characters) << std::hex << int(l.first);
  }
}

TEST(SectorDump, ShortBufferStaysTerminated) {
  Tables tables;
  uint8_t sector[256] = {};
  for (int capacity : {1, 10, 80, 200}) {
    char text[256];
    std::memset(text, 'Z', sizeof text);
    FormatSectorDump(sector, tables.tbl1, text, capacity);
    EXPECT_LT(std::strlen(text), static_cast<size_t>(capacity)) << capacity;
    EXPECT_EQ(text[capacity], 'Z') << capacity;
  }
}

TEST(SectorDump, TypedNumbers) {
  const struct {
    const char* text;
    bool ok;
    long value;
  } cases[] = {
      {"0", true, 0},       {"83", true, 83}, {" 16 ", true, 16}, {"0x53", true, 0x53},
      {"0X1f", true, 0x1F}, {"08", true, 8},  {"", false, 0},     {"0x", false, 0},
      {"-1", false, 0},     {"1a", false, 0}, {"1 2", false, 0},  {"123456", false, 0},
      {"0x10g", false, 0},  {"+3", false, 0},
  };
  for (const auto& c : cases) {
    long value = -99;
    EXPECT_EQ(ParseSectorNumber(c.text, &value), c.ok) << '"' << c.text << '"';
    if (c.ok) {
      EXPECT_EQ(value, c.value) << c.text;
    }
  }
}

TEST(SectorDump, StepWrapsAroundTheDisk) {
  EXPECT_EQ(StepSectorIndex(0, 1), 1);
  EXPECT_EQ(StepSectorIndex(0, -1), 1343);
  EXPECT_EQ(StepSectorIndex(1343, 1), 0);
  EXPECT_EQ(StepSectorIndex(15, 1), 16);  // Trk00 Sct10 -> Trk01 Sct01
}

}  // namespace
