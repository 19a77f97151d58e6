#include "transfer/batch_import.h"

#include <cstdio>
#include <cstring>

#include "flows/app_image.h"
#include "flows/attribute_dialog.h"
#include "flows/volume_load.h"
#include "image/journal.h"
#include "texts/texts.h"
#include "transfer/import.h"
#include "volume/app_state.h"
#include "volume/bit_table.h"
#include "volume/format.h"
#include "volume/layout.h"

namespace {

constexpr int kMaxFiles = kDirectoryBufferBytes / kEntryBytes;  // no volume holds more

// The data of every file at its place in the volume, and the runs to write; only one command
// runs at a time.
uint8_t Staging[kVolumeBytes + kSectorBytes];
SectorRun Runs[kMaxFiles];

// Shows "<reason>\n file (<path>) ... nothing was written".
void Refuse(WindowHandle window, const char* reason, const char* path) {
  char message[2 * kPathCapacity + 384];
  std::snprintf(message, sizeof message, kMsgBatchImportRefused, reason, path);
  PlatformMessageBox(window, message, kCaptionError, kMbOk);
}

// Reads, converts, places and checks one file. 0; 1 when the user cancelled its dialog; -1 after a
// message naming the file.
int StageFile(WindowHandle window, const char* path, SectorRun* run) {
  if (std::strlen(path) >= kPathCapacity) {
    Refuse(window, kMsgPathTooLong, path);
    return -1;
  }
  char message[kPathCapacity + 128];
  std::snprintf(App.ChosenPath, sizeof App.ChosenPath, "%s", path);
  long length = ReadHostData(path, message, sizeof message);
  if (length >= 0) length = ConvertImportData(length, message, sizeof message);
  if (length < 0) {
    Refuse(window, message, path);
    return -1;
  }
  const int sectors = SectorsFor(length);
  int track = 0;
  int sector = 0;
  if (FindFreeRun(App.SystemArea, sectors, &track, &sector) != 0) {
    Refuse(window, kMsgDiskFull, path);
    return -1;
  }
  BuildPendingEntry(length, track, sector);
  if (PlatformDialogBox(window, kAttributeDialogId, AttributeDialogProc) != kIdOk) return 1;
  if (StorePendingEntry() != 0) {
    Refuse(window, kMsgDirectoryFull, path);
    return -1;
  }
  const long at = static_cast<long>(SectorIndex(track, sector)) * kSectorBytes;
  if (MarkSectorsUsed(App.SystemArea, sectors, track, sector) != 0 ||
      at + static_cast<long>(sectors) * kSectorBytes > static_cast<long>(sizeof Staging)) {
    Refuse(window, kMsgBitTableFailed, path);
    return -1;
  }
  if (!VolumeSoundForWrite(length, sectors, track, sector)) {
    Refuse(window, kMsgVolumeDamaged, path);
    return -1;
  }
  std::memcpy(Staging + at, ImportData(), static_cast<size_t>(length));
  *run = {track, sector, static_cast<int>(length)};
  return 0;
}

int WriteAll(WindowHandle window, int count) {
  for (int i = 0; i < count; i++) {
    uint8_t* data =
        Staging + static_cast<long>(SectorIndex(Runs[i].track, Runs[i].sector)) * kSectorBytes;
    if (ZLV_WriteZelvoFile(window, data, Runs[i].track, Runs[i].sector, Runs[i].byteCount) != 0)
      return -1;
  }
  // The bit table before the directory, as a single import writes them.
  if (ZLV_WriteZelvoFile(window, App.SystemArea, kSystemAreaTrack, kSystemAreaSector,
                         kSystemAreaBytes) != 0)
    return -1;
  if (ZLV_WriteZelvoFile(window, App.DirectoryBuffer, kDirectoryTrack, kDirectorySector,
                         kDirectoryHalfBytes) != 0)
    return -1;
  if (App.ExdirPresent &&
      ZLV_WriteZelvoFile(window, App.DirectoryBuffer + kDirectoryHalfBytes, App.ExdirTrack,
                         App.ExdirSector, kDirectoryHalfBytes) != 0)
    return -1;
  return 0;
}

}  // namespace

int ImportHostFiles(WindowHandle window, const char* const* paths, int count, int* failed) {
  if (failed) *failed = -1;
  if (!App.VolumeLoaded) {
    PlatformMessageBox(window, kMsgImportNotReady, kCaptionError, kMbOk);
    return -1;
  }
  if (count <= 0) return -1;
  if (ImageRefuseIfProtected(window) != 0) return -1;
  if (RereadVolume(window) != 0) return -1;
  for (int i = 0; i < count; i++) {
    if (i >= kMaxFiles) {
      if (failed) *failed = i;
      Refuse(window, kMsgDirectoryFull, paths[i]);
      return -1;
    }
    const int staged = StageFile(window, paths[i], &Runs[i]);
    if (staged != 0) {
      if (failed) *failed = i;
      return -1;
    }
  }
  if (PlatformMessageBox(window, kMsgImportConfirm, kCaptionConfirm, kMbYesNo | kMbIconQuestion) !=
      kIdYes)
    return -1;

  if (ImageBeginChange(window) != 0) return -1;
  if (WriteAll(window, count) != 0) {
    ImageAbortChange();
    LoadVolume(window);
    return -1;
  }
  if (ImageCommitChange(window) != 0) {
    LoadVolume(window);
    return -1;
  }
  LoadVolume(window);
  char message[128];
  std::snprintf(message, sizeof message, kMsgBatchImportSucceeded, count);
  PlatformMessageBox(window, message, kCaptionSuccess, kMbOk);
  return 0;
}
