#include "flows/batch_import.h"

#include <cstdio>
#include <cstring>

#include "flows/app_image.h"
#include "flows/app_state.h"
#include "flows/attribute_dialog.h"
#include "flows/import.h"
#include "flows/show_outcome.h"
#include "flows/volume_load.h"
#include "image/image_select.h"
#include "texts/texts.h"
#include "transfer/batch_import.h"

namespace {

SectorRun Runs[kMaxImportFiles];  // only one command runs at a time

// Stages, asks for and places one file. 0; 1 when the user cancelled its dialog; -1 after a
// message naming the file.
int StageFile(WindowHandle window, const ImageTarget* target, const char* path, SectorRun* run) {
  Outcome out;
  OutcomeClear(&out);
  // The import's next open dialog starts from the last file's name.
  if (std::strlen(path) < kPathCapacity)
    std::snprintf(App.ChosenPath, sizeof App.ChosenPath, "%s", path);
  char date[9];
  PlatformLocalDate(date);  // MM/DD/YY
  ImportPlan plan;
  if (StageImportFile(target, &App, path, App.TransferMode, App.Tables.TBL3, date,
                      CurrentReplacePolicy() != kReplaceNever, App.PendingEntry, &plan,
                      &out) != 0) {
    ShowOutcome(window, &out);
    return -1;
  }
  char name[kPathCapacity] = {};
  SplitFileName(App.ChosenPath, name, sizeof name);
  std::memcpy(App.ChosenPath, name, sizeof App.ChosenPath);
  if (PlatformDialogBox(window, kAttributeDialogId, AttributeDialogProc) != kIdOk) return 1;
  // A Yes to the dialog's replace question replaces that file in the batch's one change.
  const int placed =
      PlaceImportFile(target, &App, path, ReplacedSlot(), App.PendingEntry, &plan, run, &out);
  ShowOutcome(window, &out);
  return placed;
}

}  // namespace

int ImportHostFiles(WindowHandle window, const char* const* paths, int count, int* failed) {
  if (failed) *failed = -1;
  if (!App.VolumeLoaded) {
    PlatformMessageBox(window, kMsgImportNotReady, kCaptionError, kMbOk);
    return -1;
  }
  if (count <= 0) return -1;
  if (ImageRefuseIfProtected(window) != 0) return -1;
  if (RereadVolume(window) != 0) return -1;
  ImageTarget target;
  AppImageTarget(&target);
  for (int i = 0; i < count; i++) {
    if (i >= kMaxImportFiles) {
      if (failed) *failed = i;
      Outcome out;
      OutcomeClear(&out);
      SayImportRefused(&out, kMsgDirectoryFull, paths[i]);
      ShowOutcome(window, &out);
      return -1;
    }
    if (StageFile(window, &target, paths[i], &Runs[i]) != 0) {
      if (failed) *failed = i;
      return -1;
    }
  }
  if (PlatformMessageBox(window, kMsgImportConfirm, kCaptionConfirm, kMbYesNo | kMbIconQuestion) !=
      kIdYes)
    return -1;

  Outcome out;
  OutcomeClear(&out);
  bool begun = false;
  const int written = WriteImportFiles(&target, &App, Runs, count, &begun, &out);
  ShowOutcome(window, &out);
  if (begun) LoadVolume(window);
  if (written != 0) return -1;
  char message[128];
  std::snprintf(message, sizeof message, kMsgBatchImportSucceeded, count);
  PlatformMessageBox(window, message, kCaptionSuccess, kMbOk);
  return 0;
}
