// zelvo sectors: the bytes as the volume reads them, and the owner of each sector.
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

using SectorsTest = CliTest;

TEST_F(SectorsTest, RawBytesAreTheVolumesAndEachSectorNamesItsOwner) {
  VolumeBuilder v;
  v.SetExdir(10, 1);
  v.AddFile(FileSpec{.name = "ALPHA", .data = Pattern(600, 1)});
  v.MarkUsed(50 * 16, 1);
  for (int mode = 0; mode < 2; ++mode) {
    SCOPED_TRACE(mode);
    const std::string m = mode ? "pc" : "mz";
    WriteImage(v, "disk.d88", true, mode);
    Result r =
        Zelvo({"sectors", "--raw", "--mode", m, "--codes", codes, "disk.d88", "0x2", "1", "3"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(Bytes(r.out),
              std::vector<uint8_t>(v.bytes.begin() + 32 * 256, v.bytes.begin() + 35 * 256));

    const struct {
      const char* track;
      const char* sector;
      std::string owner;
    } owners[] = {{"0", "2", Utf8(kSectorOwnerBitTable)},
                  {"0", "5", Utf8(kSectorOwnerSystem)},
                  {"1", "8", Utf8(kSectorOwnerDirectory)},
                  {"10", "8", Utf8(kSectorOwnerExdir)},
                  {"2", "3", "ＡＬＰＨＡ"},
                  {"50", "1", Utf8(kSectorOwnerUnowned)},
                  {"2", "4", Utf8(kSectorOwnerFree)}};
    for (const auto& o : owners) {
      r = Zelvo({"sectors", "--mode", m, "--codes", codes, "disk.d88", o.track, o.sector});
      ASSERT_EQ(r.code, 0) << r.err;
      const std::string heading = r.out.substr(0, r.out.find('\n'));
      EXPECT_NE(heading.find(o.owner), std::string::npos) << heading;
      EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 17);
    }
  }
  EXPECT_EQ(Zelvo({"sectors", "disk.d88", "83", "16", "2"}).code, 2);
  EXPECT_EQ(Zelvo({"sectors", "disk.d88", "1", "0"}).code, 2);
  EXPECT_EQ(Zelvo({"sectors", "disk.d88", "x1", "1"}).code, 2);
}

}  // namespace
}  // namespace clitest
