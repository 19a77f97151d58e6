#include "volume/file_ops.h"

#include <cstring>

#include "volume/bit_table.h"
#include "volume/layout.h"

namespace {

constexpr int kFirstDataIndex = 2 * kSectorsPerTrack;  // tracks 0 and 1 are never freed
constexpr int kSlotsPerHalf = kDirectoryHalfBytes / kEntryBytes;

int Slots(int entryCount) { return entryCount < kMaxSlots ? entryCount : kMaxSlots; }

bool Covers(const uint8_t* entry, int index) {
  const int first = RunFirstIndex(entry);
  return index >= first && index < first + RunSectorCount(entry);
}

uint8_t LowerAscii(uint8_t b) { return b >= 'A' && b <= 'Z' ? static_cast<uint8_t>(b + 32) : b; }

}  // namespace

int SlotOfRow(const uint8_t* directory, int entryCount, int row) {
  if (row < 0) return -1;
  for (int k = 0, seen = 0; k < Slots(entryCount); ++k) {
    if (directory[k * kEntryBytes + kEntryType] == 0) continue;
    if (seen++ == row) return k;
  }
  return -1;
}

int RowOfUsedSlot(const uint8_t* directory, int entryCount, int slot) {
  if (slot < 0 || slot >= Slots(entryCount)) return -1;
  if (directory[slot * kEntryBytes + kEntryType] == 0) return -1;
  int row = 0;
  for (int k = 0; k < slot; ++k)
    if (directory[k * kEntryBytes + kEntryType] != 0) ++row;
  return row;
}

bool SlotNameIs(const uint8_t* directory, int slot, const char* name, int length) {
  const uint8_t* stored = directory + slot * kEntryBytes + kEntryName;
  int n = 0;
  while (n < kEntryNameMax && stored[n] != 0x0D && stored[n] != 0x00) ++n;
  if (n != length) return false;
  for (int i = 0; i < n; ++i)
    if (LowerAscii(stored[i]) != LowerAscii(static_cast<uint8_t>(name[i]))) return false;
  return true;
}

int EntryNameKey(const uint8_t* name, char key[16]) {
  int n = 0;
  while (n < kEntryNameMax && name[n] != 0x0D && name[n] != 0x00) {
    key[n] = static_cast<char>(LowerAscii(name[n]));
    ++n;
  }
  return n;
}

int RunFirstIndex(const uint8_t* entry) { return SectorIndex(entry[kEntryTrk], entry[kEntrySct]); }

int RunSectorCount(const uint8_t* entry) { return SectorsFor(EntryLength(entry)); }

bool RunStartsOnDataTrack(const uint8_t* entry) {
  const int trk = entry[kEntryTrk];
  const int sct = entry[kEntrySct];
  return trk >= 2 && trk < kTrackCount && sct >= 1 && sct <= kSectorsPerTrack;
}

void FreeFileRun(uint8_t* systemArea, const uint8_t* entry, const uint8_t* directory,
                 int entryCount, int exdirFirst) {
  if (!RunStartsOnDataTrack(entry)) return;
  const int first = RunFirstIndex(entry);
  const int count = RunSectorCount(entry);
  for (int index = first; index < first + count && index <= kLastSectorIndex; ++index) {
    if (index < kFirstDataIndex) continue;
    if (exdirFirst >= 0 && index >= exdirFirst && index < exdirFirst + kExdirSectorCount) continue;
    bool shared = false;
    for (int k = 0; k < Slots(entryCount) && !shared; ++k) {
      const uint8_t* other = directory + k * kEntryBytes;
      shared = other[kEntryType] != 0 && Covers(other, index);
    }
    if (shared) continue;
    systemArea[index / 8] = static_cast<uint8_t>(systemArea[index / 8] & ~(1u << (index % 8)));
  }
}

int DeleteSlots(uint8_t* systemArea, uint8_t* directory, int entryCount, int exdirFirst,
                const int* slots, int count) {
  // The chosen slots, each once, that hold a file.
  bool chosen[kMaxSlots] = {};
  for (int i = 0; i < count; ++i) {
    const int slot = slots[i];
    if (slot >= 0 && slot < Slots(entryCount) && directory[slot * kEntryBytes + kEntryType] != 0)
      chosen[slot] = true;
  }
  int halves = 0;
  for (int k = 0; k < kMaxSlots; ++k) {
    if (!chosen[k]) continue;
    directory[k * kEntryBytes + kEntryType] = 0;
    halves |= k < kSlotsPerHalf ? 1 : 2;
  }
  // Every run is freed against the files that stay: a sector two deleted files shared is freed,
  // one that a remaining file covers is kept.
  for (int k = 0; k < kMaxSlots; ++k)
    if (chosen[k])
      FreeFileRun(systemArea, directory + k * kEntryBytes, directory, entryCount, exdirFirst);
  return halves;
}

void StoreEntryWord(uint8_t* entry, int offset, unsigned value) {
  const uint8_t high = static_cast<uint8_t>(value / 256 % 256);
  const uint8_t low = static_cast<uint8_t>(value % 256);
  if (entry[kEntryOrder] == 1) {
    entry[offset] = high;
    entry[offset + 1] = low;
  } else {
    entry[offset] = low;
    entry[offset + 1] = high;
  }
}

int FirstChangedSlot(const uint8_t* before, const uint8_t* after, int entryCount) {
  for (int slot = 0; slot < entryCount && slot < kDirectoryBufferBytes / kEntryBytes; ++slot) {
    const uint8_t* now = after + slot * kEntryBytes;
    if (now[kEntryType] != 0 && std::memcmp(now, before + slot * kEntryBytes, kEntryBytes) != 0)
      return slot;
  }
  return -1;
}
