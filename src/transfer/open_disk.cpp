#include "transfer/open_disk.h"

#include <cstring>

#include "image/image_select.h"
#include "image/sector_health.h"
#include "volume/volume_read.h"

VolumeView ViewOfVolume(const VolumeState* volume) {
  return VolumeView{volume->SystemArea,   volume->DirectoryBuffer, volume->EntryCount,
                    volume->ExdirPresent, volume->ExdirTrack,      volume->ExdirSector};
}

void InitOpenDisk(OpenDisk* disk) {
  std::memset(&disk->target, 0, sizeof disk->target);
  disk->format = -1;
  std::memset(&disk->volume, 0, sizeof disk->volume);
  disk->loaded = false;
  disk->writeProtected = false;
  disk->transferMode = 0;
  ImageChangeInit(&disk->change);
  ChangeHistoryClear(&disk->history);
  disk->history.paused = false;
  disk->change.history = &disk->history;
  disk->target.change = &disk->change;
}

int AimOpenDisk(OpenDisk* disk, const char* path, int machineMode) {
  std::memset(&disk->volume, 0, sizeof disk->volume);
  disk->loaded = false;
  disk->writeProtected = false;
  disk->format = FormatForPath(path);
  ImageAbortChange(&disk->change);
  ChangeHistoryClear(&disk->history);
  const int aimed =
      ImageTargetFor(&disk->target, path, ContainerForFormat(disk->format), machineMode);
  disk->target.change = &disk->change;
  return aimed;
}

int ListTargetDisks(const ImageTarget* target, ImageDisk* disks, int capacity) {
  ImageTarget file = *target;
  if (!file.kind) {
    uint8_t head[kContainerHeadBytes];
    int64_t size = 0;
    if (ImageReadHead(&file, head, &size) != 0) return -1;
    file.kind = RecogniseContainer(head, size);
  }
  return ImageListDisks(&file, disks, capacity);
}

void AimAtDisk(ImageTarget* target, const ImageDisk* disks, int count, int index) {
  const bool several = count > 1 && index >= 0 && index < count;
  target->diskBase = several ? disks[index].base : 0;
  target->diskEnd = several ? disks[index].end : 0;
  target->diskIndex = several ? index : 0;
  target->diskCount = count;
}

int LoadOpenDisk(OpenDisk* disk, Outcome* out) {
  disk->loaded = false;
  disk->writeProtected = false;
  ImageSession session;
  ImageTarget target = disk->target;
  ImageSessionOpen(&session, target.path);
  target.session = &session;
  const int result = ReadVolume(&target, &disk->volume, out);
  if (result == 0) {
    disk->loaded = true;
    disk->writeProtected = ImageWriteProtected(&target);
  }
  ImageSessionClose(&session);
  return result;
}

void CloseOpenDisk(OpenDisk* disk) {
  std::memset(&disk->volume, 0, sizeof disk->volume);
  disk->loaded = false;
  disk->writeProtected = false;
}

int IdentifyOpenDisk(const OpenDisk* disk, Identification* result) {
  return IdentifyImage(&disk->target, disk->format, result);
}

int CheckLoadedVolume(const ImageTarget* target, const VolumeState* volume,
                      CheckFindings* findings) {
  const VolumeView view = ViewOfVolume(volume);
  CheckVolumeStructure(view, findings);
  return CheckImageContainer(target, view, findings);
}

int LoadedFileDamage(const ImageTarget* target, const VolumeState* volume, VolumeHealth* health,
                     FileDamage* damage) {
  if (ReadVolumeHealth(target, health) != 0) return -1;
  CountFileDamage(ViewOfVolume(volume), *health, damage);
  return 0;
}
