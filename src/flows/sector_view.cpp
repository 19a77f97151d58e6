#include "flows/sector_view.h"

#include <cstdio>
#include <cstring>

#include "flows/app_image.h"
#include "flows/app_state.h"
#include "image/sector_transfer.h"
#include "texts/texts.h"
#include "view/sector_dump.h"
#include "view/sector_owner.h"
#include "volume/layout.h"

namespace {

constexpr unsigned kEditChanged = 0x0300;  // EN_CHANGE

// The sector shown by the one window that runs at a time.
int Shown = 0;
bool Filling = false;  // the fields are being set by the window itself

void ShowSector(WindowHandle dialog, int index) {
  Shown = index;
  const int track = index / kSectorsPerTrack, sector = index % kSectorsPerTrack + 1;
  uint8_t bytes[kSectorBytes];
  ImageTarget target;
  AppImageTarget(&target);
  char owner[128], heading[256];
  static char dump[kSectorBytes / 16 * 160];
  const int status = ReadSectors(&target, bytes, track, sector, kSectorBytes);
  if (status != kImageOk) {
    std::snprintf(dump, sizeof dump, WindowText(kSectorViewUnreadable), ImageStatusText(status));
  } else {
    FormatSectorDump(bytes, App.Tables.TBL1, dump, sizeof dump);
  }
  DescribeSectorOwner(&App, App.Tables.TBL1, index, App.English != 0, owner, sizeof owner);
  std::snprintf(heading, sizeof heading, WindowText(kSectorViewHeading), track, sector, track,
                sector, owner);
  // What the container says of a sector it records as bad or lacks.
  SectorHealth health;
  if (ReadSectorHealth(&target, track, sector, &health) == 0 && health.state != kSectorSound) {
    char verdict[128];
    ComposeSectorVerdict(health, App.English != 0, verdict, sizeof verdict);
    const size_t used = std::strlen(heading);
    std::snprintf(heading + used, sizeof heading - used, WindowText(kSectorViewVerdict), verdict);
  }
  DlgSetItemText(dialog, kSectorOwnerId, heading);
  DlgSetItemText(dialog, kSectorHexId, dump);
}

void FillFields(WindowHandle dialog, int index) {
  char number[16];
  Filling = true;
  std::snprintf(number, sizeof number, "%d", index / kSectorsPerTrack);
  DlgSetItemText(dialog, kSectorTrackId, number);
  std::snprintf(number, sizeof number, "%d", index % kSectorsPerTrack + 1);
  DlgSetItemText(dialog, kSectorSectorId, number);
  Filling = false;
  ShowSector(dialog, index);
}

// The address typed into the fields, once both make a sector of the disk; -1 otherwise (the
// heading then says what to type).
int TypedSector(WindowHandle dialog) {
  char trackText[16], sectorText[16];
  DlgGetItemText(dialog, kSectorTrackId, trackText, sizeof trackText);
  DlgGetItemText(dialog, kSectorSectorId, sectorText, sizeof sectorText);
  long track = -1, sector = -1;
  if (!ParseSectorNumber(trackText, &track) || !ParseSectorNumber(sectorText, &sector) ||
      !SectorAddressValid(static_cast<int>(track), static_cast<int>(sector))) {
    DlgSetItemText(dialog, kSectorOwnerId, kSectorViewBadAddress);
    return -1;
  }
  return SectorIndex(static_cast<int>(track), static_cast<int>(sector));
}

intptr_t SectorViewProc(WindowHandle dialog, unsigned message, uintptr_t wParam, intptr_t) {
  if (message == kWmInitDialog) {
    FillFields(dialog, Shown);
    return 1;
  }
  if (message != kWmCommand) return 0;
  const int id = static_cast<int>(wParam & 0xFFFF);
  const unsigned code = static_cast<unsigned>((wParam >> 16) & 0xFFFF);
  if (id == kIdCancel) {
    PlatformEndDialog(dialog, id);
  } else if (id ==
             kIdOk) {  // Enter: the sector typed, its fields written as the window writes them
    const int index = TypedSector(dialog);
    if (index >= 0) FillFields(dialog, index);
  } else if (id == kSectorPreviousId || id == kSectorNextId) {
    FillFields(dialog, StepSectorIndex(Shown, id == kSectorNextId ? 1 : -1));
  } else if ((id == kSectorTrackId || id == kSectorSectorId) && code == kEditChanged) {
    if (!Filling) {
      const int index = TypedSector(dialog);
      if (index >= 0) ShowSector(dialog, index);
    }
  } else {
    return 0;
  }
  return 1;
}

}  // namespace

int ShowSectorView(WindowHandle window, int track, int sector) {
  if (App.VolumeLoaded != 1) return -1;
  Shown = SectorAddressValid(track, sector) ? SectorIndex(track, sector) : 0;
  PlatformDialogBox(window, kSectorViewDialogId, SectorViewProc);
  return 0;
}

int ShowFileSectors(WindowHandle window, int slot) {
  if (slot < 0 || slot >= App.EntryCount) return -1;
  const uint8_t* entry = App.DirectoryBuffer + slot * kEntryBytes;
  return ShowSectorView(window, entry[kEntryTrk], entry[kEntrySct]);
}
