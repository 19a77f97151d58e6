#include "image/image_file.h"

#include "image/image_faults.h"
#include "image/image_lock.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#endif

#ifdef _WIN32

namespace {
HANDLE Handle(ImageFile* file) { return reinterpret_cast<HANDLE>(file->handle); }

// A path in PathCodePage (see image_file.h) as UTF-16, for the wide functions. False when it does
// not convert (or is longer than the buffer): such a path names no file.
bool WidePath(const char* path, wchar_t (&wide)[1024]) {
  return MultiByteToWideChar(PathCodePage, MB_ERR_INVALID_CHARS, path, -1, wide, 1024) > 0;
}

// CreateFile on a path in PathCodePage: the A function in the program's own code page.
HANDLE CreateWithPath(const char* path, DWORD access, DWORD share, DWORD disposition) {
  if (PathCodePage == 0)
    return CreateFileA(path, access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
  wchar_t wide[1024];
  if (!WidePath(path, wide)) return INVALID_HANDLE_VALUE;
  return CreateFileW(wide, access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
}

// The image lock (image_lock.h) on an open handle, without waiting; false when another open
// holds a lock that conflicts. A file system that has no byte-range locks leaves the share modes
// alone to guard the image. Windows releases the lock when the last handle of the open file is
// closed, so a duplicate keeps it. Under Wine it also becomes a host fcntl lock on the same
// range, which zelvo on Linux sees (an exclusive one on a handle that cannot write becomes a
// shared one there).
bool LockImage(HANDLE h, bool exclusive) {
  OVERLAPPED range{};
  range.Offset = static_cast<DWORD>(kImageLockOffset);
  range.OffsetHigh = static_cast<DWORD>(kImageLockOffset >> 32);
  const DWORD flags = LOCKFILE_FAIL_IMMEDIATELY | (exclusive ? LOCKFILE_EXCLUSIVE_LOCK : 0);
  if (LockFileEx(h, flags, 0, kImageLockLength, 0, &range)) return true;
  return GetLastError() != ERROR_LOCK_VIOLATION;
}

bool SeekTo(ImageFile* file, uint32_t offset) {
  LONG high = 0;
  const DWORD low = SetFilePointer(Handle(file), static_cast<LONG>(offset), &high, FILE_BEGIN);
  return !(low == INVALID_SET_FILE_POINTER && GetLastError() != NO_ERROR);
}
}  // namespace

int ImageFileTryOpen(const char* path, ImageOpenMode mode, ImageFile* file) {
  // Readers share the image; a writer (and a hold) opens it with share mode 0, so that every
  // other open fails while it is held. The byte-range lock then keeps out the programs that do
  // not share Windows' share modes: zelvo on Linux beside a Windows program under Wine.
  const DWORD access = mode == kOpenUpdate ? GENERIC_READ | GENERIC_WRITE : GENERIC_READ;
  const DWORD share = mode == kOpenShared ? FILE_SHARE_READ : 0;
  file->handle = -1;
  HANDLE h = CreateWithPath(path, access, share, OPEN_EXISTING);
  DWORD error = h == INVALID_HANDLE_VALUE ? GetLastError() : NO_ERROR;
  if (h != INVALID_HANDLE_VALUE && !LockImage(h, mode != kOpenShared)) {
    error = ERROR_LOCK_VIOLATION;
    CloseHandle(h);
    h = INVALID_HANDLE_VALUE;
  }
  if (h == INVALID_HANDLE_VALUE)
    return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION ? kImageFileBusy : -1;
  file->handle = reinterpret_cast<intptr_t>(h);
  return 0;
}

int ImageFileDuplicate(ImageFile* from, ImageFile* to) {
  HANDLE copy = INVALID_HANDLE_VALUE;
  to->handle = -1;
  if (!DuplicateHandle(GetCurrentProcess(), Handle(from), GetCurrentProcess(), &copy, 0, FALSE,
                       DUPLICATE_SAME_ACCESS))
    return -1;
  to->handle = reinterpret_cast<intptr_t>(copy);
  return 0;
}

uint64_t ImageFileClockMs() { return GetTickCount64(); }

void ImageFileNap(unsigned ms) { Sleep(ms); }

int64_t ImageFileSize(ImageFile* file) {
  LARGE_INTEGER size;
  if (!GetFileSizeEx(Handle(file), &size)) return -1;
  return size.QuadPart;
}

int ImageFileReadAt(ImageFile* file, uint32_t offset, void* buffer, unsigned count, unsigned* got) {
  *got = 0;
  if (ImageInjectedReadFailure(offset, count)) return -1;
  if (!SeekTo(file, offset)) return -1;
  DWORD read = 0;
  if (!ReadFile(Handle(file), buffer, count, &read, nullptr)) return -1;
  *got = read;
  return 0;
}

int ImageFileWriteAtUncounted(ImageFile* file, uint32_t offset, const void* buffer,
                              unsigned count) {
  if (!SeekTo(file, offset)) return -1;
  DWORD written = 0;
  if (!WriteFile(Handle(file), buffer, count, &written, nullptr) || written != count) return -1;
  return 0;
}

int ImageFileWriteAt(ImageFile* file, uint32_t offset, const void* buffer, unsigned count) {
  if (ImageInjectedWriteFailure()) return -1;
  return ImageFileWriteAtUncounted(file, offset, buffer, count);
}

void ImageFileClose(ImageFile* file) {
  if (file->handle != -1) CloseHandle(Handle(file));
  file->handle = -1;
}

int ImageFileCreate(const char* path, ImageFile* file) {
  HANDLE h = CreateWithPath(path, GENERIC_READ | GENERIC_WRITE, 0, CREATE_NEW);
  if (h != INVALID_HANDLE_VALUE && !LockImage(h, true)) {
    CloseHandle(h);
    ImageFileRemove(path);
    h = INVALID_HANDLE_VALUE;
  }
  if (h == INVALID_HANDLE_VALUE) {
    file->handle = -1;
    return -1;
  }
  file->handle = reinterpret_cast<intptr_t>(h);
  return 0;
}

int ImageFileSync(ImageFile* file) { return FlushFileBuffers(Handle(file)) ? 0 : -1; }

namespace {
bool NotFound(DWORD error) {
  return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}
}  // namespace

int ImageFileRemove(const char* path) {
  BOOL done = FALSE;
  if (PathCodePage == 0) {
    done = DeleteFileA(path);
  } else {
    wchar_t wide[1024];
    if (!WidePath(path, wide)) return -1;
    done = DeleteFileW(wide);
  }
  if (done) return 0;
  return NotFound(GetLastError()) ? 0 : -1;
}

int ImageFileExists(const char* path) {
  DWORD attributes = INVALID_FILE_ATTRIBUTES;
  if (PathCodePage == 0) {
    attributes = GetFileAttributesA(path);
  } else {
    wchar_t wide[1024];
    if (!WidePath(path, wide)) return -1;
    attributes = GetFileAttributesW(wide);
  }
  if (attributes != INVALID_FILE_ATTRIBUTES) return 1;
  return NotFound(GetLastError()) ? 0 : -1;
}

int ImageFileRename(const char* from, const char* to) {
  constexpr DWORD kFlags = MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH;
  if (PathCodePage == 0) return MoveFileExA(from, to, kFlags) ? 0 : -1;
  wchar_t wideFrom[1024];
  wchar_t wideTo[1024];
  if (!WidePath(from, wideFrom) || !WidePath(to, wideTo)) return -1;
  return MoveFileExW(wideFrom, wideTo, kFlags) ? 0 : -1;
}

int ImageFileTruncate(ImageFile* file, int64_t size) {
  const int64_t now = ImageFileSize(file);
  if (now < 0 || size < 0) return -1;
  if (now <= size) return 0;
  LARGE_INTEGER to;
  to.QuadPart = size;
  if (!SetFilePointerEx(Handle(file), to, nullptr, FILE_BEGIN)) return -1;
  return SetEndOfFile(Handle(file)) ? 0 : -1;
}

int ImageFileSyncFolder(const char*) { return 0; }

#else

// The image lock (image_lock.h), one attempt: 0, or -1 with errno.
#if defined(__EMSCRIPTEN__)
// Emscripten's file system belongs to one program: there is nobody to lock out.
static int LockImage(int, ImageOpenMode) { return 0; }
#elif defined(F_OFD_SETLK)
// Open-file-description record locks belong to the open file, as flock's do: they are not lost
// when the process closes another descriptor of the same file (classic fcntl locks would be), a
// duplicate shares them, and they conflict with the classic record locks by which Wine passes
// on the Windows program's LockFileEx. Only a descriptor open for writing can lock exclusively.
static int LockImage(int fd, ImageOpenMode mode) {
  struct flock range {};
  range.l_type = mode == kOpenUpdate ? F_WRLCK : F_RDLCK;
  range.l_whence = SEEK_SET;
  range.l_start = static_cast<off_t>(kImageLockOffset);
  range.l_len = kImageLockLength;
  return fcntl(fd, F_OFD_SETLK, &range);
}
#else
// macOS has no open-file-description record locks: flock, which locks the whole file.
static int LockImage(int fd, ImageOpenMode mode) {
  return flock(fd, (mode == kOpenShared ? LOCK_SH : LOCK_EX) | LOCK_NB);
}
#endif

int ImageFileTryOpen(const char* path, ImageOpenMode mode, ImageFile* file) {
  file->handle = -1;
  const int fd = open(path, (mode == kOpenUpdate ? O_RDWR : O_RDONLY) | O_CLOEXEC);
  if (fd < 0) return -1;
  struct stat st;
  // An image is a regular file.
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    close(fd);
    return -1;
  }
  if (LockImage(fd, mode) != 0) {
    const bool busy = errno == EWOULDBLOCK || errno == EAGAIN || errno == EACCES || errno == EINTR;
    close(fd);
    return busy ? kImageFileBusy : -1;
  }
  // While the lock was being taken the path may have been given to another file (a new image
  // renamed over it): the lock then guards a file that nobody opens by that name, and the open
  // is tried again.
  struct stat now;
  if (stat(path, &now) != 0 || now.st_dev != st.st_dev || now.st_ino != st.st_ino) {
    close(fd);
    return kImageFileBusy;
  }
  file->handle = fd;
  return 0;
}

int ImageFileDuplicate(ImageFile* from, ImageFile* to) {
  // A duplicated descriptor shares the open file description, and with it the lock.
  to->handle = -1;
  const int fd = fcntl(static_cast<int>(from->handle), F_DUPFD_CLOEXEC, 0);
  if (fd < 0) return -1;
  to->handle = fd;
  return 0;
}

uint64_t ImageFileClockMs() {
  struct timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<uint64_t>(now.tv_sec) * 1000u + static_cast<uint64_t>(now.tv_nsec) / 1000000u;
}

void ImageFileNap(unsigned ms) {
  struct timespec pause = {static_cast<time_t>(ms / 1000), static_cast<long>(ms % 1000) * 1000000L};
  while (nanosleep(&pause, &pause) != 0 && errno == EINTR) {
  }
}

int64_t ImageFileSize(ImageFile* file) {
  struct stat st;
  if (fstat(static_cast<int>(file->handle), &st) != 0) return -1;
  return st.st_size;
}

int ImageFileReadAt(ImageFile* file, uint32_t offset, void* buffer, unsigned count, unsigned* got) {
  *got = 0;
  if (ImageInjectedReadFailure(offset, count)) return -1;
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
  if (ImageInjectedWriteFailure()) return -1;
  return ImageFileWriteAtUncounted(file, offset, buffer, count);
}

int ImageFileWriteAtUncounted(ImageFile* file, uint32_t offset, const void* buffer,
                              unsigned count) {
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
  const int fd = open(path, O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  if (fd < 0) return -1;
  if (LockImage(fd, kOpenUpdate) != 0) {
    close(fd);
    unlink(path);
    return -1;
  }
  file->handle = fd;
  return 0;
}

int ImageFileSync(ImageFile* file) {
  while (fsync(static_cast<int>(file->handle)) != 0)
    if (errno != EINTR) return -1;
  return 0;
}

int ImageFileRemove(const char* path) {
  if (unlink(path) == 0 || errno == ENOENT) return 0;
  return -1;
}

int ImageFileExists(const char* path) {
  struct stat st;
  if (lstat(path, &st) == 0) return 1;
  return errno == ENOENT ? 0 : -1;
}

int ImageFileRename(const char* from, const char* to) {
  return std::rename(from, to) == 0 ? 0 : -1;
}

int ImageFileTruncate(ImageFile* file, int64_t size) {
  const int64_t now = ImageFileSize(file);
  if (now < 0 || size < 0) return -1;
  if (now <= size) return 0;
  return ftruncate(static_cast<int>(file->handle), static_cast<off_t>(size)) == 0 ? 0 : -1;
}

int ImageFileSyncFolder(const char* path) {
  // The folder is the path up to its last '/', or the current folder.
  char folder[4096];
  const char* slash = std::strrchr(path, '/');
  const size_t length = slash ? static_cast<size_t>(slash - path) : 0;
  if (length + 2 > sizeof folder) return -1;
  if (slash == path) {
    std::strcpy(folder, "/");
  } else if (slash) {
    std::memcpy(folder, path, length);
    folder[length] = '\0';
  } else {
    std::strcpy(folder, ".");
  }
  const int fd = open(folder, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return -1;
  const int result = fsync(fd);
  close(fd);
  // Some file systems cannot sync a folder; the file's own sync is then all there is.
  return result == 0 || errno == EINVAL ? 0 : -1;
}

#endif
