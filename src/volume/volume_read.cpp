#include "volume/volume_read.h"

#include <cstring>

#include "image/sector_transfer.h"
#include "texts/texts.h"
#include "volume/layout.h"
#include "volume/volume_basis.h"

namespace {

int Read(const ImageTarget* target, uint8_t* buffer, int track, int sector, int bytes,
         Outcome* out) {
  const int status = ReadSectors(target, buffer, track, sector, bytes);
  if (status == kImageOk) return 0;
  SayText(out, kCaptionRead, ImageStatusText(status), ImageStatusText(status));
  return -1;
}

}  // namespace

int ReadVolume(const ImageTarget* target, VolumeState* volume, Outcome* out) {
  if (Read(target, volume->SystemArea, kSystemAreaTrack, kSystemAreaSector, kSystemAreaBytes,
           out) != 0)
    return -1;
  ApplyExdirRule(volume);
  std::memset(volume->DirectoryBuffer, 0, sizeof volume->DirectoryBuffer);
  if (Read(target, volume->DirectoryBuffer, kDirectoryTrack, kDirectorySector, kDirectoryHalfBytes,
           out) != 0)
    return -1;
  if (volume->ExdirPresent == 1 &&
      Read(target, volume->DirectoryBuffer + kDirectoryHalfBytes, volume->ExdirTrack,
           volume->ExdirSector, kDirectoryHalfBytes, out) != 0)
    return -1;
  NoteVolumeBasis(volume, target);
  return 0;
}
