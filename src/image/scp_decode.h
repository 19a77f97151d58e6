// Flux dumps (SCP): a 16-byte header, a table of 168 track offsets, and per recorded track its
// revolutions of flux intervals. A track is decoded by a digital PLL into MFM cells, every
// revolution on its own; the sectors of the revolutions are then voted into one track.
#pragma once

#include <cstdint>

#include "image/image_source.h"

struct ModelTrack;

inline constexpr int kScpHeaderBytes = 16;
inline constexpr int kScpTableAt = 0x10;
inline constexpr int kScpTableEntries = 168;
inline constexpr int kScpTrackHeaderBytes = 4;         // "TRK" and the track number
inline constexpr int kScpRevolutionBytes = 12;         // duration, flux count, data offset
inline constexpr uint8_t kScpFlagIndex = 0x01;         // revolutions start at the index
inline constexpr uint8_t kScpFlag96Tpi = 0x02;         // recorded by a 96 tpi drive
inline constexpr int kScpCellsPerRevolution = 100000;  // 2 µs cells at 300 rpm, 250 kbit/s

// What the header says.
struct ScpHeader {
  int revolutions;
  int firstTrack, lastTrack;
  uint8_t flags;
  int heads;   // 0 both, 1 side 0, 2 side 1
  int tickNs;  // the resolution: (byte 11 + 1) × 25
  uint32_t checksum;
  uint32_t offsets[kScpTableEntries];
};

// How reading the header, a track or a revolution went.
inline constexpr int kScpOk = 0;
inline constexpr int kScpReadError = -1;    // the file could not be read
inline constexpr int kScpMalformed = -2;    // the file breaks the container's rules
inline constexpr int kScpUnsupported = -3;  // another bit-cell width than 16 bits

// Reads and checks the header and the track table. kScpOk or a failure.
int ScpReadHeader(ImageSource* source, ScpHeader* header);

// The table entry that holds physical track `p` (cylinder p / 2, side p % 2): with a 96 tpi
// recording of a disk whose sectors lie only on even cylinders, cylinder c is entry 4c + side.
// -1 when no entry can hold it.
int ScpEntryOfTrack(ImageSource* source, const ScpHeader& header, int physicalTrack);

// What the revolutions of a track gave: sectors found, sound in the first revolution, sound only
// in another one, and bad (no sound copy, or sound copies that disagree). `outside` counts the
// sectors whose IDs are not those of the track's place in the volume's layout.
struct ScpTrackReport {
  bool recorded;
  int revolutions;
  int found;
  int goodFirst;
  int recovered;
  int bad;
  int outside;
};

// Decodes table entry `entry` into `track`: the sectors in the order the track holds them, each
// the copy the revolutions agree on; a bad sector carries kSectorError. An unrecorded entry is a
// track with no sectors. `report` (may be null) receives the counts; `cylinder` and `head` are the
// ID the layout expects there. kScpOk or a failure.
int ScpDecodeEntry(ImageSource* source, const ScpHeader& header, int entry, int cylinder, int head,
                   ModelTrack* track, ScpTrackReport* report);

// The sum of the bytes from the track table on, as the header's checksum counts it: 0, or -1 when
// the file cannot be read.
int ScpSumBytes(ImageSource* source, uint32_t* sum);

// --- The PLL ---

// The PLL turns flux intervals (ticks) into MFM cells (each byte least significant cell first),
// a 1 for each transition; its times are ticks × 65,536, `nominal` the cell the revolution's
// duration gives.
struct ScpPll {
  int64_t clock;    // the current cell, ticks × 65,536
  int64_t nominal;  // the cell the revolution's duration gives
  int64_t flux;     // time since the last cell boundary
  int64_t cells;    // cells written so far
};
void ScpPllBegin(ScpPll* pll, int64_t nominal);
// Feeds one interval into the zero-filled `cells`; cells past `capacity` bytes are dropped.
void ScpPllFeed(ScpPll* pll, uint32_t ticks, uint8_t* cells, int capacity);
