// The container of a new image: a flat file of zero sectors, or a D88 file with its header and the
// records of 84 tracks of 16 sectors of 256 bytes.
#pragma once

#include <cstdint>

#include "image/d88_disks.h"
#include "image/sector_transfer.h"

struct ImageFile;

inline constexpr int kD88DiskNameMax = 16;  // header bytes 0-16: up to 16 bytes and a 0
inline constexpr int kNewImageTracks = 84;
inline constexpr int kNewImageSectors = 16;
inline constexpr uint32_t kFlatImageBytes = 84u * 16u * 256u;  // 344,064
inline constexpr uint32_t kD88ImageBytes = kD88HeaderBytes + 84u * 16u * kD88RecordBytes;

// The 688-byte header of a new D88 image: the disk name (cut to 16 bytes, never inside a
// double-byte character), not write protected, media type 0x00 (2D), the disk size, the offsets
// of physical tracks 0-83; every other byte 0.
void D88BuildHeader(uint8_t* header, const char* diskName);
// The 16-byte sector header of a new image's record: C = track / 2, H = track % 2, R = sector,
// N = 1, 16 sectors in the track, density, deleted mark and status 0, data size 256.
void D88BuildSectorHeader(uint8_t* sectorHeader, int physicalTrack, int sector);
// Writes a blank container of the layout (0 flat, anything else D88) into a new, empty file:
// every data byte 0. 0, or -1 when a write failed.
int WriteBlankContainer(ImageFile* file, int imageFormat, const char* diskName);
