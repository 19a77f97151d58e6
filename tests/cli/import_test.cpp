// zelvo import: the Import command with the attribute dialog filled from the options.
#include <cstdio>
#include <ctime>

#include "cli_fixture.h"
#include "support/test_support.h"
#include "texts/texts.h"

namespace clitest {
namespace {

using testsupport::Pattern;

using testimg::FileSpec;
using testimg::VolumeBuilder;

VolumeBuilder WithHello() {
  VolumeBuilder volume;
  FileSpec hello;
  hello.name = "HELLO";
  hello.data = Pattern(300, 3);  // track 2, sectors 1 and 2
  volume.AddFile(hello);
  return volume;
}

const uint8_t* Entry(const std::vector<uint8_t>& volume, int slot) {
  return volume.data() + (slot < 64 ? 16 * 256 + slot * 32 : 0);
}

uint8_t Bcd(int value) { return static_cast<uint8_t>((value / 10) * 16 + value % 10); }

// A message with its %c or %ld filled in.
std::string Message(const char* format, int character) {
  char text[512];
  std::snprintf(text, sizeof text, format, character);
  return text;
}
std::string Message(const char* format, long number) {
  char text[512];
  std::snprintf(text, sizeof text, format, number);
  return text;
}

class ImportTest : public CliTest {
 protected:
  std::string Box(const char* caption, const std::string& text) {
    return Utf8(caption) + ": " + Utf8(text.c_str()) + "\n";
  }
};

TEST_F(ImportTest, BinaryImportWritesDataEntryAndBitTableInEveryLayoutAndMode) {
  const std::vector<uint8_t> data = Pattern(300, 3);
  testimg::WriteFile(Path("data.bin"), Pattern(300, 3));
  for (const Layout& layout : kLayouts) {
    for (int mode = 0; mode < 2; mode++) {
      SCOPED_TRACE(std::string(layout.extension) + (mode ? " PC" : " MZ"));
      const std::string image = std::string("disk") + layout.extension;
      const std::string path = WriteImage(WithHello(), image, layout.d88, mode);
      const Result r = Zelvo(
          {"import", "--yes", "--mode", mode ? "pc" : "mz", "--codes", codes, image, "data.bin"});
      ASSERT_EQ(r.code, 0) << r.err;
      EXPECT_EQ(r.out, "");
      EXPECT_EQ(r.err, Box(kCaptionSuccess, kMsgImportSucceeded));

      const auto volume = VolumeOf(testimg::ReadFile(path), layout.d88, mode);
      const uint8_t* e = Entry(volume, 1);
      const std::time_t now = std::time(nullptr);
      const std::tm* local = std::localtime(&now);
      const std::vector<uint8_t> expected = {1,
                                             'd',
                                             'a',
                                             't',
                                             'a',
                                             '.',
                                             'b',
                                             'i',
                                             'n',
                                             0x0D,
                                             0x0D,
                                             0x0D,
                                             0x0D,
                                             0x0D,
                                             0x0D,
                                             0x0D,
                                             0x0D,
                                             0x0D,
                                             0,
                                             0,
                                             0x2C,
                                             0x01,
                                             0x00,
                                             0x15,
                                             0x00,
                                             0x00,
                                             Bcd(local->tm_year % 100),
                                             Bcd(local->tm_mon + 1),
                                             Bcd(local->tm_mday),
                                             0,
                                             2,
                                             3};
      EXPECT_TRUE(testsupport::BytesEqual(expected, std::vector<uint8_t>(e, e + 32)));
      // The data at track 2 sector 3; the tail of its last sector is 0xFF in the image.
      const std::vector<uint8_t> stored(volume.begin() + 34 * 256, volume.begin() + 34 * 256 + 300);
      EXPECT_TRUE(testsupport::BytesEqual(data, stored));
      EXPECT_EQ(volume[34 * 256 + 300], mode ? 0xFF : 0x00);
      // Sectors 34 and 35 marked used in the bit table (track 0 sector 2 = volume byte 256).
      EXPECT_EQ(volume[256 + 4] & 0x0C, 0x0C);
      EXPECT_EQ(volume[256 + 4] & 0x10, 0);

      const Result back = Zelvo({"export", "--mode", mode ? "pc" : "mz", "--codes", codes, image,
                                 "DATA.BIN", "back.bin"});
      ASSERT_EQ(back.code, 0) << back.err;
      EXPECT_TRUE(testsupport::BytesEqual(data, testimg::ReadFile(Path("back.bin"))));
      std::remove(Path("back.bin").c_str());
    }
  }
}

TEST_F(ImportTest, AsciiConvertsThroughTheThirdTableAndEndsTheText) {
  testimg::WriteFile(Path("t.txt"), Bytes("Hi\r\nyo\n"));
  const std::string path = WriteImage(WithHello(), "disk.2d", false, 1);
  const Result r = Zelvo({"import", "--yes", "--ascii", "--mode", "pc", "--codes", codes, "--name",
                          "T", "--type", "TEX", "disk.2d", "t.txt"});
  ASSERT_EQ(r.code, 0) << r.err;
  const auto volume = VolumeOf(testimg::ReadFile(path), false, 1);
  const uint8_t* e = Entry(volume, 1);
  EXPECT_EQ(e[0], 2);
  EXPECT_EQ(e[20], 8);
  const std::vector<uint8_t> stored(volume.begin() + 34 * 256, volume.begin() + 34 * 256 + 8);
  EXPECT_TRUE(testsupport::BytesEqual(Bytes(std::string("hi\ryo\r\r\0", 8)), stored));

  const Result back =
      Zelvo({"export", "--ascii", "--mode", "pc", "--codes", codes, "disk.2d", "T", "back.txt"});
  ASSERT_EQ(back.code, 0) << back.err;
  EXPECT_TRUE(testsupport::BytesEqual(Bytes("HI\nYO\n\n"), testimg::ReadFile(Path("back.txt"))));
}

// The option texts go through the dialog's own checks, which accept what they accept.
TEST_F(ImportTest, OptionsAreTheTextsTypedIntoTheDialog) {
  testimg::WriteFile(Path("in.bin"), Pattern(10, 3));
  const std::string path = WriteImage(WithHello(), "disk.d88", true, 0);
  const Result r =
      Zelvo({"import", "--yes", "--codes", codes, "--name", "Prog.1", "--type", "rdd", "--start",
             "12G4", "--exec", "ffff", "--date", "03/13/1F", "--lock", "disk.d88", "in.bin"});
  ASSERT_EQ(r.code, 0) << r.err;
  const auto volume = VolumeOf(testimg::ReadFile(path), true, 0);
  const uint8_t* e = Entry(volume, 1);
  const std::vector<uint8_t> expected = {
      6,    'P',  'r', 'o', 'g', '.', '1',  0x0D, 0x0D, 0x0D, 0x0D, 0x0D, 0x0D, 0x0D, 0x0D, 0x0D,
      0x0D, 0x0D, 1,   0,   10,  0,   0x12, 0x00, 0xFF, 0xFF, 0x03, 0x13, 0x1F, 0,    2,    3};
  EXPECT_TRUE(testsupport::BytesEqual(expected, std::vector<uint8_t>(e, e + 32)));
}

TEST_F(ImportTest, WithoutYesNothingIsWritten) {
  testimg::WriteFile(Path("in.bin"), Pattern(10, 3));
  for (const Layout& layout : kLayouts) {
    SCOPED_TRACE(layout.extension);
    const std::string image = std::string("disk") + layout.extension;
    const std::string path = WriteImage(WithHello(), image, layout.d88, 0);
    const auto before = testimg::ReadFile(path);
    const Result r = Zelvo({"import", "--codes", codes, image, "in.bin"});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err.find(Box(kCaptionConfirm, kMsgImportConfirm)), 0u) << r.err;
    EXPECT_EQ(r.err.find(Utf8(kCaptionSuccess)), std::string::npos);
    EXPECT_TRUE(testsupport::BytesEqual(before, testimg::ReadFile(path)));
  }
}

TEST_F(ImportTest, OnATerminalTheQuestionIsAsked) {
  testimg::WriteFile(Path("in.bin"), Pattern(10, 3));
  const std::string path = WriteImage(WithHello(), "disk.d88", true, 0);
  const auto before = testimg::ReadFile(path);
  Result r;
  if (!ZelvoOnTerminal({"import", "--codes", codes, "disk.d88", "in.bin"}, "n\n", &r))
    GTEST_SKIP() << "script(1) is not available";
  EXPECT_EQ(r.code, 1) << r.out;
  EXPECT_NE(r.out.find("[y/N]"), std::string::npos) << r.out;
  EXPECT_TRUE(testsupport::BytesEqual(before, testimg::ReadFile(path)));

  ASSERT_TRUE(ZelvoOnTerminal({"import", "--codes", codes, "disk.d88", "in.bin"}, "y\n", &r));
  EXPECT_EQ(r.code, 0) << r.out;
  EXPECT_NE(r.out.find(Utf8(kMsgImportSucceeded)), std::string::npos) << r.out;
  EXPECT_EQ(VolumeOf(testimg::ReadFile(path), true, 0)[16 * 256 + 32], 1);  // slot 1 used
}

// A host name too long for the volume is cut and the cut said; addresses take the forms scripts
// write as well.
TEST_F(ImportTest, ACutNameIsSaidAndAddressesTakeHexPrefixAndSuffix) {
  testimg::WriteFile(Path("verylongfilename_here.bin"), Pattern(10, 3));
  const std::string path = WriteImage(WithHello(), "disk.d88", true, 0);
  const Result r = Zelvo({"import", "--yes", "--codes", codes, "--start", "0x2000", "--exec",
                          "21aBh", "disk.d88", "verylongfilename_here.bin"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.err.find("zelvo: verylongfilename_here.bin: stored as verylongfilename\n"),
            std::string::npos)
      << r.err;
  const auto volume = VolumeOf(testimg::ReadFile(path), true, 0);
  const uint8_t* e = Entry(volume, 1);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(e + 1), 16), "verylongfilename");
  EXPECT_EQ(e[22] + 256 * e[23], 0x2000);
  EXPECT_EQ(e[24] + 256 * e[25], 0x21AB);
}

