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

namespace {

// The health of the 16 sectors of logical track `t`, read through an open source of `size` bytes.
// 0, or -1 when the image cannot be read.
int TrackHealth(ImageSource* source, const ImageTarget* target, int64_t size, int t,
                SectorHealth* sectors) {
  ModelTrack track;
  const int physical = PhysicalTrack(t, target->machineMode);
  // A kind at fixed places that records no errors (flat) says nothing a track read would add.
  const bool verdicts = target->kind->decoded || (target->kind->keeps & kKeepsErrors);
  const int read =
      verdicts ? target->kind->readTrack(source, target, physical, &track) : kTrackMalformed;
  if (read == kTrackReadError) return -1;
  const bool modelled = read == kTrackRead;  // else the track breaks its container's rules
  for (int r = 1; r <= kSectorsPerTrack; r++) {
    const ModelSector* s = modelled ? ModelFindSector(&track, r) : nullptr;
    SectorHealth h = FromModel(s, target->kind);
    // A sector at a fixed place that the track's read did not give is there when all its bytes
    // are in the file, whatever the rest of its track is like.
    if (!target->kind->decoded && !s) {
      SectorPlace place;
      const int found = target->kind->locate(source, target, physical, r, &place);
      if (found == kPlaceError) return -1;
      h = found != kPlaceFound || place.dataOffset + kSectorBytes > size
              ? SectorHealth{kSectorMissing, kCauseNone, 0}
              : SectorHealth{kSectorSound, kCauseNone, 0};
    }
    sectors[r - 1] = h;
  }
  return 0;
}

// Reads tracks [first, last] into `sectors` (indexed from track `first`).
int ReadHealthThrough(const ImageTarget* target, int first, int last, SectorHealth* sectors) {
  ImageSource source;
  SourceBegin(&source, target);
  if (SourceOpen(&source) != 0) {
    SourceEnd(&source);
    return -1;
  }
  const int64_t size = SourceSize(&source);
  int result = size < 0 ? -1 : 0;
  for (int t = first; t <= last && result == 0; t++)
    result = TrackHealth(&source, target, size, t, sectors + (t - first) * kSectorsPerTrack);
  SourceEnd(&source);
  return result;
}

int ReadHealth(const ImageTarget* image, int first, int last, SectorHealth* sectors) {
  if (!image->kind) return -1;
  // Held open for the whole read, so that a container's header is read once, not per track.
  ImageTarget target = *image;
  ImageSession session;
  const bool own = !(target.session && target.session->open);
  if (own && ImageSessionOpen(&session, target.path) == 0) target.session = &session;
  const int result = ReadHealthThrough(&target, first, last, sectors);
  if (own) ImageSessionClose(&session);
  return result;
}

}  // namespace

int ReadVolumeHealth(const ImageTarget* target, VolumeHealth* health) {
  std::memset(health, 0, sizeof *health);
  if (ReadHealth(target, 0, kTrackCount - 1, health->sectors) != 0) {
    std::memset(health, 0, sizeof *health);
    return -1;
  }
  for (const SectorHealth& h : health->sectors) {
    health->bad += h.state == kSectorBad;
    health->missing += h.state == kSectorMissing;
  }
  return 0;
}

int ReadSectorHealth(const ImageTarget* target, int track, int sector, SectorHealth* health) {
  SectorHealth sectors[kSectorsPerTrack];
  if (track < 0 || track >= kTrackCount || sector < 1 || sector > kSectorsPerTrack ||
      ReadHealth(target, track, track, sectors) != 0)
    return -1;
  *health = sectors[sector - 1];
  return 0;
}

void SwapHealthSides(VolumeHealth* health) {
  for (int t = 0; t + 1 < kTrackCount; t += 2)
    for (int i = 0; i < kSectorsPerTrack; i++) {
      SectorHealth& a = health->sectors[t * kSectorsPerTrack + i];
      SectorHealth& b = health->sectors[(t + 1) * kSectorsPerTrack + i];
      const SectorHealth kept = a;
      a = b;
      b = kept;
    }
}
