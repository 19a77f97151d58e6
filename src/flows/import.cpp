#include "flows/import.h"

#include <cstring>

#include "flows/app_image.h"
#include "flows/app_state.h"
#include "flows/attribute_dialog.h"
#include "flows/show_outcome.h"
#include "flows/volume_load.h"
#include "image/image_select.h"
#include "platform/filter_list.h"
#include "texts/texts.h"
#include "transfer/import.h"

namespace {

constexpr unsigned long kFnerrBufferTooSmall = 0x3003;
constexpr auto kImportFilter = JoinFilter(kFilterAllFilesJa, "*.*");

void ShowError(WindowHandle window, const char* text) {
  PlatformMessageBox(window, text, kCaptionError, kMbOk);
}

// Shows the outcome of a step; passes its result on.
int Shown(WindowHandle window, Outcome* out, int result) {
  ShowOutcome(window, out);
  OutcomeClear(out);
  return result;
}

// The open dialog into App.ChosenPath. False when it was cancelled or failed.
bool ChooseHostFile(WindowHandle window) {
  FileDialogRequest request = {};
  request.structSize = 76;
  request.filter = kImportFilter.data();
  request.file = App.ChosenPath;
  request.fileCapacity = kWindowPathCapacity;
  request.title = kImportDialogTitle;
  request.flags = kOfnFileMustExist | kOfnHideReadOnly;
  request.defExt = "*";
  // A failed dialog may have written into ChosenPath (the size a too-long path needs): put the
  // previous text back, and tell the user when the path did not fit.
  char previous[kWindowPathCapacity];
  std::memcpy(previous, App.ChosenPath, sizeof previous);
  if (PlatformGetOpenFileName(window, &request)) return true;
  std::memcpy(App.ChosenPath, previous, sizeof previous);
  if (PlatformCommDlgExtendedError() == kFnerrBufferTooSmall) ShowError(window, kMsgPathTooLong);
  return false;
}

}  // namespace

int RereadVolume(WindowHandle window) {
  ImageTarget target;
  AppImageTarget(&target);
  Outcome out;
  OutcomeClear(&out);
  return Shown(window, &out, RereadVolume(&target, &App, &out));
}

void ImportHostFile(WindowHandle window) {
  if (!App.VolumeLoaded) {
    ShowError(window, kMsgImportNotReady);
    return;
  }
  if (ImageRefuseIfProtected(window) != 0) return;
  if (!ChooseHostFile(window)) return;

  ImageTarget target;
  AppImageTarget(&target);
  Outcome out;
  OutcomeClear(&out);
  const long length = ReadImportFile(App.ChosenPath, App.TransferMode, App.Tables.TBL3, &out);
  if (Shown(window, &out, length < 0 ? -1 : 0) != 0) return;
  char date[9];
  PlatformLocalDate(date);  // MM/DD/YY
  ImportPlan plan;
  if (Shown(
          window, &out,
          PlanImport(&target, &App, App.ChosenPath, length, CurrentReplacePolicy() != kReplaceNever,
                     date, App.PendingEntry, &plan, &out)) != 0)
    return;
  // ChosenPath keeps the host file's base name and extension.
  char name[kWindowPathCapacity] = {};
  SplitFileName(App.ChosenPath, name, sizeof name);
  std::memcpy(App.ChosenPath, name, sizeof App.ChosenPath);

  if (PlatformDialogBox(window, kAttributeDialogId, AttributeDialogProc) != kIdOk) return;
  if (Shown(window, &out,
            PlaceImport(&target, &App, ReplacedSlot(), App.PendingEntry, &plan, &out)) != 0)
    return;
  if (PlatformMessageBox(window, kMsgImportConfirm, kCaptionConfirm, kMbYesNo | kMbIconQuestion) !=
      kIdYes)
    return;
  const int written = WriteImport(&target, &App, plan, &out);
  // Another program changed the volume since it was read: it is read again, as the message says.
  const bool changed = OutcomeHas(&out, kMsgVolumeChanged);
  if (Shown(window, &out, written) != 0) {
    if (changed) LoadVolume(window);
    return;
  }

  LoadVolume(window);
  PlatformMessageBox(window, kMsgImportSucceeded, kCaptionSuccess, kMbOk);
}
