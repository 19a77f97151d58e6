#include "flows/attribute_dialog.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "flows/app_state.h"
#include "support/test_support.h"
#include "texts/texts.h"

namespace {

// ---- The formatted-input conversion ----------------------------------------------------------

struct ScanCase {
  const char* text;
  int width;
  int converted;
  int value;
};

TEST(ScanHex, ReadsLikeTheFormattedInputConversion) {
  const std::vector<ScanCase> cases = {
      {"1500", 4, 1, 0x1500},  {"ffff", 4, 1, 0xFFFF},   {"12G4", 4, 1, 0x12},
      {"12345", 4, 1, 0x1234}, {"    ", 4, 0, 0},        {"", 4, 0, 0},
      {" 123", 4, 1, 0x123},   {"\t\n\v\f\r7", 2, 1, 7}, {"    12", 2, 1, 0x12},
      {"-001", 4, 1, -1},      {"+FFF", 4, 1, 0xFFF},    {"-", 4, 0, 0},
      {"- 1", 4, 0, 0},        {"0x12", 4, 1, 0x12},     {"0X1G", 4, 1, 1},
      {"0x", 4, 0, 0},         {"0xzz", 4, 0, 0},        {"0x1", 2, 0, 0},
      {"0x", 1, 1, 0},         {"-0x1", 4, 1, -1},       {"-0x1", 3, 0, 0},
      {"00x1", 4, 1, 0},       {"G", 2, 0, 0},           {"3", 2, 1, 3},
      {"1F", 2, 1, 0x1F},      {"x1", 2, 0, 0},          {"+-1", 4, 0, 0},
  };
  for (const ScanCase& c : cases) {
    int value = 12345;
    EXPECT_EQ(ScanHex(c.text, c.width, &value), c.converted) << '"' << c.text << '"';
    if (c.converted) {
      EXPECT_EQ(value, c.value) << '"' << c.text << '"';
    } else {
      EXPECT_EQ(value, 12345) << "no value is stored for \"" << c.text << '"';
    }
  }
}

// ---- The checks ------------------------------------------------------------------------------

std::vector<uint8_t> Directory() { return std::vector<uint8_t>(4096, 0); }

void PutEntry(std::vector<uint8_t>& dir, int slot, uint8_t type, const std::string& name) {
  uint8_t* e = dir.data() + slot * 32;
  e[0] = type;
  std::memset(e + 1, 0x0D, 17);
  std::memcpy(e + 1, name.data(), name.size());
}

struct Texts {
  std::string name = "HELLO.TXT";
  const char* type = "OBJ";
  std::string start = "1500", exec = "0000", year = "03", month = "01", day = "05";
  bool lock = false;
};

AttributeTexts Make(const Texts& t) {
  AttributeTexts a{};
  std::snprintf(a.name, sizeof a.name, "%s", t.name.c_str());
  a.typeItem = t.type;
  std::snprintf(a.start, sizeof a.start, "%s", t.start.c_str());
  std::snprintf(a.exec, sizeof a.exec, "%s", t.exec.c_str());
  std::snprintf(a.year, sizeof a.year, "%s", t.year.c_str());
  std::snprintf(a.month, sizeof a.month, "%s", t.month.c_str());
  std::snprintf(a.day, sizeof a.day, "%s", t.day.c_str());
  a.lockSelected = t.lock;
  return a;
}

std::string BadChar(char c) {
  char text[256];
  std::snprintf(text, sizeof text, kMsgNameBadChar, c);
  return text;
}

struct FailCase {
  const char* what;
  Texts texts;
  std::string message;
  const char* caption;
};

TEST(CheckAttributeTexts, EachFailureWithItsMessage) {
  auto with = [](auto change) {
    Texts t;
    change(t);
    return t;
  };
  const std::vector<FailCase> cases = {
      {"17 allowed characters", with([](Texts& t) { t.name = "ABCDEFGHIJKLMNOPQ"; }),
       kMsgNameTooLong, kCaptionFileName},
      {"17 characters with a blank", with([](Texts& t) { t.name = "ABCDEFGH JKLMNOPQ"; }),
       kMsgNameTooLong, kCaptionFileName},
      {"a blank", with([](Texts& t) { t.name = "MY FILE"; }), BadChar(' '), kCaptionFileName},
      {"a symbol", with([](Texts& t) { t.name = "A-B"; }), BadChar('-'), kCaptionFileName},
      {"a byte above 0x7F", with([](Texts& t) { t.name = "A\x82\xA0"; }), BadChar('\x82'),
       kCaptionFileName},
      {"duplicate in another case", with([](Texts& t) { t.name = "README.TXT"; }),
       kMsgNameDuplicate, kCaptionFileName},
      {"no type selected", with([](Texts& t) { t.type = nullptr; }), kMsgBadType, kCaptionError},
      {"unknown type", with([](Texts& t) { t.type = "XYZ"; }), kMsgBadType, kCaptionError},
      {"type in lower case", with([](Texts& t) { t.type = "obj"; }), kMsgBadType, kCaptionError},
      {"start of three digits", with([](Texts& t) { t.start = "150"; }), kMsgBadStart,
       kCaptionError},
      {"start of five digits", with([](Texts& t) { t.start = "15000"; }), kMsgBadStart,
       kCaptionError},
      {"start of four blanks", with([](Texts& t) { t.start = "    "; }), kMsgBadStart,
       kCaptionError},
      {"start 0x alone", with([](Texts& t) { t.start = "0xzz"; }), kMsgBadStart, kCaptionError},
      {"exec not hex", with([](Texts& t) { t.exec = "GGGG"; }), kMsgBadExec, kCaptionError},
      {"exec empty", with([](Texts& t) { t.exec = ""; }), kMsgBadExec, kCaptionError},
      {"year of one digit", with([](Texts& t) { t.year = "3"; }), kMsgBadYear, kCaptionError},
      {"month not hex", with([](Texts& t) { t.month = "MM"; }), kMsgBadMonth, kCaptionError},
      {"day of three digits", with([](Texts& t) { t.day = "011"; }), kMsgBadDay, kCaptionError},
  };
  std::vector<uint8_t> dir = Directory();
  PutEntry(dir, 3, 2, "readme.txt");
  for (const FailCase& c : cases) {
    uint8_t entry[32] = {};
    AttributeCheckFailure failure{};
    ASSERT_EQ(CheckAttributeTexts(Make(c.texts), dir.data(), 64, entry, &failure), -1) << c.what;
    EXPECT_EQ(std::string(failure.text), c.message) << c.what;
    EXPECT_STREQ(failure.caption, c.caption) << c.what;
  }
}

struct PassCase {
  const char* what;
  Texts texts;
  std::vector<uint8_t> name;  // the 16 stored bytes
  uint8_t type;
  unsigned start, exec;
  uint8_t date[3];
  uint8_t lock;
};

std::vector<uint8_t> Stored(const std::string& name) {
  std::vector<uint8_t> out(16, 0x0D);
  std::memcpy(out.data(), name.data(), name.size());
  return out;
}

TEST(CheckAttributeTexts, AcceptedValuesAreStored) {
  auto with = [](auto change) {
    Texts t;
    change(t);
    return t;
  };
  const std::vector<PassCase> cases = {
      {"defaults", Texts{}, Stored("HELLO.TXT"), 1, 0x1500, 0x0000, {0x03, 0x01, 0x05}, 0},
      {"sixteen characters",
       with([](Texts& t) { t.name = "ABCDEFGHIJKLMNOP"; }),
       Stored("ABCDEFGHIJKLMNOP"),
       1,
       0x1500,
       0,
       {3, 1, 5},
       0},
      {"empty name", with([](Texts& t) { t.name = ""; }), Stored(""), 1, 0x1500, 0, {3, 1, 5}, 0},
      {"type by its first three characters",
       with([](Texts& t) { t.type = "RDD "; }),
       Stored("HELLO.TXT"),
       6,
       0x1500,
       0,
       {3, 1, 5},
       0},
      {"hex digits stop the number",
       with([](Texts& t) { t.start = "12G4"; }),
       Stored("HELLO.TXT"),
       1,
       0x0012,
       0,
       {3, 1, 5},
       0},
      {"lower case hex",
       with([](Texts& t) { t.exec = "ffff"; }),
       Stored("HELLO.TXT"),
       1,
       0x1500,
       0xFFFF,
       {3, 1, 5},
       0},
      {"a negative start keeps its low byte",
       with([](Texts& t) { t.start = "-001"; }),
       Stored("HELLO.TXT"),
       1,
       0x00FF,
       0,
       {3, 1, 5},
       0},
      {"leading blank inside four characters",
       with([](Texts& t) { t.exec = " 1F0"; }),
       Stored("HELLO.TXT"),
       1,
       0x1500,
       0x01F0,
       {3, 1, 5},
       0},
      {"dates are not range checked",
       with([](Texts& t) {
         t.month = "13";
         t.day = "1F";
         t.year = "99";
       }),
       Stored("HELLO.TXT"),
       1,
       0x1500,
       0,
       {0x99, 0x13, 0x1F},
       0},
      {"lock",
       with([](Texts& t) { t.lock = true; }),
       Stored("HELLO.TXT"),
       1,
       0x1500,
       0,
       {3, 1, 5},
       1},
      {"name only differing from a free slot",
       with([](Texts& t) { t.name = "GONE"; }),
       Stored("GONE"),
       1,
       0x1500,
       0,
       {3, 1, 5},
       0},
      {"name of a slot past the entry count",
       with([](Texts& t) { t.name = "FAR"; }),
       Stored("FAR"),
       1,
       0x1500,
       0,
       {3, 1, 5},
       0},
      {"a prefix of a used name",
       with([](Texts& t) { t.name = "READ"; }),
       Stored("READ"),
       1,
       0x1500,
       0,
       {3, 1, 5},
       0},
  };
  std::vector<uint8_t> dir = Directory();
  PutEntry(dir, 3, 2, "readme.txt");
  PutEntry(dir, 4, 0, "GONE");  // a free slot does not count
  PutEntry(dir, 64, 1, "FAR");  // beyond EntryCount 64
  for (const PassCase& c : cases) {
    uint8_t entry[32];
    std::memset(entry, 0xA5, sizeof entry);
    entry[18] = 0;
    AttributeCheckFailure failure{};
    ASSERT_EQ(CheckAttributeTexts(Make(c.texts), dir.data(), 64, entry, &failure), 0)
        << c.what << ": " << failure.text;
    EXPECT_EQ(std::vector<uint8_t>(entry + 1, entry + 17), c.name) << c.what;
    EXPECT_EQ(entry[0], c.type) << c.what;
    EXPECT_EQ(entry[22] + 256u * entry[23], c.start) << c.what;
    EXPECT_EQ(entry[24] + 256u * entry[25], c.exec) << c.what;
    EXPECT_EQ(entry[26], c.date[0]) << c.what;
    EXPECT_EQ(entry[27], c.date[1]) << c.what;
    EXPECT_EQ(entry[28], c.date[2]) << c.what;
    EXPECT_EQ(entry[18], c.lock) << c.what;
    // Never written: length, order, the name terminator, the reserved byte, track and sector.
    for (int i : {17, 19, 20, 21, 29, 30, 31}) EXPECT_EQ(entry[i], 0xA5) << c.what << " byte " << i;
  }
}

TEST(CheckAttributeTexts, EmptyNameClashesWithAnEmptyUsedName) {
  std::vector<uint8_t> dir = Directory();
  PutEntry(dir, 127, 9, "");  // type 9 counts as used; slot 127 is inside 128 entries
  Texts t;
  t.name = "";
  uint8_t entry[32] = {};
  AttributeCheckFailure failure{};
  EXPECT_EQ(CheckAttributeTexts(Make(t), dir.data(), 64, entry, &failure), 0);
  ASSERT_EQ(CheckAttributeTexts(Make(t), dir.data(), 128, entry, &failure), -1);
  EXPECT_EQ(std::string(failure.text), kMsgNameDuplicate);
}

TEST(CheckAttributeTexts, PassedStepsKeepTheirWritesOnAFailure) {
  Texts t;
  t.name = "AB";
  t.type = "CMD";
  t.start = "1234";
  t.month = "1";
  uint8_t entry[32] = {};
  AttributeCheckFailure failure{};
  ASSERT_EQ(CheckAttributeTexts(Make(t), Directory().data(), 64, entry, &failure), -1);
  EXPECT_EQ(std::string(failure.text), kMsgBadMonth);
  EXPECT_EQ(std::vector<uint8_t>(entry + 1, entry + 17), Stored("AB"));
  EXPECT_EQ(entry[0], 3);
  EXPECT_EQ(entry[22], 0x34);
  EXPECT_EQ(entry[23], 0x12);
  EXPECT_EQ(entry[26], 0x03);
  EXPECT_EQ(entry[27], 0x00);

  // A bad character stops after the accepted bytes, the rest being 0x0D.
  t.name = "XY Z";
  ASSERT_EQ(CheckAttributeTexts(Make(t), Directory().data(), 64, entry, &failure), -1);
  EXPECT_EQ(std::vector<uint8_t>(entry + 1, entry + 17), Stored("XY"));
}

// ---- The dialog on the scripted platform -----------------------------------------------------

class AttributeDialogTest : public testsupport::AppTest {
 protected:
  void SetUp() override {
    AppTest::SetUp();
    App.EntryCount = 64;
    uint8_t* e = App.PendingEntry;
    e[0] = 1;
    std::memcpy(e + 1, "verylongfilename", 16);
    e[17] = 0x0D;
    e[20] = 0x34;
    e[21] = 0x12;
    e[23] = 0x15;
    e[26] = 0x03;
    e[27] = 0x01;
    e[28] = 0x05;
    e[30] = 0x02;
    e[31] = 0x10;
  }
  intptr_t Run() {
    return PlatformDialogBox(scripted::kMainWindow, kAttributeDialogId, AttributeDialogProc);
  }
};

TEST_F(AttributeDialogTest, OpensWithTheEntry) {
  scripted::DialogCommand(2);
  EXPECT_EQ(Run(), 2);
  const auto& texts = scripted::DialogInitialTexts();
  const std::map<int, std::string> expected = {
      {kCtlName, "verylongfilename"},
      {kCtlStart, "1500"},
      {kCtlExec, "0000"},
      {kCtlLength, "1234"},
      {kCtlYear, "03"},
      {kCtlMonth, "01"},
      {kCtlDay, "05"},
      {kCtlTrk, "02"},
      {kCtlSct, "10"},
  };
  EXPECT_EQ(texts, expected);
  EXPECT_FALSE(scripted::DialogChecked(kCtlLock));
  EXPECT_TRUE(scripted::DialogChecked(kCtlUnlock));
  EXPECT_EQ(scripted::DialogComboItems(kCtlType),
            (std::vector<std::string>{"OBJ", "TEX", "CMD", "REL", "SCD", "RDD"}));
  EXPECT_EQ(scripted::DialogComboSelected(kCtlType), 0);
  EXPECT_TRUE(scripted::Boxes().empty());
}

TEST_F(AttributeDialogTest, NameStopsAtTheFirstZeroByte) {
  std::memset(App.PendingEntry + 1, 0, 16);
  std::memcpy(App.PendingEntry + 1, "a.b", 3);
  App.PendingEntry[18] = 1;
  App.PendingEntry[0] = 5;
  Run();
  EXPECT_EQ(scripted::DialogInitialTexts().at(kCtlName), "a.b");
  EXPECT_TRUE(scripted::DialogChecked(kCtlLock));
  EXPECT_FALSE(scripted::DialogChecked(kCtlUnlock));
  EXPECT_EQ(scripted::DialogComboSelected(kCtlType), 4);
}

TEST_F(AttributeDialogTest, OkWithTheDefaultsWritesTheEntry) {
  scripted::DialogCommand(1);
  EXPECT_EQ(Run(), 1);
  EXPECT_TRUE(scripted::Boxes().empty());
  const uint8_t expected[32] = {1,    'v',  'e', 'r', 'y',  'l',  'o',  'n', 'g',  'f',  'i',
                                'l',  'e',  'n', 'a', 'm',  'e',  0x0D, 0,   0,    0x34, 0x12,
                                0x00, 0x15, 0,   0,   0x03, 0x01, 0x05, 0,   0x02, 0x10};
  EXPECT_EQ(std::memcmp(App.PendingEntry, expected, 32), 0);
}

TEST_F(AttributeDialogTest, FailedCheckStaysOpenUntilCorrected) {
  scripted::DialogSetText(kCtlName, "BAD NAME");
  scripted::DialogCommand(1);
  scripted::DialogSetText(kCtlName, "good.name");
  scripted::DialogSetText(kCtlType, "TEX");  // typed text does not count, only the selection
  scripted::DialogSelectCombo(kCtlType, 3);
  scripted::DialogCheck(kCtlLock, true);
  scripted::DialogCheck(kCtlUnlock, false);
  scripted::DialogSetText(kCtlExec, "abcd");
  scripted::DialogCommand(1);
  EXPECT_EQ(Run(), 1);
  ASSERT_EQ(scripted::Boxes().size(), 1u);
  EXPECT_EQ(scripted::Boxes()[0].text, BadChar(' '));
  EXPECT_EQ(scripted::Boxes()[0].caption, kCaptionFileName);
  EXPECT_EQ(scripted::Boxes()[0].owner, scripted::kDialogWindow);
  EXPECT_EQ(scripted::Boxes()[0].flags, kMbOk);
  const uint8_t* e = App.PendingEntry;
  EXPECT_EQ(std::vector<uint8_t>(e + 1, e + 17), Stored("good.name"));
  EXPECT_EQ(e[0], 4);
  EXPECT_EQ(e[18], 1);
  EXPECT_EQ(e[24], 0xCD);
  EXPECT_EQ(e[25], 0xAB);
}

TEST_F(AttributeDialogTest, NoSelectedTypeFails) {
  scripted::DialogSelectCombo(kCtlType, -1);
  scripted::DialogCommand(1);
  scripted::DialogCommand(2);
  EXPECT_EQ(Run(), 2);
  ASSERT_EQ(scripted::Boxes().size(), 1u);
  EXPECT_EQ(scripted::Boxes()[0].text, kMsgBadType);
  EXPECT_EQ(scripted::Boxes()[0].caption, kCaptionError);
}

TEST_F(AttributeDialogTest, TypingIntoTheTypeFieldLeavesNoItemSelected) {
  // The list item OBJ is selected; typing a type name into the edit field does not select REL.
  scripted::DialogSetText(kCtlType, "REL");
  scripted::DialogCommand(1);
  scripted::DialogSelectCombo(kCtlType, 1);
  scripted::DialogCommand(1);
  EXPECT_EQ(Run(), 1);
  ASSERT_EQ(scripted::Boxes().size(), 1u);
  EXPECT_EQ(scripted::Boxes()[0].text, kMsgBadType);
  EXPECT_EQ(scripted::Boxes()[0].caption, kCaptionError);
  EXPECT_EQ(App.PendingEntry[0], 2);
  EXPECT_EQ(scripted::DialogText(kCtlType), "TEX");  // the picked item now shows in the field
}

TEST_F(AttributeDialogTest, LockAndUnlockExcludeEachOther) {
  // Lock clicked, then unlock: the entry stays unlocked, as the import built it.
  scripted::DialogCheck(kCtlLock, true);
  scripted::DialogCheck(kCtlUnlock, true);
  scripted::DialogCommand(1);
  EXPECT_EQ(Run(), 1);
  EXPECT_FALSE(scripted::DialogChecked(kCtlLock));
  EXPECT_EQ(App.PendingEntry[18], 0);

  scripted::DialogCheck(kCtlLock, true);
  scripted::DialogCommand(1);
  EXPECT_EQ(Run(), 1);
  EXPECT_FALSE(scripted::DialogChecked(kCtlUnlock));
  EXPECT_EQ(App.PendingEntry[18], 1);
}

TEST_F(AttributeDialogTest, DuplicateAgainstTheLoadedDirectory) {
  App.DirectoryBuffer[5 * 32] = 1;
  std::memcpy(App.DirectoryBuffer + 5 * 32 + 1, "VERYLONGFILENAME", 16);
  scripted::DialogCommand(1);
  EXPECT_EQ(Run(), 2);  // the steps ran out: cancelled
  ASSERT_EQ(scripted::Boxes().size(), 1u);
  EXPECT_EQ(scripted::Boxes()[0].text, kMsgNameDuplicate);
}

TEST_F(AttributeDialogTest, OtherMessagesAndControlsAreNotHandled) {
  EXPECT_EQ(AttributeDialogProc(scripted::kDialogWindow, 0x0002, 0, 0), 0);
  EXPECT_EQ(AttributeDialogProc(scripted::kDialogWindow, kWmCommand, kCtlName, 0), 0);
  // Only the low 16 bits of the first parameter name the control: this is Cancel.
  EXPECT_NE(AttributeDialogProc(scripted::kDialogWindow, kWmCommand, 0x00010002u, 0), 0);
}

}  // namespace
