#include "flows/delete_files.h"

#include <cstdio>

#include "flows/app_image.h"
#include "flows/app_state.h"
#include "flows/file_change.h"
#include "flows/show_outcome.h"
#include "flows/volume_load.h"
#include "flows/volume_view.h"
#include "texts/texts.h"
#include "transfer/delete_files.h"
#include "view/status_bar.h"
#include "volume/file_ops.h"

int DeleteFiles(WindowHandle window, const int* slots, int count) {
  if (count <= 0 || count > kMaxSlots || !App.VolumeLoaded) return -1;
  // A write-protected disk is refused before the question.
  if (ImageRefuseIfProtected(window) != 0) return -1;
  if (RereadForChangeShown(window, slots, count) != 0) return -1;

  Outcome out;
  OutcomeClear(&out);
  static DeletePlan plan;
  if (PlanDelete(&out, &App, App.Tables.TBL1, slots, count, &plan) != 0) {
    ShowOutcome(window, &out);
    return -1;
  }
  char question[512];
  char questionEn[512];
  DeleteQuestion(plan, &App, App.Tables.TBL1, question, sizeof question, questionEn);
  if (PlatformMessageBox(window, App.English ? questionEn : question, kCaptionConfirm,
                         kMbYesNo | kMbIconQuestion) != kIdYes)
    return -1;

  ImageTarget target;
  AppImageTarget(&target);
  const int result = CommitDelete(&out, &target, &App, plan);
  ShowOutcome(window, &out);
  LoadVolume(window);
  if (result == 0) {
    char status[kStatusCapacity];
    if (count == 1)
      std::snprintf(status, sizeof status, "%s", WindowText(kStatusDeleted));
    else
      std::snprintf(status, sizeof status, WindowText(kStatusFilesDeleted), count);
    ShowActionStatus(window, status);
  }
  return result;
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
