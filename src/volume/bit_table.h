// First-fit allocation of sector runs in the bit table (one bit per sector index, 1 = used).
#pragma once

#include <cstdint>

// bitTable is the start of the 512-byte SystemArea.
int FindFreeRun(const uint8_t* bitTable, int count, int* track, int* sector);
int CountFreeRun(const uint8_t* bitTable, int index);
// The free sectors an import can use: those of the free runs that FindFreeRun may start (on tracks
// 2 to 79; a run may reach on into tracks 80-83). The longest such run goes into *longest.
int UsableFreeSectors(const uint8_t* bitTable, int* longest);
int MarkSectorsUsed(uint8_t* bitTable, int count, int track, int sector);
inline bool SectorUsed(const uint8_t* bitTable, int index) {
  return (bitTable[index / 8] >> (index % 8)) & 1;
}
