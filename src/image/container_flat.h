// The flat layout of 2D images: no header, 256-byte sectors one after another, 16 per track,
// track after track from physical track 0.
#pragma once

#include <cstdint>

#include "image/container.h"

inline constexpr uint32_t kFlatImageBytes = 84u * 16u * 256u;  // 344,064: a whole image

extern const ContainerKind kFlatContainer;

struct ModelTrack;
struct DiskModel;
struct ContainerStamp;
// A flat track: sectors 1-16 in order, C = cylinder, H = side, N = 1.
int FlatReadTrack(ImageSource* source, const ImageTarget* target, int physicalTrack,
                  ModelTrack* track);
// Tracks 0-83, each sector 1-16 in order from the track's sector of that number (0xE5 when it
// has none).
int64_t FlatWriteDisk(ImageFile* file, uint32_t base, const DiskModel* disk,
                      const ContainerStamp* stamp);
