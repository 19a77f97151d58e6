#include "transfer/delete_files.h"

#include <cstdio>

#include "flows/app_image.h"
#include "flows/volume_load.h"
#include "texts/texts.h"
#include "transfer/volume_change.h"
#include "view/directory_list.h"
#include "volume/app_state.h"
#include "volume/file_ops.h"
#include "volume/layout.h"

namespace {

// The file's name as the list shows it.
void ShownName(int slot, char* name, int capacity) {
  DirectoryRow row;
  FormatDirectoryRow(App.DirectoryBuffer + slot * kEntryBytes, App.Tables.TBL1, &row);
  std::snprintf(name, static_cast<size_t>(capacity), "%s", row.cells[kColName]);
}

}  // namespace

int DeleteFiles(WindowHandle window, const int* slots, int count) {
  if (count <= 0 || count > kMaxSlots || !App.VolumeLoaded) return -1;
  // A write-protected disk is refused before the question.
  if (ImageRefuseIfProtected(window) != 0) return -1;
  if (RereadForChange(window, slots, count) != 0) return -1;

  int distinct[kMaxSlots];
  int files = 0;
  for (int i = 0; i < count; ++i) {
    bool seen = false;
    for (int j = 0; j < files && !seen; ++j) seen = distinct[j] == slots[i];
    if (!seen) distinct[files++] = slots[i];
  }
  char name[kCellCapacity];
  for (int i = 0; i < files; ++i) {
    if (App.DirectoryBuffer[distinct[i] * kEntryBytes + kEntryLock] == 0) continue;
    ShownName(distinct[i], name, sizeof name);
    char message[256];
    std::snprintf(message, sizeof message, kMsgDeleteLocked, name);
    PlatformMessageBox(window, message, kCaptionError, kMbOk);
    return -1;
  }

  char question[512];
  if (files == 1) {
    ShownName(distinct[0], name, sizeof name);
    std::snprintf(question, sizeof question, kMsgDeleteOneConfirm, name);
  } else {
    std::snprintf(question, sizeof question, kMsgDeleteManyConfirm, files);
  }
  if (PlatformMessageBox(window, question, kCaptionConfirm, kMbYesNo | kMbIconQuestion) != kIdYes)
    return -1;

  const int halves = DeleteSlots(App.SystemArea, App.DirectoryBuffer, App.EntryCount,
                                 ExdirFirstIndex(), distinct, files);
  return CommitVolumeChange(window, halves, true);
}

int DeleteSelectedFiles(WindowHandle window) {
  int slots[kMaxSlots];
  int count = 0;
  for (int row = ListNextSelected(App.ListWindow, -1); row >= 0 && count < kMaxSlots;
       row = ListNextSelected(App.ListWindow, row)) {
    const int slot = SlotOfRow(App.DirectoryBuffer, App.EntryCount, row);
    if (slot >= 0) slots[count++] = slot;
  }
  if (count == 0) return -1;
  return DeleteFiles(window, slots, count);
}
