// The directory list: nine columns, one row per used directory entry.
#pragma once

#include <cstdint>

inline constexpr int kColumnCount = 9;
inline constexpr int kCellCapacity = 33;
enum Column {
  kColName,
  kColType,
  kColStart,
  kColEnd,
  kColLength,
  kColExec,
  kColDate,
  kColTrk,
  kColSct
};

struct DirectoryRow {
  char cells[kColumnCount][kCellCapacity];
};

// The nine cell texts of one 32-byte entry, names shown through tbl1.
void FormatDirectoryRow(const uint8_t* entry, const uint16_t* tbl1, DirectoryRow* row);
// Column titles and widths.
extern const char* const kColumnTitles[kColumnCount];
extern const int kColumnWidths[kColumnCount];
// A date cell ("YY/MM/DD") as a text that sorts by date: years 70-99 come before 00-69.
void DateSortKey(const char* cell, char* key, int capacity);
