#include "flows/restore_deleted.h"

#include <cstdio>
#include <cstring>

#include "flows/app_image.h"
#include "flows/app_state.h"
#include "flows/attribute_dialog.h"
#include "flows/show_outcome.h"
#include "flows/volume_load.h"
#include "flows/volume_view.h"
#include "texts/texts.h"
#include "transfer/undelete.h"
#include "view/deleted_view.h"
#include "view/directory_list.h"
#include "view/status_bar.h"
#include "volume/file_ops.h"
#include "volume/layout.h"

namespace {

// The list of the one dialog that runs at a time.
DeletedEntry Entries[kMaxSlots];
int EntryTotal = 0;
int Chosen = -1;

intptr_t RestoreDialogProc(WindowHandle dialog, unsigned message, uintptr_t wParam, intptr_t) {
  if (message == kWmInitDialog) {
    char text[kCellCapacity + 256 + 16];  // "#d", the number, two gaps, the name, the verdict
    for (int i = 0; i < EntryTotal; i++) {
      DeletedItemText(Entries[i], i, text, sizeof text);
      DlgComboAppend(dialog, kRestoreListId, text);
    }
    DlgComboSetSelection(dialog, kRestoreListId, 0);
    return 1;
  }
  if (message != kWmCommand) return 0;
  const int id = static_cast<int>(wParam & 0xFFFF);
  if (id == kIdOk) {
    const int chosen = DlgComboSelection(dialog, kRestoreListId);
    if (chosen < 0 || chosen >= EntryTotal) return 1;  // nothing chosen yet: stay open
    Chosen = chosen;
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

void DeletedItemText(const DeletedEntry& entry, int number, char* text, int capacity) {
  char name[kCellCapacity], verdict[256];
  DeletedEntryName(&App, App.Tables.TBL1, entry.slot, name, sizeof name);
  FormatDeletedVerdict(entry, App.English != 0, verdict, sizeof verdict);
  std::snprintf(text, static_cast<size_t>(capacity), "#d%d  %s  %s", number, name, verdict);
}

bool VolumeHasDeletedEntries() {
  static DeletedEntry found[kMaxSlots];  // apart from the dialog's list
  return App.VolumeLoaded == 1 && ListDeletedEntries(&App, found, kMaxSlots) > 0;
}

int RestoreDeletedFile(WindowHandle window) {
  if (!App.VolumeLoaded) return -1;
  if (ImageRefuseIfProtected(window) != 0) return -1;
  EntryTotal = ListDeletedEntries(&App, Entries, kMaxSlots);
  if (EntryTotal == 0) return -1;
  Chosen = -1;
  if (PlatformDialogBox(window, kRestoreDialogId, RestoreDialogProc) != kIdOk || Chosen < 0)
    return -1;

  // Anything but a recoverable entry is refused with its verdict before the attribute dialog.
  Outcome out;
  OutcomeClear(&out);
  static UndeletePlan plan;
  if (PlanUndelete(&out, &App, App.Tables.TBL1, Chosen, 1, nullptr, &plan) != 0) {
    ShowOutcome(window, &out);
    return -1;
  }
  uint8_t* entry = App.DirectoryBuffer + plan.slot * kEntryBytes;
  std::memcpy(App.PendingEntry, entry, kEntryBytes);
  App.PendingEntry[kEntryType] = 1;  // OBJ unless the user chooses another type
  SetAttributeEditSlot(plan.slot);
  const intptr_t result = PlatformDialogBox(window, kAttributeDialogId, AttributeDialogProc);
  SetAttributeEditSlot(-1);
  if (result != kIdOk) return -1;

  // The dialog's fields go into the slot as it stays deleted; the restore sets the type byte.
  plan.type = App.PendingEntry[kEntryType];
  plan.rename = false;
  std::memcpy(entry + 1, App.PendingEntry + 1, kEntryBytes - 1);
  ImageTarget target;
  AppImageTarget(&target);
  const int changed = CommitUndelete(&out, &target, &App, plan);
  ShowOutcome(window, &out);
  LoadVolume(window);
  if (changed == 0 && App.VolumeLoaded) {
    DirectoryRow row;
    FormatDirectoryRow(App.DirectoryBuffer + plan.slot * kEntryBytes, App.Tables.TBL1, &row);
    char status[kStatusCapacity];
    std::snprintf(status, sizeof status, WindowText(kStatusRestored), row.cells[kColName]);
    ShowActionStatus(window, status);
  }
  return changed;
}
