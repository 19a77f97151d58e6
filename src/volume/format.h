// A blank Zelvo volume in volume terms: the system area of a new disk and an empty directory.
#pragma once

#include <cstdint>

#include "volume/layout.h"

inline constexpr int kVolumeBytes = kTrackCount * kSectorsPerTrack * kSectorBytes;  // 344,064
inline constexpr int kSystemTracksBytes = 2 * kSectorsPerTrack * kSectorBytes;      // tracks 0-1

struct FormatOptions {
  unsigned volumeNumber;               // 0-65535, 0 is the master disk
  uint8_t date[3];                     // year, month, day in BCD
  char diskName[kSysDiskNameMax + 1];  // up to 27 bytes
  bool exdir;                          // give the volume an extended directory
  const uint8_t* like;                 // tracks 0-1 of a volume to start like, or null
};

// Fills `volume` (kVolumeBytes) with a blank volume: every byte 0 but the system area, whose bit
// table has sectors 0-31 in use, no extended directory (0xFF 0xFF) unless asked for (then its 8
// sectors are the first free run from track 2 and marked used), and the volume number, date and
// disk name of the options. Made like another volume, tracks 0 and 1 and the system area's other
// bytes are that volume's, with the bit table reset and the directory emptied.
void FormatVolume(const FormatOptions& options, uint8_t* volume);
// Today's date in BCD, year first, from the platform's local date.
void TodayBcd(uint8_t date[3]);
