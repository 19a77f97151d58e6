// What a sector of the volume belongs to, as the sector view names it.
#pragma once

#include <cstdint>

#include "image/sector_health.h"
#include "volume/volume_check.h"
#include "volume/volume_state.h"

// The owner of sector `index` (0-1343): the system area and its bit table, the directory, the
// extended directory, the first live file whose run covers it (its name through tbl1), marked
// used with no owner, or free. Code page 932, or English when `english`.
void DescribeSectorOwner(const VolumeState* volume, const uint16_t* tbl1, int index, bool english,
                         char* text, int capacity);
// An owner as a text: "file NAME" with the name as the list shows it, "directory"...
void ComposeSectorOwner(const VolumeView& volume, const SectorOwner& owner, const uint16_t* tbl1,
                        bool english, char* text, int capacity);
// What the container says of a sector: "data CRC error"..., "sound" or "not in the image".
void ComposeSectorVerdict(const SectorHealth& health, bool english, char* text, int capacity);
// The bad and missing sectors of a live file's run, as "track 05 sector 03 (data CRC error), ..."
// (the first eight, then how many more); empty when it has none.
void ComposeFileDamage(const VolumeView& volume, const VolumeHealth& health, int slot, bool english,
                       char* text, int capacity);
// One 16-byte line of a hex dump: the offset, the bytes in hex, then the bytes as characters
// through tbl1, one character per byte (a code that is no character of code page 932, a control
// code included, as '.'). Code page 932.
void FormatHexLine(const uint8_t* bytes, int offset, const uint16_t* tbl1, char* text,
                   int capacity);
