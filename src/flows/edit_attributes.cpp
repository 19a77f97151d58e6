#include "flows/edit_attributes.h"

#include <cstring>

#include "flows/app_image.h"
#include "flows/attribute_dialog.h"
#include "flows/file_change.h"
#include "flows/show_outcome.h"
#include "flows/volume_load.h"
#include "texts/texts.h"
#include "transfer/edit_attributes.h"
#include "volume/app_state.h"
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
  return changed;
}

int EditSelectedFileAttributes(WindowHandle window) {
  const int row = ListFirstSelected(App.ListWindow);
  const int slot = SlotOfRow(App.DirectoryBuffer, App.EntryCount, row);
  if (slot < 0) return -1;
  return EditFileAttributes(window, slot, false);
}
