// zelvo for scripts: the convention read by default, names as ls shows them, typed JSON, Ascii
// import from the host's text, quiet and reproducible writes. Every refusal leaves the image
// byte-identical.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "cli_fixture.h"
#include "support/test_support.h"
#include "texts/texts.h"

namespace clitest {
namespace {

using testimg::FileSpec;
using testimg::VolumeBuilder;
using testsupport::Pattern;

FileSpec File(const std::string& name, std::vector<uint8_t> data, uint8_t type = 1) {
  FileSpec file;
  file.name = name;
  file.type = type;
  file.data = std::move(data);
  return file;
}

VolumeBuilder ThreeFiles() {
  VolumeBuilder v;
  v.SetDate(0x24, 0x05, 0x01);
  for (int i = 0; i < 3; i++)
    v.AddFile(File("FILE" + std::to_string(i), Pattern(300 + 700 * i, i)));
  return v;
}

std::vector<nlohmann::json> JsonLines(const std::string& out) {
  std::vector<nlohmann::json> lines;
  std::istringstream in(out);
  for (std::string line; std::getline(in, line);) lines.push_back(nlohmann::json::parse(line));
  return lines;
}

class ScriptingTest : public CliTest {
 protected:
  // A file of zero bytes as an image: neither convention reads a volume there.
  std::string Noise() {
    testimg::WriteFile(Path("noise.2d"), std::vector<uint8_t>(84 * 16 * 256, 0x00));
    return Path("noise.2d");
  }
};

// Without --mode every verb reads under identify's verdict; with neither a reader reads as MZ and
// says so, a writer refuses; an explicit convention that identify contradicts is said.
TEST_F(ScriptingTest, TheConventionIsIdentifysUnlessGiven) {
  WriteImage(ThreeFiles(), "pc.d88", true, 1);
  WriteImage(ThreeFiles(), "mz.2d", false, 0);
  Noise();
  const std::string readAsMz = Utf8(kCliNoConvention);
  const std::string refused = Utf8(kCliNoConventionRefused);
  const std::string looksMz = Utf8(kWebLooksRecordedMz);
  const struct {
    std::string image;
    std::vector<std::string> args;  // the image's place: "IMAGE"
    int code;
    std::string err;  // a line standard error must hold ("": none at all)
    bool writes;
  } cases[] = {
      {"pc.d88", {"ls", "--json", "IMAGE"}, 0, "", false},
      {"pc.d88", {"export", "IMAGE", "FILE1", "-"}, 0, "", false},
      {"pc.d88", {"check", "IMAGE"}, 0, "", false},
      {"pc.d88", {"convert", "IMAGE", "copy.d88"}, 0, "", false},
      {"pc.d88", {"rename", "--yes", "IMAGE", "FILE0", "NEW"}, 0, "renamed FILE0 to NEW", true},
      {"mz.2d", {"ls", "--mode", "pc", "IMAGE"}, 0, looksMz, false},
      {"noise.2d", {"ls", "IMAGE"}, 0, readAsMz, false},
      {"noise.2d", {"sectors", "IMAGE", "0", "1"}, 0, readAsMz, false},
      {"noise.2d", {"rm", "--yes", "IMAGE", "#0"}, 1, refused, false},
      {"noise.2d", {"import", "--yes", "IMAGE", "mz.2d"}, 1, refused, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args[0] + " " + c.image);
    const std::vector<uint8_t> before = testimg::ReadFile(Path(c.image));
    std::vector<std::string> args;
    for (const std::string& arg : c.args) args.push_back(arg == "IMAGE" ? c.image : arg);
    if (args[0] != "check" && args[0] != "convert")
      args.insert(args.begin() + 1, {"--codes", codes});
    const Result r = Zelvo(args);
    EXPECT_EQ(r.code, c.code) << r.err;
    if (c.err.empty()) {
      EXPECT_EQ(r.err, "");
    } else {
      EXPECT_NE(r.err.find(c.image + ": " + c.err), std::string::npos) << r.err;
    }
    if (!c.writes) {
      EXPECT_TRUE(testsupport::BytesEqual(before, testimg::ReadFile(Path(c.image))));
    }
  }
  // The copy and the renamed file are PC's: read back without --mode.
  const auto copy = JsonLines(Zelvo({"ls", "--json", "--codes", codes, "copy.d88"}).out);
  ASSERT_EQ(copy.size(), 1u);
  EXPECT_EQ(copy[0]["mode"], "PC");
  EXPECT_EQ(copy[0]["files"][0]["name"], "FILE0");
  const auto renamed = JsonLines(Zelvo({"ls", "--json", "--codes", codes, "pc.d88"}).out);
  EXPECT_EQ(renamed[0]["files"][0]["name"], "NEW");
  // --mode auto still refuses, and its JSON error carries the reasons.
  const Result r = Zelvo({"ls", "--mode", "auto", "--json", "--codes", codes, "noise.2d"});
  EXPECT_EQ(r.code, 1);
  const auto error = JsonLines(r.out);
  ASSERT_EQ(error.size(), 1u);
  EXPECT_NE(error[0]["error"].get<std::string>(), "");
  EXPECT_GT(error[0]["reasons"].size(), 2u);
}

// A file is named as stored, as ls shows it, or plain; a name that fits two files is refused with
// their rows and nothing changes.
TEST_F(ScriptingTest, FilesAreNamedAsShownStoredOrPlain) {
  VolumeBuilder volume = ThreeFiles();
  volume.AddFile(File("ab", Pattern(20, 7)));
  volume.AddFile(File("AB", Pattern(30, 8)));
  const std::string path = WriteImage(volume, "disk.d88", true, 0);
  for (const std::string& name : {FullWidth("FILE1"), std::string("file1"), std::string("#1")}) {
    SCOPED_TRACE(name);
    const Result r = Zelvo({"export", "--codes", codes, "disk.d88", name, "-"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_TRUE(testsupport::BytesEqual(Pattern(1000, 1), Bytes(r.out)));
  }
  const std::vector<uint8_t> before = testimg::ReadFile(path);
  for (const std::string verb : {"export", "rm"}) {
    SCOPED_TRACE(verb);
    std::vector<std::string> args = {verb, "--codes", codes, "disk.d88", "Ab"};
    if (verb == "rm") args.insert(args.begin() + 1, "--yes");
    const Result r = Zelvo(args);
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("(#3, #4)"), std::string::npos) << r.err;
    EXPECT_TRUE(testsupport::BytesEqual(before, testimg::ReadFile(path)));
  }
}

// ls --json: the rows as shown, and each file and the volume as typed values.
TEST_F(ScriptingTest, LsJsonTypesFilesAndVolume) {
  VolumeBuilder volume;
  volume.SetDate(0x99, 0x12, 0x31);
  FileSpec game = File("GAME", Pattern(0x100, 1));
  game.lock = 1;
  game.start = 0x1200;
  game.exec = 0x1234;
  game.date[0] = 0x24, game.date[1] = 0x01, game.date[2] = 0x02;
  volume.AddFile(game);
  FileSpec odd = File("ODD", Pattern(1, 1), 2);
  odd.date[0] = 0x2A;  // no BCD
  volume.AddFile(odd);
  WriteImage(volume, "disk.d88", true, 0);
  const auto out = JsonLines(Zelvo({"ls", "--json", "--codes", codes, "disk.d88"}).out);
  ASSERT_EQ(out.size(), 1u);
  const nlohmann::json& files = out[0]["files"];
  ASSERT_EQ(files.size(), 2u);
  EXPECT_EQ(files[0], nlohmann::json::parse(R"({"name":"GAME","type":"OBJ","locked":true,
      "start":4608,"end":4863,"length":256,"exec":4660,"date":"2024-01-02","track":2,
      "sector":1,"damaged":false,"bad_sectors":0,"missing_sectors":0})"));
  EXPECT_EQ(files[1]["type"], "TEX");
  EXPECT_TRUE(files[1]["date"].is_null());
  EXPECT_EQ(out[0]["volume"]["date"], "1999-12-31");
  EXPECT_EQ(out[0]["volume"]["number"], 0);
  EXPECT_TRUE(out[0]["volume"]["exdir"].is_null());
  EXPECT_EQ(out[0]["rows"][0][1], "OBJ*");
}

// check over several images: one JSON line each, exit 1 when any is not clean.
TEST_F(ScriptingTest, CheckSeveralImagesAsJsonLines) {
  WriteImage(ThreeFiles(), "good.d88", true, 0);
  Noise();
  Result r = Zelvo({"check", "--json", "good.d88", "missing.d88", "noise.2d"});
  EXPECT_EQ(r.code, 1);
  const auto lines = JsonLines(r.out);
  ASSERT_EQ(lines.size(), 3u) << r.out;
  EXPECT_EQ(lines[0]["clean"], true);
  EXPECT_NE(lines[1]["error"].get<std::string>(), "");
  EXPECT_EQ(lines[2]["clean"], false);
  r = Zelvo({"check", "good.d88", "good.d88"});
  EXPECT_EQ(r.code, 0);
  EXPECT_EQ(r.out, "good.d88:\nno inconsistencies found\n\ngood.d88:\nno inconsistencies found\n");
}

// Ascii import reads UTF-8 text with LF ends into code page 932 with CR LF before TBL3; a
// character with no single-byte form is refused naming its line. The type is TEX unless given,
// and a replaced file's type wins.
TEST_F(ScriptingTest, AsciiImportReadsTheHostsText) {
  const std::string path = WriteImage(ThreeFiles(), "disk.d88", true, 0);
  const struct {
    std::string text;
    std::vector<std::string> options;
    std::string stored;  // empty: refused
    uint8_t type;
  } cases[] = {
      {"A\xEF\xBD\xB1\n", {}, std::string("a\xB1\r\r\0", 5), 2},
      {"A\xB1\r\n", {}, std::string("a\xB1\r\r\0", 5), 2},
      {"A\xEF\xBD\xB1\n",
       {"--encoding", "cp932", "--eol", "crlf"},
       std::string("a\xEF\xBD\xB1\r\r\0", 7),
       2},
      {"A\n", {"--type", "OBJ"}, std::string("a\r\r\0", 4), 1},
      {"A\n", {"--replace", "--name", "FILE0"}, std::string("a\r\r\0", 4), 1},
      {"ok\n\xE3\x81\x82\n", {}, "", 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    WriteImage(ThreeFiles(), "disk.d88", true, 0);
    const std::vector<uint8_t> before = testimg::ReadFile(path);
    testimg::WriteFile(Path("in.txt"), Bytes(c.text));
    std::vector<std::string> args = {"import", "--yes", "--ascii", "--codes", codes};
    args.insert(args.end(), c.options.begin(), c.options.end());
    if (c.options.empty() || c.options[0] != "--replace") args.insert(args.end(), {"--name", "T"});
    args.insert(args.end(), {"disk.d88", "in.txt"});
    const Result r = Zelvo(args);
    if (c.stored.empty()) {
      char refusal[256];
      std::snprintf(refusal, sizeof refusal, kMsgImportNoSingleByte, 2L, 0x3042UL);
      EXPECT_EQ(r.code, 1);
      EXPECT_NE(r.err.find(Utf8(refusal)), std::string::npos) << r.err;
      EXPECT_TRUE(testsupport::BytesEqual(before, testimg::ReadFile(path)));
      continue;
    }
    ASSERT_EQ(r.code, 0) << r.err;
    const auto volume = VolumeOf(testimg::ReadFile(path), true, 0);
    const bool replaced = !c.options.empty() && c.options[0] == "--replace";
    const uint8_t* entry = volume.data() + 16 * 256 + (replaced ? 0 : 3) * 32;
    EXPECT_EQ(entry[0], c.type);
    const size_t at = (entry[30] * 16 + entry[31] - 1) * 256;
    EXPECT_TRUE(testsupport::BytesEqual(
        Bytes(c.stored),
        std::vector<uint8_t>(volume.begin() + at, volume.begin() + at + c.stored.size())));
  }
}

// --yes asks nothing and says what was written in one line; --quiet says nothing; --date and
// SOURCE_DATE_EPOCH give every file the same date.
TEST_F(ScriptingTest, QuietAndReproducibleWrites) {
  WriteImage(ThreeFiles(), "disk.d88", true, 0);
  testimg::WriteFile(Path("a.bin"), Pattern(10, 1));
  testimg::WriteFile(Path("b.bin"), Pattern(10, 2));
  Result r = Zelvo({"rm", "--yes", "--codes", codes, "disk.d88", "FILE0"});
  EXPECT_EQ(r.code, 0);
  EXPECT_EQ(r.err, "zelvo: disk.d88: deleted FILE0\n");
  r = Zelvo({"import", "-q", "--yes", "--codes", codes, "--date", "99/12/31", "disk.d88", "a.bin",
             "b.bin"});
  EXPECT_EQ(r.code, 0);
  EXPECT_EQ(r.err + r.out, "");
  setenv("SOURCE_DATE_EPOCH", "946684799", 1);  // 1999-12-31 23:59:59 UTC
  r = Zelvo({"import", "--yes", "--codes", codes, "--name", "C", "disk.d88", "a.bin"});
  EXPECT_EQ(r.code, 0);
  EXPECT_EQ(r.err.find("Confirm"), std::string::npos) << r.err;
  r = Zelvo({"new", "-q", "new.d88"});
  unsetenv("SOURCE_DATE_EPOCH");
  EXPECT_EQ(r.code, 0);
  EXPECT_EQ(r.out + r.err, "");
  const auto listed = JsonLines(Zelvo({"ls", "--json", "--codes", codes, "disk.d88"}).out);
  ASSERT_EQ(listed.size(), 1u);
  for (const auto& file : listed[0]["files"])
    if (file["name"] != "FILE1" && file["name"] != "FILE2") {
      EXPECT_EQ(file["date"], "1999-12-31");
    }
  const auto made = JsonLines(Zelvo({"ls", "--json", "--codes", codes, "new.d88"}).out);
  ASSERT_EQ(made.size(), 1u);
  EXPECT_EQ(made[0]["volume"]["date"], "1999-12-31");
}

}  // namespace
}  // namespace clitest
