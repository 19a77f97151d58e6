// The two-language table of texts: both forms of every text, ids from the very pointers, and the
// generator that keeps texts.h in step with texts.txt.
#include "texts/texts.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "support/test_support.h"
#include "transfer/attribute_checks.h"

#ifndef _WIN32
#include <sys/wait.h>  // WEXITSTATUS
#endif

namespace {

std::vector<std::string> Conversions(const std::string& text) {
  static const std::regex kConversion(
      "%(%|[-+ #0]*(\\*|[0-9]+)?(\\.(\\*|[0-9]+)?)?(hh|h|ll|l|L|j|z|t)?[diouxXeEfFgGaAcspn])");
  std::vector<std::string> found;
  for (std::sregex_iterator it(text.begin(), text.end(), kConversion), end; it != end; ++it)
    if (it->str() != "%%") found.push_back(it->str());
  return found;
}

TEST(TextTable, EveryTextHasAnEnglishFormWithTheSameConversionsAndItsOwnId) {
  std::set<std::string> names;
  for (unsigned i = 0; i < static_cast<unsigned>(TextId::kCount); ++i) {
    const TextEntry& t = kTextTable[i];
    SCOPED_TRACE(t.name);
    const std::string en = t.en;
    ASSERT_FALSE(en.empty());
    // A menu item's text holds a tab before its key.
    for (unsigned char c : en)
      EXPECT_TRUE(c == '\n' || c == '\t' || (c >= 0x20 && c < 0x80)) << int(c);
    EXPECT_EQ(Conversions(t.ja), Conversions(en));
    EXPECT_TRUE(names.insert(t.name).second) << "name given twice";
    const TextId id = TextIdOf(t.ja);
    ASSERT_EQ(i, static_cast<unsigned>(id));
    EXPECT_EQ(t.ja, TextJa(id));
    EXPECT_EQ(t.en, TextEn(id));
    EXPECT_EQ(TextIdOf(t.en), TextId::kCount);
  }
  EXPECT_EQ(TextIdOf(std::string(kMsgDiskFull).c_str()), TextId::kCount);  // a copy: no id
  EXPECT_STREQ("", TextName(TextId::kCount));
}

// The core's own translation units hand out the same arrays as this one.
TEST(TextTable, PointersFromTheCoreFindTheirIds) {
  AttributeTexts attributes{};
  std::memset(attributes.name, 'A', 17);
  uint8_t entry[32] = {};
  AttributeCheckFailure failure{};
  ASSERT_EQ(-1, CheckAttributeTexts(attributes, nullptr, 0, entry, &failure));
  EXPECT_EQ(TextId::kCaptionFileName, TextIdOf(failure.caption));
}

#ifndef _WIN32
// Exit status of the generator run with `arguments`; its error output lands in `errors`.
int Generate(const std::string& arguments, const std::string& errors) {
  const std::string command =
      "python3 '" ZELVO_SOURCE_DIR "/tools/gen_texts.py' " + arguments + " 2>'" + errors + "'";
  const int status = std::system(command.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(TextTable, HeaderIsWhatTheGeneratorMakesOfTheTable) {
  testsupport::TempDir temp;
  EXPECT_EQ(0, Generate("--check", temp.Path("errors")));
}

TEST(TextGenerator, RefusesAFaultyTableNamingLineAndText) {
  const struct {
    const char* table;
    const char* fault;
  } kCases[] = {
      {"kA\tA\tA\nkB\tB\n", "texts.txt:2: kB: no English form"},
      {"# comment\nkA\t%s (%d)\t%d (%s)\n", "texts.txt:2: kA: printf conversions differ"},
      {"kA\t%ld\t%d\n", "texts.txt:1: kA: printf conversions differ"},
      {"kA\tA\tA\nkB\tB\tB\nkA\tC\tC\n", "texts.txt:3: kA: name given twice (first on line 1)"},
      {"kA\t100%\t100%\n", "texts.txt:1: kA: a '%' that is no printf conversion"},
      {"kA\tA\tA\nkAEn\tB\tB\n", "texts.txt:2: kAEn: clashes with the English form of kA"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.table);
    testsupport::TempDir temp;
    std::ofstream(temp.Path("texts.txt")) << c.table;
    EXPECT_EQ(1, Generate("--input '" + temp.Path("texts.txt") + "' --output '" +
                              temp.Path("texts.h") + "'",
                          temp.Path("errors")));
    std::ifstream errors(temp.Path("errors"));
    const std::string said((std::istreambuf_iterator<char>(errors)), {});
    EXPECT_NE(std::string::npos, said.find(c.fault)) << said;
    EXPECT_FALSE(std::ifstream(temp.Path("texts.h")).good()) << "a header was written";
  }
}
#endif

}  // namespace
