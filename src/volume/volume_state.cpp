#include "volume/volume_state.h"

#include "volume/layout.h"

void ApplyExdirRule(VolumeState* volume) {
  volume->ExdirPresent = 0;
  volume->DirectoryBytes = kDirectoryHalfBytes;
  volume->EntryCount = 64;
  const int track = volume->SystemArea[kSysExdirTrk];
  const int sector = volume->SystemArea[kSysExdirSct];
  if (track == 0xFF && sector == 0xFF) return;
  if (track >= 1 && track <= 83 && sector >= 1 && sector <= 16) {
    volume->ExdirPresent = 1;
    volume->DirectoryBytes = kDirectoryBufferBytes;
    volume->EntryCount = 128;
    volume->ExdirTrack = track;
    volume->ExdirSector = sector;
  }
}
