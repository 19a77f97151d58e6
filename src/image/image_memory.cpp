// image_file.h over files kept in memory (see image_memory.h). Built into zelvo_core_memory in
// place of image_file.cpp; the tests and fuzzers that link it never touch the disk for an image.
#include "image/image_memory.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <string>

#include "image/image_faults.h"
#include "image/image_file.h"
#include "image/image_lock.h"

namespace {

struct File {
  std::vector<uint8_t> bytes;
  int sharers = 0;         // handles that hold a shared lock
  bool exclusive = false;  // a handle holds the exclusive lock
  bool Held() const { return sharers > 0 || exclusive; }
};

struct Handle {
  std::shared_ptr<File> file;  // null: the slot is free
  bool writable = false;
  int lock = 0;  // 0: shares another handle's lock (a duplicate), 1: shared, 2: exclusive
};

// The clock that waiting opens read: it moves only when they pause.
uint64_t Clock = 0;

std::map<std::string, std::shared_ptr<File>>& Names() {
  static std::map<std::string, std::shared_ptr<File>> names;
  return names;
}

std::vector<Handle>& Handles() {
  static std::vector<Handle> handles;
  return handles;
}

std::shared_ptr<File> Find(const char* path) {
  if (!path) return nullptr;
  auto found = Names().find(path);
  return found == Names().end() ? nullptr : found->second;
}

Handle* Open(ImageFile* file) {
  if (!file || file->handle < 0 || static_cast<size_t>(file->handle) >= Handles().size())
    return nullptr;
  Handle* handle = &Handles()[static_cast<size_t>(file->handle)];
  return handle->file ? handle : nullptr;
}

int Place(const std::shared_ptr<File>& target, bool writable, int lock, ImageFile* file) {
  std::vector<Handle>& handles = Handles();
  size_t slot = 0;
  while (slot < handles.size() && handles[slot].file) slot++;
  if (slot == handles.size()) handles.emplace_back();
  handles[slot] = Handle{target, writable, lock};
  if (lock == 1) target->sharers++;
  if (lock == 2) target->exclusive = true;
  file->handle = static_cast<intptr_t>(slot);
  return 0;
}

// Opens `target` under a shared (lock 1) or exclusive (lock 2) lock: 0, -1 when there is no
// file, kImageFileBusy when another handle's lock conflicts.
int Hold(const std::shared_ptr<File>& target, bool writable, int lock, ImageFile* file) {
  file->handle = -1;
  if (!target) return -1;
  if (target->exclusive || (lock == 2 && target->sharers > 0)) return kImageFileBusy;
  return Place(target, writable, lock, file);
}

}  // namespace

int ImageMemoryPut(const char* path, const void* data, size_t size) {
  std::shared_ptr<File>& file = Names()[path];
  if (!file) file = std::make_shared<File>();
  if (file->Held()) return -1;
  const auto* bytes = static_cast<const uint8_t*>(data);
  file->bytes.assign(bytes, bytes + size);
  return 0;
}

bool ImageMemoryGet(const char* path, std::vector<uint8_t>* bytes) {
  const std::shared_ptr<File> file = Find(path);
  if (!file) return false;
  *bytes = file->bytes;
  return true;
}

void ImageMemoryLink(const char* link, const char* target) {
  std::shared_ptr<File>& file = Names()[target];
  if (!file) file = std::make_shared<File>();
  Names()[link] = file;
}

void ImageMemoryClear() {
  Names().clear();
  Handles().clear();
}

int ImageFileTryOpen(const char* path, ImageOpenMode mode, ImageFile* file) {
  return Hold(Find(path), mode == kOpenUpdate, mode == kOpenShared ? 1 : 2, file);
}

int ImageFileDuplicate(ImageFile* from, ImageFile* to) {
  to->handle = -1;
  Handle* handle = Open(from);
  if (!handle) return -1;
  const Handle copy = *handle;
  return Place(copy.file, copy.writable, 0, to);
}

uint64_t ImageFileClockMs() { return Clock; }

void ImageFileNap(unsigned ms) { Clock += ms; }

int64_t ImageFileSize(ImageFile* file) {
  Handle* handle = Open(file);
  return handle ? static_cast<int64_t>(handle->file->bytes.size()) : -1;
}

int ImageFileReadAt(ImageFile* file, uint32_t offset, void* buffer, unsigned count, unsigned* got) {
  *got = 0;
  if (ImageInjectedReadFailure(offset, count)) return -1;
  Handle* handle = Open(file);
  if (!handle) return -1;
  const std::vector<uint8_t>& bytes = handle->file->bytes;
  if (offset >= bytes.size()) return 0;
  const size_t n = std::min<size_t>(count, bytes.size() - offset);
  std::memcpy(buffer, bytes.data() + offset, n);
  *got = static_cast<unsigned>(n);
  return 0;
}

int ImageFileWriteAt(ImageFile* file, uint32_t offset, const void* buffer, unsigned count) {
  if (ImageInjectedWriteFailure()) return -1;
  return ImageFileWriteAtUncounted(file, offset, buffer, count);
}

int ImageFileWriteAtUncounted(ImageFile* file, uint32_t offset, const void* buffer,
                              unsigned count) {
  Handle* handle = Open(file);
  if (!handle || !handle->writable) return -1;
  std::vector<uint8_t>& bytes = handle->file->bytes;
  const size_t end = static_cast<size_t>(offset) + count;
  if (end > bytes.size()) bytes.resize(end, 0);
  if (count > 0) std::memcpy(bytes.data() + offset, buffer, count);
  return 0;
}

void ImageFileClose(ImageFile* file) {
  Handle* handle = Open(file);
  if (handle) {
    if (handle->lock == 1) handle->file->sharers--;
    if (handle->lock == 2) handle->file->exclusive = false;
    *handle = Handle{};
  }
  file->handle = -1;
}

int ImageFileCreate(const char* path, ImageFile* file) {
  file->handle = -1;
  if (!path || Find(path)) return -1;
  auto created = std::make_shared<File>();
  Names()[path] = created;
  return Hold(created, true, 2, file);
}

int ImageFileSync(ImageFile* file) { return Open(file) ? 0 : -1; }

int ImageFileRemove(const char* path) {
  if (!path) return -1;
  Names().erase(path);
  return 0;
}

int ImageFileExists(const char* path) { return Find(path) ? 1 : 0; }

int ImageFileRename(const char* from, const char* to) {
  std::shared_ptr<File> file = Find(from);
  if (!file || !to) return -1;
  Names().erase(from);
  Names()[to] = file;
  return 0;
}

int ImageFileTruncate(ImageFile* file, int64_t size) {
  Handle* handle = Open(file);
  if (!handle || !handle->writable || size < 0) return -1;
  std::vector<uint8_t>& bytes = handle->file->bytes;
  if (static_cast<uint64_t>(size) < bytes.size()) bytes.resize(static_cast<size_t>(size));
  return 0;
}

int ImageFileSyncFolder(const char*) { return 0; }
