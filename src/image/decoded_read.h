// Reading sectors of a kind whose tracks are decoded whole (ContainerKind::decoded): the last
// track decoded is kept for the sectors that follow in the same run.
#pragma once

#include <cstdint>

#include "image/image_basics.h"
#include "image/image_source.h"

struct ModelTrack;

// Forgets the source's kept track (a sector of it is changing).
void DecodedForget(ImageSource* source);
// The 256 bytes of a sector (zero when the track has none of that number). 0, or -1 when the
// track cannot be read or decoded or the sector's data CRC fails.
int DecodedReadSector(ImageSource* source, const ImageTarget* target, int physicalTrack, int sector,
                      uint8_t* chunk);
// A decoded kind's carriesRuns: every sector of the runs is on its track with 256 bytes (1), not
// (0), or the image cannot be read (-1). `work` holds the track decoded last.
int DecodedCarriesRuns(ImageSource* source, const ImageTarget* target, const SectorRun* runs,
                       int runCount, ModelTrack* work);
