// First-fit allocation of sector runs in the bit table (one bit per sector index, 1 = used).
#pragma once

#include <cstdint>

// bitTable is the start of the 512-byte SystemArea.
int FindFreeRun(const uint8_t* bitTable, int count, int* track, int* sector);
int CountFreeRun(const uint8_t* bitTable, int index);
int MarkSectorsUsed(uint8_t* bitTable, int count, int track, int sector);
inline bool SectorUsed(const uint8_t* bitTable, int index) {
  return (bitTable[index / 8] >> (index % 8)) & 1;
}