struct Refusal {
  const char* what;
  std::vector<std::string> options;
  std::string hostFile;
  const char* caption;
  std::string text;
  std::string hint = "";  // zelvo's own line after the message
};

TEST_F(ImportTest, RefusalsShowTheMessageExitOneAndLeaveTheImageAlone) {
  testimg::WriteFile(Path("in.bin"), Pattern(10, 3));
  testimg::WriteFile(Path("my-file"), Pattern(10, 3));
  testimg::WriteFile(Path("empty"), {});
  testimg::WriteFile(Path("big"), Pattern(65536, 3));
  const std::string kNameHint =
      "zelvo: give a name the volume can hold with --name (at most 16 characters)\n";
  const std::vector<Refusal> cases = {
      {"bad character",
       {"--name", "bad name"},
       "in.bin",
       kCaptionFileName,
       Message(kMsgNameBadChar, ' '),
       kNameHint},
      {"host name with a symbol",
       {},
       "my-file",
       kCaptionFileName,
       Message(kMsgNameBadChar, '-'),
       kNameHint},
      {"name too long",
       {"--name", "ABCDEFGHIJKLMNOPQ"},
       "in.bin",
       kCaptionFileName,
       kMsgNameTooLong,
       kNameHint},
      {"duplicate",
       {"--name", "hello"},
       "in.bin",
       kCaptionFileName,
       kMsgNameDuplicate,
       "zelvo: pass --replace to replace the file of that name, or give another with --name\n"},
      {"type", {"--type", "XYZ"}, "in.bin", kCaptionError, kMsgBadType},
      {"start", {"--start", "123"}, "in.bin", kCaptionError, kMsgBadStart},
      {"exec", {"--exec", "12345"}, "in.bin", kCaptionError, kMsgBadExec},
      {"year", {"--date", "3/12/31"}, "in.bin", kCaptionError, kMsgBadYear},
      {"month", {"--date", "03/1/31"}, "in.bin", kCaptionError, kMsgBadMonth},
      {"day", {"--date", "03/12"}, "in.bin", kCaptionError, kMsgBadDay},
      {"empty file", {}, "empty", kCaptionError, kMsgFileEmpty},
      {"too big", {}, "big", kCaptionError, Message(kMsgFileTooBig, 65536L)},
  };
  const std::string path = WriteImage(WithHello(), "disk.d88", true, 0);
  const auto before = testimg::ReadFile(path);
  for (const Refusal& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<std::string> args = {"import", "--yes", "--codes", codes};
    args.insert(args.end(), c.options.begin(), c.options.end());
    args.push_back("disk.d88");
    args.push_back(c.hostFile);
    const Result r = Zelvo(args);
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, Box(c.caption, c.text) + c.hint);
    EXPECT_TRUE(testsupport::BytesEqual(before, testimg::ReadFile(path)));
  }
}

