// The image a transfer works on, named explicitly: its file, its container kind, the disk of a
// file that holds several and the recording convention. A target may carry an image session that
// holds the file open for the length of one operation; without one, each call opens the image,
// works and closes it again.
#pragma once

#include <cstdint>

#include "image/image_basics.h"
#include "image/image_file.h"

struct ContainerKind;
struct ImageChange;

// What a session keeps of the file: a few stretches read whole (a D88 header, a track's records,
// the rest of a flat track), the oldest replaced first.
inline constexpr int kCacheStretches = 4;
inline constexpr unsigned kCacheStretchBytes = 16 * 272;

struct ImageCache {
  int64_t start[kCacheStretches];
  unsigned length[kCacheStretches];  // 0: the stretch holds nothing
  unsigned used[kCacheStretches];    // when it was last used
  unsigned clock;
  uint8_t bytes[kCacheStretches][kCacheStretchBytes];
};

// An image held open, exclusively and for reading, for one operation that only reads (a load, an
// identification, a check). Nothing may write the image while it is open: a change opens the
// image itself, and a transfer inside a change reads through the change instead.
struct ImageSession {
  ImageFile file;
  int64_t size;
  bool open;
  bool busy;  // the open gave up because another program held the image: so does every read
  ImageCache cache;
};

struct ImageTarget {
  char path[kPathCapacity];
  const ContainerKind* kind;  // null: no container reads the file
  uint32_t diskBase;          // a disk of a file that holds several: where its header lies
  uint32_t diskEnd;           // and where its extent ends (both 0: one disk, the whole file)
  int diskIndex;
  int diskCount;
  int machineMode;
  ImageSession* session;  // null: each call opens the image itself
  // The change in progress of the record the target belongs to (journal.h): a change of the image
  // is made in it, and reads go through it while it is in progress. Null: the target cannot be
  // changed.
  ImageChange* change;
};

// A target for the file at `path` as a file of one disk, without a session. 0, or -1 when the
// path does not fit (the target then names no file).
int ImageTargetFor(ImageTarget* target, const char* path, const ContainerKind* kind,
                   int machineMode);

// Opens the image at `path` for the session (sharing it with other readers). 0, or -1: the
// session stays closed, and each call through it opens the image itself (and fails as it would
// have without the session); kImageFileBusy (image_lock.h) when another program held it past
// the wait: every read through the session then fails at once.
int ImageSessionOpen(ImageSession* session, const char* path);
void ImageSessionClose(ImageSession* session);
