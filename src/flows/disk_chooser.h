// The disk chooser of the Open command, for a file that holds several disks: a dialog with the
// list of the disks.
#pragma once

#include "image/container.h"
#include "platform/platform.h"

inline constexpr int kDiskDialogId = 120;
inline constexpr int kDiskComboId = 1200;

// The item text of a disk: its number from 0 and its name (code page 932).
void DiskItemText(int index, const ImageDisk& disk, char* text, int capacity);
// The dialog: the chosen index, or -1 when cancelled.
int ChooseImageDisk(WindowHandle owner, const ImageDisk* disks, int count);
