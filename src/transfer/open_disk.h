// The record of one open disk of an image file: where it is (the target), the volume read from it
// and what it was read on, the code tables and the transfer mode its files move in. Any number of
// them may be open in one process; the operations take the record (or its target and volume) as
// arguments.
#pragma once

#include "codes/code_tables.h"
#include "image/change_history.h"
#include "image/container.h"
#include "image/image_target.h"
#include "image/journal.h"
#include "texts/outcome.h"
#include "volume/identify.h"
#include "volume/volume_check.h"
#include "volume/volume_state.h"

struct OpenDisk {
  // The image file, its container (by the path's extension; null for an extension that is no
  // image's), the disk of a file that holds several and the recording convention.
  ImageTarget target;
  int format;  // the format the extension named (kFormat2D, ...; -1: none): identify reads it
  // The volume of the last load and the basis a change planned on it is checked against.
  VolumeState volume;
  bool loaded;          // `volume` holds what the last load read
  bool writeProtected;  // the disk refuses changes (read at each load)
  CodeTables tables;
  int transferMode;  // kTransferBinary or kTransferAscii
  // The change in progress (the target points at it) and the changes committed through it, for
  // undo and redo.
  ImageChange change;
  ChangeHistory history;
};

// Makes a record ready for use: nothing aimed at, nothing loaded, no change, an empty history.
void InitOpenDisk(OpenDisk* disk);

// The same volume as a view for the checks.
VolumeView ViewOfVolume(const VolumeState* volume);

// Aims `disk` at the image file at `path`: its format and container by the extension, the first
// disk, the
// convention `machineMode`; nothing is read and the volume counts as not loaded. Tables and
// transfer mode stay. 0, or -1 when the path does not fit (the record then names no file).
int AimOpenDisk(OpenDisk* disk, const char* path, int machineMode);
// The disks of the target's file as its container lists them, or, for an extension that is no
// image's, as the container its bytes show does. Their count (0 for a kind that lists none), or
// -1 when the file cannot be read.
int ListTargetDisks(const ImageTarget* target, ImageDisk* disks, int capacity);
// Makes disk `index` of `disks` the target's disk (diskBase, diskEnd, diskIndex, diskCount). A file
// of one disk leaves base and end 0: its records may lie anywhere in the file.
void AimAtDisk(ImageTarget* target, const ImageDisk* disks, int count, int index);

// The load: the volume read once, in one session, its basis noted; then the disk's write
// protection. A journal left by an interrupted change is the caller's to settle first
// (RecoverImageJournal). 0, or -1 with the reader's message in the outcome (`loaded` false).
int LoadOpenDisk(OpenDisk* disk, Outcome* out);
// Forgets the loaded volume; the record stays aimed at its image.
void CloseOpenDisk(OpenDisk* disk);

// IdentifyImage (identify.h) on the record's disk, the extension's format given. 0, -1 when the
// image cannot be opened, or the reader's status (image_basics.h) when a sector could not be read.
int IdentifyOpenDisk(const OpenDisk* disk, Identification* result);
// Both checks on a loaded volume: its structure, then what the container says of its sectors.
// 0, or -1 when the image cannot be opened.
int CheckLoadedVolume(const ImageTarget* target, const VolumeState* volume,
                      CheckFindings* findings);
// What the container says of each sector of the volume, and the bad and missing sectors of each
// live file. 0, or -1 when the image cannot be read.
int LoadedFileDamage(const ImageTarget* target, const VolumeState* volume, VolumeHealth* health,
                     FileDamage* damage);
