// The flat layout's tracks as sectors with IDs, for conversion.
#include <cstring>

#include "image/container_flat.h"
#include "image/disk_model.h"
#include "image/image_source.h"

int FlatReadTrack(ImageSource* source, const ImageTarget*, int physicalTrack, ModelTrack* track) {
  track->count = 0;
  if (physicalTrack < 0 || physicalTrack >= kTrackCount) return kTrackRead;
  const int64_t base = static_cast<int64_t>(physicalTrack) * kSectorsPerTrack * kSectorBytes;
  const int64_t size = SourceSize(source);
  if (size < 0) return kTrackReadError;
  for (int r = 1; r <= kSectorsPerTrack; r++) {
    // A file cut short does not carry a sector whose 256 bytes it does not hold whole.
    if (base + r * kSectorBytes > size) break;
    ModelSector& s = track->sectors[track->count++];
    std::memset(&s, 0, sizeof s);
    s.c = static_cast<uint8_t>(physicalTrack / 2);
    s.h = static_cast<uint8_t>(physicalTrack % 2);
    s.r = static_cast<uint8_t>(r);
    s.n = 1;
    if (SourceRead(source, base + (r - 1) * kSectorBytes, s.data, kSectorBytes,
                   kSectorsPerTrack * kSectorBytes) != 0)
      return kTrackReadError;
  }
  return kTrackRead;
}

int64_t FlatWriteDisk(ImageFile* file, uint32_t base, const DiskModel* disk,
                      const ContainerStamp*) {
  uint8_t bytes[kSectorsPerTrack * kSectorBytes];
  for (int p = 0; p < kTrackCount; p++) {
    for (int r = 1; r <= kSectorsPerTrack; r++) {
      const ModelSector* s = ModelFindSector(&disk->tracks[p], r);
      uint8_t* at = bytes + (r - 1) * kSectorBytes;
      if (s)
        std::memcpy(at, s->data, kSectorBytes);
      else
        std::memset(at, 0xE5, kSectorBytes);
    }
    if (ImageFileWriteAt(file, base + p * static_cast<uint32_t>(sizeof bytes), bytes,
                         sizeof bytes) != 0)
      return -1;
  }
  return kFlatImageBytes;
}
