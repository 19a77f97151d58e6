// What every layer above the image files shares about them: the sector address, the recording
// conventions, the image formats an Open accepts and the size of a path.
#pragma once

// A host path of up to 4,095 bytes and its zero byte: the longest path Linux takes, so zelvo, the
// page and the core refuse no path their host accepts.
inline constexpr int kPathCapacity = 4096;
// The Windows program's own paths (its record, its dialogs and its code file): up to 259
// characters and the zero byte, the platform's path limit.
inline constexpr int kWindowPathCapacity = 260;

// A sector address: a logical track (0 to 83) and a sector number (1 to 16) of 256 bytes. A run of
// sectors continues from sector 16 to sector 1 of the next track.
inline constexpr int kSectorBytes = 256;
inline constexpr int kSectorsPerTrack = 16;
inline constexpr int kTrackCount = 84;  // logical tracks 0 to 83
inline constexpr int kLastSectorIndex = kTrackCount * kSectorsPerTrack - 1;  // 1343

inline int SectorIndex(int track, int sector) { return track * kSectorsPerTrack + sector - 1; }
// Sectors needed for a byte count: whole sectors, one more for a remainder.
inline int SectorsFor(long byteCount) {
  return static_cast<int>(byteCount / kSectorBytes + (byteCount % kSectorBytes != 0 ? 1 : 0));
}

// Recording conventions: under MZ the two sides of each cylinder are swapped and every data byte
// is stored inverted; under PC neither.
inline constexpr int kModeMz = 0;
inline constexpr int kModePc = 1;

// Image formats: the values an extension stands for (see the extension rows of container.h).
inline constexpr int kFormat2D = 0;
inline constexpr int kFormatD20 = 1;
inline constexpr int kFormatD88 = 2;
inline constexpr int kFormatImd = 3;
inline constexpr int kFormatHfe = 4;
inline constexpr int kFormatScp = 5;

// The physical track under which an image stores a logical track (sides swapped under MZ).
inline int PhysicalTrack(int logicalTrack, int machineMode) {
  return machineMode == kModeMz ? (logicalTrack ^ 1) : logicalTrack;
}
// The next sector of a run: after sector 16, sector 1 of the next track.
inline void StepSector(int* track, int* sector) {
  if (++*sector == kSectorsPerTrack + 1) {
    *sector = 1;
    ++*track;
  }
}
inline bool SectorAddressValid(int track, int sector) {
  return track >= 0 && track < kTrackCount && sector >= 1 && sector <= kSectorsPerTrack;
}

// A run of sectors: logical track and sector of its first sector, and its byte count.
struct SectorRun {
  int track;
  int sector;
  int byteCount;
};
