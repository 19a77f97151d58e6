// The disk chooser of a file that holds several disks (the Open command, and ファイル >
// ディスクを選ぶ to switch disk): a dialog with the list of the disks, each with what it holds.
#pragma once

#include "image/container.h"
#include "image/image_target.h"
#include "platform/platform.h"

inline constexpr int kDiskDialogId = 120;
inline constexpr int kDiskComboId = 1200;

// The item text of a disk: its number from 0 and its name (code page 932).
void DiskItemText(int index, const ImageDisk& disk, char* text, int capacity);
// Appends what the disk of `index` holds: its size, its write protection, and whether it reads as
// a Zelvo volume (under the file target's convention, else the other) with its file count, or
// that it is empty. `file` names the file as one disk.
void DiskItemDetails(const ImageTarget* file, const ImageDisk* disks, int count, int index,
                     char* text, int capacity);
// The dialog, `current` selected at first: the chosen index, or -1 when cancelled.
int ChooseImageDisk(WindowHandle owner, const ImageTarget* file, const ImageDisk* disks, int count,
                    int current);
// ファイル > ディスクを選ぶ: another disk of the open file, read without opening the file again
// (cancel, or the same disk, changes nothing).
void ChooseDiskCommand(WindowHandle owner);
