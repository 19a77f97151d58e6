// The HFE container (version 1): a 512-byte header, a track list of one entry per cylinder (its
// offset in 512-byte blocks and its length in bytes), then each cylinder's MFM bit stream in
// blocks of 512 bytes, the first 256 of side 0 and the next 256 of side 1.
#pragma once

#include <cstdint>

#include "image/container.h"

extern const ContainerKind kHfeContainer;

inline constexpr int kHfeBlock = 512;
inline constexpr int kHfeTracksAt = 9;  // number of tracks (cylinders)
inline constexpr int kHfeSidesAt = 10;
inline constexpr int kHfeListAt = 18;  // track list offset in blocks, little-endian 16 bits
inline constexpr int kHfeWriteAllowedAt = 20;
inline constexpr int kHfeTrackLength = 25000;  // both sides of a cylinder: 2 × 12,500
