#include "transfer/undelete.h"

#include <cstdio>
#include <cstring>

#include "texts/texts.h"
#include "transfer/volume_change.h"
#include "view/deleted_view.h"
#include "view/directory_list.h"
#include "volume/layout.h"

namespace {

// The entry as it would read with its type byte set (a deleted entry shows no type).
void ShownName(const uint8_t* entry, uint8_t type, const uint16_t* tbl1, char* name, int capacity) {
  uint8_t copy[kEntryBytes];
  std::memcpy(copy, entry, kEntryBytes);
  copy[kEntryType] = type;
  DirectoryRow row;
  FormatDirectoryRow(copy, tbl1, &row);
  std::snprintf(name, static_cast<size_t>(capacity), "%s", row.cells[kColName]);
}

}  // namespace

int ListDeletedEntries(const VolumeState* volume, DeletedEntry* entries, int capacity) {
  return ScanDeletedEntries(volume->SystemArea, volume->DirectoryBuffer, volume->EntryCount,
                            ExdirFirstIndex(volume), entries, capacity);
}

void DeletedEntryName(const VolumeState* volume, const uint16_t* tbl1, int slot, char* name,
                      int capacity) {
  ShownName(volume->DirectoryBuffer + slot * kEntryBytes, 1, tbl1, name, capacity);
}

int PlanUndelete(Outcome* out, const VolumeState* volume, const uint16_t* tbl1, int number,
                 uint8_t type, const char* name, UndeletePlan* plan) {
  DeletedEntry entries[kMaxSlots];
  const int count = ListDeletedEntries(volume, entries, kMaxSlots);
  if (number < 0 || number >= count) {
    Say(out, kCaptionError, kMsgUndeleteNoEntry, number);
    return -1;
  }
  const DeletedEntry& found = entries[number];
  plan->slot = found.slot;
  plan->type = type;
  plan->rename = name != nullptr;
  char shown[kCellCapacity];
  DeletedEntryName(volume, tbl1, found.slot, shown, sizeof shown);
  if (found.verdict != kDeletedRecoverable) {
    char why[256], whyEn[256];
    FormatDeletedVerdict(found, false, why, sizeof why);
    FormatDeletedVerdict(found, true, whyEn, sizeof whyEn);
    char text[kMessageCapacity], textEn[kMessageCapacity];
    std::snprintf(text, sizeof text, kMsgUndeleteRefused, shown, why);
    std::snprintf(textEn, sizeof textEn, kMsgUndeleteRefusedEn, shown, whyEn);
    SayText(out, kCaptionError, kMsgUndeleteRefused, text, textEn);
    return -1;
  }
  const uint8_t* entry = volume->DirectoryBuffer + found.slot * kEntryBytes;
  int length = 0;
  const char* key = reinterpret_cast<const char*>(entry + kEntryName);
  if (plan->rename) {
    length = static_cast<int>(std::strlen(name));
    bool sound = length >= 1 && length <= kEntryNameMax;
    for (int i = 0; i < length && sound; ++i) sound = name[i] != 0x0D;
    if (!sound) {
      SayText(out, kCaptionFileName, kMsgUndeleteBadName, kMsgUndeleteBadName);
      return -1;
    }
    std::memset(plan->name, 0x0D, sizeof plan->name);
    std::memcpy(plan->name, name, static_cast<size_t>(length));
    key = name;
  } else {
    while (length < kEntryNameMax && key[length] != 0x0D && key[length] != 0x00) ++length;
  }
  for (int slot = 0; slot < volume->EntryCount && slot < kMaxSlots; ++slot) {
    if (volume->DirectoryBuffer[slot * kEntryBytes + kEntryType] == 0) continue;
    if (!SlotNameIs(volume->DirectoryBuffer, slot, key, length)) continue;
    char taken[kCellCapacity];
    ShownName(volume->DirectoryBuffer + slot * kEntryBytes, 1, tbl1, taken, sizeof taken);
    Say(out, kCaptionFileName, kMsgUndeleteNameTaken, taken);
    return -1;
  }
  return 0;
}

void UndeleteQuestion(const UndeletePlan& plan, const VolumeState* volume, const uint16_t* tbl1,
                      char* question, char* questionEn, int capacity) {
  uint8_t entry[kEntryBytes];
  std::memcpy(entry, volume->DirectoryBuffer + plan.slot * kEntryBytes, kEntryBytes);
  if (plan.rename) std::memcpy(entry + kEntryName, plan.name, kEntryNameMax);
  char shown[kCellCapacity];
  ShownName(entry, plan.type, tbl1, shown, sizeof shown);
  std::snprintf(question, static_cast<size_t>(capacity), kMsgUndeleteConfirm, shown);
  std::snprintf(questionEn, static_cast<size_t>(capacity), kMsgUndeleteConfirmEn, shown);
}

int CommitUndelete(Outcome* out, const ImageTarget* target, VolumeState* volume,
                   const UndeletePlan& plan) {
  if (plan.rename)
    std::memcpy(volume->DirectoryBuffer + plan.slot * kEntryBytes + kEntryName, plan.name,
                kEntryNameMax);
  const int halves =
      RestoreDeletedSlot(volume->SystemArea, volume->DirectoryBuffer, plan.slot, plan.type);
  return CommitVolumeChange(out, target, volume, halves, true);
}
