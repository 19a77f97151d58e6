#include "volume/bit_table_repair.h"

#include <cstring>

#include "volume/bit_table.h"
#include "volume/file_ops.h"
#include "volume/layout.h"

namespace {

constexpr int kFirstDataIndex = 2 * kSectorsPerTrack;
constexpr int kSectorCount = kLastSectorIndex + 1;

void Set(uint8_t* bitTable, int index, bool used) {
  const uint8_t bit = static_cast<uint8_t>(1u << (index % 8));
  bitTable[index / 8] =
      static_cast<uint8_t>(used ? bitTable[index / 8] | bit : bitTable[index / 8] & ~bit);
}

}  // namespace

void PlanBitTableRepair(const VolumeView& volume, bool freeUnowned, uint8_t* repaired,
                        BitTableRepair* repair) {
  std::memset(repair, 0, sizeof *repair);
  repair->firstMarked = repair->firstFreed = -1;
  std::memcpy(repaired, volume.systemArea, kSystemAreaBytes);
  // Runs outside the disk and shared sectors stop the repair; free sectors are what it mends.
  CheckFinding all[4096];
  CheckFindings every{all, 4096, 0};
  CheckVolumeStructure(volume, &every);
  repair->refused = every.count > every.capacity;
  for (int i = 0; i < every.count && i < every.capacity; ++i) {
    const int kind = all[i].kind;
    if (kind == kCheckRunOutside || kind == kCheckSharedSectors || kind == kCheckExdirOutside)
      repair->refused = true;
  }
  if (repair->refused) return;
  bool owned[kSectorCount] = {};
  const int slots = volume.entryCount < kMaxSlots ? volume.entryCount : kMaxSlots;
  for (int k = 0; k < slots; ++k) {
    const uint8_t* entry = volume.directory + k * kEntryBytes;
    if (entry[kEntryType] == 0) continue;
    const int first = RunFirstIndex(entry);
    for (int i = first; i < first + RunSectorCount(entry); ++i) owned[i] = true;
  }
  if (volume.exdirPresent) {
    const int first = SectorIndex(volume.exdirTrack, volume.exdirSector);
    for (int i = first; i < first + kExdirSectorCount; ++i) owned[i] = true;
  }
  uint8_t* bitTable = repaired + kSysBitTable;
  for (int i = 0; i < kSectorCount; ++i) {
    if (owned[i] && !SectorUsed(bitTable, i)) {
      Set(bitTable, i, true);
      if (repair->marked++ == 0) repair->firstMarked = i;
    } else if (freeUnowned && !owned[i] && i >= kFirstDataIndex && SectorUsed(bitTable, i)) {
      Set(bitTable, i, false);
      if (repair->freed++ == 0) repair->firstFreed = i;
    }
  }
}
