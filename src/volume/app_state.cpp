#include "volume/app_state.h"

#include <cstring>

#include "volume/layout.h"

AppState App;

void ResetAppState() { std::memset(&App, 0, sizeof App); }

void ApplyExdirRule() {
  App.ExdirPresent = 0;
  App.DirectoryBytes = kDirectoryHalfBytes;
  App.EntryCount = 64;
  const int track = App.SystemArea[kSysExdirTrk];
  const int sector = App.SystemArea[kSysExdirSct];
  if (track == 0xFF && sector == 0xFF) return;
  if (track >= 1 && track <= 83 && sector >= 1 && sector <= 16) {
    App.ExdirPresent = 1;
    App.DirectoryBytes = kDirectoryBufferBytes;
    App.EntryCount = 128;
    App.ExdirTrack = track;
    App.ExdirSector = sector;
  }
}
