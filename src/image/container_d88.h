// The D88 container, for D20 and D88 images alike: a file of one or more disks one after another,
// each a 688-byte header (name, write protection, media type, size, the offsets of 164 tracks)
// followed by its tracks of sector records, each a 16-byte sector header and 256 data bytes.
#pragma once

#include <cstdint>

#include "image/container.h"

inline constexpr int kD88HeaderBytes = 688;
inline constexpr int kD88TrackTable = 32;
inline constexpr int kD88TrackCount = 164;
inline constexpr int kD88RecordBytes = 272;
inline constexpr int kD88SectorHeaderBytes = 16;
inline constexpr int kD88WriteProtect = 0x1A;
inline constexpr int kD88MediaType = 0x1B;
inline constexpr int kD88DiskSize = 0x1C;  // unsigned 32-bit: where the next disk begins
inline constexpr uint8_t kD88Protected = 0x10;
inline constexpr int kD88DiskNameMax =
    16;  // a new disk's name: header bytes 0-16, up to 16 and a 0
inline constexpr uint32_t kD88ImageBytes = kD88HeaderBytes + 84u * 16u * kD88RecordBytes;

extern const ContainerKind kD88Container;

// Whether the 688 bytes at `base` read as a D88 header of a disk that lies inside a file of
// `fileSize` bytes: a size of at least 688 that the file holds, a known write-protect flag and
// media type, and every track offset either 0 or inside the disk.
bool D88HeaderSound(const uint8_t* header, int64_t base, int64_t fileSize);
// The 688-byte header of a new D88 image: the disk name (cut to 16 bytes, never inside a
// double-byte character), not write protected, media type 0x00 (2D), the disk size, the offsets
// of physical tracks 0-83; every other byte 0.
void D88BuildHeader(uint8_t* header, const char* diskName);
// The 16-byte sector header of a new image's record: C = track / 2, H = track % 2, R = sector,
// N = 1, 16 sectors in the track, density, deleted mark and status 0, data size 256.
void D88BuildSectorHeader(uint8_t* sectorHeader, int physicalTrack, int sector);

struct ModelTrack;
struct DiskModel;
struct ContainerStamp;
// The records of a physical track of the target's disk, each with its ID, deleted mark and status.
int D88ReadTrack(ImageSource* source, const ImageTarget* target, int physicalTrack,
                 ModelTrack* track);
// One disk at `base`: its header (name, protection, media type 2D, size, track table) and the
// records of every track that has sectors; absent sectors are left out.
int64_t D88WriteDisk(ImageFile* file, uint32_t base, const DiskModel* disk,
                     const ContainerStamp* stamp);
