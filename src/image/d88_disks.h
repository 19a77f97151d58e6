// The D88 container as a whole: the disks a file holds one after another, each with its own
// 688-byte header, and the write-protect flag of the current disk.
#pragma once

#include <cstdint>

#include "platform/platform.h"

struct ImageFile;

// D88 header fields besides the track offset table.
inline constexpr int kD88NameBytes = 17;  // disk name, ended by a zero byte
inline constexpr int kD88WriteProtect = 0x1A;
inline constexpr int kD88MediaType = 0x1B;
inline constexpr int kD88DiskSize = 0x1C;  // unsigned 32-bit: where the next disk begins
inline constexpr uint8_t kD88Protected = 0x10;
inline constexpr int kD88MaxDisks = 64;

// The disk chooser dialog and its list of disks.
inline constexpr int kDiskDialogId = 120;
inline constexpr int kDiskComboId = 1200;

struct D88Disk {
  uint32_t base;  // file offset of the disk's header
  uint32_t end;   // end of its extent: the next disk's header, or the end of the file
  uint32_t sizeField;
  char name[kD88NameBytes + 1];  // raw bytes up to the first zero, at most 17
  uint8_t writeProtect;          // header byte 0x1A
  uint8_t mediaType;             // header byte 0x1B
};

// Whether the 688 bytes at `base` read as a D88 header of a disk that lies inside a file of
// `fileSize` bytes: a size of at least 688 that the file holds, a known write-protect flag and
// media type, and every track offset either 0 or inside the disk.
bool D88HeaderSound(const uint8_t* header, int64_t base, int64_t fileSize);

// The disks of an open D88 file, in file order, at most `capacity`. A file holds several disks
// only when the first disk's size field is at least 688, smaller than the file, and a sound header
// follows there (and so on for the next ones); any other file is one disk that spans the whole
// file. The number of disks (at least 1), or -1 on a read error.
int D88ListDisks(ImageFile* file, int64_t fileSize, D88Disk* disks, int capacity);
// The same for the file at `path`; -1 when it cannot be opened or read.
int D88ListDisksAt(const char* path, D88Disk* disks, int capacity);

// Makes disk `index` of `disks` the current disk (App.DiskBase, DiskEnd, DiskIndex, DiskCount).
// A file of one disk leaves base and end 0: its records may lie anywhere in the file.
void SelectD88Disk(const D88Disk* disks, int count, int index);

// Whether the current image is a D88 disk whose header marks it write-protected (byte 0x1A =
// 0x10). A flat image, or one that cannot be read, is not.
bool ImageWriteProtected();
// Every change starts here: -1 after a message when the current image is write-protected.
int ImageRefuseIfProtected(WindowHandle owner);

// Disk chooser of the Open command for a file of several disks. The item text of a disk (number
// from 0 and name, code page 932), and the dialog: the chosen index, or -1 when cancelled.
void DiskItemText(int index, const D88Disk& disk, char* text, int capacity);
int ChooseD88Disk(WindowHandle owner, const D88Disk* disks, int count);
