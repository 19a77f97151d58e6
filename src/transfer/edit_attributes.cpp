#include "transfer/edit_attributes.h"

#include <cstdio>
#include <cstring>

#include "transfer/volume_change.h"
#include "volume/file_ops.h"
#include "volume/layout.h"

void ShownAttributeTexts(const uint8_t* entry, AttributeTexts* texts) {
  std::memset(texts, 0, sizeof *texts);
  // A stored name ends at its 0x0D mark or at 0x00 padding.
  for (int i = 0;
       i < kEntryNameMax && entry[kEntryName + i] != 0x00 && entry[kEntryName + i] != 0x0D; ++i)
    texts->name[i] = static_cast<char>(entry[kEntryName + i]);
  std::snprintf(texts->start, sizeof texts->start, "%04X", EntryStart(entry));
  std::snprintf(texts->exec, sizeof texts->exec, "%04X", EntryExec(entry));
  std::snprintf(texts->year, sizeof texts->year, "%02X", entry[kEntryDate]);
  std::snprintf(texts->month, sizeof texts->month, "%02X", entry[kEntryDate + 1]);
  std::snprintf(texts->day, sizeof texts->day, "%02X", entry[kEntryDate + 2]);
  texts->typeItem = AttributeTypeName(entry[kEntryType]);
  texts->lockSelected = entry[kEntryLock] != 0;
}

int CheckEditedAttributes(const AttributeTexts& texts, const char* shownName,
                          const VolumeState* volume, int slot, uint8_t* entry,
                          AttributeCheckFailure* failure) {
  AttributeCheckRules rules;
  rules.ownSlot = slot;
  rules.shownName = shownName;
  rules.entryOrder = true;
  rules.lockClears = true;
  return CheckAttributeTextsWith(texts, rules, volume->DirectoryBuffer, volume->EntryCount, entry,
                                 failure);
}

int CommitAttributeEdit(Outcome* out, const ImageTarget* target, VolumeState* volume, int slot,
                        const uint8_t* entry) {
  const int halves = slot < kDirectoryHalfBytes / kEntryBytes ? 1 : 2;
  std::memcpy(volume->DirectoryBuffer + slot * kEntryBytes, entry, kEntryBytes);
  return CommitVolumeChange(out, target, volume, halves, false);
}
