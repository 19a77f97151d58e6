// Creating a new image file that holds a blank volume, and the New command of the main window.
#pragma once

#include "platform/platform.h"
#include "volume/format.h"

struct NewImageRequest {
  const char* path;      // the image to create
  int imageFormat;       // its format (kFormat2D, ...): the container it is written in
  int machineMode;       // the convention it is written under
  FormatOptions volume;  // `like` is filled from likePath
  const char* likePath;  // an image to start like (read under likeFormat and likeMode), or null
  int likeFormat;
  int likeMode;
  bool replace;  // replace an existing file at `path`
};

// Builds the blank volume in memory, writes it under a temporary name beside `path` (the container,
// then the whole volume through the sector writer), flushes it and renames it over `path`. An
// existing file at `path` is replaced only when asked. App is not read or changed. 0, or -1 after a
// message; on failure nothing is left behind.
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

// The dialog's texts as typed, checked into FormatOptions (volume number decimal 0-65535, date
// two-digit year, month 01-12 and day 01-31 taken as BCD, disk name up to 27 bytes). 0, or -1
// with the message's text in *message.
struct NewVolumeTexts {
  char diskName[256];
  char volumeNumber[256];
  char year[256];
  char month[256];
  char day[256];
  bool exdir;
};
int CheckNewVolumeTexts(const NewVolumeTexts& texts, FormatOptions* options, const char** message);
intptr_t NewImageDialogProc(WindowHandle dialog, unsigned message, uintptr_t wParam,
                            intptr_t lParam);
