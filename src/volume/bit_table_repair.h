// Mending the bit table from the directory: every sector of a live file's run and of the extended
// directory marked used; with freeUnowned, sectors of tracks 2-83 marked used that nothing owns
// freed. Never a repair by guessing: files that share sectors or leave the disk stop it.
#pragma once

#include <cstdint>

#include "volume/volume_check.h"

struct BitTableRepair {
  bool refused;  // files share sectors, or a run or the extended directory leaves the disk
  int marked;    // sectors marked used
  int freed;     // sectors freed
  int firstMarked, firstFreed;  // sector indexes, -1 when none
};

// The repaired system area (512 bytes) of the volume into `repaired`, and what changed. When
// refused, `repaired` is the system area as it was.
void PlanBitTableRepair(const VolumeView& volume, bool freeUnowned, uint8_t* repaired,
                        BitTableRepair* repair);
