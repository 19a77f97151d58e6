#include "transfer/copy_files.h"

#include <cstdio>
#include <cstring>

#include "image/sector_transfer.h"
#include "texts/texts.h"
#include "transfer/batch_import.h"
#include "transfer/convention_guard.h"
#include "transfer/import.h"
#include "volume/bit_table.h"

namespace {

// The stored name of an entry as text (bytes up to 0x0D or 0, at most 16).
void EntryNameText(const uint8_t* entry, char* text) {
  int n = 0;
  while (n < kEntryNameMax && entry[kEntryName + n] != 0x0D && entry[kEntryName + n] != 0) {
    text[n] = static_cast<char>(entry[kEntryName + n]);
    n++;
  }
  text[n] = '\0';
}

// The used slot of the volume whose name equals the entry's, or -1.
int SlotNamed(const VolumeState* volume, const uint8_t* entry) {
  char key[16];
  const int length = EntryNameKey(entry + kEntryName, key);
  for (int k = 0; k < volume->EntryCount && k < kMaxSlots; k++)
    if (volume->DirectoryBuffer[k * kEntryBytes + kEntryType] != 0 &&
        SlotNameIs(volume->DirectoryBuffer, k, key, length))
      return k;
  return -1;
}

}  // namespace

int ReadCopyFiles(const ImageTarget* source, const VolumeState* volume, const int* slots, int count,
                  CopyWork* work, Outcome* out) {
  work->count = 0;
  long at = 0;
  for (int i = 0; i < count && i < kMaxSlots; i++) {
    const uint8_t* entry = volume->DirectoryBuffer + slots[i] * kEntryBytes;
    const long length = EntryLength(entry);
    const long bytes = static_cast<long>(SectorsFor(length)) * kSectorBytes;
    if (at + bytes > static_cast<long>(sizeof work->data)) {
      SayText(out, kCaptionError, kMsgVolumeDamaged, kMsgVolumeDamaged);
      return -1;
    }
    std::memset(work->data + at, 0, static_cast<size_t>(bytes));
    const int status = ReadSectors(source, work->data + at, entry[kEntryTrk], entry[kEntrySct],
                                   static_cast<int>(length));
    if (status != kImageOk) {
      SayText(out, kCaptionRead, ImageStatusText(status), ImageStatusText(status));
      return -1;
    }
    std::memcpy(work->entries[work->count], entry, kEntryBytes);
    work->lengths[work->count] = length;
    work->offsets[work->count] = at;
    work->count++;
    at += bytes;
  }
  return 0;
}

int WriteCopyFiles(const ImageTarget* target, VolumeState* volume, const CopyWork& work,
                   bool replace, Outcome* out) {
  if (RefuseChange(out, target) != 0) return -1;
  if (RereadVolume(target, volume, out) != 0) return -1;
  SectorRun runs[kMaxSlots];
  for (int i = 0; i < work.count; i++) {
    uint8_t entry[kEntryBytes];
    std::memcpy(entry, work.entries[i], kEntryBytes);
    char name[kEntryNameMax + 1];
    EntryNameText(entry, name);
    const int replaced = SlotNamed(volume, entry);
    if (replaced >= 0) {
      const bool locked = volume->DirectoryBuffer[replaced * kEntryBytes + kEntryLock] != 0;
      if (locked || !replace) {
        Say(out, kCaptionError, locked ? kMsgCopyLocked : kMsgCopyNameExists, name);
        return -1;
      }
    }
    ImportPlan plan = {work.lengths[i], SectorsFor(work.lengths[i]), 0, 0};
    if (FindFreeRun(volume->SystemArea, plan.sectors, &plan.track, &plan.sector) != 0) {
      plan.track = 0;
      plan.sector = 0;
    }
    entry[kEntryTrk] = static_cast<uint8_t>(plan.track);
    entry[kEntrySct] = static_cast<uint8_t>(plan.sector);
    std::memcpy(ImportData(), work.data + work.offsets[i], static_cast<size_t>(plan.length));
    if (PlaceImportFile(target, volume, name, replaced, entry, &plan, &runs[i], out) != 0)
      return -1;
  }
  bool begun = false;
  return WriteImportFiles(target, volume, runs, work.count, &begun, out);
}
