// zelvo ls --deleted, export of a deleted entry and zelvo undelete: a deletion undone byte for
// byte, and every refusal leaving the image as it was.
#include <gtest/gtest.h>

#include <algorithm>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "cli_fixture.h"
#include "texts/texts.h"

namespace clitest {
namespace {

using nlohmann::json;
using testimg::FileSpec;
using testimg::VolumeBuilder;
using testsupport::Pattern;

VolumeBuilder ThreeFiles() {
  VolumeBuilder v;
  v.AddFile(FileSpec{.name = "ALPHA", .data = Pattern(600, 1)});
  v.AddFile(FileSpec{.name = "BETA", .type = 2, .data = Pattern(700, 2)});
  v.AddFile(FileSpec{.name = "GAMMA", .type = 5, .data = Pattern(300, 3)});
  return v;
}

using UndeleteTest = CliTest;

// zelvo rm, then zelvo undelete with the type it had: the image is the one before the delete, in
// every layout and convention.
TEST_F(UndeleteTest, UndeleteWithItsTypeUndoesTheDelete) {
  for (const Layout& layout : kLayouts) {
    for (int mode = 0; mode < 2; ++mode) {
      const std::string name = std::string("disk") + std::to_string(mode) + layout.extension;
      SCOPED_TRACE(name);
      const std::string m = mode ? "pc" : "mz";
      WriteImage(ThreeFiles(), name, layout.d88, mode);
      const std::vector<uint8_t> before = testimg::ReadFile(Path(name));
      ASSERT_EQ(Zelvo({"rm", "--yes", "--mode", m, "--codes", codes, name, "#1"}).code, 0);
      const Result listed =
          Zelvo({"ls", "--deleted", "--json", "--mode", m, "--codes", codes, name});
      ASSERT_EQ(listed.code, 0) << listed.err;
      const json deleted = json::parse(listed.out)["deleted"];
      ASSERT_EQ(deleted.size(), 1u);
      EXPECT_EQ(deleted[0]["id"], "#d0");
      EXPECT_EQ(deleted[0]["verdict"], "recoverable");
      const Result r =
          Zelvo({"undelete", "--yes", "--mode", m, "--codes", codes, name, "#d0", "--type", "tex"});
      EXPECT_EQ(r.code, 0) << r.err;
      EXPECT_TRUE(testsupport::BytesEqual(before, testimg::ReadFile(Path(name))));
    }
  }
}

// Two files deleted, then a larger file imported over the first and into the second: the one left
// deleted is partly overwritten, refused by undelete, and still exported with a word on what it
// holds.
TEST_F(UndeleteTest, AnOverwrittenFileIsReportedAndRefused) {
  WriteImage(ThreeFiles(), "disk.d88", true, 0);
  ASSERT_EQ(Zelvo({"rm", "--yes", "--codes", codes, "disk.d88", "ALPHA", "BETA"}).code, 0);
  testimg::WriteFile(Path("host.bin"), Pattern(1000, 9));
  ASSERT_EQ(Zelvo({"import", "--yes", "--codes", codes, "disk.d88", "host.bin"}).code, 0);
  const json deleted = json::parse(
      Zelvo({"ls", "--deleted", "--json", "--codes", codes, "disk.d88"}).out)["deleted"];
  ASSERT_EQ(deleted.size(), 1u);
  EXPECT_EQ(deleted[0]["verdict"], "partly overwritten");
  EXPECT_EQ(deleted[0]["claimed_by_files"], 1);
  EXPECT_TRUE(deleted[0].contains("owner"));
  const std::vector<uint8_t> before = testimg::ReadFile(Path("disk.d88"));
  Result r = Zelvo({"undelete", "--yes", "--codes", codes, "disk.d88", "#d0"});
  EXPECT_EQ(r.code, 1);
  EXPECT_TRUE(testsupport::BytesEqual(before, testimg::ReadFile(Path("disk.d88"))));

  r = Zelvo({"export", "--codes", codes, "disk.d88", "#d0"});
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out, FullWidth("BETA") + ".DEL\n");
  EXPECT_NE(r.err.find(Utf8(kCaptionDeleted)), std::string::npos) << r.err;
  const std::vector<uint8_t> exported = testimg::ReadFile(Path(FullWidth("BETA") + ".DEL"));
  ASSERT_EQ(exported.size(), 700u);
  // Its last sectors were never reused: they still hold the old bytes.
  const std::vector<uint8_t> old = Pattern(700, 2);
  EXPECT_TRUE(std::equal(exported.begin() + 256, exported.end(), old.begin() + 256));
}

// A name taken by a live file, an entry that does not exist, an answer No: each leaves the image
// as it was.
TEST_F(UndeleteTest, RefusalsLeaveTheImageAsItWas) {
  WriteImage(ThreeFiles(), "disk.2d", false, 0);
  ASSERT_EQ(Zelvo({"rm", "--yes", "--codes", codes, "disk.2d", "BETA"}).code, 0);
  const std::vector<uint8_t> before = testimg::ReadFile(Path("disk.2d"));
  const std::vector<std::vector<std::string>> refused = {
      {"undelete", "--yes", "--codes", codes, "disk.2d", "#d0", "--name", "alpha"},
      {"undelete", "--yes", "--codes", codes, "disk.2d", "#d1"},
      {"undelete", "--codes", codes, "disk.2d", "#d0"},  // no terminal: the question is No
      {"export", "--codes", codes, "disk.2d", "#d4"},
  };
  for (const auto& args : refused) {
    const Result r = Zelvo(args);
    EXPECT_EQ(r.code, 1) << args[5] << " " << r.err;
    EXPECT_TRUE(testsupport::BytesEqual(before, testimg::ReadFile(Path("disk.2d"))));
  }
  EXPECT_EQ(Zelvo({"undelete", "--yes", "disk.2d", "#x"}).code, 2);
  EXPECT_EQ(Zelvo({"undelete", "--yes", "disk.2d", "#d0", "--type", "BAS"}).code, 2);
  // Under another name it comes back.
  const Result r =
      Zelvo({"undelete", "--yes", "--codes", codes, "disk.2d", "#d0", "--name", "DELTA"});
  EXPECT_EQ(r.code, 0) << r.err;
  const json rows = json::parse(Zelvo({"ls", "--json", "--codes", codes, "disk.2d"}).out)["rows"];
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[1][0], FullWidth("DELTA"));
}

}  // namespace
}  // namespace clitest
