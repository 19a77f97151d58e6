#include "transfer/delete_files.h"

#include <cstdio>

#include "texts/texts.h"
#include "transfer/volume_change.h"
#include "view/directory_list.h"
#include "volume/layout.h"

namespace {

// The file's name as the list shows it.
void ShownName(const VolumeState* volume, const uint16_t* tbl1, int slot, char* name,
               int capacity) {
  DirectoryRow row;
  FormatDirectoryRow(volume->DirectoryBuffer + slot * kEntryBytes, tbl1, &row);
  std::snprintf(name, static_cast<size_t>(capacity), "%s", row.cells[kColName]);
}

}  // namespace

int PlanDelete(Outcome* out, const VolumeState* volume, const uint16_t* tbl1, const int* slots,
               int count, DeletePlan* plan) {
  plan->count = 0;
  if (count <= 0 || count > kMaxSlots) return -1;
  for (int i = 0; i < count; ++i) {
    bool seen = false;
    for (int j = 0; j < plan->count && !seen; ++j) seen = plan->slots[j] == slots[i];
    if (!seen) plan->slots[plan->count++] = slots[i];
  }
  char name[kCellCapacity];
  for (int i = 0; i < plan->count; ++i) {
    if (volume->DirectoryBuffer[plan->slots[i] * kEntryBytes + kEntryLock] == 0) continue;
    ShownName(volume, tbl1, plan->slots[i], name, sizeof name);
    Say(out, kCaptionError, kMsgDeleteLocked, name);
    return -1;
  }
  return 0;
}

void DeleteQuestion(const DeletePlan& plan, const VolumeState* volume, const uint16_t* tbl1,
                    char* question, int capacity, char* questionEn) {
  // The English form, when asked for, in a buffer of the same capacity.
  if (plan.count == 1) {
    char name[kCellCapacity];
    ShownName(volume, tbl1, plan.slots[0], name, sizeof name);
    std::snprintf(question, static_cast<size_t>(capacity), kMsgDeleteOneConfirm, name);
    if (questionEn)
      std::snprintf(questionEn, static_cast<size_t>(capacity), kMsgDeleteOneConfirmEn, name);
  } else {
    std::snprintf(question, static_cast<size_t>(capacity), kMsgDeleteManyConfirm, plan.count);
    if (questionEn)
      std::snprintf(questionEn, static_cast<size_t>(capacity), kMsgDeleteManyConfirmEn, plan.count);
  }
}

int CommitDelete(Outcome* out, const ImageTarget* target, VolumeState* volume,
                 const DeletePlan& plan) {
  const int halves = DeleteSlots(volume->SystemArea, volume->DirectoryBuffer, volume->EntryCount,
                                 ExdirFirstIndex(volume), plan.slots, plan.count);
  return CommitVolumeChange(out, target, volume, halves, true);
}
