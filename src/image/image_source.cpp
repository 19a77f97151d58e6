#include "image/image_source.h"

#include <cstring>

#include "image/image_lock.h"
#include "image/journal.h"

namespace {

void ClearCache(ImageCache* cache) {
  std::memset(cache->length, 0, sizeof cache->length);
  cache->clock = 0;
}

// The stretch that holds [offset, offset + count), or -1.
int FindStretch(ImageCache* cache, int64_t offset, unsigned count) {
  for (int i = 0; i < kCacheStretches; i++)
    if (cache->length[i] != 0 && offset >= cache->start[i] &&
        offset + count <= cache->start[i] + cache->length[i])
      return i;
  return -1;
}

int OldestStretch(const ImageCache* cache) {
  int oldest = 0;
  for (int i = 0; i < kCacheStretches; i++) {
    if (cache->length[i] == 0) return i;
    if (cache->used[i] < cache->used[oldest]) oldest = i;
  }
  return oldest;
}

}  // namespace

int ImageTargetFor(ImageTarget* target, const char* path, const ContainerKind* kind,
                   int machineMode) {
  std::memset(target, 0, sizeof *target);
  target->kind = kind;
  target->machineMode = machineMode;
  const size_t length = strnlen(path, kPathCapacity);
  if (length >= static_cast<size_t>(kPathCapacity)) return -1;
  std::memcpy(target->path, path, length + 1);
  return 0;
}

int ImageSessionOpen(ImageSession* session, const char* path) {
  session->open = false;
  session->busy = false;
  ClearCache(&session->cache);
  const int opened = ImageFileOpenRead(path, &session->file);
  session->busy = opened == kImageFileBusy;
  if (opened != 0) return opened;
  session->size = ImageFileSize(&session->file);
  session->open = true;
  return 0;
}

void ImageSessionClose(ImageSession* session) {
  if (session->open) ImageFileClose(&session->file);
  session->open = false;
  session->busy = false;
}

void SourceBegin(ImageSource* source, const ImageTarget* target) {
  source->path = target->path;
  source->own.handle = -1;
  source->file = nullptr;
  source->change = ImageChangeActive(target->change) ? target->change : nullptr;
  source->state = source->change ? 1 : 0;
  source->size = -1;
  source->cache = nullptr;
  source->keptTrack = -1;
  if (source->change) return;  // the change's queued writes are never kept
  ImageSession* session = target->session;
  if (session && session->open) {
    source->file = &session->file;
    source->size = session->size;
    source->cache = &session->cache;
    source->state = 1;
    return;
  }
  if (session && session->busy) {
    source->state = -2;
    return;
  }
  ClearCache(&source->callCache);
  source->cache = &source->callCache;
}

int SourceOpen(ImageSource* source) {
  if (source->state == 0) {
    const int opened = ImageFileOpenRead(source->path, &source->own);
    source->state = opened == kImageFileBusy ? -2 : -1;
    if (opened == 0) {
      source->file = &source->own;
      source->size = ImageFileSize(&source->own);
      source->state = 1;
    }
  }
  if (source->state == -2) return kImageFileBusy;
  return source->state == 1 ? 0 : -1;
}

int64_t SourceSize(ImageSource* source) {
  if (SourceOpen(source) != 0) return -1;
  return source->change ? ImageChangeSize(source->change) : source->size;
}

int SourceRead(ImageSource* source, int64_t offset, uint8_t* buffer, unsigned count,
               unsigned span) {
  std::memset(buffer, 0, count);
  if (offset < 0 || offset > 0xFFFFFFFFll) return 0;  // beyond what the file can hold
  if (SourceOpen(source) != 0) return -1;
  unsigned got = 0;
  const uint32_t at = static_cast<uint32_t>(offset);
  if (source->change) return ImageChangeReadAt(source->change, at, buffer, count, &got);
  ImageCache* cache = source->cache;
  if (!cache || count > kCacheStretchBytes)
    return ImageFileReadAt(source->file, at, buffer, count, &got);
  int i = FindStretch(cache, offset, count);
  if (i < 0) {
    i = OldestStretch(cache);
    unsigned length = span < count ? count : span;
    if (length > kCacheStretchBytes) length = kCacheStretchBytes;
    cache->length[i] = 0;
    std::memset(cache->bytes[i], 0, length);
    if (ImageFileReadAt(source->file, at, cache->bytes[i], length, &got) != 0) return -1;
    cache->start[i] = offset;
    cache->length[i] = length;
  }
  cache->used[i] = ++cache->clock;
  std::memcpy(buffer, cache->bytes[i] + (offset - cache->start[i]), count);
  return 0;
}

void SourceEnd(ImageSource* source) {
  if (source->own.handle != -1) ImageFileClose(&source->own);
  source->own.handle = -1;
  source->cache = nullptr;
  source->file = nullptr;
}
