#include "volume/bit_table.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace {

// A system area with the given sector indexes marked used.
struct Table {
  std::vector<uint8_t> bytes = std::vector<uint8_t>(512, 0);
  void Use(int from, int to) {
    for (int i = from; i <= to; i++) bytes[i / 8] |= static_cast<uint8_t>(1 << (i % 8));
  }
  void Free(int from, int to) {
    for (int i = from; i <= to; i++) bytes[i / 8] &= static_cast<uint8_t>(~(1 << (i % 8)));
  }
  bool Used(int i) const { return SectorUsed(bytes.data(), i); }
};

struct RunCase {
  const char* what;
  int usedFrom, usedTo;  // a used range (-1: none)
  int freeFrom, freeTo;  // then a free range inside it (-1: none)
  int extraUsed;         // one more used index (-1: none)
  int count;
  int result, track, sector;
};

class FindFreeRunTest : public ::testing::TestWithParam<RunCase> {};

TEST_P(FindFreeRunTest, FirstFit) {
  const RunCase& c = GetParam();
  Table t;
  t.Use(0, 31);
  if (c.usedFrom >= 0) t.Use(c.usedFrom, c.usedTo);
  if (c.freeFrom >= 0) t.Free(c.freeFrom, c.freeTo);
  if (c.extraUsed >= 0) t.Use(c.extraUsed, c.extraUsed);
  const std::vector<uint8_t> before = t.bytes;
  int track = 99, sector = 99;
  EXPECT_EQ(FindFreeRun(t.bytes.data(), c.count, &track, &sector), c.result) << c.what;
  EXPECT_EQ(track, c.track) << c.what;
  EXPECT_EQ(sector, c.sector) << c.what;
  EXPECT_EQ(t.bytes, before) << "the table is only read: " << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FindFreeRunTest,
    ::testing::Values(
        RunCase{"index 32 free", -1, -1, -1, -1, -1, 1, 0, 2, 1},
        RunCase{"short run skipped", 32, 43, 40, 42, -1, 4, 0, 2, 13},
        RunCase{"run from the last sector of a track", 32, 46, -1, -1, -1, 2, 0, 2, 16},
        RunCase{"every start index used", 32, 1279, -1, -1, -1, 1, -1, 0, 0},
        RunCase{"run crossing into track 80", 32, 1279, 1279, 1279, -1, 3, 0, 79, 16},
        RunCase{"run from 1279 ends at the last sector", 32, 1278, -1, -1, -1, 65, 0, 79, 16},
        RunCase{"run from 1279 cannot pass the last sector", 32, 1278, -1, -1, -1, 66, -1, 0, 0},
        RunCase{"whole free volume", -1, -1, -1, -1, -1, 1312, 0, 2, 1},
        RunCase{"longer than the volume", -1, -1, -1, -1, -1, 1313, -1, 0, 0},
        RunCase{"first fit, not best fit", -1, -1, -1, -1, 35, 3, 0, 2, 1},
        RunCase{"run ended by a used sector past track 79", 32, 1275, -1, -1, 1281, 7, -1, 0, 0}));

TEST(BitTable, CountStopsAtTheLastAddressableSector) {
  // Exactly the bit table's 174 bytes: a read past byte 173 is caught by the address sanitizer.
  std::vector<uint8_t> bits(174, 0);
  EXPECT_EQ(CountFreeRun(bits.data(), 32), 1312);
  EXPECT_EQ(CountFreeRun(bits.data(), 1343), 1);
  EXPECT_EQ(CountFreeRun(bits.data(), 1344), 0);
  EXPECT_EQ(CountFreeRun(bits.data(), -1), 0);
  std::vector<uint8_t> full(512, 0);
  full[174] = full[175] = 0xFF;  // the EXDIR pair right after the table is not a bit
  EXPECT_EQ(CountFreeRun(full.data(), 1300), 44);
}

TEST(BitTable, CountEndsAtTheFirstUsedSector) {
  Table t;
  t.Use(50, 50);
  EXPECT_EQ(CountFreeRun(t.bytes.data(), 40), 10);
  EXPECT_EQ(CountFreeRun(t.bytes.data(), 50), 0);
  t.Use(56, 56);  // a byte boundary crossed on the way
  EXPECT_EQ(CountFreeRun(t.bytes.data(), 51), 5);
}

TEST(BitTable, MarkSetsTheRunAcrossTracks) {
  Table t;
  ASSERT_EQ(MarkSectorsUsed(t.bytes.data(), 2, 2, 16), 0);
  EXPECT_TRUE(t.Used(47));
  EXPECT_TRUE(t.Used(48));
  EXPECT_FALSE(t.Used(46));
  EXPECT_FALSE(t.Used(49));
  ASSERT_EQ(MarkSectorsUsed(t.bytes.data(), 3, 79, 16), 0);
  EXPECT_TRUE(t.Used(1279) && t.Used(1280) && t.Used(1281));
  EXPECT_EQ(t.bytes[159], 0x80);
  EXPECT_EQ(t.bytes[160], 0x03);
}

TEST(BitTable, MarkStopsAtAUsedSectorKeepingEarlierBits) {
  Table t;
  t.Use(34, 34);
  EXPECT_EQ(MarkSectorsUsed(t.bytes.data(), 4, 2, 1), -1);
  EXPECT_TRUE(t.Used(32));
  EXPECT_TRUE(t.Used(33));
  EXPECT_FALSE(t.Used(35));
}

TEST(BitTable, MarkNothingOrOutsideTheVolume) {
  Table t;
  const std::vector<uint8_t> before = t.bytes;
  EXPECT_EQ(MarkSectorsUsed(t.bytes.data(), 0, 2, 1), 0);
  EXPECT_EQ(MarkSectorsUsed(t.bytes.data(), -3, 2, 1), 0);
  EXPECT_EQ(t.bytes, before);
  // Sector 16 of track 83 is the last one: the next bit would be byte 168, beyond the volume.
  EXPECT_EQ(MarkSectorsUsed(t.bytes.data(), 2, 83, 16), -1);
  EXPECT_TRUE(t.Used(1343));
  EXPECT_EQ(t.bytes[168], 0);
}

}  // namespace
