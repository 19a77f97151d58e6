#include "volume/deleted_entries.h"

#include "volume/bit_table.h"
#include "volume/file_ops.h"
#include "volume/layout.h"

namespace {

constexpr int kFirstDataIndex = 2 * kSectorsPerTrack;
constexpr int kSlotsPerHalf = kDirectoryHalfBytes / kEntryBytes;

// The live slot whose run covers sector `index`, or -1. Only the part of a run inside the disk
// claims anything.
int LiveOwner(const uint8_t* directory, int slotCount, int index) {
  for (int k = 0; k < slotCount; ++k) {
    const uint8_t* entry = directory + k * kEntryBytes;
    if (entry[kEntryType] == 0) continue;
    const int track = entry[kEntryTrk], sector = entry[kEntrySct];
    if (!SectorAddressValid(track, sector)) continue;
    const int first = RunFirstIndex(entry);
    if (index >= first && index < first + RunSectorCount(entry)) return k;
  }
  return -1;
}

void Judge(const uint8_t* systemArea, const uint8_t* directory, int slotCount, int exdirFirst,
           int slot, DeletedEntry* found) {
  const uint8_t* entry = directory + slot * kEntryBytes;
  found->slot = slot;
  found->count = RunSectorCount(entry);
  found->first = SectorIndex(entry[kEntryTrk], entry[kEntrySct]);
  found->claimedByFiles = found->claimedBySystem = 0;
  found->firstClaimed = found->ownerSlot = -1;
  if (found->count == 0 || !SectorAddressValid(entry[kEntryTrk], entry[kEntrySct]) ||
      found->first + found->count - 1 > kLastSectorIndex) {
    found->verdict = kDeletedLost;
    return;
  }
  for (int index = found->first; index < found->first + found->count; ++index) {
    const int owner = LiveOwner(directory, slotCount, index);
    const bool inExdir =
        exdirFirst >= 0 && index >= exdirFirst && index < exdirFirst + kExdirSectorCount;
    if (owner >= 0) {
      found->claimedByFiles++;
      if (found->ownerSlot < 0) found->ownerSlot = owner;
    } else if (index < kFirstDataIndex || inExdir || SectorUsed(systemArea + kSysBitTable, index)) {
      found->claimedBySystem++;
    } else {
      continue;
    }
    if (found->firstClaimed < 0) found->firstClaimed = index;
  }
  found->verdict = found->firstClaimed < 0 ? kDeletedRecoverable : kDeletedOverwritten;
}

}  // namespace

bool IsDeletedSlot(const uint8_t* entry) {
  if (entry[kEntryType] != 0) return false;
  for (int i = 1; i < kEntryBytes; ++i)
    if (entry[i] != 0) return true;
  return false;
}

int ScanDeletedEntries(const uint8_t* systemArea, const uint8_t* directory, int slotCount,
                       int exdirFirst, DeletedEntry* entries, int capacity) {
  if (slotCount > kMaxSlots) slotCount = kMaxSlots;
  int found = 0;
  for (int slot = 0; slot < slotCount; ++slot) {
    if (!IsDeletedSlot(directory + slot * kEntryBytes)) continue;
    if (found < capacity)
      Judge(systemArea, directory, slotCount, exdirFirst, slot, &entries[found]);
    found++;
  }
  return found;
}

int RestoreDeletedSlot(uint8_t* systemArea, uint8_t* directory, int slot, uint8_t type) {
  uint8_t* entry = directory + slot * kEntryBytes;
  entry[kEntryType] = type;
  const int count = RunSectorCount(entry);
  if (count > 0 && SectorAddressValid(entry[kEntryTrk], entry[kEntrySct]))
    MarkSectorsUsed(systemArea + kSysBitTable, count, entry[kEntryTrk], entry[kEntrySct]);
  return slot < kSlotsPerHalf ? 1 : 2;
}
