// zelvo ls, and what every command shares: usage, the Open command's decision, the code tables.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <nlohmann/json.hpp>

#include "cli_fixture.h"
#include "image/image_lock.h"
#include "texts/texts.h"

namespace clitest {
namespace {

using testsupport::Pattern;

using nlohmann::json;
using testimg::FileSpec;
using testimg::VolumeBuilder;

// HELLO (locked OBJ, 0x123 bytes) and a.b (TEX, 10 bytes) on a volume named TEST.
VolumeBuilder TwoFiles() {
  VolumeBuilder volume;
  volume.SetDiskName("TEST");
  FileSpec hello;
  hello.name = "HELLO";
  hello.lock = 1;
  hello.data = Pattern(0x123, 1);
  volume.AddFile(hello);
  FileSpec text;
  text.name = "a.b";
  text.type = 2;
  text.start = 0x1500;
  text.exec = 0;
  text.data = Pattern(10, 2);
  volume.AddFile(text);
  return volume;
}

using LsTest = CliTest;

TEST_F(LsTest, PrintsThePanelThenTheRowsAlignedUnderTheTitles) {
  WriteImage(TwoFiles(), "disk.d88", true, 0);
  const Result r = Zelvo({"ls", "--codes", codes, "disk.d88"});
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.out,
            "  information\n"
            "   Volume Number:Master     Disk Name:TEST\n"
            "   Date:00/00/00     ID:     EXDIR:None   (2 files)\n"
            "   Auto Start:\n"
            "\n"
            "File name   Type  Start  End   Length  Execute  Date      Trk  Sct\n" +
                FullWidth("HELLO") + "  OBJ*  1200   1322  0123    1200     03/01/15  02   01\n" +
                FullWidth("a.b") + "      TEX   1500   1509  000A    0000     03/01/15  02   03\n");
}

TEST_F(LsTest, JsonForEveryLayoutAndMode) {
  for (const Layout& layout : kLayouts) {
    for (int mode = 0; mode < 2; mode++) {
      SCOPED_TRACE(std::string(layout.extension) + (mode ? " PC" : " MZ"));
      const std::string name = std::string("disk") + layout.extension;
      const std::string path = WriteImage(TwoFiles(), name, layout.d88, mode);
      const auto before = testimg::ReadFile(path);
      const Result r =
          Zelvo({"ls", "--json", "--mode", mode ? "pc" : "MZ", "--codes", codes, name});
      ASSERT_EQ(r.code, 0) << r.err;
      const json out = json::parse(r.out, nullptr, false);
      ASSERT_FALSE(out.is_discarded()) << r.out;
      EXPECT_EQ(out["image"], name);
      EXPECT_EQ(out["format"], layout.format);
      EXPECT_EQ(out["mode"], mode ? "PC" : "MZ");
      EXPECT_EQ(out["panel"],
                "  information\n   Volume Number:Master     Disk Name:TEST\n"
                "   Date:00/00/00     ID:     EXDIR:None   (2 files)\n   Auto Start:");
      const json rows = json::array(
          {{FullWidth("HELLO"), "OBJ*", "1200", "1322", "0123", "1200", "03/01/15", "02", "01"},
           {FullWidth("a.b"), "TEX ", "1500", "1509", "000A", "0000", "03/01/15", "02", "03"}});
      EXPECT_EQ(out["rows"], rows);
      EXPECT_EQ(out["columns"].size(), 9u);
      EXPECT_TRUE(testsupport::BytesEqual(before, testimg::ReadFile(path)));
    }
  }
}

TEST_F(LsTest, ExtendedDirectoryRowsFollowTheMainDirectory) {
  VolumeBuilder volume;
  volume.SetExdir(10, 1);
  for (int slot : {70, 3}) {
    FileSpec file;
    file.name = "F" + std::to_string(slot);
    file.slot = slot;
    file.data = Pattern(20, slot);
    volume.AddFile(file);
  }
  WriteImage(volume, "ext.2d", false, 1);
  const Result r = Zelvo({"ls", "--json", "--mode", "pc", "--codes", codes, "ext.2d"});
  ASSERT_EQ(r.code, 0) << r.err;
  const json out = json::parse(r.out);
  ASSERT_EQ(out["rows"].size(), 2u);
  EXPECT_EQ(out["rows"][0][0], FullWidth("F3"));
  EXPECT_EQ(out["rows"][1][0], FullWidth("F70"));
  EXPECT_NE(out["panel"].get<std::string>().find("EXDIR:Trk0A Sct01   (2 files)"),
            std::string::npos);
}

// Cell texts that are not code page 932 still give JSON that a parser accepts.
TEST_F(LsTest, JsonStaysValidForBytesThatAreNotCodePage932) {
  std::string file = "TBL1\n";
  for (int k = 0; k < 16; k++) {
    for (int j = 0; j < 16; j++) {
      const int c = 16 * k + j;
      // 'Z' shows as a lead byte with a blank (no character), 'Y' as two bytes 0xFF.
      file += c == 'Z' ? std::string("\x81 ") : c == 'Y' ? std::string("\xFF\xFF") : "AB";
    }
    file += '\n';
  }
  file += "TBL3\n";
  for (int k = 0; k < 16; k++) file += std::string(16, 'x') + "\n";
  testimg::WriteFile(Path("odd.txt"), Bytes(file));
  VolumeBuilder volume;
  FileSpec odd;
  odd.name = "ZYZ";
  odd.data = Pattern(5, 0);
  volume.AddFile(odd);
  WriteImage(volume, "odd.d88", true, 0);

  const Result r = Zelvo({"ls", "--json", "--codes", "odd.txt", "odd.d88"});
  ASSERT_EQ(r.code, 0) << r.err;
  const json out = json::parse(r.out, nullptr, false);
  ASSERT_FALSE(out.is_discarded()) << r.out;
  const std::string name = out["rows"][0][0];
  EXPECT_NE(name.find("\xEF\xBF\xBD"), std::string::npos);  // U+FFFD stands for the odd bytes
  EXPECT_EQ(Zelvo({"ls", "--codes", "odd.txt", "odd.d88"}).code, 0);
}

TEST_F(LsTest, AnExtensionOutsideTheTableIsRefusedWithTheOpenCommandsMessage) {
  for (const char* name : {"disk.img", "disk.d88.bak", "disk"}) {
    SCOPED_TRACE(name);
    WriteImage(TwoFiles(), name, true, 0);
    const Result r = Zelvo({"ls", "--codes", codes, name});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, Utf8(kCaptionExtension) + ": " + Utf8(kMsgBadExtension) + "\n");
  }
  // The message in UTF-8, spelled out once: the caption starts with the katakana for "extension".
  EXPECT_EQ(Utf8(kCaptionError), "\xE3\x82\xA8\xE3\x83\xA9\xE3\x83\xBC");
}

