#include "flows/open_image.h"

#include <cstddef>
#include <cstdio>
#include <cstring>

#include "flows/app_image.h"
#include "flows/app_state.h"
#include "flows/disk_chooser.h"
#include "flows/volume_load.h"
#include "image/change_history.h"
#include "image/container.h"
#include "image/image_select.h"
#include "texts/texts.h"

namespace {

constexpr unsigned long kFnerrBufferTooSmall = 0x3003;

// After the choice: the extension check, then the load. `length` is ChosenPath's; `previous` is
// what ChosenPath held before the choice (put back when the disk choice is cancelled).
void OpenChosenImage(WindowHandle owner, size_t length, const char* previous) {
  const int format = FormatForPath(App.ChosenPath);
  if (format < 0) {
    PlatformMessageBox(owner, kMsgBadExtension, kCaptionExtension, kMbOk);
    return;
  }
  // A file of several disks: the user chooses one; cancelling changes nothing.
  ImageTarget chosen;
  ImageTargetFor(&chosen, App.ChosenPath, ContainerForFormat(format), App.MachineMode);
  ImageDisk disks[kMaxImageDisks];
  const int count = ImageListDisks(&chosen, disks, kMaxImageDisks);
  int disk = 0;
  if (count > 1) {
    disk = ChooseImageDisk(owner, &chosen, disks, count, 0);
    if (disk < 0) {
      std::memcpy(App.ChosenPath, previous, kWindowPathCapacity);
      return;
    }
  }
  App.ImageFormat = format;
  std::memcpy(App.ImagePath, App.ChosenPath, length + 1);
  SelectImageDisk(disks, count, disk);
  ChangeHistoryClear(
      App.History);  // the changes of the image shown before cannot be undone on this one
  LoadVolume(owner);
}

}  // namespace

const char* OpenImageFilter() {
  static char filter[512];
  size_t at = 0;
  auto add = [&](const char* text) {
    const size_t n = std::strlen(text) + 1;
    if (at + n < sizeof filter) {
      std::memcpy(filter + at, text, n);
      at += n;
    }
  };
  add(kFilterAllFilesJa);
  add("*.*");
  for (int k = 0; k < kContainerKindCount; k++)
    for (int f = 0; f < kContainerKinds[k]->filterCount; f++) {
      add(kContainerKinds[k]->filters[f].description);
      add(kContainerKinds[k]->filters[f].pattern);
    }
  // Last, every extension of the table at once.
  char patterns[160] = "";
  for (int k = 0; k < kContainerKindCount; k++)
    for (int e = 0; e < kContainerKinds[k]->extensionCount; e++) {
      const size_t used = std::strlen(patterns);
      std::snprintf(patterns + used, sizeof patterns - used, "%s*%s", used ? ";" : "",
                    kContainerKinds[k]->extensions[e].extension);
    }
  char allImages[256];
  std::snprintf(allImages, sizeof allImages, WindowText(kFilterAllImages), patterns);
  add(allImages);
  add(patterns);
  filter[at] = '\0';
  return filter;
}

void OpenImageCommand(WindowHandle owner) {
  // The dialog writes into ChosenPath; a choice that is refused before it is read puts the
  // previous contents back, so a refusal changes nothing.
  char previous[kWindowPathCapacity];
  std::memcpy(previous, App.ChosenPath, sizeof previous);

  FileDialogRequest request{};
  request.structSize = 76;
  request.filter = OpenImageFilter();
  request.filterIndex = 0;
  request.file = App.ChosenPath;
  request.fileCapacity = kWindowPathCapacity;
  request.title = kOpenDialogTitle;
  request.flags = kOfnFileMustExist | kOfnHideReadOnly;
  request.defExt = "*";
  if (!PlatformGetOpenFileName(owner, &request)) {
    const unsigned long error = PlatformCommDlgExtendedError();
    std::memcpy(App.ChosenPath, previous, sizeof previous);
    if (error == kFnerrBufferTooSmall)
      PlatformMessageBox(owner, kMsgPathTooLong, kCaptionError, kMbOk);
    return;
  }
  const size_t length = strnlen(App.ChosenPath, kWindowPathCapacity);
  if (length >= static_cast<size_t>(kWindowPathCapacity)) {
    std::memcpy(App.ChosenPath, previous, sizeof previous);
    PlatformMessageBox(owner, kMsgPathTooLong, kCaptionError, kMbOk);
    return;
  }

  OpenChosenImage(owner, length, previous);
}

void OpenImagePath(WindowHandle owner, const char* path) {
  const size_t length = strnlen(path, kWindowPathCapacity);
  if (length >= static_cast<size_t>(kWindowPathCapacity)) {
    PlatformMessageBox(owner, kMsgPathTooLong, kCaptionError, kMbOk);
    return;
  }
  char previous[kWindowPathCapacity];
  std::memcpy(previous, App.ChosenPath, sizeof previous);
  std::memcpy(App.ChosenPath, path, length + 1);
  OpenChosenImage(owner, length, previous);
}
