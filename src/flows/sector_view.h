// 表示 > セクタ表示: one sector of the volume as it reads under the current convention, in hex
// and characters, with what it belongs to; a track/sector chooser with previous and next.
// Viewing only.
#pragma once

#include "platform/platform.h"

// The dialog and its controls (resource.h: IDD_SECTOR_VIEW and the rest).
inline constexpr int kSectorViewDialogId = 40350;
inline constexpr int kSectorTrackId = 40351;
inline constexpr int kSectorSectorId = 40352;
inline constexpr int kSectorPreviousId = 40353;
inline constexpr int kSectorNextId = 40354;
inline constexpr int kSectorOwnerId = 40355;
inline constexpr int kSectorHexId = 40356;

// Opens the window at `track`, `sector` (1-16); returns when it is closed. -1 with no volume.
int ShowSectorView(WindowHandle window, int track, int sector);
// The window at the first sector of the file in directory slot `slot`
// (track 0 sector 1 when its run starts outside the disk).
int ShowFileSectors(WindowHandle window, int slot);