TEST_F(LsTest, AMissingCodeFileFailsLikeTheMainWindowsStartUp) {
  WriteImage(TwoFiles(), "disk.d88", true, 0);
  const Result r = Zelvo({"ls", "--codes", "none.txt", "disk.d88"});
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, Utf8(kCaptionError) + ": " + Utf8(kMsgCodeFileMissing) + "\n" +
                       Utf8(kCaptionError) + ": " + Utf8(kMsgCreateFailed) + "\n");
  // A file without a TBL3 section: no message of its own, the start-up error only.
  testimg::WriteFile(Path("short.txt"), Bytes("TBL1\n"));
  const Result cut = Zelvo({"ls", "--codes", "short.txt", "disk.d88"});
  EXPECT_EQ(cut.code, 1);
  EXPECT_EQ(cut.err, Utf8(kCaptionError) + ": " + Utf8(kMsgCreateFailed) + "\n");
}

// An image held by another process cannot be read: the reader's message, exit 1.
// An image that another program holds alone past --wait: refused as busy, not as a bad read.
TEST_F(LsTest, AnImageHeldElsewherePastTheWaitIsBusy) {
  const std::string path = WriteImage(TwoFiles(), "disk.d88", true, 0);
  // A write lock on the lock range, as another zelvo or Wine's server for the Windows program
  // takes it.
  const int fd = open(path.c_str(), O_RDWR);
  ASSERT_GE(fd, 0);
  struct flock range {};
  range.l_type = F_WRLCK;
  range.l_whence = SEEK_SET;
  range.l_start = static_cast<off_t>(kImageLockOffset);
  range.l_len = kImageLockLength;
  ASSERT_EQ(fcntl(fd, F_SETLK, &range), 0);
  const Result r = Zelvo({"ls", "--codes", codes, "--wait", "0.1", "disk.d88"});
  close(fd);
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, Utf8(kCaptionError) + ": " + Utf8(kMsgImageBusy) + "\n");
}

