#include "view/sector_owner.h"

#include <cstdio>
#include <cstring>

#include "texts/texts.h"
#include "view/directory_list.h"
#include "volume/bit_table.h"
#include "volume/file_ops.h"
#include "volume/layout.h"

void DescribeSectorOwner(const VolumeState* volume, const uint16_t* tbl1, int index, bool english,
                         char* text, int capacity) {
  const size_t size = static_cast<size_t>(capacity);
  auto say = [&](const char* ja, const char* en) {
    std::snprintf(text, size, "%s", english ? en : ja);
  };
  const int systemFirst = SectorIndex(kSystemAreaTrack, kSystemAreaSector);
  const int directoryFirst = SectorIndex(kDirectoryTrack, kDirectorySector);
  if (index == systemFirst) return say(kSectorOwnerBitTable, kSectorOwnerBitTableEn);
  if (index >= directoryFirst && index < directoryFirst + kExdirSectorCount)
    return say(kSectorOwnerDirectory, kSectorOwnerDirectoryEn);
  if (volume->ExdirPresent) {
    const int first = SectorIndex(volume->ExdirTrack, volume->ExdirSector);
    if (index >= first && index < first + kExdirSectorCount)
      return say(kSectorOwnerExdir, kSectorOwnerExdirEn);
  }
  const int slots = volume->EntryCount < kMaxSlots ? volume->EntryCount : kMaxSlots;
  for (int k = 0; k < slots; ++k) {
    const uint8_t* entry = volume->DirectoryBuffer + k * kEntryBytes;
    if (entry[kEntryType] == 0 || !SectorAddressValid(entry[kEntryTrk], entry[kEntrySct])) continue;
    const int first = RunFirstIndex(entry);
    if (index < first || index >= first + RunSectorCount(entry)) continue;
    DirectoryRow row;
    FormatDirectoryRow(entry, tbl1, &row);
    std::snprintf(text, size, english ? kSectorOwnerFileEn : kSectorOwnerFile, row.cells[kColName]);
    return;
  }
  if (index < 2 * kSectorsPerTrack) return say(kSectorOwnerSystem, kSectorOwnerSystemEn);
  if (SectorUsed(volume->SystemArea + kSysBitTable, index))
    return say(kSectorOwnerUnowned, kSectorOwnerUnownedEn);
  say(kSectorOwnerFree, kSectorOwnerFreeEn);
}

namespace {

// Code page 932: the bytes that begin a character of two, those that may follow, and the single
// bytes that are characters (ASCII and half-width katakana).
bool LeadByte(uint8_t b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }
bool TrailByte(uint8_t b) { return b >= 0x40 && b <= 0xFC && b != 0x7F; }
bool SingleCharacter(uint8_t b) { return (b >= 0x20 && b < 0x7F) || (b >= 0xA1 && b <= 0xDF); }

}  // namespace

void FormatHexLine(const uint8_t* bytes, int offset, const uint16_t* tbl1, char* text,
                   int capacity) {
  const size_t size = static_cast<size_t>(capacity);
  int n = std::snprintf(text, size, "%04X ", offset);
  for (int i = 0; i < 16 && n > 0 && static_cast<size_t>(n) < size; ++i)
    n += std::snprintf(text + n, size - static_cast<size_t>(n), " %02X", bytes[i]);
  if (n < 0 || static_cast<size_t>(n) + 3 >= size) return;
  text[n++] = ' ';
  text[n++] = ' ';
  for (int i = 0; i < 16 && static_cast<size_t>(n) + 3 < size; ++i) {
    const unsigned shown = tbl1[bytes[i]];
    const uint8_t high = static_cast<uint8_t>(shown >> 8), low = static_cast<uint8_t>(shown);
    // Each byte shows as one character: a code with none (or half of one) as '.'.
    if (high != 0 && LeadByte(high) && TrailByte(low)) {
      text[n++] = static_cast<char>(high);
      text[n++] = static_cast<char>(low);
    } else {
      text[n++] = high == 0 && SingleCharacter(low) ? static_cast<char>(low) : '.';
    }
  }
  text[n] = '\0';
}
