// The IMD container: an ASCII header line and comment ended by 0x1A, then every track as its
// mode, cylinder, head (with flags for cylinder and head maps), sector count, size code, the
// sector numbering map, the optional maps and one record per sector (unavailable, normal or
// compressed to one fill byte, each also as deleted, with an error, or both).
#pragma once

#include <cstdint>

#include "image/container.h"

extern const ContainerKind kImdContainer;

inline constexpr int kImdCommentMax = 65536;  // how far the header's 0x1A is looked for
inline constexpr uint8_t kImdCylinderMap = 0x80;
inline constexpr uint8_t kImdHeadMap = 0x40;
