// The deleted-entry scan: which slots are deleted entries, the verdict of each against the bit
// table and the live files, and a restore that undoes a deletion exactly.
#include "volume/deleted_entries.h"

#include <gtest/gtest.h>

#include <vector>

#include "support/image_builder.h"
#include "support/test_support.h"
#include "volume/file_ops.h"
#include "volume/layout.h"

namespace {

using testimg::FileSpec;
using testimg::VolumeBuilder;
using testsupport::Pattern;

// Three files, A, B, C, one after another from track 2; B deleted as `zelvo rm` deletes it.
VolumeBuilder WithBDeleted() {
  VolumeBuilder v;
  v.AddFile(FileSpec{.name = "A", .data = Pattern(600, 1)});
  v.AddFile(FileSpec{.name = "B", .data = Pattern(700, 2)});
  v.AddFile(FileSpec{.name = "C", .data = Pattern(300, 3)});
  const int slot = 1;
  DeleteSlots(v.SystemArea(), v.Directory(), 64, -1, &slot, 1);
  return v;
}

// The directory as a volume is read: the main half, then the extended directory's.
std::vector<DeletedEntry> Scan(VolumeBuilder& v, int exdirFirst = -1) {
  std::vector<uint8_t> directory(v.Directory(), v.Directory() + 2048);
  if (exdirFirst >= 0) directory.insert(directory.end(), v.Entry(64), v.Entry(64) + 2048);
  std::vector<DeletedEntry> entries(128);
  const int n = ScanDeletedEntries(v.SystemArea(), directory.data(), exdirFirst >= 0 ? 128 : 64,
                                   exdirFirst, entries.data(), 128);
  entries.resize(static_cast<size_t>(n));
  return entries;
}

TEST(DeletedEntries, VerdictsAgainstTheBitTableAndTheLiveFiles) {
  const int bFirst = 2 * 16 + 4 - 1;  // A takes three sectors, B starts at Trk 2 Sct 4
  const struct {
    const char* what;
    void (*damage)(VolumeBuilder& v);
    int verdict, byFiles, bySystem, firstClaimed, owner;
  } cases[] = {
      {"untouched", [](VolumeBuilder&) {}, kDeletedRecoverable, 0, 0, -1, -1},
      {"a file placed over it",
       [](VolumeBuilder& v) {
         v.AddFile(
             FileSpec{.name = "NEW", .data = Pattern(256, 4), .track = 2, .sector = 5, .slot = 3});
       },
       kDeletedOverwritten, 1, 0, bFirst + 1, 1},
      {"marked used by no file", [](VolumeBuilder& v) { v.MarkUsed(bFirst + 2); },
       kDeletedOverwritten, 0, 1, bFirst + 2, -1},
      {"its run on the system tracks", [](VolumeBuilder& v) { v.Entry(1)[kEntryTrk] = 1; },
       kDeletedOverwritten, 0, 3, 16 + 3, -1},
      {"length 0", [](VolumeBuilder& v) { v.Entry(1)[kEntryLength] = v.Entry(1)[21] = 0; },
       kDeletedLost, 0, 0, -1, -1},
      {"outside the disk", [](VolumeBuilder& v) { v.Entry(1)[kEntryTrk] = 84; }, kDeletedLost, 0, 0,
       -1, -1},
      {"past its last sector",
       [](VolumeBuilder& v) {
         v.Entry(1)[kEntryTrk] = 83;
         v.Entry(1)[kEntrySct] = 16;
       },
       kDeletedLost, 0, 0, -1, -1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    VolumeBuilder v = WithBDeleted();
    c.damage(v);
    const std::vector<DeletedEntry> found = Scan(v);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].slot, 1);
    EXPECT_EQ(found[0].verdict, c.verdict);
    EXPECT_EQ(found[0].claimedByFiles, c.byFiles);
    EXPECT_EQ(found[0].claimedBySystem, c.bySystem);
    EXPECT_EQ(found[0].firstClaimed, c.firstClaimed);
    EXPECT_EQ(found[0].ownerSlot, c.owner == 1 ? 3 : -1);
  }
}

// Slots in order through the extended directory; a never used slot is no deleted entry, a slot
// with one stray byte is; the extended directory's own sectors are the system's.
TEST(DeletedEntries, SlotsInOrderAndTheExtendedDirectory) {
  VolumeBuilder v;
  v.SetExdir(2, 1);
  v.Entry(70)[kEntryExec] = 1;  // type 0, one byte set
  v.Entry(5)[kEntryTrk] = 2;    // type 0, a run of length 0
  v.Entry(5)[kEntrySct] = 1;
  v.Entry(9)[kEntryTrk] = 2;  // a one-sector run inside the extended directory
  v.Entry(9)[kEntrySct] = 3;
  v.Entry(9)[kEntryLength] = 1;
  const std::vector<DeletedEntry> found = Scan(v, 2 * 16);
  ASSERT_EQ(found.size(), 3u);
  EXPECT_EQ(found[0].slot, 5);
  EXPECT_EQ(found[1].slot, 9);
  EXPECT_EQ(found[2].slot, 70);
  EXPECT_EQ(found[0].verdict, kDeletedLost);
  EXPECT_EQ(found[1].verdict, kDeletedOverwritten);
  EXPECT_EQ(found[1].claimedBySystem, 1);
  EXPECT_FALSE(IsDeletedSlot(v.Entry(6)));
}

// A restore with the type it had undoes the deletion byte for byte.
TEST(DeletedEntries, RestoreUndoesADeletion) {
  VolumeBuilder before;
  before.AddFile(FileSpec{.name = "A", .data = Pattern(600, 1)});
  before.AddFile(FileSpec{.name = "B", .type = 2, .data = Pattern(700, 2)});
  VolumeBuilder v = before;
  const int slot = 1;
  DeleteSlots(v.SystemArea(), v.Directory(), 64, -1, &slot, 1);
  ASSERT_NE(v.bytes, before.bytes);
  EXPECT_EQ(RestoreDeletedSlot(v.SystemArea(), v.Directory(), 1, 2), 1);
  EXPECT_TRUE(testsupport::BytesEqual(before.bytes, v.bytes));
}

}  // namespace
