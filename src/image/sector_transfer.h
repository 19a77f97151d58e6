// Reading and writing runs of 256-byte sectors of an image target under its container and
// recording convention. The transfers show nothing: they return a status, and the caller tells
// the user (ImageStatusText names the message).
#pragma once

#include <cstdint>

#include "image/image_basics.h"
#include "image/image_target.h"

enum ImageStatus {
  kImageOk = 0,
  kImageBadAddress,  // the first sector is no sector address; nothing was touched
  kImageReadFailed,  // the image could not be opened or read
  kImageOpenFailed,  // the image could not be opened for a change
  kImageWriteFailed,
  kImageReadBusy,  // another program held the image past the wait; nothing was read
};
// The message of a failed status.
const char* ImageStatusText(int status);

// Fills the buffer (the whole sectors that cover byteCount bytes) from the image. A sector the
// image does not carry reads as zero. Under MZ the first byteCount bytes are inverted; the rest of
// the last sector keeps its stored form. After a failed read the chunks read so far stay in the
// buffer in stored form.
int ReadSectors(const ImageTarget* target, uint8_t* buffer, int track, int sector, int byteCount);

// Writing a run is two steps, so that a caller can open its change between them:
// EncodeSectorRun changes the buffer in place (0xFF fill of the last sector's tail, inversion of
// the first byteCount bytes under MZ); QueueSectorRun hands the stored form to the change in
// progress (journal.h). A sector the image does not carry is not written.
void EncodeSectorRun(uint8_t* buffer, int byteCount, int machineMode);
int QueueSectorRun(const ImageTarget* target, const uint8_t* encoded, int track, int sector,
                   int byteCount);
// Both steps, inside the change in progress (kImageWriteFailed when there is none).
int WriteSectors(const ImageTarget* target, uint8_t* buffer, int track, int sector, int byteCount);

// Whether the image carries every sector of the runs under the target's convention, each in a
// place of its own: 1 yes, 0 no (a sector out of bounds or missing, or its place reached by the
// lookups of another track as well, so that writing it would change that track too), -1 when the
// image cannot be read.
int ImageCarriesRuns(const ImageTarget* target, const SectorRun* runs, int runCount);
