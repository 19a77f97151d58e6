#include "image/sector_transfer.h"

#include <cstring>

#include "image/container.h"
#include "image/decoded_read.h"
#include "image/image_lock.h"
#include "image/image_source.h"
#include "image/journal.h"
#include "texts/texts.h"

namespace {

void Invert(uint8_t* buffer, int byteCount) {
  for (int i = 0; i < byteCount; i++) buffer[i] = static_cast<uint8_t>(~buffer[i]);
}

// Reads one sector into `chunk`: its bytes, zero when the image does not carry it. On a failed
// read the chunk stays as it was. 0 or -1.
int ReadOne(ImageSource* source, const ImageTarget* target, int physical, int sector,
            uint8_t* chunk) {
  if (target->kind->decoded) return DecodedReadSector(source, target, physical, sector, chunk);
  SectorPlace place;
  const int found = target->kind->locate(source, target, physical, sector, &place);
  if (found == kPlaceAbsent) {
    std::memset(chunk, 0, kSectorBytes);
    return 0;
  }
  if (found != kPlaceFound) return -1;
  uint8_t block[kSectorBytes];
  if (SourceRead(source, place.dataOffset, block, kSectorBytes, place.span) != 0) return -1;
  std::memcpy(chunk, block, kSectorBytes);
  return 0;
}

// Queues one sector's stored bytes into the change: the place's whole region, with the bytes
// around the data as they were read. 0 or -1.
int QueueOne(ImageSource* source, const ImageTarget* target, int physical, int sector,
             const uint8_t* chunk) {
  if (target->kind->decoded) {
    // The decoded track kept for reads is stale once a sector of it changes.
    DecodedForget(source);
    return target->kind->queueSector
               ? target->kind->queueSector(source, target, physical, sector, chunk)
               : -1;
  }
  SectorPlace place;
  const int found = target->kind->locate(source, target, physical, sector, &place);
  if (found == kPlaceAbsent) return 0;
  if (found != kPlaceFound || place.regionBytes > kImageRegionMax ||
      place.regionOffset + place.regionBytes > 0xFFFFFFFFll)
    return -1;
  uint8_t region[kImageRegionMax];
  const int64_t at = place.dataOffset - place.regionOffset;
  if (place.regionBytes != kSectorBytes &&
      SourceRead(source, place.regionOffset, region, place.regionBytes, place.regionBytes) != 0)
    return -1;
  std::memcpy(region + at, chunk, kSectorBytes);
  return ImageChangeQueue(source->change, static_cast<uint32_t>(place.regionOffset), region,
                          place.regionBytes);
}

}  // namespace

const char* ImageStatusText(int status) {
  switch (status) {
    case kImageBadAddress: return kMsgBadTrackSector;
    case kImageReadFailed: return kMsgReadFailed;
    case kImageOpenFailed: return kMsgWriteOpenFailed;
    case kImageWriteFailed: return kMsgWriteFailed;
    case kImageReadBusy: return kMsgReadBusy;
    default: return "";
  }
}

int ReadSectors(const ImageTarget* target, uint8_t* buffer, int track, int sector, int byteCount) {
  if (!SectorAddressValid(track, sector)) return kImageBadAddress;
  const int count = SectorsFor(byteCount < 0 ? 0 : byteCount);
  ImageSource source;
  SourceBegin(&source, target);
  // A missing or locked image is a failed read; it is never created.
  const int opened = target->kind ? SourceOpen(&source) : -1;
  if (opened != 0) {
    SourceEnd(&source);
    return opened == kImageFileBusy ? kImageReadBusy : kImageReadFailed;
  }
  for (int k = 0; k < count; k++) {
    uint8_t* chunk = buffer + static_cast<long>(k) * kSectorBytes;
    const int physical = PhysicalTrack(track, target->machineMode);
    if (ReadOne(&source, target, physical, sector, chunk) != 0) {
      SourceEnd(&source);
      return kImageReadFailed;
    }
    StepSector(&track, &sector);
  }
  SourceEnd(&source);
  if (target->machineMode == kModeMz) Invert(buffer, byteCount);
  return kImageOk;
}

void EncodeSectorRun(uint8_t* buffer, int byteCount, int machineMode) {
  if (byteCount < 0) byteCount = 0;
  const int count = SectorsFor(byteCount);
  if (byteCount % kSectorBytes != 0)
    std::memset(buffer + byteCount, 0xFF, static_cast<size_t>(count) * kSectorBytes - byteCount);
  if (machineMode == kModeMz) Invert(buffer, byteCount);
}

int QueueSectorRun(const ImageTarget* target, const uint8_t* encoded, int track, int sector,
                   int byteCount) {
  if (!SectorAddressValid(track, sector)) return kImageBadAddress;
  if (!ImageChangeActive(target->change) || !target->kind) return kImageWriteFailed;
  const int count = SectorsFor(byteCount < 0 ? 0 : byteCount);
  ImageSource source;
  SourceBegin(&source, target);
  for (int k = 0; k < count; k++) {
    const uint8_t* chunk = encoded + static_cast<long>(k) * kSectorBytes;
    const int physical = PhysicalTrack(track, target->machineMode);
    if (QueueOne(&source, target, physical, sector, chunk) != 0) {
      SourceEnd(&source);
      return kImageWriteFailed;
    }
    StepSector(&track, &sector);
  }
  SourceEnd(&source);
  return kImageOk;
}

int WriteSectors(const ImageTarget* target, uint8_t* buffer, int track, int sector, int byteCount) {
  if (!SectorAddressValid(track, sector)) return kImageBadAddress;
  EncodeSectorRun(buffer, byteCount, target->machineMode);
  return QueueSectorRun(target, buffer, track, sector, byteCount);
}

int ImageCarriesRuns(const ImageTarget* target, const SectorRun* runs, int runCount) {
  for (int r = 0; r < runCount; r++)
    if (!SectorAddressValid(runs[r].track, runs[r].sector)) return 0;
  if (!target->kind) return -1;
  ImageSource source;
  SourceBegin(&source, target);
  const int result = target->kind->carriesRuns(&source, target, runs, runCount);
  SourceEnd(&source);
  return result;
}
