#include "flows/copy_files.h"

#include <cstdio>
#include <cstring>
#include <memory>

#include "flows/app_image.h"
#include "flows/app_state.h"
#include "flows/open_image.h"
#include "flows/show_outcome.h"
#include "flows/volume_view.h"
#include "image/change_history.h"
#include "image/container.h"
#include "image/image_select.h"
#include "texts/texts.h"
#include "transfer/convention_guard.h"
#include "transfer/copy_files.h"
#include "view/status_bar.h"

void CopySelectedToImage(WindowHandle window) {
  int slots[kMaxSlots];
  int count = 0;
  for (int row = ListNextSelected(App.ListWindow, -1); row != -1 && count < kMaxSlots;
       row = ListNextSelected(App.ListWindow, row)) {
    const int slot = SlotOfRow(App.DirectoryBuffer, App.EntryCount, row);
    if (slot >= 0) slots[count++] = slot;
  }
  if (count == 0) return;

  char path[kWindowPathCapacity] = "";
  FileDialogRequest request{};
  request.structSize = 76;
  request.filter = OpenImageFilter();
  request.file = path;
  request.fileCapacity = kWindowPathCapacity;
  request.title = kCopyDialogTitle;
  request.flags = kOfnFileMustExist | kOfnHideReadOnly;
  request.defExt = "*";
  if (!PlatformGetOpenFileName(window, &request)) return;
  const int format = FormatForPath(path);
  if (format < 0) {
    PlatformMessageBox(window, kMsgBadExtension, kCaptionExtension, kMbOk);
    return;
  }
  if (std::strcmp(path, App.ImagePath) == 0) {
    PlatformMessageBox(window, kMsgCopySameImage, kCaptionError, kMbOk);
    return;
  }
  // The target under the window's convention: the guard refuses it when it was recorded under
  // the other one, before anything is asked.
  ImageTarget target;
  ImageTargetFor(&target, path, ContainerForFormat(format), App.MachineMode);
  // The other image's change is its own: no step of the open image's history.
  auto change = std::make_unique<ImageChange>();
  ImageChangeInit(change.get());
  target.change = change.get();
  Outcome out;
  OutcomeClear(&out);
  if (RefuseChange(&out, &target) != 0) {
    ShowOutcome(window, &out);
    return;
  }
  auto work = std::make_unique<CopyWork>();
  ImageTarget source;
  AppImageTarget(&source);
  if (ReadCopyFiles(&source, &App, slots, count, work.get(), &out) != 0) {
    ShowOutcome(window, &out);
    return;
  }
  char question[kWindowPathCapacity + 512];
  std::snprintf(question, sizeof question, kMsgCopyQuestion, count, path);
  if (PlatformMessageBox(window, question, kCaptionConfirm, kMbYesNo | kMbIconQuestion) != kIdYes)
    return;
  auto volume = std::make_unique<VolumeState>();
  const int result = WriteCopyFiles(&target, volume.get(), *work, false, &out);
  ShowOutcome(window, &out);
  if (result != 0) return;
  char status[kStatusCapacity + kWindowPathCapacity];
  std::snprintf(status, sizeof status, kStatusFilesCopied, count, path);
  ShowActionStatus(window, status);
}
