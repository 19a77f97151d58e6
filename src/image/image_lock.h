// Several programs on one image: readers share it, a writer holds it alone, and a program that
// finds it held waits its turn for a while before it gives up.
//
// Every open of an image through image_file.h takes its lock: ImageFileOpenRead a shared one
// (readers never refuse each other), ImageFileOpenUpdate an exclusive one. An open that finds the
// image held by another program tries again until ImageWaitMs have passed, then fails with
// kImageFileBusy. A held image may also be a change in progress: a writer keeps its lock from
// the re-read of what it changes to the end of its commit, so a journal beside an image that
// nobody holds is the journal of a writer that was stopped, and only then is it played back.
//
// A process that must keep the image from the reading of what it changes to its commit (zelvo
// plans a change and writes it without a question in between) takes a hold. While the hold is
// active, every open of the same path in this process shares the held file and its lock instead
// of taking a lock of its own (a second lock would wait for the first).
#pragma once

#include <cstdint>

#include "image/image_file.h"

// An open that gave up because another program holds the image.
inline constexpr int kImageFileBusy = -2;

// The lock is a byte-range lock on kImageLockLength bytes at kImageLockOffset: shared for a
// reader, exclusive for a writer. Linux takes it with open-file-description fcntl locks, the
// Windows build with LockFileEx (besides its share modes), and Wine turns a LockFileEx range into
// a host fcntl lock on the same bytes, so zelvo on Linux and the Windows program under Wine see
// each other. The range lies past the end of every image (images are addressed with 32-bit
// offsets) so that no read or write of an image ever meets it (Windows enforces byte-range locks
// on reads and writes). It lies below 2^63 because Wine passes on only the ranges that a signed
// 64-bit off_t can express and keeps the others to itself; past 2^31 both sides need a 64-bit
// off_t, which 64-bit Linux and Wine's server have. macOS keeps flock (it has no such locks), and
// so does not see Wine's.
inline constexpr uint64_t kImageLockOffset = uint64_t{1} << 40;
inline constexpr uint32_t kImageLockLength = 1;

// How long an open waits for an image that another program holds, in milliseconds (0: not at
// all). The Windows program and zelvo wait 10 seconds unless told otherwise (--wait).
inline constexpr unsigned kImageWaitDefaultMs = 10000;
extern unsigned ImageWaitMs;
// Called with 1 when an open starts waiting and with 0 when the wait ends (the window shows the
// wait cursor meanwhile); null: nothing is called.
extern void (*ImageWaitHook)(int waiting);

// Opens the image at `path` alone, for reading and writing when the file can be written
// (*writable says which), else for reading. 0, -1 or kImageFileBusy as ImageFileOpenUpdate.
int ImageFileOpenAlone(const char* path, ImageFile* file, bool* writable);

// Renames `from` to `to` as ImageFileRename, but only while no other program holds `to`: a
// change in progress finishes in the old file first (POSIX renames under the lock; Windows
// cannot rename over an open file and renames right after it). 0, -1 or kImageFileBusy.
int ImageFileReplace(const char* from, const char* to);

// Holds the image at `path` for this process: exclusively (for reading and, when the file allows
// it, writing) or shared. 0; kImageFileBusy after the wait; -1 when it cannot be opened (then
// nothing is held and each open fails or succeeds on its own). A hold already active is ended
// first.
int ImageHoldBegin(const char* path, bool exclusive);
void ImageHoldEnd();
// Whether the hold is active on `path`.
bool ImageHeld(const char* path);

// --- For the file backends (image_file.cpp, image_memory.cpp) ---

// How a backend opens an image: shared for reading, exclusive for reading and writing, or
// exclusive for reading only (a hold on a file that cannot be written). A descriptor that cannot
// write cannot take an exclusive fcntl lock: on Linux kOpenReadExclusive takes the shared lock
// (as Wine does for an exclusive LockFileEx on a read-only handle), which keeps every writer out
// and lets readers in: a holder that cannot write changes nothing they could see half-done.
enum ImageOpenMode { kOpenShared, kOpenUpdate, kOpenReadExclusive };
// One attempt, without waiting: 0, kImageFileBusy while another open holds a lock that conflicts,
// -1 when the file is missing, no regular file or cannot be opened.
int ImageFileTryOpen(const char* path, ImageOpenMode mode, ImageFile* file);
// A second handle of an open file that shares its lock; closing it keeps the lock. 0 or -1.
int ImageFileDuplicate(ImageFile* from, ImageFile* to);
// A monotonic clock in milliseconds, and a pause of about `ms` of it.
uint64_t ImageFileClockMs();
void ImageFileNap(unsigned ms);
