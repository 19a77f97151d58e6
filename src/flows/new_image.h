// The New command of the main window: a new image file that holds a blank volume, then opened.
#pragma once

#include "platform/platform.h"
#include "transfer/new_image.h"

// MakeNewImage with its messages shown in boxes owned by `owner`. App is not read or changed.
// 0, or -1 after a message.
int CreateNewImage(WindowHandle owner, const NewImageRequest& request);

// The New command: the save dialog (layout from the extension, the dialog asks before replacing a
// file), the new volume dialog, then the new image is created and opened.
void NewImageCommand(WindowHandle window);

// Dialog 110: disk name, volume number, date, extended directory.
inline constexpr int kNewImageDialogId = 110;
inline constexpr int kCtlNewDiskName = 1100;
inline constexpr int kCtlNewVolumeNumber = 1101;
inline constexpr int kCtlNewYear = 1102;
inline constexpr int kCtlNewMonth = 1103;
inline constexpr int kCtlNewDay = 1104;
inline constexpr int kCtlNewExdir = 1105;

intptr_t NewImageDialogProc(WindowHandle dialog, unsigned message, uintptr_t wParam,
                            intptr_t lParam);