TEST_F(ImportTest, FullDiskAndFullDirectory) {
  testimg::WriteFile(Path("in.bin"), Pattern(10, 3));
  VolumeBuilder full = WithHello();
  full.MarkUsed(32, 1344 - 32);
  std::string path = WriteImage(full, "full.2d", false, 0);
  auto before = testimg::ReadFile(path);
  Result r = Zelvo({"import", "--yes", "--codes", codes, "full.2d", "in.bin"});
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.err, Box(kCaptionError, kMsgDiskFull));
  EXPECT_TRUE(testsupport::BytesEqual(before, testimg::ReadFile(path)));

  VolumeBuilder crowded;
  for (int i = 0; i < 64; i++) {
    FileSpec file;
    file.name = "F" + std::to_string(i);
    file.data = Pattern(1, 3);
    crowded.AddFile(file);
  }
  path = WriteImage(crowded, "crowded.2d", false, 0);
  before = testimg::ReadFile(path);
  r = Zelvo({"import", "--yes", "--codes", codes, "crowded.2d", "in.bin"});
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.err, Box(kCaptionError, kMsgDirectoryFull));
  EXPECT_TRUE(testsupport::BytesEqual(before, testimg::ReadFile(path)));
}

TEST_F(ImportTest, AFullMainDirectoryFillsTheExtendedDirectory) {
  testimg::WriteFile(Path("in.bin"), Pattern(10, 3));
  VolumeBuilder volume;
  volume.SetExdir(10, 1);
  for (int i = 0; i < 64; i++) {
    FileSpec file;
    file.name = "F" + std::to_string(i);
    file.data = Pattern(1, 3);
    volume.AddFile(file);
  }
  const std::string path = WriteImage(volume, "ext.d88", true, 1);
  const Result r =
      Zelvo({"import", "--yes", "--mode", "pc", "--codes", codes, "ext.d88", "in.bin"});
  ASSERT_EQ(r.code, 0) << r.err;
  const auto after = VolumeOf(testimg::ReadFile(path), true, 1);
  const uint8_t* slot64 = after.data() + (10 * 16) * 256;
  EXPECT_EQ(slot64[0], 1);
  EXPECT_EQ(std::string(slot64 + 1, slot64 + 7), "in.bin");
  const Result ls = Zelvo({"ls", "--mode", "pc", "--codes", codes, "ext.d88"});
  EXPECT_NE(ls.out.find("(65 files)"), std::string::npos) << ls.out;
}

TEST_F(ImportTest, ANameOutsideAsciiIsConvertedAndRefusedByTheCheck) {
  testimg::WriteFile(Path("in.bin"), Pattern(10, 3));
  const std::string path = WriteImage(WithHello(), "disk.d88", true, 0);
  const auto before = testimg::ReadFile(path);
  // U+FF71, half-width katakana A: one byte 0xB1 in code page 932.
  const Result r =
      Zelvo({"import", "--yes", "--codes", codes, "--name", "\xEF\xBD\xB1", "disk.d88", "in.bin"});
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.err, Box(kCaptionFileName, Message(kMsgNameBadChar, 0xB1)) +
                       "zelvo: give a name the volume can hold with --name (at most 16 "
                       "characters)\n");
  EXPECT_TRUE(testsupport::BytesEqual(before, testimg::ReadFile(path)));
}

}  // namespace
}  // namespace clitest
