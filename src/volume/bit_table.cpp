#include "volume/bit_table.h"

#include "volume/layout.h"

namespace {

// Runs may only begin on tracks 2 to 79.
constexpr int kFirstRunIndex = 2 * kSectorsPerTrack;
constexpr int kRunStartLimit = 80 * kSectorsPerTrack;

}  // namespace

int FindFreeRun(const uint8_t* bitTable, int count, int* track, int* sector) {
  *track = 0;
  *sector = 0;
  int index = kFirstRunIndex;
  while (index < kRunStartLimit) {
    const int free = CountFreeRun(bitTable, index);
    if (free >= count) {
      *track = index / kSectorsPerTrack;
      *sector = index % kSectorsPerTrack + 1;
      return 0;
    }
    index += free + 1;  // past the short run and the used sector that ended it
  }
  return -1;
}

int UsableFreeSectors(const uint8_t* bitTable, int* longest) {
  int usable = 0;
  *longest = 0;
  int index = kFirstRunIndex;
  while (index < kRunStartLimit) {
    const int free = CountFreeRun(bitTable, index);
    usable += free;
    if (free > *longest) *longest = free;
    index += free + 1;
  }
  return usable;
}

int CountFreeRun(const uint8_t* bitTable, int index) {
  // The count ends at the last addressable sector: the bytes after the bit table hold other
  // fields of the system area.
  int free = 0;
  for (int i = index; i >= 0 && i <= kLastSectorIndex; ++i) {
    if (SectorUsed(bitTable, i)) break;
    ++free;
  }
  return free;
}

int MarkSectorsUsed(uint8_t* bitTable, int count, int track, int sector) {
  const int first = SectorIndex(track, sector);
  for (int k = 0; k < count; ++k) {
    const int i = first + k;
    // A sector outside the volume cannot be marked (its bit would fall on another field).
    if (i < 0 || i > kLastSectorIndex) return -1;
    if (SectorUsed(bitTable, i)) return -1;
    bitTable[i / 8] = static_cast<uint8_t>(bitTable[i / 8] | (1u << (i % 8)));
  }
  return 0;
}
