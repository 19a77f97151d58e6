// zelvo export: the Export command on the row that FILE names.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "cli_fixture.h"
#include "image/image_basics.h"
#include "support/test_support.h"
#include "texts/texts.h"

namespace clitest {
namespace {

using testsupport::Pattern;

using testimg::FileSpec;
using testimg::VolumeBuilder;

FileSpec File(const std::string& name, std::vector<uint8_t> data, uint8_t type = 1) {
  FileSpec file;
  file.name = name;
  file.type = type;
  file.data = std::move(data);
  return file;
}

using ExportTest = CliTest;

TEST_F(ExportTest, BinaryWritesExactlyTheFilesBytesInEveryLayoutAndMode) {
  const std::vector<uint8_t> data = Pattern(0x123, 5);
  for (const Layout& layout : kLayouts) {
    for (int mode = 0; mode < 2; mode++) {
      SCOPED_TRACE(std::string(layout.extension) + (mode ? " PC" : " MZ"));
      VolumeBuilder volume;
      volume.AddFile(File("FIRST", Pattern(700, 5)));
      volume.AddFile(File("PROG", data));
      const std::string image = std::string("disk") + layout.extension;
      const std::string path = WriteImage(volume, image, layout.d88, mode);
      const auto before = testimg::ReadFile(path);
      const Result r = Zelvo(
          {"export", "--mode", mode ? "pc" : "mz", "--codes", codes, image, "prog", "out.bin"});
      ASSERT_EQ(r.code, 0) << r.err;
      EXPECT_EQ(r.err, "");
      EXPECT_EQ(r.out, "out.bin\n");
      EXPECT_TRUE(testsupport::BytesEqual(data, testimg::ReadFile(Path("out.bin"))));
      EXPECT_TRUE(testsupport::BytesEqual(before, testimg::ReadFile(path)));
      std::remove(Path("out.bin").c_str());
    }
  }
}

// After TBL2 the text is written as the host keeps text: UTF-8 and LF by default here, the
// window's code page 932 and CR LF when asked; one file and many alike.
TEST_F(ExportTest, AsciiConvertsThroughTheSecondTableIntoTheHostsTextForm) {
  VolumeBuilder volume;
  volume.AddFile(File("TEXT", Bytes(std::string("ab\rC\xB1\x01\0", 7)), 2));
  WriteImage(volume, "disk.2d", false, 0);
  const struct {
    std::vector<std::string> form;
    std::string bytes;
  } cases[] = {
      {{}, "AB\nC\xEF\xBD\xB1\x01"},
      {{"--encoding", "cp932", "--eol", "crlf"}, "AB\r\nC\xB1\x01"},
      {{"--eol", "crlf"}, "AB\r\nC\xEF\xBD\xB1\x01"},
      {{"--encoding", "cp932", "--eol", "lf"}, "AB\nC\xB1\x01"},
  };
  for (const auto& c : cases) {
    for (const bool many : {false, true}) {
      SCOPED_TRACE(c.bytes + (many ? " --to" : ""));
      std::filesystem::remove_all(Path("out"));
      std::filesystem::create_directory(Path("out"));
      std::vector<std::string> args = {"export", "--ascii", "--codes", codes, "disk.2d"};
      args.insert(args.end(), c.form.begin(), c.form.end());
      if (many)
        args.insert(args.end(), {"--to", "out", "--all"});
      else
        args.insert(args.end(), {"TEXT", "out/TEXT.TEX"});
      const Result r = Zelvo(args);
      ASSERT_EQ(r.code, 0) << r.err;
      EXPECT_TRUE(testsupport::BytesEqual(Bytes(c.bytes), testimg::ReadFile(Path("out/TEXT.TEX"))));
    }
  }
  EXPECT_EQ(Zelvo({"export", "--eol", "lf", "--codes", codes, "disk.2d", "TEXT"}).code, 2);
}

// The default name is the plain name, with the type as extension when it has none; of two that
// would be one host name (case ignored) the later keeps its type as well. One file or many.
TEST_F(ExportTest, TheDefaultHostNameIsThePlainName) {
  VolumeBuilder volume;
  FileSpec hello = File("HELLO", Pattern(40, 5));
  hello.lock = 1;
  volume.AddFile(hello);
  volume.AddFile(File("ODD", Pattern(3, 5), 7));
  volume.AddFile(File("README.TXT", Pattern(5, 5), 2));
  volume.AddFile(File("hello.obj", Pattern(6, 5), 2));
  volume.AddFile(File("a/b", Pattern(7, 5), 3));
  WriteImage(volume, "disk.d88", true, 0);
  const std::vector<std::string> names = {"HELLO.OBJ", "ODD.___", "README.TXT", "hello.obj.TEX",
                                          "a_b.CMD"};
  for (size_t row = 0; row < names.size(); row++) {
    const Result r = Zelvo({"export", "--codes", codes, "disk.d88", "#" + std::to_string(row)});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, names[row] + "\n");
  }
  EXPECT_TRUE(testsupport::BytesEqual(Pattern(40, 5), testimg::ReadFile(Path("HELLO.OBJ"))));
  std::filesystem::create_directory(Path("out"));
  const Result r = Zelvo({"export", "--codes", codes, "--to", "out", "--all", "disk.d88"});
  ASSERT_EQ(r.code, 0) << r.err;
  std::string expected;
  for (const std::string& name : names) expected += "out/" + name + "\n";
  EXPECT_EQ(r.out, expected);
}

// A name with separators cannot lead the default path out of the current folder.
TEST_F(ExportTest, TheDefaultHostPathStaysInTheCurrentFolder) {
  VolumeBuilder volume;
  volume.AddFile(File("./x", Pattern(9, 5)));
  WriteImage(volume, "disk.d88", true, 0);

  const Result r = Zelvo({"export", "--codes", codes, "disk.d88", "#0"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out, "._x\n");
  EXPECT_TRUE(testimg::FileExists(Path("._x")));
}

TEST_F(ExportTest, RowsCountOnlyUsedSlotsInDirectoryOrder) {
  VolumeBuilder volume;
  for (int slot : {2, 0, 5}) {
    FileSpec file = File("S" + std::to_string(slot), Pattern(10 + slot, 5));
    file.slot = slot;
    volume.AddFile(file);
  }
  WriteImage(volume, "disk.2d", false, 1);
  for (int row = 0; row < 3; row++) {
    const int slot = std::vector<int>{0, 2, 5}[row];
    const Result r = Zelvo({"export", "--mode", "pc", "--codes", codes, "disk.2d",
                            "#" + std::to_string(row), "r" + std::to_string(row)});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_TRUE(testsupport::BytesEqual(Pattern(10 + slot, 5),
                                        testimg::ReadFile(Path("r" + std::to_string(row)))));
  }
}

TEST_F(ExportTest, RefusalsWriteNothing) {
  VolumeBuilder volume;
  volume.AddFile(File("HELLO", Pattern(40, 5)));
  FileSpec bad = File("BAD", Pattern(40, 5));
  bad.track = 0x90;  // no sector address: the reader refuses
  bad.sector = 1;
  bad.markUsed = false;
  volume.AddFile(bad);
  const std::string path = WriteImage(volume, "disk.d88", true, 0);
  const auto before = testimg::ReadFile(path);
  testimg::WriteFile(Path("kept"), Bytes("old"));
  std::filesystem::create_directory(Path("adir"));

  struct Case {
    std::vector<std::string> args;
    std::string err;  // standard error exactly; empty: only that something was said
  };
  const std::vector<Case> cases = {
      {{"NOPE", "n1"}, ""},
      {{"#2", "n2"}, ""},
      {{"#x", "n3"}, ""},
      {{"HELL", "n4"}, ""},
      {{"HELLO", "kept"}, ""},
      {{"--force", "HELLO", "adir"},
       "zelvo: adir: " + std::string(std::strerror(EISDIR)) +
           ": give a file's path, or export into it with --to\n"},
      {{"BAD", "n5"},
       Utf8(kCaptionRead) + ": " + Utf8(kMsgBadTrackSector) + "\n" + Utf8(kCaptionError) + ": " +
           Utf8(kMsgExportReadFailed) + "\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args[0]);
    std::vector<std::string> args = {"export", "--codes", codes, "disk.d88"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const Result r = Zelvo(args);
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.out, "");
    if (c.err.empty())
      EXPECT_NE(r.err, "");
    else
      EXPECT_EQ(r.err, c.err);
  }
  for (const char* name : {"n1", "n2", "n3", "n4", "n5"})
    EXPECT_FALSE(testimg::FileExists(Path(name)));
  EXPECT_TRUE(testsupport::BytesEqual(Bytes("old"), testimg::ReadFile(Path("kept"))));
  EXPECT_TRUE(testsupport::BytesEqual(before, testimg::ReadFile(path)));

  // --force replaces the existing file completely.
  const Result forced = Zelvo({"export", "--force", "--codes", codes, "disk.d88", "HELLO", "kept"});
  EXPECT_EQ(forced.code, 0) << forced.err;
  EXPECT_TRUE(testsupport::BytesEqual(Pattern(40, 5), testimg::ReadFile(Path("kept"))));
}

TEST_F(ExportTest, AHostPathLongerThanTheHostTakesIsRefused) {
  VolumeBuilder volume;
  volume.AddFile(File("HELLO", Pattern(40, 5)));
  WriteImage(volume, "disk.d88", true, 0);
  const Result r =
      Zelvo({"export", "--codes", codes, "disk.d88", "HELLO", std::string(kPathCapacity, 'a')});
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.err, Utf8(kCaptionError) + ": " + Utf8(kMsgHostPathTooLong) + "\n");
}

}  // namespace
}  // namespace clitest
