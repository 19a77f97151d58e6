// The D88 container's tracks as sectors with IDs and marks, for conversion.
#include <cstring>

#include "image/container_d88.h"
#include "image/disk_model.h"
#include "image/image_source.h"

namespace {

constexpr uint8_t kD88Deleted = 0x10;
constexpr uint8_t kD88StatusCrcError = 0xB0;     // a data CRC error
constexpr uint8_t kD88StatusDeletedData = 0x10;  // a deleted-data mark found, no error

void PutLe16(uint8_t* at, unsigned value) {
  at[0] = static_cast<uint8_t>(value);
  at[1] = static_cast<uint8_t>(value >> 8);
}

void PutLe32(uint8_t* at, uint32_t value) {
  for (int i = 0; i < 4; i++) at[i] = static_cast<uint8_t>(value >> (8 * i));
}

int Written(const ModelTrack& track) {
  int n = 0;
  for (int i = 0; i < track.count; i++)
    n += !(track.sectors[i].marks & (kSectorAbsent | kSectorOtherSize));
  return n;
}

}  // namespace

int D88ReadTrack(ImageSource* source, const ImageTarget* target, int physicalTrack,
                 ModelTrack* track) {
  track->count = 0;
  if (physicalTrack < 0 || physicalTrack >= kD88TrackCount) return kTrackRead;
  const int64_t fileSize = SourceSize(source);
  if (fileSize < 0) return kTrackReadError;
  uint8_t header[kD88HeaderBytes];
  if (SourceRead(source, target->diskBase, header, sizeof header, sizeof header) != 0)
    return kTrackReadError;
  const uint32_t relative = Le32(header + kD88TrackTable + 4 * physicalTrack);
  if (relative < static_cast<uint32_t>(kD88HeaderBytes)) return kTrackRead;
  const int64_t limit =
      target->diskEnd != 0 && target->diskEnd < fileSize ? target->diskEnd : fileSize;
  int64_t offset = target->diskBase + static_cast<int64_t>(relative);
  int count = -1;
  for (int examined = 0; count < 0 || examined < count; examined++) {
    uint8_t record[kD88SectorHeaderBytes];
    if (offset + kD88SectorHeaderBytes > limit) return kTrackMalformed;
    if (SourceRead(source, offset, record, sizeof record, 16 * kD88RecordBytes) != 0)
      return kTrackReadError;
    if (count < 0) {
      count = record[4] | (record[5] << 8);
      if (count == 0) return kTrackRead;
      if (count > kModelSectors) return kTrackMalformed;
    }
    const unsigned dataBytes = record[14] | (record[15] << 8);
    if (offset + kD88SectorHeaderBytes + dataBytes > limit) return kTrackMalformed;
    ModelSector& s = track->sectors[track->count++];
    std::memset(&s, 0, sizeof s);
    s.c = record[0];
    s.h = record[1];
    s.r = record[2];
    s.n = record[3];
    if (record[7] == kD88Deleted) s.marks |= kSectorDeleted;
    s.status = record[8];
    // Status 0x10 says the drive found deleted data: no error.
    if (s.status != 0 && s.status != kD88StatusDeletedData) s.marks |= kSectorError;
    if (dataBytes != kSectorBytes || s.n != 1)
      s.marks |= kSectorOtherSize;
    else if (SourceRead(source, offset + kD88SectorHeaderBytes, s.data, kSectorBytes,
                        16 * kD88RecordBytes) != 0)
      return kTrackReadError;
    offset += kD88SectorHeaderBytes + dataBytes;
  }
  return kTrackRead;
}

int64_t D88WriteDisk(ImageFile* file, uint32_t base, const DiskModel* disk, const ContainerStamp*) {
  uint8_t records[kModelSectors * kD88RecordBytes];
  uint8_t header[kD88HeaderBytes];
  std::memset(header, 0, sizeof header);
  std::memcpy(header, disk->name, strnlen(disk->name, kDiskNameBytes - 1));
  header[kD88WriteProtect] = disk->writeProtected ? kD88Protected : 0x00;
  header[kD88MediaType] = 0x00;
  uint32_t at = kD88HeaderBytes;
  for (int p = 0; p < kModelTracks; p++) {
    const ModelTrack& track = disk->tracks[p];
    const int count = Written(track);
    if (count == 0) continue;
    PutLe32(header + kD88TrackTable + 4 * p, at);
    uint8_t* record = records;
    for (int i = 0; i < track.count; i++) {
      const ModelSector& s = track.sectors[i];
      if (s.marks & (kSectorAbsent | kSectorOtherSize)) continue;
      std::memset(record, 0, kD88SectorHeaderBytes);
      record[0] = s.c;
      record[1] = s.h;
      record[2] = s.r;
      record[3] = s.n;
      PutLe16(record + 4, static_cast<unsigned>(count));
      record[7] = (s.marks & kSectorDeleted) ? kD88Deleted : 0x00;
      record[8] = s.status != 0                                     ? s.status
                  : (s.marks & (kSectorError | kSectorCrcBad)) != 0 ? kD88StatusCrcError
                                                                    : 0x00;
      PutLe16(record + 14, kSectorBytes);
      std::memcpy(record + kD88SectorHeaderBytes, s.data, kSectorBytes);
      record += kD88RecordBytes;
    }
    const unsigned bytes = static_cast<unsigned>(record - records);
    if (ImageFileWriteAt(file, base + at, records, bytes) != 0) return -1;
    at += bytes;
  }
  PutLe32(header + kD88DiskSize, at);
  if (ImageFileWriteAt(file, base, header, sizeof header) != 0) return -1;
  return at;
}
