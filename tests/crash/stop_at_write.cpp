// Preloaded into zelvo by the crash sweep: at the N-th write system call (write, pwrite,
// pwrite64, writev, pwritev) the process ends with _exit(kStopped), as at a crash or a power cut.
//   ZELVO_STOP_AT=N     which call (counted from 1); unset: the library does nothing
//   ZELVO_STOP_HOW=     before: end without writing; half: write half of the bytes, then end;
//                       fail: the call fails with EIO and the process goes on
// Only a process named "zelvo" is stopped (the shell that starts it carries the variables too).
#include <dlfcn.h>
#include <errno.h>
#include <sys/uio.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

namespace {

constexpr int kStopped = 86;
enum Action { kGoOn, kStopBefore, kStopHalf, kFail };

long Calls = 0;

Action Decide() {
  static long stopAt = -1;
  static Action how = kGoOn;
  static bool read = false;
  if (!read) {
    read = true;
    const char* at = std::getenv("ZELVO_STOP_AT");
    const char* mode = std::getenv("ZELVO_STOP_HOW");
    if (at && mode && std::strcmp(program_invocation_short_name, "zelvo") == 0) {
      stopAt = std::atol(at);
      how = std::strcmp(mode, "half") == 0   ? kStopHalf
            : std::strcmp(mode, "fail") == 0 ? kFail
                                             : kStopBefore;
    }
  }
  if (stopAt <= 0 || ++Calls != stopAt) return kGoOn;
  return how;
}

template <typename F>
F Next(const char* name) {
  return reinterpret_cast<F>(dlsym(RTLD_NEXT, name));
}

}  // namespace

extern "C" {

ssize_t write(int fd, const void* buffer, size_t count) {
  static auto real = Next<ssize_t (*)(int, const void*, size_t)>("write");
  switch (Decide()) {
    case kStopBefore: _exit(kStopped);
    case kStopHalf: real(fd, buffer, count / 2); _exit(kStopped);
    case kFail: errno = EIO; return -1;
    default: return real(fd, buffer, count);
  }
}

ssize_t pwrite(int fd, const void* buffer, size_t count, off_t offset) {
  static auto real = Next<ssize_t (*)(int, const void*, size_t, off_t)>("pwrite");
  switch (Decide()) {
    case kStopBefore: _exit(kStopped);
    case kStopHalf: real(fd, buffer, count / 2, offset); _exit(kStopped);
    case kFail: errno = EIO; return -1;
    default: return real(fd, buffer, count, offset);
  }
}

ssize_t pwrite64(int fd, const void* buffer, size_t count, off64_t offset) {
  static auto real = Next<ssize_t (*)(int, const void*, size_t, off64_t)>("pwrite64");
  switch (Decide()) {
    case kStopBefore: _exit(kStopped);
    case kStopHalf: real(fd, buffer, count / 2, offset); _exit(kStopped);
    case kFail: errno = EIO; return -1;
    default: return real(fd, buffer, count, offset);
  }
}

// The vector forms stop before writing or fail; they are not torn in half.
ssize_t writev(int fd, const struct iovec* parts, int count) {
  static auto real = Next<ssize_t (*)(int, const struct iovec*, int)>("writev");
  switch (Decide()) {
    case kStopBefore:
    case kStopHalf: _exit(kStopped);
    case kFail: errno = EIO; return -1;
    default: return real(fd, parts, count);
  }
}

ssize_t pwritev(int fd, const struct iovec* parts, int count, off_t offset) {
  static auto real = Next<ssize_t (*)(int, const struct iovec*, int, off_t)>("pwritev");
  switch (Decide()) {
    case kStopBefore:
    case kStopHalf: _exit(kStopped);
    case kFail: errno = EIO; return -1;
    default: return real(fd, parts, count, offset);
  }
}

}  // extern "C"
