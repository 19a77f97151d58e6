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
#include "transfer/import.h"

namespace {

SectorRun Runs[kMaxImportFiles];  // only one command runs at a time
const char* Importable[kMaxImportFiles];

// Sets aside the files whose data cannot go in (unreadable, empty, over 65,535 bytes as the
// transfer mode makes them) and, when some can, asks whether to import those: the list of the
// others with their reasons, then the question. `paths` and `count` become the files to import.
// 0 to go on (also when none or all can go in), -1 after No (*firstRefused: the first one set
// aside).
int SetAsideRefused(WindowHandle window, const char* const** paths, int* count, int* firstRefused) {
  static char list[4096];
  list[0] = '\0';
  int kept = 0, refused = 0;
  *firstRefused = -1;
  for (int i = 0; i < *count && i < kMaxImportFiles; i++) {
    const char* path = (*paths)[i];
    char message[kPathCapacity + 128];
    long length = ReadHostData(path, message, sizeof message);
    if (length >= 0)
      length =
          ConvertImportData(length, App.TransferMode, App.Tables.TBL3, message, sizeof message);
    if (length >= 0) {
      Importable[kept++] = path;
      continue;
    }
    if (refused++ == 0) *firstRefused = i;
    message[std::strcspn(message, "\r\n")] = '\0';  // the reason's first line
    const size_t used = std::strlen(list);
    std::snprintf(list + used, sizeof list - used, kImportRefusedLine, path, message);
  }
  if (refused == 0 || kept == 0 || *count > kMaxImportFiles) return 0;
  static char question[sizeof list + 256];
  const int n = std::snprintf(question, sizeof question, kMsgImportSomeRefused, refused, kept);
  if (n > 0 && static_cast<size_t>(n) < sizeof question)
    std::snprintf(question + n, sizeof question - static_cast<size_t>(n), "%s", list);
  if (PlatformMessageBox(window, question, kCaptionConfirm, kMbYesNo | kMbIconQuestion) != kIdYes)
    return -1;
  *paths = Importable;
  *count = kept;
  *firstRefused = -1;
  return 0;
}

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
  int refused = -1;
  if (SetAsideRefused(window, &paths, &count, &refused) != 0) {
    if (failed) *failed = refused;
    return -1;
  }
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
