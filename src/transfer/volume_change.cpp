#include "transfer/volume_change.h"

#include <cstring>

#include "image/journal.h"
#include "image/sector_transfer.h"
#include "texts/texts.h"
#include "transfer/convention_guard.h"
#include "volume/file_ops.h"
#include "volume/layout.h"
#include "volume/volume_basis.h"
#include "volume/volume_read.h"

namespace {

int WriteRun(Outcome* out, const ImageTarget* target, uint8_t* buffer, int track, int sector,
             int byteCount) {
  const int status = WriteSectors(target, buffer, track, sector, byteCount);
  if (status == kImageOk) return 0;
  SayText(out, kCaptionWrite, ImageStatusText(status), ImageStatusText(status));
  return -1;
}

}  // namespace

int ReadVolumeState(Outcome* out, const ImageTarget* target, VolumeState* volume) {
  return ReadVolume(target, volume, out);
}

int BeginPlannedChange(Outcome* out, const ImageTarget* target, const VolumeState* volume) {
  if (RefuseOtherConvention(out, target) != 0) return -1;
  if (BeginImageChange(out, target) != 0) return -1;
  VolumeState now;
  if (ReadVolumeState(out, target, &now) != 0) {
    ImageAbortChange(target->change);
    return -1;
  }
  if (VolumeBasisHolds(*volume, now, target)) return 0;
  ImageAbortChange(target->change);
  SayText(out, kCaptionError, kMsgVolumeChanged, kMsgVolumeChanged);
  return -1;
}

int RereadForChange(Outcome* out, const ImageTarget* target, VolumeState* volume, const int* slots,
                    int count) {
  uint8_t loaded[kDirectoryBufferBytes];
  std::memcpy(loaded, volume->DirectoryBuffer, sizeof loaded);
  const int loadedCount = volume->EntryCount;
  if (ReadVolumeState(out, target, volume) != 0) return kRereadFailed;
  bool same = volume->EntryCount == loadedCount;
  for (int i = 0; i < count && same; ++i) {
    const int slot = slots[i];
    same = slot >= 0 && slot < volume->EntryCount && slot < kMaxSlots &&
           std::memcmp(loaded + slot * kEntryBytes, volume->DirectoryBuffer + slot * kEntryBytes,
                       kEntryBytes) == 0 &&
           loaded[slot * kEntryBytes + kEntryType] != 0;
  }
  if (same) return kRereadSame;
  SayText(out, kCaptionError, kMsgVolumeChanged, kMsgVolumeChanged);
  return kRereadChanged;
}

int ExdirFirstIndex(const VolumeState* volume) {
  return volume->ExdirPresent ? SectorIndex(volume->ExdirTrack, volume->ExdirSector) : -1;
}

int CommitVolumeChange(Outcome* out, const ImageTarget* target, VolumeState* volume, int halves,
                       bool withSystemArea) {
  const bool exdir = (halves & 2) && volume->ExdirPresent;
  SectorRun runs[3];
  int n = 0;
  if (halves & 1) runs[n++] = {kDirectoryTrack, kDirectorySector, kDirectoryHalfBytes};
  if (exdir) runs[n++] = {volume->ExdirTrack, volume->ExdirSector, kDirectoryHalfBytes};
  if (withSystemArea) runs[n++] = {kSystemAreaTrack, kSystemAreaSector, kSystemAreaBytes};
  if (n > 0 && ImageCarriesRuns(target, runs, n) != 1) {
    SayText(out, kCaptionError, kMsgVolumeDamaged, kMsgVolumeDamaged);
    return -1;
  }

  if (BeginPlannedChange(out, target, volume) != 0) return -1;
  bool ok = true;
  if (halves & 1)
    ok = WriteRun(out, target, volume->DirectoryBuffer, kDirectoryTrack, kDirectorySector,
                  kDirectoryHalfBytes) == 0;
  if (ok && exdir)
    ok = WriteRun(out, target, volume->DirectoryBuffer + kDirectoryHalfBytes, volume->ExdirTrack,
                  volume->ExdirSector, kDirectoryHalfBytes) == 0;
  if (ok && withSystemArea)
    ok = WriteRun(out, target, volume->SystemArea, kSystemAreaTrack, kSystemAreaSector,
                  kSystemAreaBytes) == 0;
  if (!ok) {
    ImageAbortChange(target->change);
    return -1;
  }
  return CommitImageChange(out, target->change);
}
