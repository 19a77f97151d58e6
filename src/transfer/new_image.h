// Creating a new image file that holds a blank volume.
#pragma once

#include "texts/outcome.h"
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
// then the whole volume through the sector writer, as one change), flushes it and renames it over
// `path`. An existing file at `path` is replaced only when asked. 0, or -1 with the messages in
// the outcome; on failure nothing is left behind.
int MakeNewImage(Outcome* out, const NewImageRequest& request);

// The new volume's texts as typed, checked into FormatOptions (volume number decimal 0-65535, date
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
