#include "transfer/disk_copy.h"

#include <cstdio>
#include <cstring>

#include "image/image_select.h"
#include "texts/texts.h"

namespace {

// A failed read of a track, as its message.
void SayTrackFailure(Outcome* out, const char* path, int physicalTrack, int result) {
  if (result == kTrackVersion)
    Say(out, kCaptionError, kMsgConvertVersion, path);
  else if (result == kTrackMalformed)
    Say(out, kCaptionError, kMsgConvertMalformed, path, physicalTrack);
  else
    Say(out, kCaptionError, kMsgConvertReadFailed, path, physicalTrack);
}

}  // namespace

int CopySourceOpen(Outcome* out, const char* path, int machineMode, CopySource* source) {
  std::memset(source, 0, sizeof *source);
  const ContainerKind* kind = ContainerForFormat(FormatForPath(path));
  if (!kind) {
    Say(out, kCaptionError, kMsgConvertNoContainer, path);
    return -1;
  }
  if (ImageTargetFor(&source->target, path, kind, machineMode) != 0) {
    SayText(out, kCaptionError, kMsgHostPathTooLong, kMsgHostPathTooLong);
    return -1;
  }
  uint8_t head[kContainerHeadBytes];
  int64_t size = 0;
  if (ImageReadHead(&source->target, head, &size) != 0) {
    Say(out, kCaptionError, kMsgConvertReadFailed, path, 0);
    return -1;
  }
  const ContainerKind* content = RecogniseContainer(head, size);
  if (content && content != kind)
    Say(out, kCaptionConvert, kMsgConvertContent, path, content->name, kind->name);
  const int count = ImageListDisks(&source->target, source->disks, kMaxImageDisks);
  if (count < 0) {
    Say(out, kCaptionError, kMsgConvertReadFailed, path, 0);
    return -1;
  }
  source->listed = count > 0;
  source->diskCount = count > 0 ? (count < kMaxImageDisks ? count : kMaxImageDisks) : 1;
  return 0;
}

int CopySourceLoad(Outcome* out, CopySource* source, int index, DiskModel* model) {
  ImageTarget* target = &source->target;
  std::memset(model->name, 0, sizeof model->name);
  if (source->listed) {
    const ImageDisk& disk = source->disks[index];
    target->diskIndex = index;
    target->diskCount = source->diskCount;
    target->diskBase = source->diskCount > 1 ? disk.base : 0;
    target->diskEnd = source->diskCount > 1 ? disk.end : 0;
    std::memcpy(model->name, disk.name, strnlen(disk.name, sizeof model->name - 1));
  }
  // One session for the disk's reads: the file stays open and its stretches are kept.
  ImageSession session;
  ImageSessionOpen(&session, target->path);
  target->session = &session;
  model->writeProtected = ImageWriteProtected(target);
  int result = 0;
  for (int p = 0; p < kModelTracks && result == 0; p++) {
    ModelTrack* track = &model->tracks[p];
    const int read = ImageReadTrack(target, p, track);
    if (read != kTrackRead) {
      SayTrackFailure(out, target->path, p, read);
      result = -1;
    }
    for (int i = 0; i < track->count && result == 0; i++)
      if (track->sectors[i].marks & kSectorOtherSize) {
        Say(out, kCaptionError, kMsgConvertOtherSize, target->path, p);
        result = -1;
      }
  }
  target->session = nullptr;
  ImageSessionClose(&session);
  return result;
}

int CopyTargetBegin(Outcome* out, const char* path, bool replace, CopyTarget* target) {
  target->path = path;
  target->size = 0;
  target->file.handle = -1;
  if (!replace && ImageFileExists(path) != 0) {
    Say(out, kCaptionError, kMsgConvertExists, path);
    return -1;
  }
  if (ImageFileTemporaryName(path, target->temp) != 0 ||
      ImageFileCreate(target->temp, &target->file) != 0) {
    Say(out, kCaptionError, kMsgConvertWriteFailed, path);
    return -1;
  }
  return 0;
}

int CopyTargetWrite(Outcome* out, CopyTarget* target, const ContainerKind* kind,
                    const DiskModel* model, const ContainerStamp* stamp) {
  const int64_t written = kind->writeDisk(&target->file, target->size, model, stamp);
  if (written < 0 || target->size + written > 0xFFFFFFFFll) {
    Say(out, kCaptionError, kMsgConvertWriteFailed, target->path);
    CopyTargetEnd(nullptr, target, false, false);
    return -1;
  }
  target->size += static_cast<uint32_t>(written);
  return 0;
}

int CopyTargetEnd(Outcome* out, CopyTarget* target, bool keep, bool replace) {
  if (target->file.handle == -1) return -1;
  const int synced = keep ? ImageFileSync(&target->file) : 0;
  ImageFileClose(&target->file);
  target->file.handle = -1;
  if (!keep || synced != 0) {
    ImageFileRemove(target->temp);
    if (keep) Say(out, kCaptionError, kMsgConvertWriteFailed, target->path);
    return keep ? -1 : 0;
  }
  // A file that appeared at the target meanwhile is not replaced unless asked.
  if (!replace && ImageFileExists(target->path) != 0) {
    ImageFileRemove(target->temp);
    Say(out, kCaptionError, kMsgConvertExists, target->path);
    return -1;
  }
  if (ImageFileRename(target->temp, target->path) != 0 || ImageFileSyncFolder(target->path) != 0) {
    ImageFileRemove(target->temp);
    Say(out, kCaptionError, kMsgConvertWriteFailed, target->path);
    return -1;
  }
  return 0;
}