// A missing image, or a folder in its place, is a failed read for every command, not a usage
// error: the reader's message, the system's reason, and exit 1, nothing written.
TEST_F(LsTest, AMissingImageIsAFailedReadForEveryCommand) {
  testimg::WriteFile(Path("hello.txt"), Bytes("hello"));
  ASSERT_EQ(mkdir(Path("folder.d88").c_str(), 0755), 0);
  const std::vector<std::vector<std::string>> cases = {
      {"ls", "--codes", codes, "missing.d88"},
      {"ls", "--codes", codes, "--mode", "pc", "missing.2d"},
      {"ls", "--codes", codes, "folder.d88"},
      {"export", "--codes", codes, "missing.d20", "DEMO", "out.bin"},
      {"import", "--codes", codes, "--yes", "missing.d88", "hello.txt"},
      {"check", "missing.d88"},
      {"rm", "--codes", codes, "--yes", "missing.d88", "DEMO"},
      {"rename", "--codes", codes, "--yes", "missing.d88", "DEMO", "GAME"},
      {"attr", "--codes", codes, "missing.d88", "DEMO"},
  };
  for (const auto& args : cases) {
    SCOPED_TRACE(args[0] + " " + args.back());
    const Result r = Zelvo(args);
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.out, "");
    std::string image;
    for (const std::string& arg : args)
      if (arg.rfind("missing.", 0) == 0 || arg == "folder.d88") image = arg;
    const int reason = image == "folder.d88" ? EISDIR : ENOENT;
    EXPECT_EQ(r.err, Utf8(kCaptionRead) + ": " + Utf8(kMsgReadFailed) + "\nzelvo: " + image + ": " +
                         std::strerror(reason) + "\n");
  }
  EXPECT_FALSE(testimg::FileExists(Path("missing.d88")));
  EXPECT_FALSE(testimg::FileExists(Path("out.bin")));
}

TEST_F(LsTest, TheCodeFileBesideTheExecutableIsTheDefault) {
  WriteImage(TwoFiles(), "disk.d88", true, 0);
  const Result r = Zelvo({"ls", "--json", "disk.d88"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(json::parse(r.out)["rows"].size(), 2u);
}

// Installed, zelvo finds the code file in ../share/zelvo/; one beside it still comes first, and
// --codes before both.
TEST_F(LsTest, AnInstalledZelvoFindsTheCodeFileInShare) {
  namespace fs = std::filesystem;
  WriteImage(TwoFiles(), "disk.d88", true, 0);
  const fs::path prefix = Path("prefix");
  fs::create_directories(prefix / "bin");
  fs::create_directories(prefix / "share" / "zelvo");
  const std::string exe = (prefix / "bin" / "zelvo").string();
  fs::copy_file(ZELVO_EXE, exe);
  fs::copy_file(ZELVO_SOURCE_DIR "/src/codes/CodeChg.txt", prefix / "share/zelvo/CodeChg.txt");

  const Result installed = ZelvoAt(exe, {"ls", "--json", "disk.d88"});
  ASSERT_EQ(installed.code, 0) << installed.err;
  EXPECT_EQ(json::parse(installed.out)["rows"].size(), 2u);

  testimg::WriteFile((prefix / "bin/CodeChg.txt").string(), Bytes("TBL1\n"));
  const Result beside = ZelvoAt(exe, {"ls", "disk.d88"});
  EXPECT_EQ(beside.code, 1);
  EXPECT_EQ(beside.err, Utf8(kCaptionError) + ": " + Utf8(kMsgCreateFailed) + "\n");
  EXPECT_EQ(ZelvoAt(exe, {"ls", "--codes", codes, "disk.d88"}).code, 0);

  fs::remove(prefix / "bin/CodeChg.txt");
  fs::remove(prefix / "share/zelvo/CodeChg.txt");
  const Result none = ZelvoAt(exe, {"ls", "disk.d88"});
  EXPECT_EQ(none.code, 1);
  EXPECT_EQ(none.err, Utf8(kCaptionError) + ": " + Utf8(kMsgCodeFileMissing) + "\n" +
                          Utf8(kCaptionError) + ": " + Utf8(kMsgCreateFailed) + "\n");
}

struct UsageCase {
  std::vector<std::string> args;
  int code;
  const char* inOutput;  // text expected in standard output, or null
};

TEST_F(LsTest, UsageAndItsExitCodes) {
  WriteImage(TwoFiles(), "disk.d88", true, 0);
  const std::vector<UsageCase> cases = {
      {{"--version"}, 0, "zelvo "},
      {{"--help"}, 0, "check"},
      {{"ls", "--help"}, 0, "--json"},
      {{"import", "--help"}, 0, "--yes"},
      {{}, 2, nullptr},
      {{"list", "disk.d88"}, 2, nullptr},
      {{"ls"}, 2, nullptr},
      {{"ls", "--mode", "xx", "disk.d88"}, 2, nullptr},
      {{"ls", "--bogus", "disk.d88"}, 2, nullptr},
      {{"export", "disk.d88"}, 2, nullptr},
      {{"import", "disk.d88", "missing.txt"}, 2, nullptr},
      {{"check", "--codes", "x", "disk.d88"}, 2, nullptr},
  };
  for (const UsageCase& c : cases) {
    std::string shown;
    for (const auto& a : c.args) shown += a + " ";
    SCOPED_TRACE(shown);
    const Result r = Zelvo(c.args);
    EXPECT_EQ(r.code, c.code) << r.out << r.err;
    if (c.inOutput) {
      EXPECT_NE(r.out.find(c.inOutput), std::string::npos) << r.out;
    }
  }
}

}  // namespace
}  // namespace clitest
