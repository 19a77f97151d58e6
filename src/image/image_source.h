// Where the containers read an image, for one call: the change in progress (the image as the
// change will leave it), the target's session (kept stretches), or the file opened by the call
// itself on its first read. Bytes the file does not deliver read as zero.
#pragma once

#include <cstdint>

#include "image/disk_model.h"
#include "image/image_target.h"

struct ImageSource {
  const char* path;
  ImageFile own;         // the file the call opened itself
  ImageFile* file;       // the open file, or null
  ImageChange* change;   // reading through the target's change in progress, or null
  int state;             // 0: not opened yet, 1: open, -1: the open failed, -2: it was busy
  int64_t size;          // of the open file, -1 when it could not be told
  ImageCache* cache;     // null: every read goes to the file
  ImageCache callCache;  // the stretches of a call without a session
  // The decoded track of a decoded kind that the call read last (keptTrack -1: none).
  ModelTrack kept;
  int keptTrack;
};

// Starts reading the target's image; nothing is opened yet.
void SourceBegin(ImageSource* source, const ImageTarget* target);
// Opens the image now unless it is open. 0, -1 when it cannot be opened, kImageFileBusy when
// another program held it past the wait.
int SourceOpen(ImageSource* source);
// The size of the image, or -1 when it cannot be opened or sized.
int64_t SourceSize(ImageSource* source);
// Reads `count` bytes at `offset` into `buffer` (zero where the file delivers nothing). With a
// cache, a miss reads `span` bytes from `offset` at once (at least `count`, at most a stretch),
// so that the next reads of the same stretch cost nothing. 0, or -1 on a read error.
int SourceRead(ImageSource* source, int64_t offset, uint8_t* buffer, unsigned count, unsigned span);
// Closes what the call opened itself.
void SourceEnd(ImageSource* source);

inline uint32_t Le32(const uint8_t* p) {
  return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
