// The flat layout of 2D images: no header, 256-byte sectors one after another, 16 per track,
// track after track from physical track 0.
#pragma once

#include <cstdint>

#include "image/container.h"

inline constexpr uint32_t kFlatImageBytes = 84u * 16u * 256u;  // 344,064: a whole image

extern const ContainerKind kFlatContainer;
