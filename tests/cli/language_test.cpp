// The language of zelvo's messages: English outside Japan, the program's Japanese under a
// Japanese locale or ZELVO_LANG=ja, the same exit codes in both.
#include <cstdlib>
#include <string>
#include <vector>

#include "cli/cli_fixture.h"

namespace clitest {
namespace {

using testimg::FileSpec;
using testsupport::Pattern;

class LanguageTest : public CliTest {
 protected:
  void SetUp() override {
    CliTest::SetUp();
    testimg::VolumeBuilder v;
    v.AddFile(FileSpec{.name = "HELLO", .data = Pattern(256, 2)});
    WriteImage(v, "disk.d88", true, 0);
    testimg::WriteFile(Path("big.bin"), Pattern(70000, 3));
    testimg::WriteFile(Path("small.bin"), Pattern(100, 4));
  }
  // Runs zelvo with the language environment given (an empty value unsets the variable).
  Result In(const std::vector<std::pair<const char*, const char*>>& env,
            const std::vector<std::string>& args) {
    for (const char* name : {"ZELVO_LANG", "LC_ALL", "LC_MESSAGES", "LANG"}) unsetenv(name);
    for (const auto& [name, value] : env) setenv(name, value, 1);
    const Result result = Zelvo(args);
    for (const char* name : {"ZELVO_LANG", "LC_ALL", "LC_MESSAGES", "LANG"}) unsetenv(name);
    setenv("ZELVO_LANG", "ja", 1);
    return result;
  }
};

bool HasNonAscii(const std::string& text) {
  for (unsigned char c : text)
    if (c >= 0x80) return true;
  return false;
}

// Every situation that prints a message: English output holds no character outside ASCII (the
// data here is ASCII), Japanese output is the program's own text, exit codes agree.
TEST_F(LanguageTest, EveryMessageInTheChosenLanguage) {
  const std::vector<std::vector<std::string>> situations = {
      {"ls", "--codes", codes, "notes.txt"},                         // extension
      {"ls", "--codes", codes, "missing.d88"},                       // read failure
      {"import", "--yes", "--codes", codes, "disk.d88", "big.bin"},  // too big, with a number
      {"import", "--codes", codes, "disk.d88", "small.bin"},         // the question, answered No
      {"import", "--yes", "--codes", codes, "--name", "BAD NAME", "disk.d88", "small.bin"},
      {"import", "--yes", "--codes", codes, "--type", "XYZ", "disk.d88", "small.bin"},
      {"new", "disk.d88"},  // the file exists, with its name
  };
  for (const auto& args : situations) {
    const std::vector<uint8_t> before = testimg::ReadFile(Path("disk.d88"));
    const Result en = In({{"LANG", "en_US.UTF-8"}}, args);
    const Result none = In({}, args);
    const Result ja = In({{"ZELVO_LANG", "ja"}}, args);
    const Result locale = In({{"LC_ALL", "ja_JP.UTF-8"}, {"LANG", "en_US.UTF-8"}}, args);
    EXPECT_FALSE(HasNonAscii(en.err)) << args[0] << ": " << en.err;
    EXPECT_EQ(none.err, en.err) << "no locale is English";
    EXPECT_TRUE(HasNonAscii(ja.err)) << args[0] << ": " << ja.err;
    EXPECT_EQ(locale.err, ja.err) << "LC_ALL decides before LANG";
    EXPECT_EQ(en.code, ja.code) << args[0];
    EXPECT_NE(0, en.code) << args[0];
    EXPECT_EQ(before, testimg::ReadFile(Path("disk.d88"))) << "a refusal writes nothing";
  }
}

TEST_F(LanguageTest, AnUnknownZelvoLangIsIgnoredWithAWarning) {
  const std::vector<std::string> args = {"ls", "--codes", codes, "notes.txt"};
  const Result r = In({{"ZELVO_LANG", "fr"}, {"LANG", "ja_JP.UTF-8"}}, args);
  const Result ja = In({{"ZELVO_LANG", "ja"}}, args);
  EXPECT_EQ(r.err, "zelvo: ZELVO_LANG=fr is neither ja nor en: ignored\n" + ja.err);
  EXPECT_EQ(r.code, ja.code);
}

}  // namespace
}  // namespace clitest
