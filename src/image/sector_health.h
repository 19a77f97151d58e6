// What the container says of each sector of a volume: read sound, recorded with an error, or not
// there at all. A D88 sector record carries a status byte (0x00 normal, 0x10 deleted data, any
// other value an error the drive reported); an IMD record a type (5 to 8: a data error); an HFE
// data field a CRC; a sector is missing when its container has no record of it or the file ends
// before its 256 bytes do.
#pragma once

#include <cstdint>

#include "image/image_basics.h"
#include "image/image_target.h"

enum SectorHealthState : uint8_t {
  kSectorSound = 0,
  kSectorBad = 1,      // the container records an error for it
  kSectorMissing = 2,  // the container does not carry it, or not whole
};

// What the container recorded of a bad sector.
enum SectorHealthCause : uint8_t {
  kCauseNone = 0,
  kCauseD88Status,  // `code` holds the D88 status byte
  kCauseImdType,    // `code` holds the IMD record type (5 to 8)
  kCauseCrc,        // the data field's CRC does not match its bytes (HFE)
  kCauseError,      // an error mark with no code of its own
};

struct SectorHealth {
  uint8_t state;
  uint8_t cause;
  uint8_t code;
};

struct VolumeHealth {
  SectorHealth
      sectors[kTrackCount * kSectorsPerTrack];  // by sector index (track * 16 + sector - 1)
  int bad;
  int missing;
};

// Reads the health of every sector of the target's volume (logical tracks 0-83 under its
// convention). 0, or -1 when the image cannot be read (*health then says nothing).
int ReadVolumeHealth(const ImageTarget* target, VolumeHealth* health);
// The health of one sector (logical track, sector 1-16) of the target's volume. 0, or -1.
int ReadSectorHealth(const ImageTarget* target, int track, int sector, SectorHealth* health);
// Turns a volume's health read under one convention into the other's: the two sides of each
// cylinder change places (MZ records logical track t on physical track t ^ 1).
void SwapHealthSides(VolumeHealth* health);
