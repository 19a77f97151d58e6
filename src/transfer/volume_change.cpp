#include "transfer/volume_change.h"

#include <cstring>

#include "flows/app_image.h"
#include "flows/volume_load.h"
#include "image/journal.h"
#include "texts/texts.h"
#include "flows/import.h"
#include "volume/app_state.h"
#include "volume/file_ops.h"
#include "volume/layout.h"

int RereadForChange(WindowHandle window, const int* slots, int count) {
  static uint8_t loaded[kDirectoryBufferBytes];
  std::memcpy(loaded, App.DirectoryBuffer, sizeof loaded);
  const int loadedCount = App.EntryCount;
  if (RereadVolume(window) != 0) return -1;  // the reader has shown its message
  bool same = App.EntryCount == loadedCount;
  for (int i = 0; i < count && same; ++i) {
    const int slot = slots[i];
    same = slot >= 0 && slot < App.EntryCount && slot < kMaxSlots &&
           std::memcmp(loaded + slot * kEntryBytes, App.DirectoryBuffer + slot * kEntryBytes,
                       kEntryBytes) == 0 &&
           loaded[slot * kEntryBytes + kEntryType] != 0;
  }
  if (!same) {
    PlatformMessageBox(window, kMsgVolumeChanged, kCaptionError, kMbOk);
    LoadVolume(window);
    return -1;
  }
  return 0;
}

int ExdirFirstIndex() {
  return App.ExdirPresent ? SectorIndex(App.ExdirTrack, App.ExdirSector) : -1;
}

namespace {

int CheckChangeWrites(WindowHandle window, int halves, bool withSystemArea) {
  SectorRun runs[3];
  int n = 0;
  if (halves & 1) runs[n++] = {kDirectoryTrack, kDirectorySector, kDirectoryHalfBytes};
  if ((halves & 2) && App.ExdirPresent)
    runs[n++] = {App.ExdirTrack, App.ExdirSector, kDirectoryHalfBytes};
  if (withSystemArea) runs[n++] = {kSystemAreaTrack, kSystemAreaSector, kSystemAreaBytes};
  if (n > 0 && ImageCarriesRuns(runs, n) != 1) {
    PlatformMessageBox(window, kMsgVolumeDamaged, kCaptionError, kMbOk);
    return -1;
  }
  return 0;
}

int WriteVolumeChange(WindowHandle window, int halves, bool withSystemArea) {
  if (ImageBeginChange(window) != 0) return -1;
  bool ok = true;
  if (halves & 1)
    ok = ZLV_WriteZelvoFile(window, App.DirectoryBuffer, kDirectoryTrack, kDirectorySector,
                            kDirectoryHalfBytes) == 0;
  if (ok && (halves & 2) && App.ExdirPresent)
    ok = ZLV_WriteZelvoFile(window, App.DirectoryBuffer + kDirectoryHalfBytes, App.ExdirTrack,
                            App.ExdirSector, kDirectoryHalfBytes) == 0;
  if (ok && withSystemArea)
    ok = ZLV_WriteZelvoFile(window, App.SystemArea, kSystemAreaTrack, kSystemAreaSector,
                            kSystemAreaBytes) == 0;
  if (!ok) {
    ImageAbortChange();
    return -1;
  }
  return ImageCommitChange(window);
}

}  // namespace

int CommitVolumeChange(WindowHandle window, int halves, bool withSystemArea) {
  const int result = CheckChangeWrites(window, halves, withSystemArea) == 0 &&
                             WriteVolumeChange(window, halves, withSystemArea) == 0
                         ? 0
                         : -1;
  LoadVolume(window);
  return result;
}
