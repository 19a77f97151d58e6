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
#include "transfer/attribute_checks.h"
#include "transfer/batch_import.h"
#include "transfer/import.h"
#include "volume/layout.h"

namespace {

SectorRun Runs[kMaxImportFiles];  // only one command runs at a time
const char* Importable[kMaxImportFiles];

// Why the file at `path` cannot go in, as the window would find out only at its dialog or its
// write: its data unreadable, empty or over 65,535 bytes as the transfer mode makes them, or its
// default name refused (a character no name may hold, a locked file of that name). False when it
// can; else the reason's first line in `reason` (Japanese) and `reasonEn`.
bool RefusalOf(const char* path, char* reason, char* reasonEn, int capacity) {
  long length = ReadHostData(path, reason, capacity, reasonEn);
  if (length >= 0)
    length =
        ConvertImportData(length, App.TransferMode, App.Tables.TBL3, reason, capacity, reasonEn);
  if (length >= 0) {
    char name[kWindowPathCapacity] = {};
    SplitFileName(path, name, sizeof name);
    char date[9];
    PlatformLocalDate(date);
    uint8_t entry[kEntryBytes];
    BuildPendingEntry(entry, name, length, 0, 0, date);
    AttributeTexts texts;
    DefaultAttributeTexts(entry, &texts);
    Outcome out;
    OutcomeClear(&out);
    int duplicate = -1;
    if (CheckImportAttributes(texts, CurrentReplacePolicy(), &App, entry, &duplicate, &out) == 0)
      return false;
    std::snprintf(reason, static_cast<size_t>(capacity), "%s", OutcomeText(&out, 0));
    std::snprintf(reasonEn, static_cast<size_t>(capacity), "%s", OutcomeTextEn(&out, 0));
  }
  reason[std::strcspn(reason, "\r\n")] = '\0';
  reasonEn[std::strcspn(reasonEn, "\r\n")] = '\0';
  return true;
}

// Sets aside the files that cannot go in (RefusalOf) and, when some can, asks whether to import
// those: the question, then the others with their reasons. `paths` and `count` become the files
// to import. 0 to go on (also when none or all can go in), -1 after No (*firstRefused: the first
// one set aside).
int SetAsideRefused(WindowHandle window, const char* const** paths, int* count, int* firstRefused) {
  static char list[4096];
  list[0] = '\0';
  int kept = 0, refused = 0;
  *firstRefused = -1;
  for (int i = 0; i < *count && i < kMaxImportFiles; i++) {
    const char* path = (*paths)[i];
    char reason[kWindowPathCapacity + 128];
    char reasonEn[kWindowPathCapacity + 128];
    reasonEn[0] = '\0';
    if (!RefusalOf(path, reason, reasonEn, sizeof reason)) {
      Importable[kept++] = path;
      continue;
    }
    if (refused++ == 0) *firstRefused = i;
    const size_t used = std::strlen(list);
    std::snprintf(list + used, sizeof list - used, WindowText(kImportRefusedLine), path,
                  App.English && reasonEn[0] ? reasonEn : reason);
  }
  if (refused == 0 || kept == 0 || *count > kMaxImportFiles) return 0;
  static char question[sizeof list + 256];
  const int n =
      std::snprintf(question, sizeof question, WindowText(kMsgImportSomeRefused), refused, kept);
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
  // A path longer than the import's own buffer is refused as its open dialog would refuse it.
  if (std::strlen(path) >= kWindowPathCapacity) {
    SayImportRefused(&out, kMsgPathTooLong, path);
    ShowOutcome(window, &out);
    return -1;
  }
  // The import's next open dialog starts from the last file's name.
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
  char name[kWindowPathCapacity] = {};
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
  std::snprintf(message, sizeof message, WindowText(kMsgBatchImportSucceeded), count);
  PlatformMessageBox(window, message, kCaptionSuccess, kMbOk);
  return 0;
}
