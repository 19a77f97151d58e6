// The current image of App as an explicit image target, and the conveniences of the window's
// flows that read it: the two sector transfers that show their failures, the start of a change,
// write protection, the check before a write, the choice of a disk.
#pragma once

#include <cstdint>

#include "flows/app_state.h"
#include "image/change_history.h"
#include "image/container.h"
#include "image/image_target.h"
#include "image/journal.h"
#include "image/sector_transfer.h"
#include "platform/platform.h"
#include "volume/identify.h"
#include "volume/volume_check.h"

// The target of App's current image: ImagePath, the container of ImageFormat, the disk
// (DiskBase, DiskEnd, DiskIndex, DiskCount) and MachineMode; no session.
void AppImageTarget(ImageTarget* target);

// The explicit transfers, their failures told in a box owned by `owner` (the read's boxes carry
// "ZLV_ReadZelvoFile", the write's "ZLV_WriteZelvoFile"). A write outside a change is a change of
// its own. 0, or -1 after a message.
int ReadSectorsShown(WindowHandle owner, const ImageTarget* target, uint8_t* buffer, int track,
                     int sector, int byteCount);
int WriteSectorsShown(WindowHandle owner, const ImageTarget* target, uint8_t* buffer, int track,
                      int sector, int byteCount);

// Reading and writing runs of 256-byte sectors of App's current image. The buffer must hold the
// whole sectors that cover byteCount bytes. 0 on success; -1 after a message box owned by `owner`.
int ZLV_ReadZelvoFile(WindowHandle owner, uint8_t* buffer, int track, int sector, int byteCount);
// Changes the buffer in place: 0xFF fill of the last sector's tail, inversion under MZ.
int ZLV_WriteZelvoFile(WindowHandle owner, uint8_t* buffer, int track, int sector, int byteCount);

// Starts a change to App's current image (see journal.h). 0, or -1 after a message.
int ImageBeginChange(WindowHandle owner);
// Whether App's current disk is marked write-protected.
bool ImageWriteProtected();
// Every change starts here: -1 after a message when App's current disk is write-protected or
// recorded under the other convention (RefuseChange).
int ImageRefuseIfProtected(WindowHandle owner);
// ImageCarriesRuns (sector_transfer.h) on App's current image.
int ImageCarriesRuns(const SectorRun* runs, int runCount);
inline int ImageCarriesRun(int track, int sector, int byteCount) {
  const SectorRun run{track, sector, byteCount};
  return ImageCarriesRuns(&run, 1);
}

// Makes disk `index` of `disks` App's current disk (DiskBase, DiskEnd, DiskIndex, DiskCount). A
// file of one disk leaves base and end 0: its records may lie anywhere in the file.
void SelectImageDisk(const ImageDisk* disks, int count, int index);

// The journal's and the change history's steps with their messages shown in boxes owned by
// `owner` (see journal.h and change_history.h).
int ImageBeginChange(WindowHandle owner, const ImageTarget* target);
int ImageRefuseIfProtected(WindowHandle owner, const ImageTarget* target);
// The commit's change: App's own, or the one a target of another image points at.
int ImageCommitChange(WindowHandle owner, ImageChange* change = App.Change);
int ImageRecoverJournal(WindowHandle owner, const char* path);
int ChangeHistoryStep(WindowHandle owner, const ImageTarget* target, bool undo);

// Both checks on the volume that LoadVolume put into App, reading App.ImagePath. 0, or -1 when
// the image cannot be opened.
int CheckLoadedVolume(CheckFindings* findings);
// What the container says of each sector of App's volume, and the bad and missing sectors of each
// live file. 0, or -1 when the image cannot be read.
int LoadedFileDamage(VolumeHealth* health, FileDamage* damage);
// IdentifyImage (identify.h) on App's current image (App.ImageFormat the extension's format or -1;
// App's disk); a failed sector read is told as the sector reader tells it. 0, or -1.
int IdentifyCurrentImage(WindowHandle owner, Identification* result);

// Reads "CodeChg.txt" beside the executable into App.Tables; a missing file is told in a box owned
// by `window`. 0 on success, -1 on failure.
int LoadCodeTables(WindowHandle window);
