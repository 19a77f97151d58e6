// Reading sectors of a kind whose tracks are decoded whole (ContainerKind::decoded): the last
// track decoded is kept for the sectors that follow in the same run.
#pragma once

#include <cstdint>

#include "image/image_source.h"

// Forgets the kept track: every run of reads starts with it.
void DecodedForget();
// The 256 bytes of a sector (zero when the track has none of that number). 0, or -1 when the
// track cannot be read or decoded or the sector's data CRC fails.
int DecodedReadSector(ImageSource* source, const ImageTarget* target, int physicalTrack, int sector,
                      uint8_t* chunk);
