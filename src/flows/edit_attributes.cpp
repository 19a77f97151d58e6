#include "flows/edit_attributes.h"

#include <cstdio>
#include <cstring>

#include "flows/app_image.h"
#include "flows/app_state.h"
#include "flows/attribute_dialog.h"
#include "flows/file_change.h"
#include "flows/show_outcome.h"
#include "flows/volume_load.h"
#include "flows/volume_view.h"
#include "texts/texts.h"
#include "transfer/edit_attributes.h"
#include "view/directory_list.h"
#include "view/status_bar.h"
#include "volume/file_ops.h"
#include "volume/layout.h"

int EditFileAttributes(WindowHandle window, int slot, bool askFirst) {
  if (!App.VolumeLoaded) return -1;
  // A write-protected disk is refused before the dialog opens.
  if (ImageRefuseIfProtected(window) != 0) return -1;
  if (RereadForChangeShown(window, &slot, 1) != 0) return -1;
  std::memcpy(App.PendingEntry, App.DirectoryBuffer + slot * kEntryBytes, kEntryBytes);

  SetAttributeEditSlot(slot);
  const intptr_t result = PlatformDialogBox(window, kAttributeDialogId, AttributeDialogProc);
  SetAttributeEditSlot(-1);
  if (result != kIdOk) return -1;
  // OK without an edit writes nothing and leaves the history as it was.
  if (std::memcmp(App.PendingEntry, App.DirectoryBuffer + slot * kEntryBytes, kEntryBytes) == 0) {
    ShowActionStatus(window, kStatusUnchanged);
    return 0;
  }
  if (askFirst && PlatformMessageBox(window, kMsgAttributesConfirm, kCaptionConfirm,
                                     kMbYesNo | kMbIconQuestion) != kIdYes)
    return -1;

  ImageTarget target;
  AppImageTarget(&target);
  Outcome out;
  OutcomeClear(&out);
  const int changed = CommitAttributeEdit(&out, &target, &App, slot, App.PendingEntry);
  ShowOutcome(window, &out);
  LoadVolume(window);
  if (changed == 0) {
    // Named as the list now shows the file.
    const int row = RowOfUsedSlot(App.DirectoryBuffer, App.EntryCount, slot);
    char name[kCellCapacity] = "";
    if (row >= 0) ListGetCell(App.ListWindow, row, kColName, name, sizeof name);
    char status[kStatusCapacity];
    std::snprintf(status, sizeof status, WindowText(kStatusAttributesChanged), name);
    ShowActionStatus(window, status);
  }
  return changed;
}

int EditSelectedFileAttributes(WindowHandle window) {
  const int row = ListFirstSelected(App.ListWindow);
  const int slot = SlotOfRow(App.DirectoryBuffer, App.EntryCount, row);
  if (slot < 0) return -1;
  return EditFileAttributes(window, slot, false);
}
