#include "image/d88_disks.h"

#include <cstdio>
#include <cstring>

#include "image/image_file.h"
#include "image/sector_transfer.h"
#include "texts/texts.h"
#include "volume/app_state.h"

namespace {

uint32_t Le32(const uint8_t* p) {
  return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

// Reads the 688-byte header at `base`; bytes the file does not deliver are zero.
int ReadHeader(ImageFile* file, int64_t base, uint8_t* header) {
  std::memset(header, 0, kD88HeaderBytes);
  if (base < 0 || base > 0xFFFFFFFFll) return 0;
  unsigned got = 0;
  return ImageFileReadAt(file, static_cast<uint32_t>(base), header, kD88HeaderBytes, &got);
}

void Describe(const uint8_t* header, int64_t base, int64_t end, D88Disk* disk) {
  disk->base = static_cast<uint32_t>(base);
  disk->end = static_cast<uint32_t>(end);
  disk->sizeField = Le32(header + kD88DiskSize);
  int n = 0;
  while (n < kD88NameBytes && header[n] != 0) {
    disk->name[n] = static_cast<char>(header[n]);
    n++;
  }
  disk->name[n] = '\0';
  disk->writeProtect = header[kD88WriteProtect];
  disk->mediaType = header[kD88MediaType];
}

// The disk chooser's list, for the one dialog that runs at a time.
const D88Disk* ChooserDisks = nullptr;
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

bool D88HeaderSound(const uint8_t* header, int64_t base, int64_t fileSize) {
  const uint32_t size = Le32(header + kD88DiskSize);
  if (size < static_cast<uint32_t>(kD88HeaderBytes) || base + size > fileSize) return false;
  const uint8_t protect = header[kD88WriteProtect];
  if (protect != 0 && protect != kD88Protected) return false;
  const uint8_t media = header[kD88MediaType];
  if (media != 0x00 && media != 0x10 && media != 0x20 && media != 0x30 && media != 0x40)
    return false;
  for (int p = 0; p < kD88TrackCount; p++) {
    const uint32_t offset = Le32(header + kD88TrackTable + 4 * p);
    if (offset != 0 && (offset < static_cast<uint32_t>(kD88TrackTable) || offset >= size))
      return false;
  }
  return true;
}

int D88ListDisks(ImageFile* file, int64_t fileSize, D88Disk* disks, int capacity) {
  uint8_t header[kD88HeaderBytes];
  if (ReadHeader(file, 0, header) != 0) return -1;
  int64_t base = 0;
  int count = 0;
  for (;;) {
    const uint32_t size = Le32(header + kD88DiskSize);
    // Another disk follows only where this one's size says and only when its header is sound.
    uint8_t next[kD88HeaderBytes];
    bool more = count + 1 < capacity && size >= static_cast<uint32_t>(kD88HeaderBytes) &&
                base + size < fileSize;
    if (more) {
      if (ReadHeader(file, base + size, next) != 0) return -1;
      more = D88HeaderSound(next, base + size, fileSize);
    }
    if (count < capacity) Describe(header, base, more ? base + size : fileSize, &disks[count]);
    count++;
    if (!more) break;
    base += size;
    std::memcpy(header, next, sizeof header);
  }
  return count;
}

int D88ListDisksAt(const char* path, D88Disk* disks, int capacity) {
  ImageFile file;
  if (ImageFileOpenRead(path, &file) != 0) return -1;
  const int64_t size = ImageFileSize(&file);
  const int count = size < 0 ? -1 : D88ListDisks(&file, size, disks, capacity);
  ImageFileClose(&file);
  return count;
}

void SelectD88Disk(const D88Disk* disks, int count, int index) {
  const bool several = count > 1 && index >= 0 && index < count;
  App.DiskBase = several ? disks[index].base : 0;
  App.DiskEnd = several ? disks[index].end : 0;
  App.DiskIndex = several ? index : 0;
  App.DiskCount = count;
}

bool ImageWriteProtected() {
  if (App.ImageFormat == kFormat2D) return false;
  ImageFile file;
  if (ImageFileOpenRead(App.ImagePath, &file) != 0) return false;
  uint8_t flag = 0;
  unsigned got = 0;
  const int result = ImageFileReadAt(&file, App.DiskBase + kD88WriteProtect, &flag, 1, &got);
  ImageFileClose(&file);
  return result == 0 && got == 1 && flag == kD88Protected;
}

int ImageRefuseIfProtected(WindowHandle owner) {
  if (!ImageWriteProtected()) return 0;
  PlatformMessageBox(owner, kMsgWriteProtected, kCaptionError, kMbOk);
  return -1;
}

void DiskItemText(int index, const D88Disk& disk, char* text, int capacity) {
  std::snprintf(text, static_cast<size_t>(capacity), kDiskItemFormat, index, disk.name);
}

int ChooseD88Disk(WindowHandle owner, const D88Disk* disks, int count) {
  ChooserDisks = disks;
  ChooserCount = count;
  ChooserResult = -1;
  const intptr_t result = PlatformDialogBox(owner, kDiskDialogId, DiskDialogProc);
  ChooserDisks = nullptr;
  return result == kIdOk ? ChooserResult : -1;
}
