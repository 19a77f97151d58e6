// zelvo rm, rename, attr and import --replace: the file commands end to end.
#include <cstdio>
#include <cstring>

#include "cli_fixture.h"
#include "support/test_support.h"
#include "texts/texts.h"

namespace clitest {
namespace {

using testimg::FileSpec;
using testimg::VolumeBuilder;
using testsupport::Pattern;

// HELLO (slot 0, sectors 32-33), LOCKED (slot 1, sector 34), HIGH (slot 70, high byte first,
// sectors 35-37) on a volume with an extended directory at track 20.
VolumeBuilder ThreeFiles() {
  VolumeBuilder v;
  v.SetExdir(20, 1);
  v.AddFile(FileSpec{.name = "HELLO", .data = Pattern(300, 1)});
  v.AddFile(FileSpec{.name = "LOCKED", .lock = 1, .data = Pattern(256, 2)});
  FileSpec high{
      .name = "HIGH", .order = 1, .start = 0x1234, .exec = 0xABCD, .data = Pattern(600, 3)};
  high.slot = 70;
  v.AddFile(high);
  return v;
}

// A message box line whose %s is a name as the test code file shows it.
std::string BoxWithName(const char* caption, const char* format, const std::string& name) {
  std::string text = Utf8(format);
  text.replace(text.find("%s"), 2, FullWidth(name));
  return Utf8(caption) + ": " + text + "\n";
}

class FileVerbsTest : public CliTest {
 protected:
  std::string Box(const char* caption, const std::string& cp932) {
    return Utf8(caption) + ": " + Utf8(cp932.c_str()) + "\n";
  }
  // The volume of the image now.
  std::vector<uint8_t> Now(const std::string& path, bool d88, int mode) {
    return VolumeOf(testimg::ReadFile(path), d88, mode);
  }
};

TEST_F(FileVerbsTest, RmInEveryLayoutAndMode) {
  for (const Layout& layout : kLayouts) {
    for (int mode = 0; mode < 2; mode++) {
      SCOPED_TRACE(std::string(layout.extension) + (mode ? " PC" : " MZ"));
      const std::string image = std::string("disk") + layout.extension;
      const std::string path = WriteImage(ThreeFiles(), image, layout.d88, mode);
      const Result r = Zelvo(
          {"rm", "--yes", "--mode", mode ? "pc" : "mz", "--codes", codes, image, "high", "#0"});
      ASSERT_EQ(r.code, 0) << r.err;
      EXPECT_EQ(r.out, "");
      // --yes asks nothing; one line says what was written.
      EXPECT_EQ(r.err, "zelvo: " + image + ": deleted HIGH, HELLO\n");
      VolumeBuilder expected = ThreeFiles();
      expected.Entry(0)[0] = 0;
      expected.Entry(70)[0] = 0;
      expected.MarkFree(32, 2).MarkFree(35, 3);
      EXPECT_TRUE(testsupport::BytesEqual(expected.bytes, Now(path, layout.d88, mode)));
    }
  }
}

TEST_F(FileVerbsTest, RefusalsLeaveTheImage) {
  struct Case {
    std::vector<std::string> args;
    int code;
    std::string err;  // the start of standard error
  };
  const Case cases[] = {
      {{"rm", "--codes", codes, "disk.d88", "HELLO"},
       1,
       BoxWithName(kCaptionConfirm, kMsgDeleteOneConfirm, "HELLO")},
      {{"rm", "--yes", "--codes", codes, "disk.d88", "locked"},
       1,
       BoxWithName(kCaptionError, kMsgDeleteLocked, "LOCKED")},
      {{"rm", "--yes", "--codes", codes, "disk.d88", "HELLO", "NOPE"}, 1, "zelvo: NOPE: no such"},
      {{"rm", "--yes", "--codes", codes, "disk.d88", "#3"}, 1, "zelvo: #3: no such"},
      {{"rename", "--yes", "--codes", codes, "disk.d88", "HELLO", "bad name"}, 1, ""},
      {{"rename", "--yes", "--codes", codes, "disk.d88", "HELLO", "high"},
       1,
       Box(kCaptionFileName, kMsgNameDuplicate)},
      {{"rename", "--codes", codes, "disk.d88", "HELLO", "OTHER"},
       1,
       Box(kCaptionConfirm, kMsgAttributesConfirm)},
      {{"attr", "--yes", "--codes", codes, "--start", "12", "disk.d88", "HELLO"},
       1,
       Box(kCaptionError, kMsgBadStart)},
      {{"attr", "--yes", "--lock", "--unlock", "disk.d88", "HELLO"}, 2, ""},
      {{"import", "--yes", "--replace", "--codes", codes, "--name", "LOCKED", "disk.d88", "in.bin"},
       1,
       Box(kCaptionError, kMsgReplaceLocked)},
      {{"import", "--yes", "--codes", codes, "--name", "hello", "disk.d88", "in.bin"},
       1,
       Box(kCaptionFileName, kMsgNameDuplicate)},
  };
  testimg::WriteFile(Path("in.bin"), Pattern(10, 9));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args[0] + " " + c.args.back());
    const std::string path = WriteImage(ThreeFiles(), "disk.d88", true, 0);
    const auto before = testimg::ReadFile(path);
    const Result r = Zelvo(c.args);
    EXPECT_EQ(r.code, c.code) << r.err;
    EXPECT_EQ(r.err.substr(0, c.err.size()), c.err);
    EXPECT_TRUE(testsupport::BytesEqual(before, testimg::ReadFile(path)));
  }
}

