#include "view/directory_list.h"

#include <cstdio>
#include <cstring>

#include "volume/layout.h"

const char* const kColumnTitles[kColumnCount] = {"File name", "Type", "Start", "End", "Length",
                                                 "Execute",   "Date", "Trk",   "Sct"};
const int kColumnWidths[kColumnCount] = {170, 50, 55, 55, 55, 55, 65, 30, 30};

namespace {

// Type texts by type byte; 0 (a free slot) never reaches the table, 7 and above are unnamed.
const char* TypeText(unsigned type) {
  static const char* const kTypeTexts[] = {"OBJ ", "TEX ", "CMD ", "REL ", "SCD ", "RDD "};
  if (type >= 1 && type <= 6) return kTypeTexts[type - 1];
  return "??? ";
}

}  // namespace

void FormatDirectoryRow(const uint8_t* entry, const uint16_t* tbl1, DirectoryRow* row) {
  std::memset(row, 0, sizeof *row);

  // The name through TBL1, two bytes per character, high byte first. A zero byte among them
  // ends the text where it stands.
  char* name = row->cells[kColName];
  for (int i = 0; i < kEntryNameMax; i++) {
    const uint8_t code = entry[kEntryName + i];
    if (code == 0x0D || code == 0x00) break;
    name[2 * i] = static_cast<char>(tbl1[code] >> 8);
    name[2 * i + 1] = static_cast<char>(tbl1[code] & 0xFF);
  }

  std::memcpy(row->cells[kColType], TypeText(entry[kEntryType]), 5);
  if (entry[kEntryLock] != 0) row->cells[kColType][3] = '*';

  const unsigned start = EntryStart(entry);
  const unsigned length = EntryLength(entry);
  // Not reduced to 16 bits: past FFFF it shows five digits, and start 0 with length 0 shows
  // the 32-bit form of -1.
  const int32_t end = static_cast<int32_t>(start) + static_cast<int32_t>(length) - 1;
  std::snprintf(row->cells[kColStart], kCellCapacity, "%04X", start);
  std::snprintf(row->cells[kColEnd], kCellCapacity, "%04X", static_cast<unsigned>(end));
  std::snprintf(row->cells[kColLength], kCellCapacity, "%04X", length);
  std::snprintf(row->cells[kColExec], kCellCapacity, "%04X", EntryExec(entry));
  std::snprintf(row->cells[kColDate], kCellCapacity, "%02X/%02X/%02X", entry[kEntryDate],
                entry[kEntryDate + 1], entry[kEntryDate + 2]);
  std::snprintf(row->cells[kColTrk], kCellCapacity, "%02X", entry[kEntryTrk]);
  std::snprintf(row->cells[kColSct], kCellCapacity, "%02X", entry[kEntrySct]);
}

void DateSortKey(const char* cell, char* key, int capacity) {
  const bool lastCentury = cell[0] >= '7' && cell[0] <= '9' && cell[1] >= '0' && cell[1] <= '9';
  std::snprintf(key, static_cast<size_t>(capacity), "%s%s", lastCentury ? "19" : "20", cell);
}
