#include "flows/batch_export.h"

#include <cstdio>

#include "flows/app_image.h"
#include "flows/app_state.h"
#include "flows/export.h"
#include "flows/show_outcome.h"
#include "flows/volume_view.h"
#include "texts/texts.h"
#include "view/status_bar.h"

namespace {

// Only one command runs at a time.
ExportFile Files[kMaxBatchRows];
BatchExportPlan Plan;
int Rows[kMaxBatchRows];

}  // namespace

int ExportRowsToFolder(WindowHandle window, const int* rows, int count, const char* folder,
                       HostReplacePolicy policy, void (*written)(const char* path)) {
  if (count > kMaxBatchRows) count = kMaxBatchRows;
  for (int i = 0; i < count; i++) ExportFileOfRow(rows[i], &Files[i]);
  Outcome out;
  OutcomeClear(&out);
  if (PlanBatchExport(Files, count, folder, &Plan, &out) != 0) {
    ShowOutcome(window, &out);
    return -1;
  }
  if (policy != HostReplacePolicy::kReplace) {
    const int existing = FirstExistingBatchTarget(&Plan);
    if (existing >= 0 && policy == HostReplacePolicy::kRefuse) {
      SayBatchTargetExists(&Plan, existing, &out);
      ShowOutcome(window, &out);
      return -1;
    }
    if (existing >= 0) {  // one question for all of them
      char question[kBatchShownBytes + 160];
      std::snprintf(question, sizeof question, WindowText(kMsgBatchReplaceQuestion),
                    Plan.shown[existing]);
      if (PlatformMessageBox(window, question, kCaptionConfirm, kMbYesNo | kMbIconQuestion) !=
          kIdYes)
        return -1;
    }
  }
  ImageTarget target;
  AppImageTarget(&target);
  const int result = WriteBatchExport(&target, Files, &Plan, App.TransferMode == kTransferAscii,
                                      App.Tables.TBL2, written, nullptr, &out);
  ShowOutcome(window, &out);  // one summary box when any file failed
  return result;
}

void ExportSelectedToFolder(WindowHandle window) {
  int count = 0;
  for (int row = ListNextSelected(App.ListWindow, -1); row != -1 && count < kMaxBatchRows;
       row = ListNextSelected(App.ListWindow, row))
    Rows[count++] = row;
  if (count == 0) return;
  char folder[kWindowPathCapacity];
  if (!PlatformChooseFolder(window, kFolderDialogTitle, folder, sizeof folder)) return;
  if (ExportRowsToFolder(window, Rows, count, folder, HostReplacePolicy::kAsk, nullptr) != 0)
    return;
  char status[kStatusCapacity];
  if (count == 1)
    std::snprintf(status, sizeof status, "%s", WindowText(kStatusOneFileExported));
  else
    std::snprintf(status, sizeof status, WindowText(kStatusFilesExported), count);
  ShowActionStatus(window, status);
}
