// The crash sweep, from outside the process: the real `zelvo import --yes` (into a flat image, a
// D88, an HFE and an IMD that grows) is stopped at its N-th write system call, for every N until
// it completes, once before the call writes anything and once after it wrote half of its bytes;
// then `zelvo ls` opens the image (and recovers it). The image is byte for byte the image before
// the import or the image after a complete one, and no journal is left. A write that fails
// instead leaves the image as before at once.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "cli_fixture.h"
#include "support/image_builder.h"
#include "support/test_support.h"

#ifndef ZELVO_STOP_LIBRARY
#error ZELVO_STOP_LIBRARY must name the preloaded stopping library
#endif

namespace {

using Bytes = std::vector<uint8_t>;
using testsupport::Pattern;

constexpr int kStopped = 86;  // the exit code of a process the library stopped
constexpr int kMaxWrites = 200;

struct Scenario {
  const char* what;
  bool d88;
  int mode;
  bool exdir;  // the main directory is full: the new entry goes into the extended directory
  const char* convertTo = nullptr;  // the D88 converted to ".hfe" or ".imd": decoded writes
};

void PrintTo(const Scenario& s, std::ostream* os) { *os << s.what; }

testimg::VolumeBuilder Volume(bool exdir) {
  testimg::VolumeBuilder v;
  int files = 0;
  auto add = [&](size_t bytes) {
    testimg::FileSpec f;
    f.name = "FILE" + std::to_string(files);
    f.data = Pattern(bytes, files++);
    v.AddFile(f);
  };
  if (exdir) v.SetExdir(5, 1);
  add(300);
  add(513);
  while (exdir && files < 64) add(files % 3 == 0 ? 20 : 0);
  return v;
}

class CrashSweepTest : public clitest::CliTest, public ::testing::WithParamInterface<Scenario> {
 protected:
  // Runs zelvo with the stopping library set to stop (or fail) at the n-th write.
  clitest::Result ZelvoStoppedAt(const std::vector<std::string>& args, int n, const char* how) {
    const char* asan = std::getenv("ASAN_OPTIONS");
    const std::string saved = asan ? asan : "";
    // The sanitizer runtime would refuse a library preloaded before it.
    const std::string options = (saved.empty() ? "" : saved + ":") + "verify_asan_link_order=0";
    setenv("ASAN_OPTIONS", options.c_str(), 1);
    setenv("LD_PRELOAD", ZELVO_STOP_LIBRARY, 1);
    setenv("ZELVO_STOP_AT", std::to_string(n).c_str(), 1);
    setenv("ZELVO_STOP_HOW", how, 1);
    clitest::Result result = Zelvo(args);
    unsetenv("LD_PRELOAD");
    unsetenv("ZELVO_STOP_AT");
    unsetenv("ZELVO_STOP_HOW");
    if (asan)
      setenv("ASAN_OPTIONS", saved.c_str(), 1);
    else
      unsetenv("ASAN_OPTIONS");
    return result;
  }
};

TEST_P(CrashSweepTest, ImportStoppedAtEveryWriteLeavesTheImageBeforeOrAfter) {
  const Scenario& s = GetParam();
  std::string image = WriteImage(Volume(s.exdir), s.d88 ? "disk.d88" : "disk.2d", s.d88, s.mode);
  if (s.convertTo) {
    const std::string to = Path(std::string("disk") + s.convertTo);
    const clitest::Result converted = Zelvo({"convert", image, to});
    ASSERT_EQ(0, converted.code) << converted.err;
    image = to;
  }
  const std::string journal = image + "-journal";
  const Bytes before = testimg::ReadFile(image);
  const std::string host = Path("NEW.BIN");
  testimg::WriteFile(host, Pattern(700, 9));
  const std::string mode = s.mode == 0 ? "mz" : "pc";
  const std::vector<std::string> import = {"import", "--yes",  "--codes",  codes, "--mode",
                                           mode,     "--date", "03/01/15", image, host};
  const std::vector<std::string> ls = {"ls", "--codes", codes, "--mode", mode, image};

  const clitest::Result complete = Zelvo(import);
  ASSERT_EQ(0, complete.code) << complete.err;
  const Bytes after = testimg::ReadFile(image);
  ASSERT_NE(before, after);

  for (const char* how : {"before", "half", "fail"}) {
    int n = 1;
    for (; n <= kMaxWrites; n++) {
      SCOPED_TRACE(std::string(how) + " write " + std::to_string(n));
      testimg::WriteFile(image, before);
      std::remove(journal.c_str());
      const clitest::Result run = ZelvoStoppedAt(import, n, how);
      if (run.code == 0) {
        EXPECT_EQ(after, testimg::ReadFile(image)) << "a complete import";
        EXPECT_FALSE(testimg::FileExists(journal));
        break;
      }
      if (std::string(how) == "fail") {
        // The failure is reported and the change rolled back at once.
        ASSERT_EQ(1, run.code) << run.err;
        EXPECT_EQ(before, testimg::ReadFile(image)) << "after a failed write";
        EXPECT_FALSE(testimg::FileExists(journal));
        continue;
      }
      ASSERT_EQ(kStopped, run.code) << run.err;
      const clitest::Result listed = Zelvo(ls);
      EXPECT_EQ(0, listed.code) << listed.err;
      const Bytes now = testimg::ReadFile(image);
      EXPECT_TRUE(now == before || now == after) << "a torn image after the recovery";
      EXPECT_FALSE(testimg::FileExists(journal));
    }
    EXPECT_LE(n, kMaxWrites) << how << ": the import never completed";
    EXPECT_GT(n, 3) << how << ": too few writes were stopped";
  }
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, CrashSweepTest,
    ::testing::Values(Scenario{"FlatMz", false, 0, false}, Scenario{"FlatPc", false, 1, false},
                      Scenario{"D88Mz", true, 0, false}, Scenario{"D88Pc", true, 1, false},
                      Scenario{"FlatMzExdir", false, 0, true},
                      Scenario{"FlatPcExdir", false, 1, true},
                      Scenario{"D88MzExdir", true, 0, true}, Scenario{"D88PcExdir", true, 1, true},
                      Scenario{"HfePcExdir", true, 1, true, ".hfe"},
                      Scenario{"ImdMz", true, 0, false, ".imd"}),
    [](const auto& info) { return std::string(info.param.what); });

}  // namespace
