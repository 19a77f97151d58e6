#include "transfer/batch_import.h"

#include <cstdio>
#include <cstring>

#include "image/image_select.h"
#include "image/journal.h"
#include "image/sector_transfer.h"
#include "texts/texts.h"
#include "transfer/volume_change.h"
#include "volume/bit_table.h"
#include "volume/format.h"
#include "volume/layout.h"

namespace {

// The data of every file at its place in the volume; only one command runs at a time.
uint8_t Staging[kVolumeBytes + kSectorBytes];

uint8_t* StagedData(int track, int sector) {
  return Staging + static_cast<long>(SectorIndex(track, sector)) * kSectorBytes;
}

}  // namespace

void SayImportRefused(Outcome* out, const char* reason, const char* path) {
  char message[2 * kPathCapacity + 384];
  std::snprintf(message, sizeof message, kMsgBatchImportRefused, reason, path);
  SayText(out, kCaptionError, kMsgBatchImportRefused, message);
}

int StageImportFile(const ImageTarget* /*target*/, VolumeState* volume, const char* path,
                    int transferMode, const uint8_t* tbl3, const char date[9], bool mayReplace,
                    uint8_t* entry, ImportPlan* plan, Outcome* out, ImportTextDecoderFn decode) {
  if (std::strlen(path) >= kPathCapacity) {
    SayImportRefused(out, kMsgHostPathTooLong, path);
    return -1;
  }
  char message[kPathCapacity + 128];
  long length = ReadHostData(path, message, sizeof message);
  if (length >= 0)
    length = ConvertImportData(length, transferMode, tbl3, message, sizeof message, nullptr,
                               nullptr, decode);
  if (length < 0) {
    SayImportRefused(out, message, path);
    return -1;
  }
  plan->length = length;
  plan->sectors = SectorsFor(length);
  plan->track = 0;
  plan->sector = 0;
  if (FindFreeRun(volume->SystemArea, plan->sectors, &plan->track, &plan->sector) != 0 &&
      !mayReplace) {
    SayImportRefused(out, kMsgDiskFull, path);
    return -1;
  }
  char name[kPathCapacity] = {};
  SplitFileName(path, name, sizeof name);
  BuildPendingEntry(entry, name, length, plan->track, plan->sector, date);
  return 0;
}

int PlaceImportFile(const ImageTarget* target, VolumeState* volume, const char* path, int replaced,
                    uint8_t* entry, ImportPlan* planned, SectorRun* run, Outcome* out) {
  if ((replaced >= 0 && FreeReplacedFile(volume, replaced, entry, planned) != 0) ||
      (replaced < 0 && planned->track == 0)) {
    SayImportRefused(out, kMsgDiskFull, path);
    return -1;
  }
  const ImportPlan& plan = *planned;
  if (StorePendingEntry(volume, entry) != 0) {
    SayImportRefused(out, kMsgDirectoryFull, path);
    return -1;
  }
  const long at = static_cast<long>(SectorIndex(plan.track, plan.sector)) * kSectorBytes;
  if (MarkSectorsUsed(volume->SystemArea, plan.sectors, plan.track, plan.sector) != 0 ||
      at + static_cast<long>(plan.sectors) * kSectorBytes > static_cast<long>(sizeof Staging)) {
    SayImportRefused(out, kMsgBitTableFailed, path);
    return -1;
  }
  if (!VolumeSoundForWrite(target, volume, entry, plan.length, plan.sectors, plan.track,
                           plan.sector)) {
    SayImportRefused(out, kMsgVolumeDamaged, path);
    return -1;
  }
  std::memcpy(Staging + at, ImportData(), static_cast<size_t>(plan.length));
  *run = {plan.track, plan.sector, static_cast<int>(plan.length)};
  return 0;
}

int WriteImportFiles(const ImageTarget* target, VolumeState* volume, const SectorRun* runs,
                     int count, bool* begun, Outcome* out) {
  *begun = false;
  if (BeginPlannedChange(out, target, volume) != 0) return -1;
  *begun = true;
  for (int i = 0; i < count; i++) {
    if (WriteRunSaid(target, StagedData(runs[i].track, runs[i].sector), runs[i].track,
                     runs[i].sector, runs[i].byteCount, out) != 0) {
      ImageAbortChange(target->change);
      return -1;
    }
  }
  // The bit table before the directory, as a single import writes them.
  if (WriteVolumeAreas(target, volume, out) != 0) {
    ImageAbortChange(target->change);
    return -1;
  }
  return CommitImageChange(out, target->change);
}
