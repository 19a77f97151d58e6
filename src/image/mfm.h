// IBM double-density MFM tracks as a floppy emulator's bit stream holds them: every data bit two
// cells (clock, data), the cells of each byte of the stream sent least significant bit first.
#pragma once

#include <cstdint>

#include "image/disk_model.h"

inline constexpr int kMfmTrackBytes = 6250;     // data bytes a side at 250 kbit/s and 300 rpm
inline constexpr int kMfmCellBytes = 12500;     // their cells: 16 to a data byte
inline constexpr int kMfmSectorsMax = 16;       // 256-byte sectors that fit a track with its gaps
inline constexpr uint16_t kMfmSyncA1 = 0x4489;  // A1 with a missing clock
inline constexpr uint16_t kMfmSyncC2 = 0x5224;  // C2 with a missing clock

// Encodes the track's 256-byte sectors (absent ones and others left out) into kMfmCellBytes
// bytes of cells: gap 4a, the index mark, gap 1, then per sector its ID field, gap 2, its data
// field (mark F8 when deleted, a CRC written wrong when it carries an error) and gap 3; gap 4b to
// the end. 0, or -1 when more than kMfmSectorsMax sectors would have to fit.
int MfmEncodeTrack(const ModelTrack* track, uint8_t* cells);

// Decodes `count` bytes of cells into the sectors found: each data field after a sound ID field,
// kSectorDeleted for mark F8, kSectorCrcBad when its CRC fails, kSectorOtherSize (no data) for
// another size than 256. 0; -1 when more than kModelSectors sectors turn up; -2 when a data field
// runs past the end of the cells.
int MfmDecodeTrack(const uint8_t* cells, int count, ModelTrack* track);

// The cells a rewrite touched: [first, end).
struct MfmCellSpan {
  int64_t first;
  int64_t end;
};
// Rewrites the data field of sector `sector` (the one a read finds) in place: its 256 bytes and a
// CRC computed anew, in the same cells, and the clock cell that follows the CRC. The ID field, the
// mark, the gaps and every other sector keep their cells. `work` holds the track's decode.
// 0; 1 when the track holds no such sector (nothing changes); -1 when the track does not decode.
int MfmRewriteData(uint8_t* cells, int count, int sector, const uint8_t* data, ModelTrack* work,
                   MfmCellSpan* span);
