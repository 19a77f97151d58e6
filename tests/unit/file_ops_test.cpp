// Delete, attributes and replace: the pure steps as tables over builder volumes, then the
// commands on flat and D88 images under MZ and PC, compared byte for byte.
#include "volume/file_ops.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "flows/attribute_dialog.h"
#include "flows/delete_files.h"
#include "flows/edit_attributes.h"
#include "flows/volume_load.h"
#include "support/image_builder.h"
#include "support/test_support.h"
#include "texts/texts.h"
#include "transfer/import.h"
#include "volume/app_state.h"
#include "volume/layout.h"

namespace {

using testimg::FileSpec;
using testimg::ImageSpec;
using testimg::VolumeBuilder;
using testsupport::Pattern;

constexpr int kSys = 256;  // the system area's offset in the volume bytes

// A file described by its entry alone: its run marked used, no data.
FileSpec At(const std::string& name, int track, int sector, int length, uint8_t order = 0) {
  FileSpec f;
  f.name = name;
  f.track = track;
  f.sector = sector;
  f.length = length;
  f.order = order;
  return f;
}

int Add(VolumeBuilder& v, const FileSpec& f, bool mark = true) {
  const int slot = v.AddFile(f);
  const int first = f.track * 16 + f.sector - 1;
  const int n = (f.length + 255) / 256;
  for (int i = first; mark && i < first + n && i < testimg::kVolumeSectors; ++i)
    if (i >= 0) v.MarkUsed(i);
  return slot;
}

// The builder numbers a run by its first index; this entry keeps the track and sector as given.
void Raw(VolumeBuilder& v, const FileSpec& f) {
  const int slot = Add(v, f);
  v.Entry(slot)[kEntryTrk] = static_cast<uint8_t>(f.track);
  v.Entry(slot)[kEntrySct] = static_cast<uint8_t>(f.sector);
}

// ---- DeleteSlots: which bits are freed, which bytes stay -------------------------------------

struct DeleteCase {
  const char* what;
  std::function<void(VolumeBuilder&)> build;  // files in slots 0, 1, ...
  std::vector<int> slots;                     // to delete
  std::set<int> freed;                        // the bits that become 0
  int halves;
};

TEST(DeleteSlots, Table) {
  const std::vector<DeleteCase> cases = {
      {"one file, two sectors",
       [](VolumeBuilder& v) { Add(v, At("A", 2, 1, 300)); },
       {0},
       {32, 33},
       1},
      {"length read high byte first",
       [](VolumeBuilder& v) { Add(v, At("A", 2, 1, 0x0201, 1)); },  // 513 bytes: 3 sectors
       {0},
       {32, 33, 34},
       1},
      {"a run shared with a file that stays",
       [](VolumeBuilder& v) {
         Add(v, At("A", 2, 1, 768));  // 32-34
         Add(v, At("B", 2, 3, 512));  // 34-35
       },
       {0},
       {32, 33},
       1},
      {"both files of a shared run",
       [](VolumeBuilder& v) {
         Add(v, At("A", 2, 1, 768));
         Add(v, At("B", 2, 3, 512));
       },
       {0, 1},
       {32, 33, 34, 35},
       1},
      {"the extended directory's sectors stay used",
       [](VolumeBuilder& v) {
         v.SetExdir(3, 1);                 // 48-55
         Add(v, At("A", 2, 9, 16 * 256));  // 40-55
       },
       {0},
       {40, 41, 42, 43, 44, 45, 46, 47},
       1},
      {"a file in the extended directory",
       [](VolumeBuilder& v) {
         v.SetExdir(10, 1);
         FileSpec f = At("X", 2, 5, 256);
         f.slot = 64;
         Add(v, f);
       },
       {64},
       {36},
       2},
      {"both halves",
       [](VolumeBuilder& v) {
         v.SetExdir(10, 1);
         Add(v, At("A", 2, 1, 256));
         FileSpec f = At("X", 2, 5, 256);
         f.slot = 64;
         Add(v, f);
       },
       {0, 64},
       {32, 36},
       3},
      {"nothing above index 1343",
       [](VolumeBuilder& v) {
         Add(v, At("A", 83, 15, 1024));  // 1342-1345
         v.MarkUsed(1344, 2);
       },
       {0},
       {1342, 1343},
       1},
      {"a run starting on track 1 frees no bit",
       [](VolumeBuilder& v) { Add(v, At("A", 1, 16, 1024)); },  // 31-34
       {0},
       {},
       1},
      {"sector 0 frees no bit", [](VolumeBuilder& v) { Raw(v, At("A", 3, 0, 512)); }, {0}, {}, 1},
      {"sector 17 frees no bit", [](VolumeBuilder& v) { Raw(v, At("A", 3, 17, 512)); }, {0}, {}, 1},
      {"track 84 frees no bit",
       [](VolumeBuilder& v) { Add(v, At("A", 84, 1, 256), false); },
       {0},
       {},
       1},
      {"length 0", [](VolumeBuilder& v) { Add(v, At("A", 2, 1, 0)); }, {0}, {}, 1},
      {"a file beyond the entry count is no file (no extended directory)",
       [](VolumeBuilder& v) {
         Add(v, At("A", 2, 1, 256));
         v.SetExdir(10, 1);
         FileSpec f = At("X", 2, 1, 256);  // covers the same sector from slot 64
         f.slot = 64;
         Add(v, f);
         v.SetExdir(0xFF, 0xFF, false);
       },
       {0},
       {32},
       1},
      {"a free slot changes nothing",
       [](VolumeBuilder& v) { Add(v, At("A", 2, 1, 256)); },
       {5},
       {},
       0},
      {"the same slot twice",
       [](VolumeBuilder& v) { Add(v, At("A", 2, 1, 256)); },
       {0, 0},
       {32},
       1},
  };
  for (const DeleteCase& c : cases) {
    SCOPED_TRACE(c.what);
    VolumeBuilder v;
    c.build(v);
    const std::vector<uint8_t> before = v.bytes;
    uint8_t sys[512];
    std::memcpy(sys, v.bytes.data() + kSys, 512);
    uint8_t dir[4096] = {};
    std::memcpy(dir, v.Directory(), 2048);
    const bool exdir = sys[174] >= 1 && sys[174] <= 83 && sys[175] >= 1 && sys[175] <= 16;
    if (exdir) std::memcpy(dir + 2048, v.Sector(sys[174], sys[175]), 2048);
    const int exdirFirst = exdir ? sys[174] * 16 + sys[175] - 1 : -1;

    EXPECT_EQ(DeleteSlots(sys, dir, exdir ? 128 : 64, exdirFirst, c.slots.data(),
                          static_cast<int>(c.slots.size())),
              c.halves);

    std::vector<uint8_t> expectedSys(before.begin() + kSys, before.begin() + kSys + 512);
    for (int i : c.freed) {
      EXPECT_TRUE(v.IsUsed(i)) << i;
      expectedSys[i / 8] = static_cast<uint8_t>(expectedSys[i / 8] & ~(1 << (i % 8)));
    }
    EXPECT_TRUE(testsupport::BytesEqual(expectedSys, std::vector<uint8_t>(sys, sys + 512)));
    std::vector<uint8_t> expectedDir(dir, dir + 4096);
    std::memcpy(expectedDir.data(), v.Directory(), 2048);
    if (exdir) std::memcpy(expectedDir.data() + 2048, v.Sector(sys[174], sys[175]), 2048);
    for (int slot : c.slots)
      if (c.halves != 0) expectedDir[static_cast<size_t>(slot) * 32] = 0;  // only the type byte
    EXPECT_TRUE(testsupport::BytesEqual(expectedDir, std::vector<uint8_t>(dir, dir + 4096)));
  }
}

// A sweep over random directories and bit tables: every bit is checked against the rules one by
// one, and nothing but the chosen type bytes and freed bits changes.
TEST(DeleteSlots, RandomVolumesFollowTheRules) {
  uint32_t seed = 12345;
  auto next = [&seed] { return seed = seed * 1103515245u + 12345u, (seed >> 8) & 0xFFFF; };
  for (int round = 0; round < 600; ++round) {
    uint8_t sys[512];
    uint8_t dir[4096] = {};
    for (uint8_t& b : sys) b = static_cast<uint8_t>(next());
    const bool exdir = next() % 2 == 0;
    const int entryCount = exdir ? 128 : 64;
    const int exdirFirst = exdir ? static_cast<int>(next() % 1344) : -1;
    for (int k = 0; k < 128; ++k) {
      if (next() % 3 != 0) continue;
      uint8_t* e = dir + k * 32;
      for (int i = 0; i < 32; ++i) e[i] = static_cast<uint8_t>(next());
      e[kEntryType] = static_cast<uint8_t>(next() % 8);
      e[kEntryOrder] = static_cast<uint8_t>(next() % 3);
      e[kEntryTrk] = static_cast<uint8_t>(next() % 90);
      e[kEntrySct] = static_cast<uint8_t>(next() % 18);
      e[kEntryLength + (e[kEntryOrder] == 1 ? 0 : 1)] = static_cast<uint8_t>(next() % 12);
    }
    std::vector<int> slots;
    for (int n = static_cast<int>(next() % 4); n >= 0; --n) slots.push_back(next() % 130);
    uint8_t sysAfter[512];
    uint8_t dirAfter[4096];
    std::memcpy(sysAfter, sys, 512);
    std::memcpy(dirAfter, dir, 4096);
    DeleteSlots(sysAfter, dirAfter, entryCount, exdirFirst, slots.data(),
                static_cast<int>(slots.size()));

    std::set<int> chosen;
    for (int slot : slots)
      if (slot < entryCount && dir[slot * 32] != 0) chosen.insert(slot);
    for (int i = 0; i < 4096; ++i)
      ASSERT_EQ(dirAfter[i], i % 32 == 0 && chosen.count(i / 32) ? 0 : dir[i]) << round << " " << i;
    auto covers = [](const uint8_t* e, int index) {
      const int first = e[kEntryTrk] * 16 + e[kEntrySct] - 1;
      return index >= first && index < first + (static_cast<int>(EntryLength(e)) + 255) / 256;
    };
    for (int index = 0; index < 512 * 8; ++index) {
      bool freed = index >= 32 && index <= 1343 &&
                   !(exdirFirst >= 0 && index >= exdirFirst && index < exdirFirst + 8);
      bool inDeletedRun = false;
      for (int slot : chosen) {
        const uint8_t* e = dir + slot * 32;
        inDeletedRun |= e[kEntryTrk] >= 2 && e[kEntryTrk] <= 83 && e[kEntrySct] >= 1 &&
                        e[kEntrySct] <= 16 && covers(e, index);
      }
      freed = freed && inDeletedRun;
      for (int k = 0; k < entryCount && freed; ++k)
        freed = !(dirAfter[k * 32] != 0 && covers(dir + k * 32, index));
      const bool before = (sys[index / 8] >> (index % 8)) & 1;
      const bool after = (sysAfter[index / 8] >> (index % 8)) & 1;
      ASSERT_EQ(after, before && !freed) << "round " << round << " index " << index;
    }
  }
}

TEST(FileOps, RowsSlotsAndNames) {
  uint8_t dir[4096] = {};
  for (int slot : {2, 5, 64}) dir[slot * 32] = 1;
  std::memcpy(dir + 5 * 32 + 1, "Ab.C\x0D", 5);
  EXPECT_EQ(SlotOfRow(dir, 64, 0), 2);
  EXPECT_EQ(SlotOfRow(dir, 64, 1), 5);
  EXPECT_EQ(SlotOfRow(dir, 64, 2), -1);  // slot 64 lies beyond the entry count
  EXPECT_EQ(SlotOfRow(dir, 128, 2), 64);
  EXPECT_EQ(RowOfUsedSlot(dir, 128, 64), 2);
  EXPECT_EQ(RowOfUsedSlot(dir, 128, 3), -1);
  EXPECT_TRUE(SlotNameIs(dir, 5, "aB.c", 4));
  EXPECT_FALSE(SlotNameIs(dir, 5, "aB.", 3));
  uint8_t entry[32] = {};
  entry[kEntryOrder] = 1;
  StoreEntryWord(entry, kEntryStart, 0x1234);
  EXPECT_EQ(entry[kEntryStart], 0x12);
  entry[kEntryOrder] = 2;  // any value but 1: low byte first
  StoreEntryWord(entry, kEntryStart, 0x1234);
  EXPECT_EQ(entry[kEntryStart], 0x34);
}

// ---- The commands on images -----------------------------------------------------------------

struct Shape {
  bool d88;
  int mode;
};
const Shape kShapes[] = {{false, kModeMz}, {false, kModePc}, {true, kModeMz}, {true, kModePc}};

class FileCommandTest : public testsupport::AppTest {
 protected:
  void Load(const VolumeBuilder& v, const Shape& s) {
    volume = v;
    shape.d88 = s.d88;
    shape.machineMode = s.mode;
    image = testimg::BuildImage(v, shape);
    imagePath = UseImage(image, s.d88 ? "disk.d88" : "disk.2d", s.d88 ? kFormatD88 : kFormat2D);
    App.MachineMode = s.mode;
    LoadVolume(scripted::kMainWindow);
    ASSERT_EQ(App.VolumeLoaded, 1);
    scripted::ClearBoxes();
  }
  ::testing::AssertionResult Is(const VolumeBuilder& expected) {
    return testsupport::BytesEqual(testimg::BuildImage(expected, shape),
                                   testimg::ReadFile(imagePath));
  }
  ::testing::AssertionResult Unchanged() {
    return testsupport::BytesEqual(image, testimg::ReadFile(imagePath));
  }
  VolumeBuilder volume;
  ImageSpec shape;
  std::vector<uint8_t> image;
  std::string imagePath;
};

VolumeBuilder ThreeFiles() {
  VolumeBuilder v;
  v.SetExdir(20, 1);
  FileSpec a{.name = "HELLO", .data = Pattern(300, 1)};
  v.AddFile(a);  // slot 0, 32-33
  FileSpec b{.name = "LOCKED", .lock = 1, .data = Pattern(256, 2)};
  v.AddFile(b);  // slot 1, 34
  FileSpec c{.name = "HIGH", .order = 1, .start = 0x1234, .exec = 0xABCD, .data = Pattern(600, 3)};
  c.slot = 70;
  v.AddFile(c);  // slot 70, 35-37
  return v;
}

TEST_F(FileCommandTest, DeleteOneFileInEveryShape) {
  for (const Shape& s : kShapes) {
    SCOPED_TRACE(std::string(s.d88 ? "D88" : "2D") + (s.mode ? " PC" : " MZ"));
    Load(ThreeFiles(), s);
    scripted::AnswerBox(kIdYes);
    const int slot = 70;
    EXPECT_EQ(DeleteFiles(scripted::kMainWindow, &slot, 1), 0);
    ASSERT_EQ(scripted::Boxes().size(), 1u);
    char question[512];
    std::snprintf(question, sizeof question, kMsgDeleteOneConfirm,
                  testsupport::ShownName("HIGH", App.Tables).c_str());
    EXPECT_EQ(scripted::Boxes()[0].text, question);
    EXPECT_EQ(scripted::Boxes()[0].caption, kCaptionConfirm);
    EXPECT_EQ(scripted::Boxes()[0].flags, kMbYesNo | kMbIconQuestion);
    VolumeBuilder expected = volume;
    expected.Entry(70)[0] = 0;
    expected.MarkFree(35, 3);
    EXPECT_TRUE(Is(expected));
    EXPECT_EQ(scripted::Rows().size(), 2u);  // loaded again
  }
}

TEST_F(FileCommandTest, DeleteSeveralSelectedRowsIsOneQuestion) {
  Load(ThreeFiles(), kShapes[2]);
  scripted::SelectRows({0, 2});  // HELLO and HIGH
  scripted::AnswerBox(kIdYes);
  EXPECT_EQ(DeleteSelectedFiles(scripted::kMainWindow), 0);
  ASSERT_EQ(scripted::Boxes().size(), 1u);
  char question[512];
  std::snprintf(question, sizeof question, kMsgDeleteManyConfirm, 2);
  EXPECT_EQ(scripted::Boxes()[0].text, question);
  VolumeBuilder expected = volume;
  expected.Entry(0)[0] = 0;
  expected.Entry(70)[0] = 0;
  expected.MarkFree(32, 2).MarkFree(35, 3);
  EXPECT_TRUE(Is(expected));
}

TEST_F(FileCommandTest, RefusalsLeaveTheImage) {
  struct Case {
    const char* what;
    std::vector<int> slots;
    int answer;
    const char* box;
  };
  const Case cases[] = {
      {"locked", {1}, kIdYes, nullptr},
      {"a locked one among several", {0, 1}, kIdYes, nullptr},
      {"answered No", {0}, kIdNo, kMsgDeleteOneConfirm},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Load(ThreeFiles(), kShapes[1]);
    scripted::AnswerBox(c.answer);
    EXPECT_EQ(DeleteFiles(scripted::kMainWindow, c.slots.data(), static_cast<int>(c.slots.size())),
              -1);
    ASSERT_EQ(scripted::Boxes().size(), 1u);
    if (!c.box) {
      char message[256];
      std::snprintf(message, sizeof message, kMsgDeleteLocked,
                    testsupport::ShownName("LOCKED", App.Tables).c_str());
      EXPECT_EQ(scripted::Boxes()[0].text, message);
      EXPECT_EQ(scripted::Boxes()[0].caption, kCaptionError);
    }
    EXPECT_TRUE(Unchanged());
  }
}

TEST_F(FileCommandTest, AnImageChangedSinceTheLoadIsNotWritten) {
  Load(ThreeFiles(), kShapes[1]);
  VolumeBuilder other = volume;
  other.Entry(0)[1] = 'J';  // someone renamed HELLO
  const auto changed = testimg::BuildImage(other, shape);
  testimg::WriteFile(imagePath, changed);
  const int slot = 0;
  EXPECT_EQ(DeleteFiles(scripted::kMainWindow, &slot, 1), -1);
  ASSERT_GE(scripted::Boxes().size(), 1u);
  EXPECT_EQ(scripted::Boxes()[0].text, kMsgVolumeChanged);
  EXPECT_TRUE(testsupport::BytesEqual(changed, testimg::ReadFile(imagePath)));
}

// ---- Attributes -----------------------------------------------------------------------------

TEST_F(FileCommandTest, AttributesShowTheEntryInItsOwnOrder) {
  Load(ThreeFiles(), kShapes[3]);
  EXPECT_EQ(EditFileAttributes(scripted::kMainWindow, 70, false), -1);  // no steps: Cancel
  const std::map<int, std::string> shown = {
      {kCtlName, "HIGH"},   {kCtlStart, "1234"}, {kCtlExec, "ABCD"},
      {kCtlLength, "0258"}, {kCtlYear, "03"},    {kCtlMonth, "01"},
      {kCtlDay, "15"},      {kCtlTrk, "02"},     {kCtlSct, "04"},
  };
  EXPECT_EQ(scripted::DialogInitialTexts(), shown);
  EXPECT_TRUE(scripted::DialogChecked(kCtlUnlock));
  EXPECT_TRUE(Unchanged());
}

struct EditCase {
  const char* what;
  int slot;
  std::function<void()> steps;           // before OK
  std::function<void(uint8_t*)> expect;  // on the entry; null: the image stays
  std::vector<const char*> boxes;
};

TEST_F(FileCommandTest, AttributesTable) {
  const std::vector<EditCase> cases = {
      {"rename, type, addresses, date, lock, high byte first, extended directory",
       70,
       [] {
         scripted::DialogSetText(kCtlName, "New.1");
         scripted::DialogSelectCombo(kCtlType, 2);
         scripted::DialogSetText(kCtlStart, "1500");
         scripted::DialogSetText(kCtlExec, "00ff");
         scripted::DialogSetText(kCtlYear, "99");
         scripted::DialogCheck(kCtlLock, true);
       },
       [](uint8_t* e) {
         e[0] = 3;
         std::memcpy(e + 1, "New.1\x0D\x0D\x0D\x0D\x0D\x0D\x0D\x0D\x0D\x0D\x0D", 16);
         e[18] = 1;
         e[22] = 0x15;
         e[23] = 0x00;
         e[24] = 0x00;
         e[25] = 0xFF;
         e[26] = 0x99;
       },
       {}},
      {"unlock stores 0",
       1,
       [] { scripted::DialogCheck(kCtlUnlock, true); },
       [](uint8_t* e) { e[18] = 0; },
       {}},
      {"its own name in another case",
       0,
       [] { scripted::DialogSetText(kCtlName, "hello"); },
       [](uint8_t* e) { std::memcpy(e + 1, "hello", 5); },
       {}},
      {"another file's name is refused",
       0,
       [] {
         scripted::DialogSetText(kCtlName, "high");
         scripted::DialogCommand(kIdOk);
       },
       nullptr,
       {kMsgNameDuplicate}},
  };
  for (const EditCase& c : cases) {
    SCOPED_TRACE(c.what);
    Load(ThreeFiles(), kShapes[0]);
    c.steps();
    if (c.expect) scripted::DialogCommand(kIdOk);
    const int result = EditFileAttributes(scripted::kMainWindow, c.slot, false);
    ASSERT_EQ(scripted::Boxes().size(), c.boxes.size());
    for (size_t i = 0; i < c.boxes.size(); ++i) EXPECT_EQ(scripted::Boxes()[i].text, c.boxes[i]);
    if (!c.expect) {
      EXPECT_EQ(result, -1);
      EXPECT_TRUE(Unchanged());
      continue;
    }
    EXPECT_EQ(result, 0);
    VolumeBuilder expected = volume;
    c.expect(expected.Entry(c.slot));
    EXPECT_TRUE(Is(expected));
  }
}

TEST_F(FileCommandTest, AnOddNameLeftAsShownIsKeptByteForByte) {
  VolumeBuilder v;
  FileSpec f{.name = "A B*", .data = Pattern(10, 4)};
  v.AddFile(f);
  v.Entry(0)[12] = 0x41;  // a byte after the name's end stays as well
  Load(v, kShapes[2]);
  scripted::DialogSetText(kCtlName, "bad name");  // refused first ...
  scripted::DialogCommand(kIdOk);
  scripted::DialogSetText(kCtlName, "A B*");  // ... then left as shown
  scripted::DialogSetText(kCtlStart, "2000");
  scripted::DialogCommand(kIdOk);
  EXPECT_EQ(EditFileAttributes(scripted::kMainWindow, 0, false), 0);
  VolumeBuilder expected = volume;
  expected.Entry(0)[22] = 0x00;
  expected.Entry(0)[23] = 0x20;
  EXPECT_TRUE(Is(expected));
}

// ---- Replace --------------------------------------------------------------------------------

class ReplaceTest : public FileCommandTest {
 protected:
  void TearDown() override { SetReplacePolicy(kReplaceNever); }
  std::string Host(const std::string& name, const std::vector<uint8_t>& bytes) {
    const std::string path = temp.Path(name);
    testimg::WriteFile(path, bytes);
    return path;
  }
};

TEST_F(ReplaceTest, TheOldFileGoesAndTheNewOneTakesItsFreedRun) {
  // The disk is full but for the old file's run: the new file fits only once it is freed.
  VolumeBuilder v;
  FileSpec old{.name = "PROG", .data = Pattern(512, 5)};
  v.AddFile(old);  // 32-33
  v.MarkUsed(34, 1343 - 34 + 1);
  Load(v, kShapes[2]);
  SetReplacePolicy(kReplaceAsk);
  scripted::ChooseFile(Host("prog", Pattern(400, 6)));
  scripted::DialogCommand(kIdOk);
  scripted::AnswerBox(kIdYes);  // replace?
  scripted::AnswerBox(kIdYes);  // write?
  ImportHostFile(scripted::kMainWindow);
  ASSERT_EQ(scripted::Boxes().size(), 3u);
  EXPECT_EQ(scripted::Boxes()[0].text, kMsgReplaceQuestion);
  EXPECT_EQ(scripted::Boxes()[0].owner, scripted::kDialogWindow);
  EXPECT_EQ(scripted::Boxes()[2].text, kMsgImportSucceeded);

  VolumeBuilder expected = volume;
  expected.Entry(0)[0] = 0;
  expected.MarkFree(32, 2);
  FileSpec now{.name = "prog", .start = 0x1500, .exec = 0, .data = Pattern(400, 6)};
  now.date[0] = 0x03;
  now.date[1] = 0x01;
  now.date[2] = 0x05;
  now.data.resize(512, 0x00);  // the writer's 0xFF tail, inverted back under MZ
  now.length = 400;
  ASSERT_EQ(expected.AddFile(now), 0);
  EXPECT_TRUE(Is(expected));
}

TEST_F(ReplaceTest, RefusalsWriteNothing) {
  struct Case {
    const char* what;
    ReplacePolicy policy;
    const char* host;
    uint8_t lock;
    int answer;  // 0: no box answered
    const char* box;
  };
  const Case cases[] = {
      {"a locked file", kReplaceAsk, "PROG", 1, kIdYes, kMsgReplaceLocked},
      {"answered No, then Cancel", kReplaceAsk, "PROG", 0, kIdNo, kMsgReplaceQuestion},
      {"without the policy the duplicate message stays", kReplaceNever, "prog", 0, 0,
       kMsgNameDuplicate},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    VolumeBuilder v;
    FileSpec old{.name = "PROG", .lock = c.lock, .data = Pattern(512, 5)};
    v.AddFile(old);
    Load(v, kShapes[1]);
    SetReplacePolicy(c.policy);
    scripted::ChooseFile(Host(c.host, Pattern(400, 6)));
    scripted::DialogCommand(kIdOk);
    if (c.answer) scripted::AnswerBox(c.answer);
    ImportHostFile(scripted::kMainWindow);  // the steps run out: Cancel
    ASSERT_EQ(scripted::Boxes().size(), 1u);
    EXPECT_EQ(scripted::Boxes()[0].text, c.box);
    EXPECT_TRUE(Unchanged());
  }
}

}  // namespace
