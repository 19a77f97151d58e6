// On-disk layout of a Zelvo volume: the system area, directory entries and sector addressing.
#pragma once

#include <cstdint>

#include "image/image_basics.h"

// Where the volume structures lie.
inline constexpr int kSystemAreaTrack = 0;
inline constexpr int kSystemAreaSector = 2;
inline constexpr int kSystemAreaBytes = 512;
inline constexpr int kDirectoryTrack = 1;
inline constexpr int kDirectorySector = 1;
inline constexpr int kDirectoryHalfBytes = 2048;  // 64 entries, 8 sectors
inline constexpr int kDirectoryBufferBytes = 4096;

// SystemArea byte offsets (512 bytes from track 0 sector 2).
inline constexpr int kSysBitTable = 0;
inline constexpr int kSysBitTableBytes = 174;
inline constexpr int kSysExdirTrk = 174;
inline constexpr int kSysExdirSct = 175;
inline constexpr int kSysVolumeNumber = 176;  // low byte first
inline constexpr int kSysDate = 178;          // year, month, day
inline constexpr int kSysDiskName = 181;
inline constexpr int kSysDiskNameMax = 27;
inline constexpr int kSysIdMark = 208;  // 'F', 'M' when present
inline constexpr int kSysAutoStart = 384;
inline constexpr int kSysAutoStartMax = 48;

// DirEntry byte offsets (32 bytes per slot).
inline constexpr int kEntryBytes = 32;
inline constexpr int kEntryType = 0;
inline constexpr int kEntryName = 1;
inline constexpr int kEntryNameMax = 16;
inline constexpr int kEntryNameEnd = 17;
inline constexpr int kEntryLock = 18;
inline constexpr int kEntryOrder = 19;
inline constexpr int kEntryLength = 20;
inline constexpr int kEntryStart = 22;
inline constexpr int kEntryExec = 24;
inline constexpr int kEntryDate = 26;
inline constexpr int kEntryReserved = 29;
inline constexpr int kEntryTrk = 30;
inline constexpr int kEntrySct = 31;

// A 16-bit field of an entry, in the byte order its `order` byte gives (1 = high byte first).
inline unsigned EntryWord(const uint8_t* entry, int offset) {
  if (entry[kEntryOrder] == 1) return entry[offset] * 256u + entry[offset + 1];
  return entry[offset] + entry[offset + 1] * 256u;
}
inline unsigned EntryLength(const uint8_t* entry) { return EntryWord(entry, kEntryLength); }
inline unsigned EntryStart(const uint8_t* entry) { return EntryWord(entry, kEntryStart); }
inline unsigned EntryExec(const uint8_t* entry) { return EntryWord(entry, kEntryExec); }

inline unsigned VolumeNumber(const uint8_t* systemArea) {
  return systemArea[kSysVolumeNumber] + systemArea[kSysVolumeNumber + 1] * 256u;
}
