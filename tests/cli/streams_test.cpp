// zelvo export and import through standard output and standard input ("-").
#include "cli_fixture.h"
#include "support/test_support.h"
#include "texts/texts.h"

namespace clitest {
namespace {

using testimg::FileSpec;
using testimg::VolumeBuilder;
using testsupport::Pattern;

class StreamsTest : public CliTest {};

TEST_F(StreamsTest, ExportDashWritesOnlyTheFileBytesToStandardOutput) {
  VolumeBuilder volume;
  volume.AddFile(FileSpec{.name = "GAME", .data = Pattern(700, 4)});
  WriteImage(volume, "disk.d88", true, 0);
  const Result r = Zelvo({"export", "--codes", codes, "disk.d88", "GAME", "-"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(Bytes(r.out), Pattern(700, 4));
  EXPECT_FALSE(testimg::FileExists(Path("-")));
}

TEST_F(StreamsTest, ImportDashReadsStandardInputUnderTheGivenName) {
  const std::string path = WriteImage(VolumeBuilder(), "disk.d88", true, 0);
  testimg::WriteFile(Path("in.bin"), Pattern(300, 6));
  input = Path("in.bin");
  Result r = Zelvo({"import", "--yes", "--codes", codes, "--name", "PIPED", "disk.d88", "-"});
  ASSERT_EQ(r.code, 0) << r.err;
  input = "/dev/null";
  r = Zelvo({"export", "--codes", codes, "disk.d88", "PIPED", "-"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(Bytes(r.out), Pattern(300, 6));
}

// Refusals before anything is read or written: the image stays byte for byte.
TEST_F(StreamsTest, ImportDashRefusalsLeaveTheImageAlone) {
  const std::string path = WriteImage(VolumeBuilder(), "disk.d88", true, 0);
  const std::vector<uint8_t> before = testimg::ReadFile(path);
  testimg::WriteFile(Path("other.bin"), Pattern(10, 1));
  struct Case {
    std::vector<std::string> args;
    std::string input;
    int code;
  } const cases[] = {
      {{"import", "--yes", "--codes", codes, "disk.d88", "-"}, "other.bin", 2},  // no --name
      {{"import", "--yes", "--codes", codes, "--name", "X", "disk.d88", "-", "other.bin"},
       "other.bin",
       2},
      {{"import", "--yes", "--codes", codes, "--name", "EMPTY", "disk.d88", "-"}, "", 1},
      {{"import", "--codes", codes, "--name", "NOYES", "disk.d88", "-"}, "other.bin", 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.args));
    input = c.input.empty() ? "/dev/null" : Path(c.input);
    const Result r = Zelvo(c.args);
    EXPECT_EQ(r.code, c.code) << r.err;
    EXPECT_TRUE(testsupport::BytesEqual(before, testimg::ReadFile(path)));
  }
}

}  // namespace
}  // namespace clitest
