// Reading the code conversion file: text-mode line rules, sections, messages, the shipped file.
#include "codes/code_tables.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>

#include "flows/app_image.h"
#include "support/test_support.h"
#include "texts/texts.h"

namespace {

using testsupport::AppTest;

// One data line of 16 bytes (TBL2, TBL3) with the given first bytes, padded with 'x'.
std::string Line16(const std::string& head) {
  std::string line = head;
  line.resize(16, 'x');
  return line + "\n";
}

// A whole section: the marker line and 16 data lines, byte j of line k being base + 16k + j
// (kept clear of 0x0A, 0x0D and 0x1A by the caller's choice of base) for TBL2/TBL3.
std::string Section(const std::string& marker, int lines = 16, char fill = 'a') {
  std::string text = marker + "\n";
  for (int k = 0; k < lines; k++) text += std::string(16, static_cast<char>(fill + k)) + "\n";
  return text;
}

class CodeTablesTest : public AppTest {
 protected:
  void SetUp() override {
    AppTest::SetUp();
    std::memset(&App.Tables, 0, sizeof App.Tables);
    scripted::SetExecutablePath(temp.Path("zelvo"));
  }
  // Writes CodeChg.txt beside the scripted executable and loads it.
  int Load(const std::string& bytes) {
    testimg::WriteFile(temp.Path(kCodeFileName), std::vector<uint8_t>(bytes.begin(), bytes.end()));
    return LoadCodeTables(scripted::kMainWindow);
  }
  const CodeTables& T() const { return App.Tables; }
  bool AllZero(const uint8_t* table) const {
    for (int i = 0; i < 256; i++)
      if (table[i] != 0) return false;
    return true;
  }
  bool Tbl1Zero() const {
    for (int i = 0; i < 256; i++)
      if (T().TBL1[i] != 0) return false;
    return true;
  }
};

TEST_F(CodeTablesTest, OnlyTbl3LoadsTbl3AndLeavesTheOthersZero) {
  EXPECT_EQ(0, Load("# comment\n\n" + Section("TBL3")));
  EXPECT_EQ('a', T().TBL3[0]);
  EXPECT_EQ('a' + 15, T().TBL3[255]);
  EXPECT_TRUE(Tbl1Zero());
  EXPECT_TRUE(AllZero(T().TBL2));
  EXPECT_TRUE(scripted::Boxes().empty());
}

TEST_F(CodeTablesTest, ReadingStopsAfterTheTbl3Section) {
  EXPECT_EQ(0, Load(Section("TBL3") + Section("TBL2", 16, 'A')));
  EXPECT_TRUE(AllZero(T().TBL2));
}

TEST_F(CodeTablesTest, MarkersAreTheFirstFourBytesExactly) {
  // "TBL2 comment" opens the section; "tbl2" and " TBL2" are ordinary lines.
  EXPECT_EQ(0, Load(Section(" TBL2", 16, 'A') + Section("tbl2", 16, 'A') +
                    Section("TBL2 the export table") + Section("TBL3")));
  EXPECT_EQ('a', T().TBL2[0]);
  EXPECT_EQ('a' + 3, T().TBL2[0x30]);
}

TEST_F(CodeTablesTest, Tbl2LineThreeGivesEntries30To3F) {
  std::string text = "TBL2\n";
  for (int k = 0; k < 16; k++) text += Line16(k == 3 ? "ABCDEFGHIJKLMNOP" : "");
  EXPECT_EQ(0, Load(text + Section("TBL3")));
  for (int i = 0; i < 16; i++) EXPECT_EQ('A' + i, T().TBL2[0x30 + i]);
  EXPECT_EQ('x', T().TBL2[0x2F]);
}

TEST_F(CodeTablesTest, Tbl1PairsAreHighByteFirst) {
  std::string text = "TBL1\n";
  for (int k = 0; k < 16; k++) {
    std::string line;
    for (int j = 0; j < 16; j++) line += k == 2 && j == 1 ? std::string("\x82\x60") : "AB";
    text += line + "tail beyond 32 bytes\n";
  }
  EXPECT_EQ(0, Load(text + Section("TBL3")));
  EXPECT_EQ(0x8260, T().TBL1[0x21]);
  EXPECT_EQ(0x4142, T().TBL1[0x20]);
  EXPECT_EQ(0x4142, T().TBL1[255]);
}

TEST_F(CodeTablesTest, Tbl3CutShortStillSucceeds) {
  EXPECT_EQ(0, Load(Section("TBL3", 10)));
  EXPECT_EQ('a' + 9, T().TBL3[159]);
  EXPECT_EQ(0, T().TBL3[160]);
  EXPECT_EQ(0, T().TBL3[255]);
}

TEST_F(CodeTablesTest, LastLineWithoutLineFeedIsNeverStored) {
  std::string text = Section("TBL3", 15);
  text += std::string(16, 'z');  // the 16th line, ended by the end of the file
  EXPECT_EQ(0, Load(text));
  EXPECT_EQ('a' + 14, T().TBL3[239]);
  EXPECT_EQ(0, T().TBL3[240]);
}

TEST_F(CodeTablesTest, LastLineOfAFileIsTestedAsAMarker) {
  // The file ends inside the TBL1 section with "TBL3" and no line feed: that line is still the
  // current line for the TBL3 test, whose section then ends at once.
  EXPECT_EQ(0, Load("TBL1\n" + std::string(40, 'Q') + "\nTBL3"));
  EXPECT_EQ(0x5151, T().TBL1[0]);
  EXPECT_EQ(0, T().TBL1[16]);
  EXPECT_TRUE(AllZero(T().TBL3));
}

TEST_F(CodeTablesTest, SixteenthDataLineIsTestedAgainstTheNextMarkers) {
  std::string text = "TBL1\n";
  for (int k = 0; k < 15; k++) text += std::string(32, 'A') + "\n";
  text += "TBL2 is also the last line of TBL1\n";
  for (int k = 0; k < 15; k++) text += Line16("");
  text += "TBL3\n";
  text += Section("TBL3", 16, 'k').substr(5);
  EXPECT_EQ(0, Load(text));
  EXPECT_EQ(0x5442, T().TBL1[240]);  // "TB"
  EXPECT_EQ('x', T().TBL2[0]);
  EXPECT_EQ(0x54, T().TBL2[240]);  // "TBL3" was TBL2's 16th line ...
  EXPECT_EQ('k', T().TBL3[0]);     // ... and opened the TBL3 section
}

TEST_F(CodeTablesTest, LaterSectionWinsBeforeTbl3) {
  EXPECT_EQ(0, Load(Section("TBL2", 16, 'A') + Section("TBL2", 16, 'a') + Section("TBL3")));
  EXPECT_EQ('a', T().TBL2[0]);
}

struct OddShape {
  const char* name;
  std::string data;      // the first data line of a TBL2 section, line end included
  std::string expected;  // TBL2[0..15]
};

void PrintTo(const OddShape& shape, std::ostream* out) { *out << shape.name; }

class OddLineTest : public CodeTablesTest, public ::testing::WithParamInterface<OddShape> {};

TEST_P(OddLineTest, FirstDataLine) {
  std::string text = "TBL2\n" + GetParam().data;
  for (int k = 1; k < 16; k++) text += Line16("");
  ASSERT_EQ(0, Load(text + Section("TBL3")));
  EXPECT_EQ(GetParam().expected, std::string(reinterpret_cast<const char*>(T().TBL2), 16));
}

const std::string kZero(1, '\0');

INSTANTIATE_TEST_SUITE_P(
    Shapes, OddLineTest,
    ::testing::Values(OddShape{"CrLfReadsAsLf", "ABCDEFGHIJKLMNOP\r\n", "ABCDEFGHIJKLMNOP"},
                      OddShape{"LoneCrIsData", "AB\rCDEFGHIJKLMNOP\n", "AB\rCDEFGHIJKLMNO"},
                      OddShape{"CrCrLf", "\r\r\n", "\r\n" + kZero + std::string(13, '\0')},
                      OddShape{"ZeroBytesAreData", "A" + kZero + "BCDEFGHIJKLMNOP\n",
                               "A" + kZero + "BCDEFGHIJKLMNO"},
                      OddShape{"ShortLineGivesLineFeedThenZeros", "AB\n",
                               "AB\n" + std::string(13, '\0')},
                      OddShape{"ShortCrLfLine", "AB\r\n", "AB\n" + std::string(13, '\0')}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(CodeTablesTest, LongLineIsReadAsSeveralLines) {
  // 254 bytes of '1' and then "22": the first read takes 254 bytes, the second "22\n".
  std::string text = "TBL2\n" + std::string(254, '1') + "22\n";
  for (int k = 2; k < 16; k++) text += Line16("");
  ASSERT_EQ(0, Load(text + Section("TBL3")));
  EXPECT_EQ('1', T().TBL2[15]);
  EXPECT_EQ(std::string("22\n") + std::string(13, '\0'),
            std::string(reinterpret_cast<const char*>(T().TBL2 + 16), 16));
  EXPECT_EQ('x', T().TBL2[32]);
}

TEST_F(CodeTablesTest, LastLineOfExactly254BytesIsAFullRead) {
  // A read that stops at 254 bytes has not looked past them, so the end of the file is not yet
  // seen and the line is stored; the next read finds nothing and ends the section.
  std::string text = Section("TBL3", 15) + std::string(254, 'q');
  EXPECT_EQ(0, Load(text));
  EXPECT_EQ('q', T().TBL3[240]);
  EXPECT_EQ('q', T().TBL3[255]);
}

TEST_F(CodeTablesTest, CtrlZEndsTheFile) {
  EXPECT_EQ(-1, Load("# head\n\x1A" + Section("TBL3")));
  EXPECT_TRUE(AllZero(T().TBL3));
  // A 0x1A inside the TBL3 section ends it; the lines before it stay.
  EXPECT_EQ(0, Load(Section("TBL3", 3) + "\x1A" + Section("TBL2", 16, 'A')));
  EXPECT_EQ('a' + 2, T().TBL3[47]);
  EXPECT_EQ(0, T().TBL3[48]);
}

TEST_F(CodeTablesTest, FilesWithoutTbl3Fail) {
  EXPECT_EQ(-1, Load(""));
  EXPECT_EQ(-1, Load(Section("TBL1") + Section("TBL2")));
  EXPECT_EQ(-1, Load("TBL3"));  // a marker with no line feed is the end of the file
  EXPECT_TRUE(scripted::Boxes().empty());
}

TEST_F(CodeTablesTest, MissingFileIsReported) {
  EXPECT_EQ(-1, LoadCodeTables(scripted::kMainWindow));
  ASSERT_EQ(1u, scripted::Boxes().size());
  EXPECT_EQ(kMsgCodeFileMissing, scripted::Boxes()[0].text);
  EXPECT_EQ(kCaptionError, scripted::Boxes()[0].caption);
  EXPECT_EQ(kMbOk, scripted::Boxes()[0].flags);
  EXPECT_EQ(scripted::kMainWindow, scripted::Boxes()[0].owner);
}

TEST_F(CodeTablesTest, FolderNamedLikeTheFileIsAMissingFile) {
  std::filesystem::create_directory(temp.Path(kCodeFileName));
  EXPECT_EQ(-1, LoadCodeTables(scripted::kMainWindow));
  ASSERT_EQ(1u, scripted::Boxes().size());
  EXPECT_EQ(kMsgCodeFileMissing, scripted::Boxes()[0].text);
  EXPECT_EQ(kCaptionError, scripted::Boxes()[0].caption);
}

TEST_F(CodeTablesTest, UnknownExecutablePathIsReported) {
  scripted::SetExecutablePath("");
  EXPECT_EQ(-1, LoadCodeTables(scripted::kMainWindow));
  ASSERT_EQ(1u, scripted::Boxes().size());
  EXPECT_EQ(kMsgModulePathFailed, scripted::Boxes()[0].text);
  EXPECT_EQ(kCaptionError, scripted::Boxes()[0].caption);
}

TEST_F(CodeTablesTest, FolderIsFoundPastATrailByte5C) {
  // The executable's name begins with a double-byte character whose second byte is 0x5C: it is
  // no separator, so the file is looked for in the temp folder itself.
  scripted::SetExecutablePath(temp.path() + "/\x95\x5Czelvo");
  EXPECT_EQ(0, Load(Section("TBL3")));
}

TEST_F(CodeTablesTest, FolderTooLongForTheFileNameIsAMissingFile) {
  scripted::SetExecutablePath("/" + std::string(250, 'd') + "/zelvo");
  EXPECT_EQ(-1, LoadCodeTables(scripted::kMainWindow));
  ASSERT_EQ(1u, scripted::Boxes().size());
  EXPECT_EQ(kMsgCodeFileMissing, scripted::Boxes()[0].text);
}

TEST_F(CodeTablesTest, ShippedFile) {
  scripted::SetExecutablePath(std::string(ZELVO_SOURCE_DIR) + "/src/codes/zelvo");
  ASSERT_EQ(0, LoadCodeTables(scripted::kMainWindow));
  struct {
    int code;
    uint16_t shown;
  } const kShown[] = {{0x20, 0x8140}, {'A', 0x8260},  {'z', 0x829A},  {'0', 0x824F},
                      {0x5C, 0x815F}, {0x7E, 0x8160}, {0xB1, 0x8341}, {0xA1, 0x8142},
                      {0xDE, 0x814A}, {0xDF, 0x814B}, {0x00, 0x8148}, {0x7F, 0x8148},
                      {0xA0, 0x8148}, {0xFF, 0x8148}};
  for (const auto& row : kShown) EXPECT_EQ(row.shown, T().TBL1[row.code]) << row.code;
  for (int c = 0; c < 256; c++) {
    EXPECT_NE(0, T().TBL1[c] >> 8) << c;
    EXPECT_NE(0, T().TBL1[c] & 0xFF) << c;
    const bool passes = (c >= 0x20 && c <= 0x7E) || (c >= 0xA1 && c <= 0xDF);
    EXPECT_EQ(passes ? c : '?', T().TBL2[c]) << c;
    EXPECT_EQ(passes ? c : (c == 0x0A ? 0x0D : '?'), T().TBL3[c]) << c;
  }
}

}  // namespace
