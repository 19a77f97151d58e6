// The EXDIR rule and the byte order of directory entries.
#include <gtest/gtest.h>

#include "support/test_support.h"
#include "volume/layout.h"

namespace {

class ExdirRuleTest : public testsupport::AppTest {};

TEST_F(ExdirRuleTest, AcceptsOnlyPairsInsideTheDisk) {
  struct Case {
    int track, sector, present;
  } cases[] = {{0xFF, 0xFF, 0}, {0, 0, 0},   {84, 1, 0}, {1, 0, 0}, {1, 17, 0},
               {0, 5, 0},       {83, 16, 1}, {1, 1, 1},  {4, 1, 1}, {0xFF, 1, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.track << "," << c.sector);
    App.ExdirTrack = 9;
    App.ExdirSector = 9;
    App.SystemArea[kSysExdirTrk] = static_cast<uint8_t>(c.track);
    App.SystemArea[kSysExdirSct] = static_cast<uint8_t>(c.sector);
    ApplyExdirRule();
    EXPECT_EQ(c.present, App.ExdirPresent);
    EXPECT_EQ(c.present ? 128 : 64, App.EntryCount);
    EXPECT_EQ(App.EntryCount * 32u, App.DirectoryBytes);
    EXPECT_EQ(c.present ? c.track : 9, App.ExdirTrack) << "stale values stay when absent";
    EXPECT_EQ(c.present ? c.sector : 9, App.ExdirSector);
  }
}

TEST(EntryWordTest, OrderOneIsHighByteFirstAnyOtherLowByteFirst) {
  uint8_t entry[32] = {};
  entry[kEntryStart] = 0x15;
  entry[kEntryStart + 1] = 0x00;
  for (int order : {0, 2, 255}) {
    entry[kEntryOrder] = static_cast<uint8_t>(order);
    EXPECT_EQ(0x0015u, EntryStart(entry)) << order;
  }
  entry[kEntryOrder] = 1;
  EXPECT_EQ(0x1500u, EntryStart(entry));
}

TEST(SectorArithmeticTest, IndexesAndCounts) {
  EXPECT_EQ(32, SectorIndex(2, 1));
  EXPECT_EQ(1279, SectorIndex(79, 16));
  EXPECT_EQ(kLastSectorIndex, SectorIndex(83, 16));
  EXPECT_EQ(0, SectorsFor(0));
  EXPECT_EQ(1, SectorsFor(256));
  EXPECT_EQ(2, SectorsFor(257));
  EXPECT_EQ(256, SectorsFor(65535));
}

}  // namespace
