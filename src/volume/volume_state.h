// A loaded volume: its system area and its directory as read from the image, and what the
// system area says of the extended directory.
#pragma once

#include <cstdint>

struct VolumeState {
  uint8_t SystemArea[512];
  uint8_t DirectoryBuffer[4096];
  int EntryCount;           // directory slots: 64, or 128 with the extended directory
  unsigned DirectoryBytes;  // 2048, or 4096 with the extended directory
  int ExdirPresent;
  int ExdirTrack;
  int ExdirSector;
  // What the last read found, for a change planned from it (volume_basis.h): a checksum of the
  // system area and the directory, the commit count of this process then, and whether it is set.
  uint32_t BasisSum;
  unsigned BasisCommits;
  int BasisKnown;
};

// Decides from SystemArea whether the volume has an extended directory; sets ExdirPresent,
// EntryCount and DirectoryBytes, and ExdirTrack and ExdirSector when it has one (they keep their
// values otherwise).
void ApplyExdirRule(VolumeState* volume);
