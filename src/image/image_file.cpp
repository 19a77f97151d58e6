#include "image/image_file.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#endif

ImageWriteFault ImageWriteFaults;
ImageReadFault ImageReadFaults;

namespace {
// Counts a write and tells whether the test hook wants it to fail.
bool InjectedWriteFailure() {
  ImageWriteFaults.writesDone++;
  return ImageWriteFaults.failWriteAt > 0 &&
         ImageWriteFaults.writesDone == ImageWriteFaults.failWriteAt;
}
bool InjectedReadFailure() {
  ImageReadFaults.readsDone++;
  return ImageReadFaults.failReadAt > 0 && ImageReadFaults.readsDone == ImageReadFaults.failReadAt;
}
}  // namespace

#ifdef _WIN32

namespace {
HANDLE Handle(ImageFile* file) { return reinterpret_cast<HANDLE>(file->handle); }

int OpenShared0(const char* path, DWORD access, ImageFile* file) {
  // Share mode 0: while another process holds the image, the open fails.
  HANDLE h = CreateFileA(path, access, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    file->handle = -1;
    return -1;
  }
  file->handle = reinterpret_cast<intptr_t>(h);
  return 0;
}

bool SeekTo(ImageFile* file, uint32_t offset) {
  LONG high = 0;
  const DWORD low = SetFilePointer(Handle(file), static_cast<LONG>(offset), &high, FILE_BEGIN);
  return !(low == INVALID_SET_FILE_POINTER && GetLastError() != NO_ERROR);
}
}  // namespace

int ImageFileOpenRead(const char* path, ImageFile* file) {
  return OpenShared0(path, GENERIC_READ, file);
}

int ImageFileOpenUpdate(const char* path, ImageFile* file) {
  return OpenShared0(path, GENERIC_READ | GENERIC_WRITE, file);
}

int64_t ImageFileSize(ImageFile* file) {
  LARGE_INTEGER size;
  if (!GetFileSizeEx(Handle(file), &size)) return -1;
  return size.QuadPart;
}

int ImageFileReadAt(ImageFile* file, uint32_t offset, void* buffer, unsigned count, unsigned* got) {
  *got = 0;
  if (InjectedReadFailure()) return -1;
  if (!SeekTo(file, offset)) return -1;
  DWORD read = 0;
  if (!ReadFile(Handle(file), buffer, count, &read, nullptr)) return -1;
  *got = read;
  return 0;
}

int ImageFileWriteAt(ImageFile* file, uint32_t offset, const void* buffer, unsigned count) {
  if (InjectedWriteFailure()) return -1;
  if (!SeekTo(file, offset)) return -1;
  DWORD written = 0;
  if (!WriteFile(Handle(file), buffer, count, &written, nullptr) || written != count) return -1;
  return 0;
}

void ImageFileClose(ImageFile* file) {
  if (file->handle != -1) CloseHandle(Handle(file));
  file->handle = -1;
}

int ImageFileCreate(const char* path, ImageFile* file) {
  HANDLE h = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    file->handle = -1;
    return -1;
  }
  file->handle = reinterpret_cast<intptr_t>(h);
  return 0;
}

int ImageFileSync(ImageFile* file) { return FlushFileBuffers(Handle(file)) ? 0 : -1; }

int ImageFileRemove(const char* path) {
  if (DeleteFileA(path)) return 0;
  return GetLastError() == ERROR_FILE_NOT_FOUND ? 0 : -1;
}

int ImageFileExists(const char* path) {
  if (GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES) return 1;
  const DWORD error = GetLastError();
  return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? 0 : -1;
}

int ImageFileRename(const char* from, const char* to) {
  return MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) ? 0 : -1;
}

#else

namespace {
int OpenExclusive(const char* path, int flags, ImageFile* file) {
  file->handle = -1;
  const int fd = open(path, flags | O_CLOEXEC);
  if (fd < 0) return -1;
  struct stat st;
  // An image is a regular file; a held lock counts as a failed open.
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || flock(fd, LOCK_EX | LOCK_NB) != 0) {
    close(fd);
    return -1;
  }
  file->handle = fd;
  return 0;
}
}  // namespace

int ImageFileOpenRead(const char* path, ImageFile* file) {
  return OpenExclusive(path, O_RDONLY, file);
}

int ImageFileOpenUpdate(const char* path, ImageFile* file) {
  return OpenExclusive(path, O_RDWR, file);
}

int64_t ImageFileSize(ImageFile* file) {
  struct stat st;
  if (fstat(static_cast<int>(file->handle), &st) != 0) return -1;
  return st.st_size;
}

int ImageFileReadAt(ImageFile* file, uint32_t offset, void* buffer, unsigned count, unsigned* got) {
  *got = 0;
  if (InjectedReadFailure()) return -1;
  unsigned done = 0;
  while (done < count) {
    const ssize_t n = pread(static_cast<int>(file->handle), static_cast<char*>(buffer) + done,
                            count - done, static_cast<off_t>(offset) + done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return -1;
    }
    if (n == 0) break;
    done += static_cast<unsigned>(n);
  }
  *got = done;
  return 0;
}

int ImageFileWriteAt(ImageFile* file, uint32_t offset, const void* buffer, unsigned count) {
  if (InjectedWriteFailure()) return -1;
  unsigned done = 0;
  while (done < count) {
    const ssize_t n =
        pwrite(static_cast<int>(file->handle), static_cast<const char*>(buffer) + done,
               count - done, static_cast<off_t>(offset) + done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return -1;
    }
    done += static_cast<unsigned>(n);
  }
  return 0;
}

void ImageFileClose(ImageFile* file) {
  if (file->handle != -1) close(static_cast<int>(file->handle));
  file->handle = -1;
}

int ImageFileCreate(const char* path, ImageFile* file) {
  file->handle = -1;
  const int fd = open(path, O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0) return -1;
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    close(fd);
    return -1;
  }
  file->handle = fd;
  return 0;
}

int ImageFileSync(ImageFile* file) { return fsync(static_cast<int>(file->handle)) == 0 ? 0 : -1; }

int ImageFileRemove(const char* path) {
  if (unlink(path) == 0 || errno == ENOENT) return 0;
  return -1;
}

int ImageFileExists(const char* path) {
  struct stat st;
  if (lstat(path, &st) == 0) return 1;
  return errno == ENOENT || errno == ENOTDIR ? 0 : -1;
}

int ImageFileRename(const char* from, const char* to) { return rename(from, to) == 0 ? 0 : -1; }

#endif
