#include "flows/new_image.h"

#include <cstdio>
#include <cstring>

#include "flows/app_image.h"
#include "flows/app_state.h"
#include "flows/show_outcome.h"
#include "flows/volume_load.h"
#include "flows/volume_view.h"
#include "image/change_history.h"
#include "image/image_select.h"
#include "platform/filter_list.h"
#include "texts/texts.h"

namespace {

FormatOptions DialogOptions;  // what the dialog's OK accepted

constexpr unsigned long kFnerrBufferTooSmall = 0x3003;
constexpr auto kNewImageFilter =
    JoinFilter(kFilterD88, "*.d88", kFilterD77, "*.d77", kFilterFlat, "*.2d", kFilterD20, "*.d20");

void ReadDialog(WindowHandle dialog, NewVolumeTexts* texts) {
  DlgGetItemText(dialog, kCtlNewDiskName, texts->diskName, sizeof texts->diskName);
  DlgGetItemText(dialog, kCtlNewVolumeNumber, texts->volumeNumber, sizeof texts->volumeNumber);
  DlgGetItemText(dialog, kCtlNewYear, texts->year, sizeof texts->year);
  DlgGetItemText(dialog, kCtlNewMonth, texts->month, sizeof texts->month);
  DlgGetItemText(dialog, kCtlNewDay, texts->day, sizeof texts->day);
  texts->exdir = DlgIsButtonChecked(dialog, kCtlNewExdir);
}

void InitDialog(WindowHandle dialog) {
  uint8_t today[3];
  TodayBcd(today);
  char text[8];
  DlgSetItemText(dialog, kCtlNewDiskName, "");
  DlgSetItemText(dialog, kCtlNewVolumeNumber, "0");
  std::snprintf(text, sizeof text, "%02X", today[0]);
  DlgSetItemText(dialog, kCtlNewYear, text);
  std::snprintf(text, sizeof text, "%02X", today[1]);
  DlgSetItemText(dialog, kCtlNewMonth, text);
  std::snprintf(text, sizeof text, "%02X", today[2]);
  DlgSetItemText(dialog, kCtlNewDay, text);
  DlgCheckButton(dialog, kCtlNewExdir, false);
}

}  // namespace

int CreateNewImage(WindowHandle owner, const NewImageRequest& request) {
  Outcome out;
  OutcomeClear(&out);
  // A new image's change is made in the window's record (its history is not touched).
  NewImageRequest made = request;
  if (!made.change) made.change = App.Change;
  const int result = MakeNewImage(&out, made);
  ShowOutcome(owner, &out);
  return result;
}

intptr_t NewImageDialogProc(WindowHandle dialog, unsigned message, uintptr_t wParam, intptr_t) {
  if (message == kWmInitDialog) {
    InitDialog(dialog);
    return 1;
  }
  if (message != kWmCommand) return 0;
  const int id = static_cast<int>(wParam & 0xFFFF);
  if (id == kIdCancel) {
    PlatformEndDialog(dialog, kIdCancel);
    return 1;
  }
  if (id != kIdOk) return 0;
  static NewVolumeTexts texts;
  ReadDialog(dialog, &texts);
  texts.tbl1 = App.Tables.TBL1;  // the disk name in the volume's characters
  const char* refusal = nullptr;
  char lacking[3] = "";
  if (CheckNewVolumeTexts(texts, &DialogOptions, &refusal, lacking) != 0) {
    static Outcome refused;
    OutcomeClear(&refused);
    SayNewVolumeRefusal(&refused, refusal, lacking);
    PlatformMessageBox(dialog, App.English ? OutcomeTextEn(&refused, 0) : OutcomeText(&refused, 0),
                       kCaptionError, kMbOk);
    return 1;
  }
  PlatformEndDialog(dialog, kIdOk);
  return 1;
}

void NewImageCommand(WindowHandle window) {
  char path[kWindowPathCapacity] = {};
  FileDialogRequest request = {};
  request.structSize = 76;
  request.filter = kNewImageFilter.data();
  request.filterIndex = 1;
  request.file = path;
  request.fileCapacity = kWindowPathCapacity;
  request.title = kNewImageDialogTitle;
  request.flags = kOfnOverwritePrompt | kOfnHideReadOnly;
  request.defExt = "d88";
  if (!PlatformGetSaveFileName(window, &request)) {
    if (PlatformCommDlgExtendedError() == kFnerrBufferTooSmall)
      PlatformMessageBox(window, kMsgPathTooLong, kCaptionError, kMbOk);
    return;
  }
  char extension[256];
  SplitExtension(path, extension, sizeof extension);
  for (char* c = extension; *c; ++c)
    if (*c >= 'A' && *c <= 'Z') *c = static_cast<char>(*c - 'A' + 'a');
  const int format = FormatForExtension(extension);
  if (format < 0) {
    PlatformMessageBox(window, kMsgBadExtension, kCaptionExtension, kMbOk);
    return;
  }
  if (PlatformDialogBox(window, kNewImageDialogId, NewImageDialogProc) != kIdOk) return;

  NewImageRequest make = {};
  make.path = path;
  make.imageFormat = format;
  make.machineMode = App.MachineMode;
  make.volume = DialogOptions;
  make.replace = true;  // the save dialog has asked before a file is replaced
  if (CreateNewImage(window, make) != 0) return;

  // Open the new image as the Open command does: a file of one disk, with no changes to undo.
  App.ImageFormat = format;
  std::memcpy(App.ImagePath, path, sizeof App.ImagePath);
  std::memcpy(App.ChosenPath, path, sizeof App.ChosenPath);
  SelectImageDisk(nullptr, 1, 0);
  ChangeHistoryClear(App.History);
  LoadVolume(window);
  if (App.VolumeLoaded) ShowActionStatus(window, kStatusImageCreated);
}
