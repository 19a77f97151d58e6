// zelvo patch: a host file written as volume bytes from a sector on, and every refusal leaving the
// image byte for byte as it was.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "cli_fixture.h"
#include "texts/texts.h"

namespace clitest {
namespace {

using testimg::FileSpec;
using testimg::VolumeBuilder;
using testsupport::Pattern;

using PatchTest = CliTest;

VolumeBuilder OneFile() {
  VolumeBuilder v;
  v.AddFile(FileSpec{.name = "ALPHA", .data = Pattern(600, 1)});
  return v;
}

// The volume afterwards is the volume before with exactly those sectors replaced, in every layout
// and convention; sectors reads them back and no journal is left.
TEST_F(PatchTest, WritesVolumeBytesFromTheSectorOnAndNothingElse) {
  const std::vector<uint8_t> host = Pattern(3 * 256, 7);
  testimg::WriteFile(Path("host.bin"), host);
  for (const Layout& layout : kLayouts) {
    for (int mode = 0; mode < 2; ++mode) {
      const std::string name = std::string("disk") + std::to_string(mode) + layout.extension;
      SCOPED_TRACE(name);
      const std::string m = mode ? "pc" : "mz";
      WriteImage(OneFile(), name, layout.d88, mode);
      std::vector<uint8_t> expected = VolumeOf(testimg::ReadFile(Path(name)), layout.d88, mode);
      // Trk02 Sct0F on: the run crosses into track 3.
      std::copy(host.begin(), host.end(), expected.begin() + (2 * 16 + 14) * 256);
      const Result r =
          Zelvo({"patch", "--yes", "--mode", m, "--codes", codes, name, "0x2", "15", "host.bin"});
      ASSERT_EQ(r.code, 0) << r.err;
      EXPECT_TRUE(testsupport::BytesEqual(
          expected, VolumeOf(testimg::ReadFile(Path(name)), layout.d88, mode)));
      EXPECT_FALSE(testimg::FileExists(Path(name + "-journal")));
      const Result back =
          Zelvo({"sectors", "--raw", "--mode", m, "--codes", codes, name, "2", "15", "3"});
      EXPECT_EQ(Bytes(back.out), host);
    }
  }
}

TEST_F(PatchTest, EveryRefusalLeavesTheImageAsItWas) {
  testimg::WriteFile(Path("one.bin"), Pattern(256, 3));
  testimg::WriteFile(Path("two.bin"), Pattern(512, 4));
  testimg::WriteFile(Path("odd.bin"), Pattern(300, 5));
  testimg::WriteFile(Path("empty.bin"), {});
  testimg::ImageSpec plain;
  plain.d88 = true;
  plain.machineMode = 1;
  testimg::ImageSpec guarded = plain;
  guarded.d88WriteProtect = 0x10;
  testimg::ImageSpec holed = plain;
  holed.absentTracks = {60};
  const struct {
    const char* what;
    const testimg::ImageSpec& shape;
    std::vector<std::string> args;
    int code;
    const char* message;  // in the standard error, or null
  } cases[] = {
      {"not whole sectors", plain, {"--yes", "2", "1", "odd.bin"}, 1, kMsgPatchBadSize},
      {"empty", plain, {"--yes", "2", "1", "empty.bin"}, 1, kMsgPatchBadSize},
      {"past the end", plain, {"--yes", "83", "16", "two.bin"}, 1, nullptr},
      {"write-protected", guarded, {"--yes", "2", "1", "one.bin"}, 1, nullptr},
      {"sector missing", holed, {"--yes", "60", "1", "one.bin"}, 1, nullptr},
      {"answered No", plain, {"2", "1", "one.bin"}, 1, nullptr},
      {"sector 0", plain, {"--yes", "2", "0", "one.bin"}, 2, nullptr},
      {"track 84", plain, {"--yes", "84", "1", "one.bin"}, 2, nullptr},
      {"no host file", plain, {"--yes", "2", "1", "none.bin"}, 2, nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const std::vector<uint8_t> before = testimg::BuildImage(OneFile(), c.shape);
    testimg::WriteFile(Path("disk.d88"), before);
    std::vector<std::string> args = {"patch", "--mode", "pc", "--codes", codes, "disk.d88"};
    if (c.args[0] == "--yes") args.insert(args.begin() + 1, "--yes");
    args.insert(args.end(), c.args.begin() + (c.args[0] == "--yes" ? 1 : 0), c.args.end());
    const Result r = Zelvo(args);
    EXPECT_EQ(r.code, c.code) << r.err;
    if (c.message) {
      const std::string text = Utf8(c.message);
      EXPECT_NE(r.err.find(text.substr(text.find("。") + 3, 24)), std::string::npos) << r.err;
    }
    EXPECT_TRUE(testsupport::BytesEqual(before, testimg::ReadFile(Path("disk.d88"))));
    EXPECT_FALSE(testimg::FileExists(Path("disk.d88-journal")));
  }
}

}  // namespace
}  // namespace clitest
