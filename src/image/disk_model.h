// One disk as its tracks of sectors, whatever container it came from: every sector with its ID
// (C, H, R, N), its marks and its 256 bytes. The containers whose sectors lie at no fixed place
// (IMD, HFE) read a track into it; conversion reads every track of a disk into it and writes it
// out in another container.
#pragma once

#include <cstdint>

inline constexpr int kModelTracks = 164;  // physical tracks: cylinder p / 2, side p % 2
inline constexpr int kModelSectors = 32;  // sectors a track keeps; more make the track unreadable

// Marks of a sector.
inline constexpr uint8_t kSectorDeleted = 0x01;    // a deleted-data mark
inline constexpr uint8_t kSectorError = 0x02;      // read with an error (D88 status, IMD 5-8)
inline constexpr uint8_t kSectorAbsent = 0x04;     // its ID is known, its data is not (IMD type 0)
inline constexpr uint8_t kSectorCrcBad = 0x08;     // its data CRC failed when it was decoded
inline constexpr uint8_t kSectorOtherSize = 0x10;  // not 256 bytes: no data kept

struct ModelSector {
  uint8_t c, h, r, n;
  uint8_t marks;
  uint8_t status;  // a D88 status byte as it was read (0 when none)
  uint8_t data[256];
};

struct ModelTrack {
  int count;
  ModelSector sectors[kModelSectors];
};

struct DiskModel {
  char name[18];  // the disk name (raw bytes, zero-terminated)
  bool writeProtected;
  ModelTrack tracks[kModelTracks];
};

// The first sector of the track numbered `r` with 256 data bytes, or null.
inline const ModelSector* ModelFindSector(const ModelTrack* track, int r) {
  for (int i = 0; i < track->count; i++) {
    const ModelSector& s = track->sectors[i];
    if (s.r == r && !(s.marks & (kSectorAbsent | kSectorOtherSize))) return &s;
  }
  return nullptr;
}

// A blank track of a new image: sectors 1 to 16 in order, with the IDs of physical track `p`
// (cylinder p / 2, head p % 2) and 256 zero bytes each.
inline void ModelBlankTrack(ModelTrack* track, int p) {
  track->count = 16;
  for (int i = 0; i < 16; i++) {
    ModelSector& s = track->sectors[i];
    s = ModelSector{static_cast<uint8_t>(p / 2),
                    static_cast<uint8_t>(p % 2),
                    static_cast<uint8_t>(i + 1),
                    1,
                    0,
                    0,
                    {}};
  }
}
