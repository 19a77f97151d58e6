#include "flows/disk_chooser.h"

#include <cstdio>
#include <cstring>

#include "flows/app_image.h"
#include "flows/app_state.h"
#include "flows/volume_load.h"
#include "image/change_history.h"
#include "image/image_select.h"
#include "image/sector_transfer.h"
#include "texts/texts.h"
#include "volume/identify.h"
#include "volume/layout.h"

namespace {

// The disk chooser's list, for the one dialog that runs at a time.
const ImageTarget* ChooserFile = nullptr;
const ImageDisk* ChooserDisks = nullptr;
int ChooserCount = 0;
int ChooserFirst = 0;
int ChooserResult = -1;

void Append(char* text, int capacity, const char* format, auto... values) {
  const size_t used = std::strlen(text);
  if (used + 1 < static_cast<size_t>(capacity))
    std::snprintf(text + used, static_cast<size_t>(capacity) - used, format, values...);
}

intptr_t DiskDialogProc(WindowHandle dialog, unsigned message, uintptr_t wParam, intptr_t) {
  if (message == kWmInitDialog) {
    char text[256];
    for (int i = 0; i < ChooserCount; i++) {
      DiskItemText(i, ChooserDisks[i], text, sizeof text);
      if (ChooserFile)
        DiskItemDetails(ChooserFile, ChooserDisks, ChooserCount, i, text, sizeof text);
      DlgComboAppend(dialog, kDiskComboId, text);
    }
    DlgComboSetSelection(dialog, kDiskComboId, ChooserFirst);
    return 1;
  }
  if (message != kWmCommand) return 0;
  const int id = static_cast<int>(wParam & 0xFFFF);
  if (id == kIdOk) {
    const int chosen = DlgComboSelection(dialog, kDiskComboId);
    if (chosen < 0 || chosen >= ChooserCount) return 1;  // nothing chosen yet: stay open
    ChooserResult = chosen;
    PlatformEndDialog(dialog, kIdOk);
    return 1;
  }
  if (id == kIdCancel) {
    PlatformEndDialog(dialog, kIdCancel);
    return 1;
  }
  return 0;
}

}  // namespace

void DiskItemText(int index, const ImageDisk& disk, char* text, int capacity) {
  std::snprintf(text, static_cast<size_t>(capacity), WindowText(kDiskItemFormat), index, disk.name);
}

void DiskItemDetails(const ImageTarget* file, const ImageDisk* disks, int count, int index,
                     char* text, int capacity) {
  const ImageDisk& disk = disks[index];
  Append(text, capacity, WindowText(kDiskItemSize),
         static_cast<long>((disk.end - disk.base) / 1024));
  if (disk.writeProtected) Append(text, capacity, "%s", WindowText(kDiskItemProtected));
  ImageTarget target = *file;
  target.diskBase = disk.base;
  target.diskEnd = disk.end;
  target.diskIndex = index;
  target.diskCount = count;
  static Identification id;  // one chooser at a time; too large for the stack of a window
  const int format = file->kind ? file->kind->format : -1;
  // A disk that does not carry its system area (a header without tracks) holds nothing.
  const SectorRun system{kSystemAreaTrack, kSystemAreaSector, kSystemAreaBytes};
  if (ImageCarriesRuns(&target, &system, 1) != 1 || IdentifyImage(&target, format, &id) != 0) {
    Append(text, capacity, "%s", WindowText(kDiskItemEmpty));
    return;
  }
  // The files as the convention in force reads them, else as the other one does.
  const int mode = file->machineMode == kModePc ? kModePc : kModeMz;
  const ConventionScore& shown = id.conventions[mode];
  const ConventionScore& other = id.conventions[mode == kModeMz ? kModePc : kModeMz];
  if (shown.volume)
    Append(text, capacity, WindowText(kDiskItemVolume), shown.usedSlots);
  else if (other.volume)
    Append(text, capacity, WindowText(kDiskItemVolume), other.usedSlots);
  else
    Append(text, capacity, "%s", WindowText(kDiskItemNotVolume));
}

int ChooseImageDisk(WindowHandle owner, const ImageTarget* file, const ImageDisk* disks, int count,
                    int current) {
  ChooserFile = file;
  ChooserDisks = disks;
  ChooserCount = count;
  ChooserFirst = current >= 0 && current < count ? current : 0;
  ChooserResult = -1;
  const intptr_t result = PlatformDialogBox(owner, kDiskDialogId, DiskDialogProc);
  ChooserDisks = nullptr;
  ChooserFile = nullptr;
  return result == kIdOk ? ChooserResult : -1;
}

void ChooseDiskCommand(WindowHandle owner) {
  if (App.ImagePath[0] == '\0') return;
  ImageTarget file;
  if (ImageTargetFor(&file, App.ImagePath, ContainerForFormat(App.ImageFormat), App.MachineMode) !=
      0)
    return;
  static ImageDisk disks[kMaxImageDisks];
  const int count = ImageListDisks(&file, disks, kMaxImageDisks);
  if (count < 2) return;
  const int disk = ChooseImageDisk(owner, &file, disks, count, App.DiskIndex);
  if (disk < 0 || disk == App.DiskIndex) return;
  SelectImageDisk(disks, count, disk);
  ChangeHistoryClear(App.History);  // the changes were made on the other disk
  LoadVolume(owner);
}
