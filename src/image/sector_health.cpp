#include "image/sector_health.h"

#include <cstring>

#include "image/container.h"
#include "image/disk_model.h"
#include "image/image_source.h"

namespace {

// What a sector of a decoded track says of itself.
SectorHealth FromModel(const ModelSector* s, const ContainerKind* kind) {
  if (!s) return {kSectorMissing, kCauseNone, 0};
  if (s->marks & kSectorCrcBad) return {kSectorBad, kCauseCrc, 0};
  if (!(s->marks & kSectorError)) return {kSectorSound, kCauseNone, 0};
  if (s->status != 0) return {kSectorBad, kCauseD88Status, s->status};
  if (kind->keeps & kKeepsErrors && kind->format == kFormatImd)
    return {kSectorBad, kCauseImdType,
            static_cast<uint8_t>(5 + ((s->marks & kSectorDeleted) ? 2 : 0))};
  return {kSectorBad, kCauseError, 0};
}

}  // namespace

int ReadVolumeHealth(const ImageTarget* target, VolumeHealth* health) {
  std::memset(health, 0, sizeof *health);
  if (!target->kind) return -1;
  ImageSource source;
  SourceBegin(&source, target);
  if (SourceOpen(&source) != 0) {
    SourceEnd(&source);
    return -1;
  }
  const int64_t size = SourceSize(&source);
  ModelTrack track;
  int result = size < 0 ? -1 : 0;
  for (int t = 0; t < kTrackCount && result == 0; t++) {
    const int physical = PhysicalTrack(t, target->machineMode);
    const int read = target->kind->readTrack(&source, target, physical, &track);
    if (read == kTrackReadError) {
      result = -1;
      break;
    }
    const bool modelled = read == kTrackRead;  // else the track breaks its container's rules
    for (int r = 1; r <= kSectorsPerTrack; r++) {
      const ModelSector* s = modelled ? ModelFindSector(&track, r) : nullptr;
      SectorHealth h = FromModel(s, target->kind);
      // A sector at a fixed place is there when all its bytes are in the file, whatever the rest
      // of its track is like.
      if (!target->kind->decoded) {
        SectorPlace place;
        const int found = target->kind->locate(&source, target, physical, r, &place);
        if (found == kPlaceError) {
          result = -1;
          break;
        }
        if (found != kPlaceFound || place.dataOffset + kSectorBytes > size)
          h = {kSectorMissing, kCauseNone, 0};
        else if (!s)
          h = {kSectorSound, kCauseNone, 0};
      }
      health->sectors[t * kSectorsPerTrack + r - 1] = h;
      health->bad += h.state == kSectorBad;
      health->missing += h.state == kSectorMissing;
    }
  }
  SourceEnd(&source);
  if (result != 0) std::memset(health, 0, sizeof *health);
  return result;
}
