// zelvo convert end to end: what ls shows survives every conversion into every container, in
// both conventions (the operation's own cases are in the unit tests).
#include <string>

#include "cli/cli_fixture.h"

namespace clitest {
namespace {

testimg::VolumeBuilder VolumeWithFiles() {
  testimg::VolumeBuilder v;
  v.SetDate(0x24, 0x05, 0x01).SetDiskName("CONVERTED");
  for (int i = 0; i < 4; i++) {
    testimg::FileSpec f;
    f.name = "FILE" + std::to_string(i);
    f.data = testsupport::Pattern(200 + 700 * i, i);
    v.AddFile(f);
  }
  return v;
}

class ConvertCli : public CliTest {};

TEST_F(ConvertCli, EveryConversionListsTheSameFiles) {
  const std::string source = WriteImage(VolumeWithFiles(), "source.d88", true, 0);
  const Result before = Zelvo({"ls", "--codes", codes, source});
  ASSERT_EQ(before.code, 0) << before.err;
  for (const char* extension : {".2d", ".imd", ".hfe", ".d88"})
    for (const char* toMode : {"mz", "pc"}) {
      SCOPED_TRACE(std::string(extension) + " " + toMode);
      const std::string target = Path(std::string("t_") + toMode + extension);
      const Result converted = Zelvo({"convert", "--to-mode", toMode, source, target});
      ASSERT_EQ(converted.code, 0) << converted.err;
      EXPECT_EQ(converted.out, target + "\n");
      const Result after = Zelvo({"ls", "--codes", codes, "--mode", toMode, target});
      ASSERT_EQ(after.code, 0) << after.err;
      EXPECT_EQ(after.out, before.out);
    }
}

// Like new and export, join says the path it wrote, and only that.
TEST_F(ConvertCli, JoinPrintsTheWrittenPath) {
  WriteImage(VolumeWithFiles(), "a.d88", true, 0);
  WriteImage(VolumeWithFiles(), "b.2d", false, 1);
  const Result joined = Zelvo({"join", "both.d88", "a.d88", "b.2d"});
  ASSERT_EQ(joined.code, 0) << joined.err;
  EXPECT_EQ(joined.out, "both.d88\n");
  EXPECT_TRUE(testimg::FileExists(Path("both.d88")));
}

}  // namespace
}  // namespace clitest
