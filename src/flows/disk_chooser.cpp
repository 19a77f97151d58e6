#include "flows/disk_chooser.h"

#include <cstdio>

#include "texts/texts.h"

namespace {

// The disk chooser's list, for the one dialog that runs at a time.
const ImageDisk* ChooserDisks = nullptr;
int ChooserCount = 0;
int ChooserResult = -1;

intptr_t DiskDialogProc(WindowHandle dialog, unsigned message, uintptr_t wParam, intptr_t) {
  if (message == kWmInitDialog) {
    char text[64];
    for (int i = 0; i < ChooserCount; i++) {
      DiskItemText(i, ChooserDisks[i], text, sizeof text);
      DlgComboAppend(dialog, kDiskComboId, text);
    }
    DlgComboSetSelection(dialog, kDiskComboId, 0);
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
  std::snprintf(text, static_cast<size_t>(capacity), kDiskItemFormat, index, disk.name);
}

int ChooseImageDisk(WindowHandle owner, const ImageDisk* disks, int count) {
  ChooserDisks = disks;
  ChooserCount = count;
  ChooserResult = -1;
  const intptr_t result = PlatformDialogBox(owner, kDiskDialogId, DiskDialogProc);
  ChooserDisks = nullptr;
  return result == kIdOk ? ChooserResult : -1;
}
