// zelvo check --repair: the bit table mended from the directory, and never a repair by guessing.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli_fixture.h"

namespace clitest {
namespace {

using testimg::FileSpec;
using testimg::VolumeBuilder;
using testsupport::Pattern;

VolumeBuilder Sound() {
  VolumeBuilder v;
  v.SetExdir(40, 1);
  v.AddFile(FileSpec{.name = "ALPHA", .data = Pattern(900, 1)});
  v.AddFile(FileSpec{.name = "BETA", .type = 2, .data = Pattern(3000, 2)});
  v.AddFile(FileSpec{.name = "GAMMA", .data = Pattern(300, 3), .slot = 70});
  return v;
}

using RepairTest = CliTest;

// A broken bit table repaired is the correct one, byte for byte, in both conventions; sectors
// that nothing owns are freed only when asked, and the system tracks never.
TEST_F(RepairTest, ARepairedBitTableIsTheCorrectOne) {
  for (int mode = 0; mode < 2; ++mode) {
    const std::string m = mode ? "pc" : "mz";
    SCOPED_TRACE(m);
    const VolumeBuilder sound = Sound();
    WriteImage(sound, "sound.d88", true, mode);
    const std::vector<uint8_t> expected = testimg::ReadFile(Path("sound.d88"));

    VolumeBuilder broken = Sound();
    broken.MarkFree(2 * 16 + 1, 5);   // ALPHA's last sector and into BETA
    broken.MarkFree(40 * 16 + 2, 3);  // the extended directory
    WriteImage(broken, "broken.d88", true, mode);
    EXPECT_EQ(Zelvo({"check", "--mode", m, "broken.d88"}).code, 1);
    Result r = Zelvo({"check", "--mode", m, "--repair", "--yes", "broken.d88"});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_TRUE(testsupport::BytesEqual(expected, testimg::ReadFile(Path("broken.d88"))));
    EXPECT_EQ(Zelvo({"check", "--mode", m, "broken.d88"}).code, 0);

    VolumeBuilder unowned = Sound();
    unowned.MarkUsed(60 * 16, 4);
    WriteImage(unowned, "unowned.d88", true, mode);
    const std::vector<uint8_t> before = testimg::ReadFile(Path("unowned.d88"));
    r = Zelvo({"check", "--mode", m, "--repair", "--yes", "unowned.d88"});
    EXPECT_EQ(r.code, 0) << r.err;  // nothing owned is free: nothing to mend
    EXPECT_TRUE(testsupport::BytesEqual(before, testimg::ReadFile(Path("unowned.d88"))));
    r = Zelvo({"check", "--mode", m, "--repair", "--free-unowned", "--yes", "unowned.d88"});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_TRUE(testsupport::BytesEqual(expected, testimg::ReadFile(Path("unowned.d88"))));
  }
}

// Cross-linked files, a run leaving the disk, an answer No: the image stays as it was (exit 1).
TEST_F(RepairTest, CrossLinksAndRefusalsChangeNothing) {
  VolumeBuilder shared = Sound();
  shared.AddFile(FileSpec{
      .name = "OVER", .data = Pattern(600, 4), .track = 2, .sector = 3, .markUsed = false});
  shared.MarkFree(40 * 16, 8);
  VolumeBuilder outside = Sound();
  outside.AddFile(FileSpec{
      .name = "FAR", .data = {}, .length = 0x300, .track = 84, .sector = 1, .markUsed = false});
  outside.MarkFree(40 * 16, 8);
  VolumeBuilder broken = Sound();
  broken.MarkFree(40 * 16, 8);
  WriteImage(shared, "shared.2d", false, 0);
  WriteImage(outside, "outside.2d", false, 0);
  WriteImage(broken, "broken.2d", false, 0);
  const std::vector<std::vector<std::string>> refused = {
      {"check", "--repair", "--yes", "--free-unowned", "shared.2d"},
      {"check", "--repair", "--yes", "outside.2d"},
      {"check", "--repair", "broken.2d"},  // no terminal: the question is No
  };
  for (const auto& args : refused) {
    const std::string image = args.back();
    SCOPED_TRACE(image);
    const std::vector<uint8_t> before = testimg::ReadFile(Path(image));
    EXPECT_EQ(Zelvo(args).code, 1);
    EXPECT_TRUE(testsupport::BytesEqual(before, testimg::ReadFile(Path(image))));
  }
}

}  // namespace
}  // namespace clitest