TEST_F(FileVerbsTest, RenameAndAttrWriteTheEntryInItsOwnOrder) {
  const std::string path = WriteImage(ThreeFiles(), "disk.2d", false, 1);
  Result r =
      Zelvo({"rename", "--yes", "--mode", "pc", "--codes", codes, "disk.2d", "HIGH", "Top.Bin"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.err, "zelvo: disk.2d: renamed HIGH to Top.Bin\n");
  r = Zelvo({"attr", "--yes", "--mode", "pc", "--codes", codes, "--type", "cmd", "--start", "0102",
             "--exec", "ffff", "--date", "99/12/31", "--lock", "disk.2d", "top.bin"});
  ASSERT_EQ(r.code, 0) << r.err;
  VolumeBuilder expected = ThreeFiles();
  uint8_t* e = expected.Entry(70);
  e[0] = 3;
  std::memcpy(e + 1, "Top.Bin", 7);
  e[18] = 1;
  e[22] = 0x01;  // high byte first, as the entry's order byte says
  e[23] = 0x02;
  e[24] = 0xFF;
  e[25] = 0xFF;
  e[26] = 0x99;
  e[27] = 0x12;
  e[28] = 0x31;
  EXPECT_TRUE(testsupport::BytesEqual(expected.bytes, Now(path, false, 1)));

  r = Zelvo({"attr", "--yes", "--mode", "pc", "--codes", codes, "--unlock", "disk.2d", "LOCKED"});
  ASSERT_EQ(r.code, 0) << r.err;
  expected.Entry(1)[18] = 0;
  EXPECT_TRUE(testsupport::BytesEqual(expected.bytes, Now(path, false, 1)));
}

// attr takes the address forms its help names, as import does: 0x8000 and C000h are 8000 and C000.
TEST_F(FileVerbsTest, AttrTakesTheAddressFormsOfItsHelp) {
  WriteImage(ThreeFiles(), "disk.d88", true, 0);
  Result r = Zelvo({"attr", "--yes", "--codes", codes, "--start", "0x8000", "--exec", "C000h",
                    "disk.d88", "high"});
  ASSERT_EQ(r.code, 0) << r.err;
  r = Zelvo({"attr", "--codes", codes, "disk.d88", "high"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.out.find("Start   8000\nExec    C000\n"), std::string::npos) << r.out;
}

TEST_F(FileVerbsTest, AttrWithoutOptionsPrints) {
  WriteImage(ThreeFiles(), "disk.d88", true, 0);
  Result r = Zelvo({"attr", "--codes", codes, "disk.d88", "high"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out, "Name    " + FullWidth("HIGH") +
                       "\nType    OBJ (01)\nLock    unlocked\nStart   1234\nExec    ABCD\n"
                       "Length  0258\nDate    03/01/15\nTrk     02\nSct     04\n");
  r = Zelvo({"attr", "--json", "--codes", codes, "disk.d88", "#1"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.out.find("\"locked\": true"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("\"nameBytes\": \"4C4F434B45440D0D0D0D0D0D0D0D0D0D\""), std::string::npos);
}

// A replace keeps the replaced file's type, addresses and lock unless options give new ones; the
// date is the import's.
TEST_F(FileVerbsTest, ImportReplaceKeepsTheReplacedAttributes) {
  struct Case {
    std::vector<std::string> options;
    uint8_t type;
    unsigned start, exec;
  } const cases[] = {
      {{}, 5, 0x1200, 0x1200},
      {{"--type", "tex", "--start", "2000"}, 2, 0x2000, 0x1200},
      {{"--exec", "1234"}, 5, 0x1200, 0x1234},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.options));
    VolumeBuilder before = ThreeFiles();
    before.Entry(0)[0] = 5;  // HELLO is a SCD file
    const std::string path = WriteImage(before, "disk.d88", true, 1);
    testimg::WriteFile(Path("hello"), Pattern(700, 8));
    std::vector<std::string> args = {"import",  "--yes", "--replace", "--mode",  "pc",
                                     "--codes", codes,   "--date",    "03/01/05"};
    args.insert(args.end(), c.options.begin(), c.options.end());
    args.insert(args.end(), {"disk.d88", "hello"});
    const Result r = Zelvo(args);
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.err.find("replaced hello\n"), std::string::npos) << r.err;
    VolumeBuilder expected = before;
    expected.Entry(0)[0] = 0;
    expected.MarkFree(32, 2);
    FileSpec now{
        .name = "hello", .type = c.type, .start = c.start, .exec = c.exec, .data = Pattern(700, 8)};
    now.date[2] = 0x05;
    now.data.resize(768, 0xFF);
    now.length = 700;
    now.track = 38 / 16;  // 32-33 freed are too short: first fit after HIGH
    now.sector = 38 % 16 + 1;
    ASSERT_EQ(expected.AddFile(now), 0);
    EXPECT_TRUE(testsupport::BytesEqual(expected.bytes, Now(path, true, 1)));
  }
}

}  // namespace
}  // namespace clitest
