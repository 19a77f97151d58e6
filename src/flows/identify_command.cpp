#include "flows/identify_command.h"

#include "flows/app_image.h"
#include "flows/app_state.h"
#include "texts/texts.h"

int IdentifyImageCommand(WindowHandle owner) {
  if (App.ImagePath[0] == '\0') {
    PlatformMessageBox(owner, kMsgIdentifyNoImage, kCaptionIdentify, kMbOk);
    return -1;
  }
  static Identification id;  // one command at a time; too large for the stack of a window
  if (IdentifyCurrentImage(owner, &id) != 0) {
    PlatformMessageBox(owner, kMsgIdentifyFailed, kCaptionError, kMbOk);
    return -1;
  }
  char text[kIdentifyTextCapacity];
  if (!ComposeIdentifyMessage(id, App.MachineMode, text, sizeof text, App.English != 0)) {
    PlatformMessageBox(owner, text, kCaptionIdentify, kMbOk);
    return -1;
  }
  if (PlatformMessageBox(owner, text, kCaptionIdentify, kMbYesNo | kMbIconQuestion) != kIdYes)
    return -1;
  return id.verdict;
}
