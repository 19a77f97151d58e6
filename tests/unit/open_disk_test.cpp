// The record of an open disk, through its own functions: aimed, loaded and closed, two at once in
// one process; and the one typing of attribute texts that the front ends without a dialog share.
#include "transfer/open_disk.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "image/change_history.h"
#include "image/image_select.h"
#include "image/journal.h"
#include "image/sector_transfer.h"
#include "support/image_builder.h"
#include "support/test_support.h"
#include "texts/texts.h"
#include "transfer/attribute_checks.h"
#include "volume/layout.h"

namespace {

using testimg::FileSpec;
using testimg::VolumeBuilder;
using testsupport::Pattern;

std::string Image(const testsupport::TempDir& dir, const char* name, const VolumeBuilder& volume,
                  bool d88, int mode) {
  testimg::ImageSpec shape;
  shape.d88 = d88;
  shape.machineMode = mode;
  const std::string path = dir.path() + "/" + name;
  testimg::WriteFile(path, testimg::BuildImage(volume, shape));
  return path;
}

int UsedSlots(const VolumeState& volume) {
  int used = 0;
  for (int k = 0; k < volume.EntryCount; ++k)
    if (volume.DirectoryBuffer[k * kEntryBytes + kEntryType] != 0) used++;
  return used;
}

// Two images open side by side: each record keeps its own volume and basis, and reading one
// changes neither the other record nor either image.
TEST(OpenDiskTest, TwoImagesOpenInOneProcessKeepTheirOwnVolumes) {
  testsupport::TempDir dir;
  VolumeBuilder one, two;
  one.AddFile(FileSpec{.name = "ALPHA", .data = Pattern(300, 1)});
  two.AddFile(FileSpec{.name = "BETA", .data = Pattern(500, 2)});
  two.AddFile(FileSpec{.name = "GAMMA", .data = Pattern(700, 3)});
  const std::string a = Image(dir, "one.d88", one, true, kModeMz);
  const std::string b = Image(dir, "two.2d", two, false, kModePc);
  const auto bytesA = testimg::ReadFile(a), bytesB = testimg::ReadFile(b);

  auto first = std::make_unique<OpenDisk>();
  InitOpenDisk(first.get());
  auto second = std::make_unique<OpenDisk>();
  InitOpenDisk(second.get());
  ASSERT_EQ(AimOpenDisk(first.get(), a.c_str(), kModeMz), 0);
  ASSERT_EQ(AimOpenDisk(second.get(), b.c_str(), kModePc), 0);
  EXPECT_EQ(first->format, kFormatD88);
  EXPECT_EQ(second->format, kFormat2D);
  Outcome out;
  OutcomeClear(&out);
  ASSERT_EQ(LoadOpenDisk(first.get(), &out), 0);
  ASSERT_EQ(LoadOpenDisk(second.get(), &out), 0);
  EXPECT_EQ(out.count, 0);
  EXPECT_TRUE(first->loaded && second->loaded);
  EXPECT_EQ(UsedSlots(first->volume), 1);
  EXPECT_EQ(UsedSlots(second->volume), 2);
  EXPECT_TRUE(first->volume.BasisKnown && second->volume.BasisKnown);
  EXPECT_NE(first->volume.BasisSum, second->volume.BasisSum);

  // Closing one leaves the other as loaded.
  CloseOpenDisk(first.get());
  EXPECT_FALSE(first->loaded);
  EXPECT_EQ(UsedSlots(second->volume), 2);
  EXPECT_STREQ(first->target.path, a.c_str());
  EXPECT_TRUE(testsupport::BytesEqual(bytesA, testimg::ReadFile(a)));
  EXPECT_TRUE(testsupport::BytesEqual(bytesB, testimg::ReadFile(b)));
}

// Two changes in progress at once, one in each record: each queues, reads and commits only its
// own image, each record's history holds only its own change, and an undo through one leaves the
// other image as its change left it. A sector copied from one image into the other arrives whole.
TEST(OpenDiskTest, TwoRecordsChangeTheirImagesSideBySide) {
  testsupport::TempDir dir;
  VolumeBuilder one, two;
  one.AddFile(FileSpec{.name = "ALPHA", .data = Pattern(300, 1)});
  two.AddFile(FileSpec{.name = "BETA", .data = Pattern(500, 2)});
  const std::string a = Image(dir, "one.d88", one, true, kModeMz);
  const std::string b = Image(dir, "two.2d", two, false, kModePc);
  const auto bytesA = testimg::ReadFile(a), bytesB = testimg::ReadFile(b);
  auto first = std::make_unique<OpenDisk>(), second = std::make_unique<OpenDisk>();
  InitOpenDisk(first.get());
  InitOpenDisk(second.get());
  ASSERT_EQ(AimOpenDisk(first.get(), a.c_str(), kModeMz), 0);
  ASSERT_EQ(AimOpenDisk(second.get(), b.c_str(), kModePc), 0);

  uint8_t fromA[256];
  ASSERT_EQ(ReadSectors(&first->target, fromA, 20, 1, 256), kImageOk);
  uint8_t mark[256];
  std::memset(mark, 0x5A, sizeof mark);
  Outcome out;
  OutcomeClear(&out);
  ASSERT_EQ(BeginImageChange(&out, &first->target), 0);
  uint8_t written[256];  // a write encodes its buffer in place
  std::memcpy(written, mark, sizeof written);
  ASSERT_EQ(WriteSectors(&first->target, written, 30, 2, 256), kImageOk);
  ASSERT_EQ(BeginImageChange(&out, &second->target), 0);
  EXPECT_TRUE(ImageChangeActive(&first->change) && ImageChangeActive(&second->change));
  uint8_t copy[256];
  std::memcpy(copy, fromA, sizeof copy);
  ASSERT_EQ(WriteSectors(&second->target, copy, 40, 3, 256), kImageOk);
  // Each target reads its own change's queued bytes (the images themselves are held alone, and
  // Windows lets no other handle read them meanwhile).
  uint8_t seen[256];
  ASSERT_EQ(ReadSectors(&first->target, seen, 30, 2, 256), kImageOk);
  EXPECT_EQ(0, std::memcmp(seen, mark, sizeof seen));
  ASSERT_EQ(ReadSectors(&second->target, seen, 30, 2, 256), kImageOk);
  EXPECT_NE(0, std::memcmp(seen, mark, sizeof seen));

  ASSERT_EQ(CommitImageChange(&out, &second->change), 0);
  ASSERT_EQ(CommitImageChange(&out, &first->change), 0);
  EXPECT_EQ(out.count, 0);
  EXPECT_EQ(first->change.commits, 1u);
  EXPECT_EQ(second->change.commits, 1u);
  ASSERT_EQ(ReadSectors(&second->target, seen, 40, 3, 256), kImageOk);
  EXPECT_EQ(0, std::memcmp(seen, fromA, sizeof seen));
  EXPECT_EQ(first->history.changeCount, 1);
  EXPECT_EQ(second->history.changeCount, 1);

  // Undo on the first: its image is as it was, the second keeps its copied sector.
  const auto changedB = testimg::ReadFile(b);
  ASSERT_EQ(StepChangeHistory(&out, &first->target, true), 0);
  EXPECT_TRUE(testsupport::BytesEqual(bytesA, testimg::ReadFile(a)));
  EXPECT_TRUE(testsupport::BytesEqual(changedB, testimg::ReadFile(b)));
  EXPECT_TRUE(ChangeHistoryCanUndo(&second->history));
  EXPECT_FALSE(ChangeHistoryCanUndo(&first->history));
}

// A target of no record cannot be changed: the begin refuses and the image stays as it was.
TEST(OpenDiskTest, ATargetWithoutAChangeIsNotWritten) {
  testsupport::TempDir dir;
  VolumeBuilder one;
  const std::string a = Image(dir, "one.2d", one, false, kModeMz);
  const auto before = testimg::ReadFile(a);
  ImageTarget target;
  ASSERT_EQ(ImageTargetFor(&target, a.c_str(), ContainerForFormat(kFormat2D), kModeMz), 0);
  Outcome out;
  OutcomeClear(&out);
  EXPECT_EQ(BeginImageChange(&out, &target), -1);
  EXPECT_TRUE(OutcomeHas(&out, kMsgWriteOpenFailed));
  uint8_t mark[256] = {};
  EXPECT_EQ(WriteSectors(&target, mark, 30, 1, 256), kImageWriteFailed);
  EXPECT_TRUE(testsupport::BytesEqual(before, testimg::ReadFile(a)));
}

TEST(OpenDiskTest, AFailedLoadSaysWhyAndLeavesTheRecordUnloaded) {
  testsupport::TempDir dir;
  auto disk = std::make_unique<OpenDisk>();
  InitOpenDisk(disk.get());
  const std::string missing = dir.path() + "/missing.d88";
  ASSERT_EQ(AimOpenDisk(disk.get(), missing.c_str(), kModeMz), 0);
  Outcome out;
  OutcomeClear(&out);
  EXPECT_EQ(LoadOpenDisk(disk.get(), &out), -1);
  EXPECT_FALSE(disk->loaded);
  ASSERT_EQ(out.count, 1);
  EXPECT_STREQ(out.messages[0].caption, kCaptionRead);

  // A path the record cannot hold names no file.
  const std::string longPath(kPathCapacity, 'a');
  EXPECT_EQ(AimOpenDisk(disk.get(), longPath.c_str(), kModeMz), -1);
}

// A file whose extension is no image's is listed by the container its bytes show; a disk chosen
// of several moves the target onto it, one disk of one leaves the whole file.
TEST(OpenDiskTest, TheDisksOfAFileAndTheChoiceOfOne) {
  testsupport::TempDir dir;
  VolumeBuilder volume;
  const std::string odd = Image(dir, "disk.bin", volume, true, kModeMz);
  auto disk = std::make_unique<OpenDisk>();
  InitOpenDisk(disk.get());
  ASSERT_EQ(AimOpenDisk(disk.get(), odd.c_str(), kModeMz), 0);
  EXPECT_EQ(disk->format, -1);
  EXPECT_EQ(disk->target.kind, nullptr);
  ImageDisk disks[kMaxImageDisks];
  EXPECT_EQ(ListTargetDisks(&disk->target, disks, kMaxImageDisks), 1);

  ImageDisk two[2] = {};
  two[0].end = 1000;
  two[1].base = 1000;
  two[1].end = 2000;
  AimAtDisk(&disk->target, two, 2, 1);
  EXPECT_EQ(disk->target.diskBase, 1000u);
  EXPECT_EQ(disk->target.diskEnd, 2000u);
  EXPECT_EQ(disk->target.diskIndex, 1);
  EXPECT_EQ(disk->target.diskCount, 2);
  AimAtDisk(&disk->target, two, 1, 0);
  EXPECT_EQ(disk->target.diskBase, 0u);
  EXPECT_EQ(disk->target.diskEnd, 0u);
  EXPECT_EQ(disk->target.diskIndex, 0);
}

TEST(OpenDiskTest, CodeTablesFromAPathThatHoldsNoFile) {
  testsupport::TempDir dir;
  CodeTables tables;
  Outcome out;
  OutcomeClear(&out);
  const std::string missing = dir.path() + "/none.txt";
  EXPECT_EQ(ReadCodeFileAt(&out, missing.c_str(), &tables), -1);
  EXPECT_TRUE(OutcomeHas(&out, kMsgCodeFileMissing));
  const std::string shipped = std::string(ZELVO_SOURCE_DIR) + "/src/codes/CodeChg.txt";
  OutcomeClear(&out);
  ASSERT_EQ(ReadCodeFileAt(&out, shipped.c_str(), &tables), 0);
  const CodeTables expected = testsupport::ShippedTables();
  EXPECT_EQ(std::memcmp(&tables, &expected, sizeof tables), 0);
}

// What a user types, over what the dialog shows: each case starts from the same shown texts.
TEST(TypeAttributeTextsTest, TypesTheFieldsGivenAndLeavesTheRest) {
  struct Case {
    TypedAttributes typed;
    const char* name;
    const char* type;  // the selected item, or "-" for none
    const char* start;
    const char* exec;
    const char* year;
    const char* month;
    const char* day;
    bool lock;
  };
  const Case cases[] = {
      {{}, "SHOWN", "OBJ", "1200", "1200", "24", "03", "15", true},
      {{.name = "NEW"}, "NEW", "OBJ", "1200", "1200", "24", "03", "15", true},
      {{.type = "tex"}, "SHOWN", "TEX", "1200", "1200", "24", "03", "15", true},
      {{.type = "XYZ"}, "SHOWN", "-", "1200", "1200", "24", "03", "15", true},
      {{.start = "0x8000", .exec = "c000h"},
       "SHOWN",
       "OBJ",
       "8000",
       "c000",
       "24",
       "03",
       "15",
       true},
      // Not an address form of at most four digits: passed for the checks to refuse.
      {{.start = "0x12345", .exec = "zzh"},
       "SHOWN",
       "OBJ",
       "0x12345",
       "zzh",
       "24",
       "03",
       "15",
       true},
      {{.start = "0x", .exec = "h"}, "SHOWN", "OBJ", "0x", "h", "24", "03", "15", true},
      {{.date = "99/12/31"}, "SHOWN", "OBJ", "1200", "1200", "99", "12", "31", true},
      {{.date = "99/12"}, "SHOWN", "OBJ", "1200", "1200", "99", "12", "", true},
      {{.date = "99"}, "SHOWN", "OBJ", "1200", "1200", "99", "", "", true},
      {{.year = "80", .day = "1"}, "SHOWN", "OBJ", "1200", "1200", "80", "03", "1", true},
      {{.lock = 0}, "SHOWN", "OBJ", "1200", "1200", "24", "03", "15", false},
      {{.lock = 1}, "SHOWN", "OBJ", "1200", "1200", "24", "03", "15", true},
  };
  for (const Case& c : cases) {
    AttributeTexts texts{};
    std::strcpy(texts.name, "SHOWN");
    texts.typeItem = AttributeTypeName(1);
    std::strcpy(texts.start, "1200");
    std::strcpy(texts.exec, "1200");
    std::strcpy(texts.year, "24");
    std::strcpy(texts.month, "03");
    std::strcpy(texts.day, "15");
    texts.lockSelected = true;
    TypeAttributeTexts(c.typed, &texts);
    SCOPED_TRACE(std::string(c.name) + " " + c.start + " " + c.year + "/" + c.month + "/" + c.day);
    EXPECT_STREQ(texts.name, c.name);
    EXPECT_STREQ(texts.typeItem ? texts.typeItem : "-", c.type);
    EXPECT_STREQ(texts.start, c.start);
    EXPECT_STREQ(texts.exec, c.exec);
    EXPECT_STREQ(texts.year, c.year);
    EXPECT_STREQ(texts.month, c.month);
    EXPECT_STREQ(texts.day, c.day);
    EXPECT_EQ(texts.lockSelected, c.lock);
  }
}

TEST(TypeAttributeTextsTest, AFieldIsCutWhereTheDialogStopsReading) {
  const std::string longName(400, 'N');
  TypedAttributes typed;
  typed.name = longName.c_str();
  AttributeTexts texts{};
  TypeAttributeTexts(typed, &texts);
  EXPECT_EQ(std::strlen(texts.name), static_cast<size_t>(kControlTextCapacity - 1));
}

}  // namespace
