// The pack's placement in memory: kept places, first fit around them, slots, the extended
// directory, tails and the fill.
#include "transfer/disk_pack.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "support/image_builder.h"
#include "support/test_support.h"
#include "texts/texts.h"

namespace {

using testsupport::Pattern;

class DiskPackTest : public ::testing::Test {
 public:
  void SetUp() override {
    manifest = std::make_unique<PackManifest>();
    work = std::make_unique<PackWork>();
    InitPackManifest(manifest.get());
    OutcomeClear(&out);
  }
  PackSlot& AddFile(const char* host, const char* name, size_t bytes, int seed) {
    testimg::WriteFile(temp.Path(host), Pattern(bytes, seed));
    PackSlot& slot = manifest->slots[manifest->count++];
    InitPackFile(&slot, host);
    std::memcpy(slot.entry + kEntryName, name, std::strlen(name));
    return slot;
  }
  static void Place(PackSlot& slot, int track, int sector) {
    slot.placed = true;
    slot.entry[kEntryTrk] = static_cast<uint8_t>(track);
    slot.entry[kEntrySct] = static_cast<uint8_t>(sector);
  }
  int Pack(bool keep) { return PackVolume(*manifest, temp.path().c_str(), keep, work.get(), &out); }
  const uint8_t* Sector(int index) const { return work->volume + index * kSectorBytes; }
  const uint8_t* Entry(int slot) const { return Sector(16) + slot * kEntryBytes; }
  bool Used(int index) const { return (Sector(1)[index / 8] >> (index % 8)) & 1; }

  testsupport::TempDir temp;
  std::unique_ptr<PackManifest> manifest;
  std::unique_ptr<PackWork> work;
  Outcome out;
};

TEST_F(DiskPackTest, KeptPlacesComeFirstAndFirstFitGoesAroundThem) {
  AddFile("a.bin", "A", 600, 1);               // first fit
  Place(AddFile("b.bin", "B", 256, 2), 2, 2);  // index 33
  manifest->slots[1].slot = 5;
  ASSERT_EQ(Pack(true), 0);
  // A needs 3 sectors: 32 is free but 33 is B's, so A goes to 34.
  EXPECT_EQ(Entry(0)[kEntryTrk], 2);
  EXPECT_EQ(Entry(0)[kEntrySct], 3);
  EXPECT_EQ(EntryLength(Entry(0)), 600u);
  EXPECT_EQ(Entry(5)[kEntrySct], 2);
  EXPECT_EQ(0, std::memcmp(Sector(33), Pattern(256, 2).data(), 256));
  EXPECT_EQ(0, std::memcmp(Sector(34), Pattern(600, 1).data(), 600));
  for (int i : {0, 31, 33, 34, 35, 36}) EXPECT_TRUE(Used(i)) << i;
  for (int i : {32, 37}) EXPECT_FALSE(Used(i)) << i;
  // The tail of A's last sector and every free sector hold the fill.
  EXPECT_EQ(Sector(36)[600 - 512], kPackFill);
  EXPECT_EQ(Sector(32)[0], kPackFill);
  EXPECT_EQ(Sector(1000)[255], kPackFill);
}

TEST_F(DiskPackTest, WithoutKeptPlacesFilesFillSlotsInOrderAndRawSlotsStayOut) {
  PackSlot& raw = manifest->slots[manifest->count++];
  std::memset(&raw, 0, sizeof raw);
  raw.slot = 0;
  raw.entry[1] = 'X';
  Place(AddFile("a.bin", "A", 10, 1), 50, 1);
  manifest->slots[1].slot = 9;
  PackSlot& b = AddFile("b.bin", "B", 300, 2);
  b.tailBytes = 2;
  b.tail[0] = 0x11;
  b.tail[1] = 0x22;
  manifest->systemArea[kSysExdirTrk] = 7;  // an extended directory: placed first fit
  manifest->systemArea[kSysExdirSct] = 9;
  ASSERT_EQ(Pack(false), 0);
  EXPECT_EQ(Sector(1)[kSysExdirTrk], 2);
  EXPECT_EQ(Sector(1)[kSysExdirSct], 1);
  EXPECT_EQ(Entry(0)[kEntryName], 'A');
  EXPECT_EQ(SectorIndex(Entry(0)[kEntryTrk], Entry(0)[kEntrySct]), 40);
  EXPECT_EQ(Entry(1)[kEntryName], 'B');
  EXPECT_EQ(SectorIndex(Entry(1)[kEntryTrk], Entry(1)[kEntrySct]), 41);
  EXPECT_EQ(Entry(2)[kEntryType], 0);
  EXPECT_EQ(Sector(42)[300 - 256], 0x11);
  EXPECT_EQ(Sector(42)[301 - 256], 0x22);
  EXPECT_EQ(Sector(42)[302 - 256], kPackFill);
}

TEST_F(DiskPackTest, RefusalsNameTheEntry) {
  struct Case {
    const char* name;
    void (*shape)(DiskPackTest*);
    const char* reason;
  } cases[] = {
      {"slot taken",
       [](DiskPackTest* t) {
         t->AddFile("a.bin", "A", 1, 1).slot = 3;
         t->AddFile("b.bin", "B", 1, 1).slot = 3;
       },
       kPackDirectoryFull},
      {"slot past 64", [](DiskPackTest* t) { t->AddFile("a.bin", "A", 1, 1).slot = 64; },
       kPackDirectoryFull},
      {"on the system tracks",
       [](DiskPackTest* t) { Place(t->AddFile("a.bin", "A", 1, 1), 1, 16); }, kPackOverlap},
      {"past the last track",
       [](DiskPackTest* t) { Place(t->AddFile("a.bin", "A", 600, 1), 83, 15); }, kPackNoFit},
      {"no sector 0", [](DiskPackTest* t) { Place(t->AddFile("a.bin", "A", 1, 1), 5, 0); },
       kPackNoFit},
      {"boot too long",
       [](DiskPackTest* t) {
         testimg::WriteFile(t->temp.Path("boot.bin"), Pattern(kBootBytes + 1, 1));
         std::strcpy(t->manifest->boot, "boot.bin");
       },
       kPackBootTooLong},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SetUp();
    c.shape(this);
    EXPECT_EQ(Pack(true), -1);
    ASSERT_EQ(out.count, 1);
    EXPECT_EQ(out.messages[0].format, kMsgPackRefused);
    EXPECT_NE(std::strstr(OutcomeTextEn(&out, 0), TextEn(TextIdOf(c.reason))), nullptr)
        << OutcomeTextEn(&out, 0);
  }
}

TEST_F(DiskPackTest, BootSectorsAreTheSectorsOfTracksZeroAndOneOutsideTheVolumeAreas) {
  int previous = -1;
  for (int k = 0; k < kBootSectors; k++) {
    const int index = BootSectorIndex(k);
    EXPECT_GT(index, previous);
    EXPECT_LT(index, 32);
    EXPECT_FALSE(index == 1 || index == 2) << "system area";
    EXPECT_FALSE(index >= 16 && index < 24) << "directory";
    previous = index;
  }
}

}  // namespace
