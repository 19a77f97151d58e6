// Reading and writing runs of 256-byte sectors of the current image (App.ImagePath) under its
// layout (App.ImageFormat: 0 flat, anything else D88) and recording convention (App.MachineMode).
#pragma once

#include <cstdint>

#include "platform/platform.h"

inline constexpr int kD88HeaderBytes = 688;
inline constexpr int kD88TrackTable = 32;
inline constexpr int kD88TrackCount = 164;
inline constexpr int kD88RecordBytes = 272;
inline constexpr int kD88SectorHeaderBytes = 16;

// The buffer must hold the whole sectors that cover byteCount bytes. 0 on success; -1 after a
// message box owned by `owner`.
int ZLV_ReadZelvoFile(WindowHandle owner, uint8_t* buffer, int track, int sector, int byteCount);
// Changes the buffer in place: 0xFF fill of the last sector's tail, inversion under MZ.
int ZLV_WriteZelvoFile(WindowHandle owner, uint8_t* buffer, int track, int sector, int byteCount);

// Physical track under which the image stores a logical track (sides swapped under MZ).
inline int PhysicalTrack(int logicalTrack, int machineMode) {
  return machineMode == 0 ? (logicalTrack ^ 1) : logicalTrack;
}

struct ImageFile;
// Looks a sector up in an open D88 image of `fileSize` bytes: 1 with *recordOffset when the track
// carries it in a record that lies wholly inside the file, 0 when it is absent (track offset 0 or
// inside the header, physical track 164 or more, no record with that number), -1 on a read error.
int D88FindSector(ImageFile* file, int64_t fileSize, int physicalTrack, int sector,
                  uint32_t* recordOffset);
// A run of sectors: logical track and sector of its first sector, and its byte count.
struct SectorRun {
  int track;
  int sector;
  int byteCount;
};
// Whether the current image carries every sector of the runs under the current convention, each
// in a record of its own: 1 yes, 0 no (a sector out of bounds or missing, or its D88 record
// reached by the lookups of another track as well, so that writing it would change that track
// too), -1 when the image cannot be opened. A flat image carries every sector in bounds.
int ImageCarriesRuns(const SectorRun* runs, int runCount);
inline int ImageCarriesRun(int track, int sector, int byteCount) {
  const SectorRun run{track, sector, byteCount};
  return ImageCarriesRuns(&run, 1);
}
