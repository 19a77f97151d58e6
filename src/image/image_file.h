// Access to an image file: the few file operations the sector transfers need. Readers share an
// image and a writer holds it alone (image_lock.h): POSIX open(2) plus a record lock on the lock
// range (flock on macOS), Windows CreateFile with share mode FILE_SHARE_READ for reading and 0
// for writing plus LockFileEx on the same range.
#pragma once

#include <cstdint>

#include "image/image_basics.h"

struct ImageFile {
  intptr_t handle;  // file descriptor or HANDLE; -1 when closed
};

// Opens an existing image for reading (never creates it), sharing it with other readers. 0 on
// success, -1 when the file is missing or cannot be opened, kImageFileBusy (image_lock.h) when
// another program still held it after the wait.
int ImageFileOpenRead(const char* path, ImageFile* file);
// Opens an existing image for reading and writing, alone. 0, -1 or kImageFileBusy as above.
int ImageFileOpenUpdate(const char* path, ImageFile* file);
// Size of the open file in bytes, or -1.
int64_t ImageFileSize(ImageFile* file);
// Reads up to `count` bytes at `offset`; *got receives the number read (fewer at the end of the
// file). 0 on success, -1 on a read error.
int ImageFileReadAt(ImageFile* file, uint32_t offset, void* buffer, unsigned count, unsigned* got);
// Writes `count` bytes at `offset`. 0 on success, -1 on a write error.
int ImageFileWriteAt(ImageFile* file, uint32_t offset, const void* buffer, unsigned count);
void ImageFileClose(ImageFile* file);

// The code page of every path the core is given (images, host files, the executable's path).
// 0, the default, is the system's multi-byte code page of the Windows program: the path splitter
// of image_select.h steps over double-byte characters of code page 932, and these functions use
// the A functions of Windows. The zelvo tool works in UTF-8 on every system and sets 65001: no
// byte of a multi-byte UTF-8 character is a separator or a dot, so the splitter walks byte by
// byte, and on Windows the paths are opened through the wide API, whatever the system's code
// pages (a path that is not valid UTF-8 opens nothing).
extern unsigned PathCodePage;
inline constexpr unsigned kPathCodePageUtf8 = 65001;

// The few further operations that transactions and new images need (the rollback journal is a
// file beside the image; a new image is written under a temporary name, then renamed).
// Creates a new file for reading and writing, held exclusively; fails when the path exists. 0/-1.
int ImageFileCreate(const char* path, ImageFile* file);
// Flushes the file's data to the disk (fsync; FlushFileBuffers on Windows). 0 or -1.
int ImageFileSync(ImageFile* file);
// Deletes the file at `path`. 0, or -1 when it exists and cannot be deleted.
int ImageFileRemove(const char* path);
// 1 when a file exists at `path`, 0 when nothing does, -1 when it cannot be told.
int ImageFileExists(const char* path);
// A name beside `path` that no file has yet ("<path>.new", "<path>.new1", ...), for a file
// written whole and then renamed into place. 0, or -1 when none is free or it would be too long.
int ImageFileTemporaryName(const char* path, char temp[kPathCapacity]);
// Renames `from` to `to`, replacing `to` when it exists. 0 or -1.
int ImageFileRename(const char* from, const char* to);
// Cuts the open file to `size` bytes (never lengthens it). 0 or -1.
int ImageFileTruncate(ImageFile* file, int64_t size);
// Makes a created or deleted name in the folder of `path` durable (POSIX: fsync of the folder;
// Windows has nothing to do). 0 or -1.
int ImageFileSyncFolder(const char* path);
// ImageFileWriteAt outside the test hook's count: the journal's own writes and the writes that
// put an image back from its journal.
int ImageFileWriteAtUncounted(ImageFile* file, uint32_t offset, const void* buffer, unsigned count);

// Test hook: when failWriteAt is n > 0, the n-th ImageFileWriteAt call counted from the last
// reset fails without writing anything. writesDone counts every call.
struct ImageWriteFault {
  int failWriteAt;
  int writesDone;
};
extern ImageWriteFault ImageWriteFaults;
// The same for reads: the n-th ImageFileReadAt call fails, and so does every read of the byte at
// offset failReadCovering when that is above 0 (whatever reads it, however large).
struct ImageReadFault {
  int failReadAt;
  int readsDone;
  int64_t failReadCovering;
};
extern ImageReadFault ImageReadFaults;
