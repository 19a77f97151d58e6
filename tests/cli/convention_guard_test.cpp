// zelvo's writing verbs under the guard: a disk recorded under the other convention is refused
// with exit 1 and left byte-identical; --any-convention writes anyway.
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

// Three files and a deleted one: a volume identify places clearly.
VolumeBuilder Recorded() {
  VolumeBuilder v;
  v.SetDate(0x24, 0x05, 0x01);
  for (int i = 0; i < 3; i++)
    v.AddFile(FileSpec{.name = "FILE" + std::to_string(i), .data = Pattern(500 + 900 * i, i)});
  v.AddFile(FileSpec{.name = "GONE", .data = Pattern(256, 9)});
  v.Entry(3)[0] = 0;
  return v;
}

class ConventionGuardCliTest : public CliTest {};

TEST_F(ConventionGuardCliTest, WritingVerbsRefuseTheOtherConvention) {
  testimg::WriteFile(Path("hello.txt"), Bytes("hello\n"));
  testimg::WriteFile(Path("two.txt"), Bytes("two\n"));
  testimg::WriteFile(Path("sector.bin"), Pattern(256, 4));
  const std::vector<std::vector<std::string>> verbs = {
      {"import", "IMAGE", "hello.txt"},
      {"import", "--replace", "--name", "FILE0", "IMAGE", "hello.txt"},
      {"import", "IMAGE", "hello.txt", "two.txt"},
      {"rm", "IMAGE", "#0"},
      {"rename", "IMAGE", "#0", "NEW"},
      {"attr", "--lock", "IMAGE", "#0"},
      {"undelete", "IMAGE", "#d0"},
      {"patch", "IMAGE", "2", "1", "sector.bin"},
      {"check", "--repair", "--free-unowned", "IMAGE"},
  };
  // Each verb once under each convention (the containers are the operations' own tests): an MZ
  // flat image read as PC, a PC D88 image read as MZ.
  for (const int recorded : {0, 1}) {
    const bool d88 = recorded == 1;
    const std::string image = d88 ? "guard.d88" : "guard.2d";
    const char* open = recorded == 1 ? "mz" : "pc";
    const std::string refusal =
        Utf8(kCaptionError) + ": " + Utf8(recorded == 1 ? kMsgRecordedPc : kMsgRecordedMz);
    for (const auto& verb : verbs) {
      SCOPED_TRACE(image + " " + open + " " + verb[0] + " " + verb[1]);
      const std::string path = WriteImage(Recorded(), image, d88, recorded);
      const std::vector<uint8_t> before = testimg::ReadFile(path);
      std::vector<std::string> args = {verb[0], "--yes", "--mode", open};
      if (verb[0] != "check") args.insert(args.end(), {"--codes", codes});
      for (size_t k = 1; k < verb.size(); k++) args.push_back(verb[k] == "IMAGE" ? image : verb[k]);
      const Result r = Zelvo(args);
      EXPECT_EQ(r.code, 1) << r.err;
      // check --repair of a volume read as noise may stop at its own refusal first.
      if (verb[0] != "check") {
        EXPECT_NE(r.err.find(refusal), std::string::npos) << r.err;
      }
      EXPECT_TRUE(testsupport::BytesEqual(before, testimg::ReadFile(path)));
    }
  }
}

// The rare disk that fools identify: --any-convention writes under the convention given.
TEST_F(ConventionGuardCliTest, AnyConventionWrites) {
  testimg::WriteFile(Path("sector.bin"), Pattern(256, 4));
  const std::string path = WriteImage(Recorded(), "any.d88", true, 1);
  const std::vector<uint8_t> before = testimg::ReadFile(path);
  const Result r = Zelvo({"patch", "--yes", "--mode", "mz", "--any-convention", "--codes", codes,
                          "any.d88", "40", "1", "sector.bin"});
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_NE(testimg::ReadFile(path), before);
}

}  // namespace
}  // namespace clitest
