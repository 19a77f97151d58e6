// Creating a new image file that holds a blank volume.
#pragma once

#include <cstdint>

#include "texts/outcome.h"

struct ImageChange;
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
  // A whole volume (kVolumeBytes, volume terms) to write instead of the blank one (pack), or null;
  // `volume` then gives only the container's date. The disk name a container header keeps, or
  // null for the volume's disk name.
  const uint8_t* prepared = nullptr;
  const char* containerName = nullptr;
  // Where the new image's one change is made (the record of the image the user works in, or one
  // of its own); the change's history is not touched.
  ImageChange* change = nullptr;
};

// Builds the blank volume in memory, writes it under a temporary name beside `path` (the container,
// then the whole volume through the sector writer, as one change), flushes it and renames it over
// `path`. An existing file at `path` is replaced only when asked. 0, or -1 with the messages in
// the outcome; on failure nothing is left behind.
int MakeNewImage(Outcome* out, const NewImageRequest& request);

// The new volume's texts as typed, checked into FormatOptions (volume number decimal 0-65535, date
// two-digit year, month 01-12 and day 01-31 taken as BCD, disk name up to 27 bytes once in the
// volume's characters, see DiskNameInTable). 0, or -1 with the message's text in *message; for
// kMsgDiskNameNotInTable the character the table lacks is in `lacking` when given (3 bytes).
struct NewVolumeTexts {
  char diskName[256];
  char volumeNumber[256];
  char year[256];
  char month[256];
  char day[256];
  bool exdir;
  const uint16_t* tbl1 = nullptr;  // the code table's shown characters; null: the name as typed
};
int CheckNewVolumeTexts(const NewVolumeTexts& texts, FormatOptions* options, const char** message,
                        char* lacking = nullptr);
// Says a refusal of CheckNewVolumeTexts as an error (the lacking character in its text).
void SayNewVolumeRefusal(Outcome* out, const char* message, const char* lacking);

// The disk name as typed (code page 932) in the volume's characters: a double-byte character
// becomes the code the table shows as it (full-width letters, digits, symbols and katakana become
// their half-width codes; a voiced or semi-voiced katakana its base and the mark); single bytes
// stay. Writes at most `capacity` - 1 bytes and the end. 0; -1 when the name is longer; -2 with
// the first character the table lacks in `lacking` (3 bytes).
int DiskNameInTable(const char* typed, const uint16_t* tbl1, char* name, int capacity,
                    char* lacking);
