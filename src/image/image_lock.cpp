// The waiting opens of image_file.h and the process's hold (image_lock.h), over the one-attempt
// opens of the file backends.
#include "image/image_lock.h"

#include <cstring>

#include "image/image_basics.h"

unsigned ImageWaitMs = kImageWaitDefaultMs;
void (*ImageWaitHook)(int waiting) = nullptr;

namespace {

struct Hold {
  bool active;
  bool exclusive;
  bool writable;
  char path[kPathCapacity];
  ImageFile file;
};
Hold Held = {false, false, false, {}, {-1}};

bool Covers(const char* path) { return Held.active && std::strcmp(Held.path, path) == 0; }

// Tries the open until it is no longer busy or the wait is over. The pauses grow from a few
// milliseconds to 50, with a little of the clock mixed in so that waiting programs do not try
// in step.
int OpenWaiting(const char* path, ImageOpenMode mode, ImageFile* file) {
  int result = ImageFileTryOpen(path, mode, file);
  if (result != kImageFileBusy || ImageWaitMs == 0) return result;
  const uint64_t start = ImageFileClockMs();
  if (ImageWaitHook) ImageWaitHook(1);
  unsigned nap = 2;
  while (result == kImageFileBusy && ImageFileClockMs() - start < ImageWaitMs) {
    ImageFileNap(nap + static_cast<unsigned>(ImageFileClockMs() % 7));
    if (nap < 50) nap *= 2;
    result = ImageFileTryOpen(path, mode, file);
  }
  if (ImageWaitHook) ImageWaitHook(0);
  return result;
}

}  // namespace

int ImageFileOpenRead(const char* path, ImageFile* file) {
  if (Covers(path)) return ImageFileDuplicate(&Held.file, file);
  return OpenWaiting(path, kOpenShared, file);
}

int ImageFileOpenUpdate(const char* path, ImageFile* file) {
  if (Covers(path)) {
    if (Held.exclusive && Held.writable) return ImageFileDuplicate(&Held.file, file);
    file->handle = -1;
    return -1;
  }
  return OpenWaiting(path, kOpenUpdate, file);
}

int ImageFileOpenAlone(const char* path, ImageFile* file, bool* writable) {
  *writable = false;
  if (Covers(path)) {
    file->handle = -1;
    if (!Held.exclusive) return -1;
    *writable = Held.writable;
    return ImageFileDuplicate(&Held.file, file);
  }
  int result = OpenWaiting(path, kOpenUpdate, file);
  *writable = result == 0;
  // A file that cannot be written is still held alone: its readers wait, its writes fail.
  if (result == -1) result = OpenWaiting(path, kOpenReadExclusive, file);
  return result;
}

int ImageFileReplace(const char* from, const char* to) {
  ImageFile held{-1};
  bool writable = false;
  if (ImageFileOpenAlone(to, &held, &writable) == kImageFileBusy) return kImageFileBusy;
#ifdef _WIN32
  if (held.handle != -1) ImageFileClose(&held);
#endif
  const int renamed = ImageFileRename(from, to);
  if (held.handle != -1) ImageFileClose(&held);
  return renamed;
}

int ImageHoldBegin(const char* path, bool exclusive) {
  ImageHoldEnd();
  if (std::strlen(path) >= sizeof Held.path) return -1;
  Held.writable = false;
  const int result = exclusive ? ImageFileOpenAlone(path, &Held.file, &Held.writable)
                               : OpenWaiting(path, kOpenShared, &Held.file);
  if (result != 0) return result;
  std::memcpy(Held.path, path, std::strlen(path) + 1);
  Held.exclusive = exclusive;
  Held.active = true;
  return 0;
}

void ImageHoldEnd() {
  if (Held.active) ImageFileClose(&Held.file);
  Held.active = false;
}

bool ImageHeld(const char* path) { return Covers(path); }
