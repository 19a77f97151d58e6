// The outcome keeps the first messages said, each text whole in both languages, and counts the
// ones it has no room for.
#include "texts/outcome.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>

#include "texts/texts.h"

namespace {

std::string Formatted(const char* format, const std::string& argument) {
  char text[kMessageCapacity];
  std::snprintf(text, sizeof text, format, argument.c_str());
  return text;
}

std::string Name(int i) { return "DISK" + std::to_string(i) + ".D88"; }

// Outcomes are large: the tests keep theirs off the stack.
std::unique_ptr<Outcome> Fresh() {
  auto outcome = std::make_unique<Outcome>();
  OutcomeClear(outcome.get());
  return outcome;
}

TEST(OutcomeTest, KeepsTheFirstSixtyFourInOrderAndCountsTheRest) {
  for (const int said : {50, 64, 65, 70}) {
    SCOPED_TRACE(said);
    auto out = Fresh();
    for (int i = 0; i < said; i++)
      Say(out.get(), kCaptionError, kMsgNewImageExists, Name(i).c_str());
    const int kept = said < kOutcomeMessages ? said : kOutcomeMessages;
    ASSERT_EQ(out->count, kept);
    EXPECT_EQ(out->dropped, said - kept);
    for (int i = 0; i < kept; i++) {
      EXPECT_EQ(out->messages[i].format, kMsgNewImageExists);
      EXPECT_EQ(out->messages[i].caption, kCaptionError);
      EXPECT_EQ(OutcomeText(out.get(), i), Formatted(kMsgNewImageExists, Name(i)));
      EXPECT_EQ(OutcomeTextEn(out.get(), i), Formatted(kMsgNewImageExistsEn, Name(i)));
    }
  }
}

TEST(OutcomeTest, AMessageTheFullPoolCannotHoldIsDroppedWithEveryLaterOne) {
  auto out = Fresh();
  // Messages of two long texts until the pool has no room for the next.
  const std::string path(3000, 'p');
  int kept = 0;
  while (out->dropped == 0) {
    Say(out.get(), kCaptionError, kMsgNewImageExists, (path + std::to_string(kept)).c_str());
    if (out->dropped == 0) kept++;
  }
  ASSERT_GT(kept, 0);
  ASSERT_LT(kept, kOutcomeMessages);
  Say(out.get(), kCaptionError, kMsgFileEmpty);  // short enough, but after a dropped one
  EXPECT_EQ(out->count, kept);
  EXPECT_EQ(out->dropped, 2);
  for (int i = 0; i < kept; i++) {
    const std::string name = path + std::to_string(i);
    EXPECT_EQ(OutcomeText(out.get(), i), Formatted(kMsgNewImageExists, name));
    EXPECT_EQ(OutcomeTextEn(out.get(), i), Formatted(kMsgNewImageExistsEn, name));
  }
  // A cleared outcome has its whole pool again.
  OutcomeClear(out.get());
  SayText(out.get(), kCaptionError, kMsgFileEmpty, kMsgFileEmpty);
  ASSERT_EQ(out->count, 1);
  EXPECT_EQ(out->dropped, 0);
  EXPECT_STREQ(OutcomeText(out.get(), 0), kMsgFileEmpty);
  EXPECT_STREQ(OutcomeTextEn(out.get(), 0), kMsgFileEmptyEn);
}

TEST(OutcomeTest, AMessageHoldsAFullHostPathAndCutsLongerTexts) {
  const std::string full(4095, 'f');
  const std::string longer(2 * kMessageCapacity, 'x');
  struct Case {
    const char* what;
    std::string text;
    std::string shown;
  } const cases[] = {
      {"a full path", Formatted(kMsgNewImageExists, full), Formatted(kMsgNewImageExists, full)},
      {"too long", longer, longer.substr(0, kMessageCapacity - 1)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    auto out = Fresh();
    // A text of no table is its own English.
    SayText(out.get(), kCaptionError, kMsgNewImageExists, c.text.c_str());
    SayText(out.get(), kCaptionError, kMsgFileEmpty, kMsgFileEmpty);
    ASSERT_EQ(out->count, 2);
    EXPECT_EQ(OutcomeText(out.get(), 0), c.shown);
    EXPECT_EQ(OutcomeTextEn(out.get(), 0), c.shown);
    EXPECT_STREQ(OutcomeTextEn(out.get(), 1), kMsgFileEmptyEn);
  }
}

}  // namespace
