// What conversion and joining share: an image's disks read one at a time into a DiskModel, the
// target file written under a temporary name and renamed into place.
#pragma once

#include "image/container.h"
#include "image/disk_model.h"
#include "texts/outcome.h"

// An image to copy from: its target (kind by extension) and its disks.
struct CopySource {
  ImageTarget target;
  ImageDisk disks[kMaxImageDisks];
  int diskCount;  // at least 1: a kind without disks of its own is one disk
  bool listed;    // the disks come from the container (D88): name and protection with them
};

// Opens the image at `path` under `machineMode`: its kind from the extension (a message when its
// content reads as another kind), its disks listed. 0, or -1 with the message.
int CopySourceOpen(Outcome* out, const char* path, int machineMode, CopySource* source);
// Reads disk `index` (0-based) into the model with its name and protection. A sector of
// another size than 256 bytes is refused. 0, or -1 with the message.
int CopySourceLoad(Outcome* out, CopySource* source, int index, DiskModel* model);

// The file a copy is written to: a temporary name beside `path`, renamed over it at the end.
struct CopyTarget {
  const char* path;
  char temp[kPathCapacity];
  ImageFile file;
  uint32_t size;  // written so far
};
// Refuses an existing `path` unless `replace`, then creates the temporary file. 0 or -1.
int CopyTargetBegin(Outcome* out, const char* path, bool replace, CopyTarget* target);
// Appends a disk in the kind's container. 0 or -1 (the temporary file is removed).
int CopyTargetWrite(Outcome* out, CopyTarget* target, const ContainerKind* kind,
                    const DiskModel* model, const ContainerStamp* stamp);
// Flushes, closes and renames the file into place (kept = false: removes it). 0 or -1.
int CopyTargetEnd(Outcome* out, CopyTarget* target, bool keep, bool replace);
