// The directory list: columns, the nine cell texts of an entry, one row per used slot.
#include "view/directory_list.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <string>
#include <vector>

#include "flows/volume_view.h"
#include "support/test_support.h"
#include "volume/layout.h"

namespace {

using testsupport::AppTest;

// A 32-byte entry with the given fields, 16-bit fields stored in the order `order` gives.
struct Entry {
  uint8_t bytes[32];
  Entry(uint8_t type, const std::string& name, uint8_t lock, uint8_t order, unsigned start,
        unsigned length, unsigned exec) {
    std::memset(bytes, 0x0D, sizeof bytes);
    bytes[kEntryType] = type;
    std::memcpy(bytes + kEntryName, name.data(), std::min<size_t>(name.size(), 16));
    bytes[kEntryLock] = lock;
    bytes[kEntryOrder] = order;
    Put(kEntryStart, start);
    Put(kEntryLength, length);
    Put(kEntryExec, exec);
    bytes[kEntryDate] = 0x03;
    bytes[kEntryDate + 1] = 0x12;
    bytes[kEntryDate + 2] = 0x25;
    bytes[kEntryReserved] = 0;
    bytes[kEntryTrk] = 5;
    bytes[kEntrySct] = 16;
  }
  void Put(int offset, unsigned value) {
    const uint8_t hi = static_cast<uint8_t>(value >> 8), lo = static_cast<uint8_t>(value);
    bytes[offset] = bytes[kEntryOrder] == 1 ? hi : lo;
    bytes[offset + 1] = bytes[kEntryOrder] == 1 ? lo : hi;
  }
};

std::vector<std::string> Cells(const uint8_t* entry, const uint16_t* tbl1) {
  DirectoryRow row;
  std::memset(&row, 0x55, sizeof row);
  FormatDirectoryRow(entry, tbl1, &row);
  std::vector<std::string> cells;
  for (int c = 0; c < kColumnCount; c++) cells.emplace_back(row.cells[c]);
  return cells;
}

const CodeTables kIdentity = testsupport::IdentityTables();

struct RowCase {
  const char* name;
  Entry entry;
  std::array<const char*, 9> cells;
};

void PrintTo(const RowCase& row, std::ostream* out) { *out << row.name; }

class FormatRowTest : public ::testing::TestWithParam<RowCase> {};

TEST_P(FormatRowTest, Cells) {
  const auto cells = Cells(GetParam().entry.bytes, kIdentity.TBL1);
  for (int c = 0; c < kColumnCount; c++) EXPECT_EQ(GetParam().cells[c], cells[c]) << c;
}

INSTANTIATE_TEST_SUITE_P(
    Entries, FormatRowTest,
    ::testing::Values(
        RowCase{"Plain",
                Entry(1, "AB", 0, 0, 0x1200, 0x0100, 0x1234),
                {"AABB", "OBJ ", "1200", "12FF", "0100", "1234", "03/12/25", "05", "10"}},
        RowCase{"EndBeyondFFFF",
                Entry(2, "A", 0, 0, 0xF000, 0x2000, 0),
                {"AA", "TEX ", "F000", "10FFF", "2000", "0000", "03/12/25", "05", "10"}},
        RowCase{"EndOfEmptyFileAtZero",
                Entry(3, "A", 0, 0, 0, 0, 0),
                {"AA", "CMD ", "0000", "FFFFFFFF", "0000", "0000", "03/12/25", "05", "10"}},
        RowCase{"HighByteFirst",
                Entry(4, "A", 0, 1, 0x1500, 0x0010, 0xABCD),
                {"AA", "REL ", "1500", "150F", "0010", "ABCD", "03/12/25", "05", "10"}},
        RowCase{"LockedUnnamedType",
                Entry(7, "A", 1, 0, 0, 1, 0),
                {"AA", "???*", "0000", "0000", "0001", "0000", "03/12/25", "05", "10"}},
        RowCase{"Type200",
                Entry(200, "A", 0, 0, 0, 1, 0),
                {"AA", "??? ", "0000", "0000", "0001", "0000", "03/12/25", "05", "10"}},
        RowCase{"LockedObject",
                Entry(1, "A", 0xFF, 0, 0, 1, 0),
                {"AA", "OBJ*", "0000", "0000", "0001", "0000", "03/12/25", "05", "10"}},
        RowCase{"SixAndAllF",
                Entry(6, "A", 0, 0, 0xFFFF, 0xFFFF, 0xFFFF),
                {"AA", "RDD ", "FFFF", "1FFFD", "FFFF", "FFFF", "03/12/25", "05", "10"}},
        RowCase{"Scd",
                Entry(5, "", 0, 0, 0, 1, 0),
                {"", "SCD ", "0000", "0000", "0001", "0000", "03/12/25", "05", "10"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(FormatRow, OrderByteOtherThanOneReadsLowByteFirst) {
  for (uint8_t order : {0, 2, 255}) {
    Entry e(1, "A", 0, 0, 0, 0, 0);
    e.bytes[kEntryOrder] = order;
    e.bytes[kEntryStart] = 0x15;
    e.bytes[kEntryStart + 1] = 0x00;
    EXPECT_EQ("0015", Cells(e.bytes, kIdentity.TBL1)[kColStart]) << int(order);
  }
  Entry e(1, "A", 0, 1, 0, 0, 0);
  e.bytes[kEntryStart] = 0x15;
  e.bytes[kEntryStart + 1] = 0x00;
  EXPECT_EQ("1500", Cells(e.bytes, kIdentity.TBL1)[kColStart]);
}

TEST(FormatRow, NameStopsAtReturnOrZeroAndTakesSixteenBytes) {
  Entry e(1, "", 0, 0, 0, 0, 0);
  EXPECT_EQ("", Cells(e.bytes, kIdentity.TBL1)[kColName]);
  e.bytes[kEntryName] = 0x00;
  EXPECT_EQ("", Cells(e.bytes, kIdentity.TBL1)[kColName]);
  std::memcpy(e.bytes + kEntryName, "0123456789ABCDEF", 16);
  e.bytes[kEntryNameEnd] = 'Z';  // the terminator byte is never shown
  EXPECT_EQ("00112233445566778899AABBCCDDEEFF", Cells(e.bytes, kIdentity.TBL1)[kColName]);
  std::memcpy(e.bytes + kEntryName, "AB\0CD", 5);
  EXPECT_EQ("AABB", Cells(e.bytes, kIdentity.TBL1)[kColName]);
}

TEST(FormatRow, ZeroBytesOfTbl1EndTheName) {
  CodeTables t = kIdentity;
  t.TBL1[static_cast<unsigned char>('B')] = 0x0042;  // zero high byte: the name ends before B
  t.TBL1[static_cast<unsigned char>('C')] =
      0x4300;  // zero low byte: the name ends after C's first byte
  t.TBL1[static_cast<unsigned char>('D')] = 0x8260;
  EXPECT_EQ("AA\x82\x60", Cells(Entry(1, "ADB", 0, 0, 0, 0, 0).bytes, t.TBL1)[kColName]);
  EXPECT_EQ("AAC", Cells(Entry(1, "ACA", 0, 0, 0, 0, 0).bytes, t.TBL1)[kColName]);
}

TEST(FormatRow, ShippedTablesShowFullWidthNames) {
  const CodeTables t = testsupport::ShippedTables();
  EXPECT_EQ("\x82\x60\x82\x61\x81\x44\x82\x73",
            Cells(Entry(1, "AB.T", 0, 0, 0, 0, 0).bytes, t.TBL1)[kColName]);
}

class DirectoryListTest : public AppTest {
 protected:
  void SetEntry(int slot, uint8_t type, const std::string& name) {
    Entry e(type, name, 0, 0, 0x1200, 0x10, 0);
    std::memcpy(App.DirectoryBuffer + slot * kEntryBytes, e.bytes, kEntryBytes);
  }
  std::vector<std::string> Names() {
    std::vector<std::string> names;
    for (const auto& row : scripted::Rows()) names.push_back(row[kColName]);
    return names;
  }
};

TEST_F(DirectoryListTest, ColumnsInOrder) {
  SetupListColumns();
  EXPECT_EQ((std::vector<std::string>{"File name", "Type", "Start", "End", "Length", "Execute",
                                      "Date", "Trk", "Sct"}),
            scripted::ColumnTitles());
  EXPECT_EQ((std::vector<int>{170, 50, 55, 55, 55, 55, 65, 30, 30}), scripted::ColumnWidths());
}

TEST_F(DirectoryListTest, OneRowPerUsedSlotInDirectoryOrder) {
  App.EntryCount = 64;
  SetEntry(0, 1, "A");
  SetEntry(2, 9, "C");
  SetEntry(63, 2, "Z");
  SetEntry(70, 1, "X");  // beyond EntryCount: not listed
  FillDirectoryList();
  EXPECT_EQ((std::vector<std::string>{"AA", "CC", "ZZ"}), Names());
  const auto& row = scripted::Rows()[1];
  EXPECT_EQ((std::vector<std::string>{"CC", "??? ", "1200", "120F", "0010", "0000", "03/12/25",
                                      "05", "10"}),
            row);
}

TEST_F(DirectoryListTest, ExtendedSlotsFollowTheMainDirectory) {
  App.EntryCount = 128;
  SetEntry(70, 1, "X");
  SetEntry(5, 1, "B");
  SetEntry(127, 1, "Y");
  FillDirectoryList();
  EXPECT_EQ((std::vector<std::string>{"BB", "XX", "YY"}), Names());
}

TEST_F(DirectoryListTest, FreeSlotsOnlyGiveNoRows) {
  App.EntryCount = 128;
  FillDirectoryList();
  EXPECT_EQ(0, ListRowCount(App.ListWindow));
  App.EntryCount = 0;
  SetEntry(0, 1, "A");
  FillDirectoryList();
  EXPECT_EQ(0, ListRowCount(App.ListWindow));
}

}  // namespace
