#include "transfer/new_image.h"

#include <cstdio>
#include <cstring>

#include "flows/app_image.h"
#include "flows/volume_load.h"
#include "image/change_history.h"
#include "image/container.h"
#include "image/image_file.h"
#include "image/image_select.h"
#include "platform/filter_list.h"
#include "texts/texts.h"
#include "volume/app_state.h"

namespace {

// Work areas of one command; only one command runs at a time.
uint8_t Volume[kVolumeBytes];
uint8_t LikeTracks[kSystemTracksBytes];
FormatOptions DialogOptions;

constexpr int kTempTries = 10;
constexpr unsigned long kFnerrBufferTooSmall = 0x3003;
constexpr auto kNewImageFilter =
    JoinFilter(kFilterD88, "*.d88", kFilterFlat, "*.2d", kFilterD20, "*.d20");

void ShowNamed(WindowHandle owner, const char* format, const char* path) {
  char message[kPathCapacity + 128];
  std::snprintf(message, sizeof message, format, path);
  PlatformMessageBox(owner, message, kCaptionError, kMbOk);
}

// A name beside the target that no file has yet: "<path>.new", "<path>.new1", ...
int TemporaryName(const char* path, char* temp) {
  for (int i = 0; i < kTempTries; i++) {
    char suffix[8] = ".new";
    if (i > 0) std::snprintf(suffix, sizeof suffix, ".new%d", i);
    if (std::strlen(path) + std::strlen(suffix) >= kPathCapacity) return -1;
    std::snprintf(temp, kPathCapacity, "%s%s", path, suffix);
    if (ImageFileExists(temp) == 0) return 0;
  }
  return -1;
}

// Writes the volume into the file at `temp`, already created empty, and flushes it. 0 or -1.
int FillImage(WindowHandle owner, const NewImageRequest& request, const char* temp) {
  // A new image is a file of one disk.
  ImageTarget target;
  ImageTargetFor(&target, temp, ContainerForFormat(request.imageFormat), request.machineMode);
  // The whole volume through the sector writer: the layout and the convention (sides swapped,
  // bytes inverted under MZ) are applied exactly as every later read undoes them.
  int result = WriteSectorsShown(owner, &target, Volume, 0, 1, kVolumeBytes);
  if (result != 0) return -1;
  ImageFile file;
  if (ImageFileOpenUpdate(temp, &file) != 0) return -1;
  result = ImageFileSync(&file);
  ImageFileClose(&file);
  return result;
}

}  // namespace

int CreateNewImage(WindowHandle owner, const NewImageRequest& request) {
  if (std::strlen(request.path) >= kPathCapacity) {
    PlatformMessageBox(owner, kMsgPathTooLong, kCaptionError, kMbOk);
    return -1;
  }
  if (!request.replace && ImageFileExists(request.path) != 0) {
    ShowNamed(owner, kMsgNewImageExists, request.path);
    return -1;
  }
  FormatOptions options = request.volume;
  options.like = nullptr;
  if (request.likePath) {
    // The image it is made like is read as a file of one disk.
    ImageTarget like;
    if (ImageTargetFor(&like, request.likePath, ContainerForFormat(request.likeFormat),
                       request.likeMode) != 0) {
      PlatformMessageBox(owner, kMsgPathTooLong, kCaptionError, kMbOk);
      return -1;
    }
    std::memset(LikeTracks, 0, sizeof LikeTracks);
    if (ReadSectorsShown(owner, &like, LikeTracks, 0, 1, kSystemTracksBytes) != 0) return -1;
    options.like = LikeTracks;
  }
  FormatVolume(options, Volume);

  char temp[kPathCapacity];
  ImageFile file;
  if (TemporaryName(request.path, temp) != 0 || ImageFileCreate(temp, &file) != 0) {
    ShowNamed(owner, kMsgNewImageCreateFailed, request.path);
    return -1;
  }
  const ContainerKind* kind = ContainerForFormat(request.imageFormat);
  const int container = kind ? kind->writeBlank(&file, request.volume.diskName) : -1;
  ImageFileClose(&file);
  if (container != 0 || FillImage(owner, request, temp) != 0) {
    ImageFileRemove(temp);
    ShowNamed(owner, kMsgNewImageCreateFailed, request.path);
    return -1;
  }
  // A file that appeared at the target meanwhile is not replaced unless asked.
  if (!request.replace && ImageFileExists(request.path) != 0) {
    ImageFileRemove(temp);
    ShowNamed(owner, kMsgNewImageExists, request.path);
    return -1;
  }
  if (ImageFileRename(temp, request.path) != 0) {
    ImageFileRemove(temp);
    ShowNamed(owner, kMsgNewImageCreateFailed, request.path);
    return -1;
  }
  return 0;
}

namespace {

// Whole decimal text of 1 to `maxDigits` digits; its value, or -1.
long DecimalField(const char* text, int maxDigits) {
  const size_t n = std::strlen(text);
  if (n == 0 || n > static_cast<size_t>(maxDigits)) return -1;
  long value = 0;
  for (size_t i = 0; i < n; i++) {
    if (text[i] < '0' || text[i] > '9') return -1;
    value = value * 10 + (text[i] - '0');
  }
  return value;
}

uint8_t Bcd(long value) { return static_cast<uint8_t>(value / 10 * 16 + value % 10); }

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

int CheckNewVolumeTexts(const NewVolumeTexts& texts, FormatOptions* options, const char** message) {
  std::memset(options, 0, sizeof *options);
  if (std::strlen(texts.diskName) > static_cast<size_t>(kSysDiskNameMax)) {
    *message = kMsgBadDiskName;
    return -1;
  }
  std::memcpy(options->diskName, texts.diskName, std::strlen(texts.diskName) + 1);
  const long number = DecimalField(texts.volumeNumber, 5);
  if (number < 0 || number > 65535) {
    *message = kMsgBadVolumeNumber;
    return -1;
  }
  options->volumeNumber = static_cast<unsigned>(number);
  const long year = DecimalField(texts.year, 2);
  if (year < 0) {
    *message = kMsgBadYear;
    return -1;
  }
  const long month = DecimalField(texts.month, 2);
  if (month < 1 || month > 12) {
    *message = kMsgBadMonth;
    return -1;
  }
  const long day = DecimalField(texts.day, 2);
  if (day < 1 || day > 31) {
    *message = kMsgBadDay;
    return -1;
  }
  options->date[0] = Bcd(year);
  options->date[1] = Bcd(month);
  options->date[2] = Bcd(day);
  options->exdir = texts.exdir;
  return 0;
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
  const char* refusal = nullptr;
  if (CheckNewVolumeTexts(texts, &DialogOptions, &refusal) != 0) {
    PlatformMessageBox(dialog, refusal, kCaptionError, kMbOk);
    return 1;
  }
  PlatformEndDialog(dialog, kIdOk);
  return 1;
}

void NewImageCommand(WindowHandle window) {
  char path[kPathCapacity] = {};
  FileDialogRequest request = {};
  request.structSize = 76;
  request.filter = kNewImageFilter.data();
  request.filterIndex = 1;
  request.file = path;
  request.fileCapacity = kPathCapacity;
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
  ChangeHistoryClear();
  LoadVolume(window);
}
