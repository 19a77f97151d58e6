#include "image/d88_container.h"

#include <cstring>

#include "image/image_file.h"
#include "volume/app_state.h"

namespace {

void PutLe32(uint8_t* at, uint32_t value) {
  for (int i = 0; i < 4; i++) at[i] = static_cast<uint8_t>(value >> (8 * i));
}

bool LeadByte(uint8_t b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }

}  // namespace

void D88BuildHeader(uint8_t* header, const char* diskName) {
  std::memset(header, 0, kD88HeaderBytes);
  // Copy whole characters only: a lead byte whose trail byte would fall beyond 16 stays out.
  int n = 0;
  while (diskName && diskName[n] != '\0' && n < kD88DiskNameMax) {
    const uint8_t b = static_cast<uint8_t>(diskName[n]);
    const int width = LeadByte(b) && diskName[n + 1] != '\0' ? 2 : 1;
    if (n + width > kD88DiskNameMax) break;
    std::memcpy(header + n, diskName + n, static_cast<size_t>(width));
    n += width;
  }
  header[kD88WriteProtect] = 0x00;
  header[kD88MediaType] = 0x00;
  PutLe32(header + kD88DiskSize, kD88ImageBytes);
  const uint32_t trackBytes = kNewImageSectors * kD88RecordBytes;
  for (int p = 0; p < kNewImageTracks; p++)
    PutLe32(header + kD88TrackTable + 4 * p, kD88HeaderBytes + p * trackBytes);
}

void D88BuildSectorHeader(uint8_t* sectorHeader, int physicalTrack, int sector) {
  std::memset(sectorHeader, 0, kD88SectorHeaderBytes);
  sectorHeader[0] = static_cast<uint8_t>(physicalTrack / 2);
  sectorHeader[1] = static_cast<uint8_t>(physicalTrack % 2);
  sectorHeader[2] = static_cast<uint8_t>(sector);
  sectorHeader[3] = 1;  // 256-byte sectors
  sectorHeader[4] = kNewImageSectors;
  sectorHeader[14] = 0x00;  // data size 256, little-endian
  sectorHeader[15] = 0x01;
}

int WriteBlankContainer(ImageFile* file, int imageFormat, const char* diskName) {
  // One track at a time: 16 records of 272 bytes (or 16 flat sectors).
  static uint8_t track[kNewImageSectors * kD88RecordBytes];
  if (imageFormat == kFormat2D) {
    std::memset(track, 0, sizeof track);
    const uint32_t trackBytes = kNewImageSectors * 256;
    for (int p = 0; p < kNewImageTracks; p++)
      if (ImageFileWriteAt(file, p * trackBytes, track, trackBytes) != 0) return -1;
    return 0;
  }
  uint8_t header[kD88HeaderBytes];
  D88BuildHeader(header, diskName);
  if (ImageFileWriteAt(file, 0, header, sizeof header) != 0) return -1;
  for (int p = 0; p < kNewImageTracks; p++) {
    std::memset(track, 0, sizeof track);
    for (int s = 1; s <= kNewImageSectors; s++)
      D88BuildSectorHeader(track + (s - 1) * kD88RecordBytes, p, s);
    if (ImageFileWriteAt(file, kD88HeaderBytes + p * static_cast<uint32_t>(sizeof track), track,
                         sizeof track) != 0)
      return -1;
  }
  return 0;
}
