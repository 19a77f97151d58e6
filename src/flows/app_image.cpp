#include "flows/app_image.h"

#include <cstring>

#include "codes/code_tables.h"
#include "flows/app_state.h"
#include "flows/show_outcome.h"
#include "image/journal.h"
#include "texts/texts.h"
#include "transfer/convention_guard.h"
#include "transfer/open_disk.h"

void AppImageTarget(ImageTarget* target) {
  const size_t length = strnlen(App.ImagePath, sizeof App.ImagePath - 1);
  std::memcpy(target->path, App.ImagePath, length);
  target->path[length] = '\0';
  target->kind = ContainerForFormat(App.ImageFormat);
  target->diskBase = App.DiskBase;
  target->diskEnd = App.DiskEnd;
  target->diskIndex = App.DiskIndex;
  target->diskCount = App.DiskCount;
  target->machineMode = App.MachineMode;
  target->session = nullptr;
  target->change = App.Change;
}

int ReadSectorsShown(WindowHandle owner, const ImageTarget* target, uint8_t* buffer, int track,
                     int sector, int byteCount) {
  const int status = ReadSectors(target, buffer, track, sector, byteCount);
  if (status == kImageOk) return 0;
  PlatformMessageBox(owner, ImageStatusText(status), kCaptionRead, kMbOk);
  return -1;
}

int WriteSectorsShown(WindowHandle owner, const ImageTarget* target, uint8_t* buffer, int track,
                      int sector, int byteCount) {
  if (!SectorAddressValid(track, sector)) {
    PlatformMessageBox(owner, ImageStatusText(kImageBadAddress), kCaptionWrite, kMbOk);
    return -1;
  }
  // The buffer is changed before the image is opened, also when that fails.
  EncodeSectorRun(buffer, byteCount, target->machineMode);
  const bool own = !ImageChangeActive(target->change);
  if (own && ImageBeginChange(owner, target) != 0) return -1;
  const int status = QueueSectorRun(target, buffer, track, sector, byteCount);
  if (status != kImageOk) {
    PlatformMessageBox(owner, ImageStatusText(status), kCaptionWrite, kMbOk);
    if (own) ImageAbortChange(target->change);
    return -1;
  }
  return own ? ImageCommitChange(owner, target->change) : 0;
}

int ZLV_ReadZelvoFile(WindowHandle owner, uint8_t* buffer, int track, int sector, int byteCount) {
  ImageTarget target;
  AppImageTarget(&target);
  return ReadSectorsShown(owner, &target, buffer, track, sector, byteCount);
}

int ZLV_WriteZelvoFile(WindowHandle owner, uint8_t* buffer, int track, int sector, int byteCount) {
  ImageTarget target;
  AppImageTarget(&target);
  return WriteSectorsShown(owner, &target, buffer, track, sector, byteCount);
}

int ImageBeginChange(WindowHandle owner) {
  ImageTarget target;
  AppImageTarget(&target);
  return ImageBeginChange(owner, &target);
}

bool ImageWriteProtected() {
  ImageTarget target;
  AppImageTarget(&target);
  return ImageWriteProtected(&target);
}

int ImageRefuseIfProtected(WindowHandle owner) {
  ImageTarget target;
  AppImageTarget(&target);
  return ImageRefuseIfProtected(owner, &target);
}

int ImageCarriesRuns(const SectorRun* runs, int runCount) {
  ImageTarget target;
  AppImageTarget(&target);
  return ImageCarriesRuns(&target, runs, runCount);
}

void SelectImageDisk(const ImageDisk* disks, int count, int index) {
  ImageTarget target;
  AppImageTarget(&target);
  AimAtDisk(&target, disks, count, index);
  App.DiskBase = target.diskBase;
  App.DiskEnd = target.diskEnd;
  App.DiskIndex = target.diskIndex;
  App.DiskCount = target.diskCount;
}

int ImageBeginChange(WindowHandle owner, const ImageTarget* target) {
  Outcome out;
  OutcomeClear(&out);
  const int result = BeginImageChange(&out, target);
  ShowOutcome(owner, &out);
  return result;
}

int ImageRefuseIfProtected(WindowHandle owner, const ImageTarget* target) {
  Outcome out;
  OutcomeClear(&out);
  const int result = RefuseChange(&out, target);
  ShowOutcome(owner, &out);
  return result;
}

int ImageCommitChange(WindowHandle owner, ImageChange* change) {
  Outcome out;
  OutcomeClear(&out);
  const int result = CommitImageChange(&out, change);
  ShowOutcome(owner, &out);
  return result;
}

int ImageRecoverJournal(WindowHandle owner, const char* path) {
  Outcome out;
  OutcomeClear(&out);
  ImageTarget target;
  ImageTargetFor(&target, path, nullptr, App.MachineMode);
  target.change = App.Change;
  const int result = RecoverImageJournal(&out, &target);
  ShowOutcome(owner, &out);
  return result;
}

int ChangeHistoryStep(WindowHandle owner, const ImageTarget* target, bool undo) {
  Outcome out;
  OutcomeClear(&out);
  const int result = StepChangeHistory(&out, target, undo);
  ShowOutcome(owner, &out);
  return result;
}

int CheckLoadedVolume(CheckFindings* findings) {
  ImageTarget target;
  AppImageTarget(&target);
  return CheckLoadedVolume(&target, &App, findings);
}

int LoadedFileDamage(VolumeHealth* health, FileDamage* damage) {
  ImageTarget target;
  AppImageTarget(&target);
  return LoadedFileDamage(&target, &App, health, damage);
}

int IdentifyCurrentImage(WindowHandle owner, Identification* result) {
  ImageTarget target;
  AppImageTarget(&target);
  const int status = IdentifyImage(&target, App.ImageFormat, result);
  if (status <= 0) return status;
  PlatformMessageBox(owner, ImageStatusText(status), kCaptionRead, kMbOk);
  return -1;
}

int LoadCodeTables(WindowHandle window) {
  Outcome out;
  OutcomeClear(&out);
  const int result = ReadCodeFileBesideProgram(&out, &App.Tables);
  ShowOutcome(window, &out);
  return result;
}
