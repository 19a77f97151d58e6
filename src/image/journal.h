// Every change to an image is one transaction: all of it reaches the image or none of it does.
//
//   if (BeginImageChange(&out, &target) != 0) return;  // refused, the outcome says why
//   QueueSectorRun(&target, ...); ...  // the change's writes, in the order they matter
//   if (CommitImageChange(&out) != 0) return;  // failed and rolled back, the outcome says why
//
// ImageAbortChange() drops a transaction that has been begun (a check failed, the user said
// No): the image is left exactly as it was. A sector write of the window's flows outside a
// transaction is a transaction of its own.
//
// The rollback journal beside the image (`<image>-journal`) holds the original bytes of every
// region the change writes; it is flushed before the image is touched and deleted after the image
// is flushed. Opening an image first plays back a complete journal left by an interrupted change.
#pragma once

#include <cstdint>

#include "image/image_target.h"
#include "texts/outcome.h"

// Starts a change to the target's image: refused when its disk is write-protected, when a journal
// stands beside it, or when it cannot be opened for update. 0, or -1 with the message in the
// outcome.
int BeginImageChange(Outcome* out, const ImageTarget* target);
// -1 with the message in the outcome when the target's disk is write-protected; 0 otherwise.
int RefuseIfProtected(Outcome* out, const ImageTarget* target);
// Makes the writes of the change reach the image, all of them or none. 0, or -1 with the message in
// the outcome.
int CommitImageChange(Outcome* out);
// How many changes this process has made to the image at `path` so far (commits and recoveries).
// Paths are compared as given; the count of an image whose record was given up for newer ones
// (more than 16 images changed) starts again from a number no earlier count had.
unsigned ImageCommitCount(const char* path);
// Forgets a begun change without writing anything.
void ImageAbortChange();
// Whether a change has been begun and not yet committed or aborted.
bool ImageChangeActive();

// Looks for the journal of the image at `path` before it is read: a complete journal that belongs
// to the image is played back (the user is told once), an incomplete one is deleted. 0 when the
// image can be read (whatever was found), -1 with the message in the outcome when it cannot.
int RecoverImageJournal(Outcome* out, const char* path);

// --- For the sector transfers and the change history ---

struct ImageFile;
// A stretch of the image file that a change writes.
struct ImageRegion {
  uint32_t offset;
  uint32_t length;
};
// The image held open by the change in progress, or null outside a change.
ImageFile* ImageChangeFile();
// Size of the image as the change will leave it (the queued writes may lengthen a flat image).
int64_t ImageChangeSize();
// Reads `count` bytes at `offset` of the image as the change will leave it: the held file under
// the queued writes. *got as ImageFileReadAt; 0, or -1 on a read error.
int ImageChangeReadAt(uint32_t offset, uint8_t* buffer, unsigned count, unsigned* got);
// Queues `count` bytes (at most kImageRegionMax) for `offset`; a later write of the same region
// replaces the queued bytes. 0, or -1 when the change has no room left (nothing is shown).
int ImageChangeQueue(uint32_t offset, const uint8_t* bytes, unsigned count);

// The largest region a change writes (a D88 sector record), how many regions one change holds and
// how many bytes they hold together: every sector of a volume rewritten in an HFE file (its data
// fields in three pieces each) or an IMD file rewritten from its start, with room to spare.
inline constexpr unsigned kImageRegionMax = 272;
inline constexpr int kImageChangeRegions = 6144;
inline constexpr unsigned kImageChangeBytes = 1024 * 1024;

// The journal file's name: the image's path with "-journal" appended. -1 when it does not fit.
int ImageJournalPath(const char* imagePath, char* journalPath, int capacity);

// Test hook: the n-th write of a journal file, and the n-th write that puts an image back from
// its journal (rollback or recovery), fail without writing; the counters count every call.
struct JournalFault {
  int failJournalWriteAt;
  int journalWrites;
  int failRestoreWriteAt;
  int restoreWrites;
};
extern JournalFault JournalFaults;
