// Every change to an image is one transaction: all of it reaches the image or none of it does.
//
//   if (BeginImageChange(&out, &target) != 0) return;  // refused, the outcome says why
//   QueueSectorRun(&target, ...); ...  // the change's writes, in the order they matter
//   if (CommitImageChange(&out, target.change) != 0) return;  // failed and rolled back
//
// The change in progress lives in an ImageChange that the target points at (the record of the
// open image holds one); any number of them may exist in one process, each changing its own image.
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

struct ChangeHistory;

// The largest region a change writes (a D88 sector record), how many regions one change holds and
// how many bytes they hold together: every sector of a volume rewritten in an HFE file (its data
// fields in three pieces each) or an IMD file rewritten from its start, with room to spare.
inline constexpr unsigned kImageRegionMax = 272;
inline constexpr int kImageChangeRegions = 6144;
inline constexpr unsigned kImageChangeBytes = 1024 * 1024;
// The largest journal file: header, region table, the original bytes and the trailer.
inline constexpr long kImageJournalCapacity =
    32 + kImageChangeRegions * 8L + kImageChangeBytes + 4 + 8;

// A stretch of the image file that a change writes.
struct ImageRegion {
  uint32_t offset;
  uint32_t length;
};

// Test hook: the n-th write of a journal file, and the n-th write that puts an image back from
// its journal (rollback or recovery), fail without writing; the counters count every call.
struct JournalFault {
  int failJournalWriteAt;
  int journalWrites;
  int failRestoreWriteAt;
  int restoreWrites;
};

// One image's change in progress and the work areas of its commit. Zero-filled (ImageChangeInit)
// before its first use.
struct ImageChange {
  bool active;
  char heldPath[kPathCapacity];
  ImageFile held;  // the image, held alone from the begin to the end of the commit
  int64_t heldSize;
  int queueCount;
  uint32_t queueUsed;
  // Changes made through this record so far (commits and recoveries): a volume read notes it, so
  // that a change planned before this record's own later change is not taken for another
  // program's.
  unsigned commits;
  ChangeHistory* history;  // where each commit is recorded for undo; null: nowhere
  JournalFault faults;     // test hook, all zero in the programs
  // The convention guard (convention_guard.h): the disk whose recording convention it found right
  // just before this change began (its begin then skips a second identification), and whether
  // changes may be written under either convention (zelvo --any-convention).
  ImageTarget conventionPassed;
  bool conventionChecked;
  bool anyConvention;
  ImageRegion queue[kImageChangeRegions];
  uint32_t queueAt[kImageChangeRegions];  // where each region's bytes lie in queueBytes
  uint8_t queueBytes[kImageChangeBytes];
  uint8_t journal[kImageJournalCapacity];  // the journal as written, or as read back for recovery
};

// Makes `change` ready for use (nothing in progress, no commits, no history).
void ImageChangeInit(ImageChange* change);

// Starts a change to the target's image: refused when its disk is write-protected, when a journal
// stands beside it, or when it cannot be opened for update. 0, or -1 with the message in the
// outcome.
int BeginImageChange(Outcome* out, const ImageTarget* target);
// -1 with the message in the outcome when the target's disk is write-protected; 0 otherwise.
int RefuseIfProtected(Outcome* out, const ImageTarget* target);
// Makes the writes of the change reach the image, all of them or none. 0, or -1 with the message in
// the outcome. Nothing begun: 0.
int CommitImageChange(Outcome* out, ImageChange* change);
// Forgets a begun change without writing anything.
void ImageAbortChange(ImageChange* change);
// Whether a change has been begun on `change` and not yet committed or aborted (false for null).
bool ImageChangeActive(const ImageChange* change);

// Looks for the journal of the target's image before it is read: a complete journal that belongs
// to the image is played back (the user is told once), an incomplete one is deleted. 0 when the
// image can be read (whatever was found), -1 with the message in the outcome when it cannot. The
// journal is read into the target's change (nothing is done while that change is in progress or
// when the target has none).
int RecoverImageJournal(Outcome* out, const ImageTarget* target);

// --- For the sector transfers and the change history ---

// The image held open by the change in progress, or null outside a change.
ImageFile* ImageChangeFile(ImageChange* change);
// Size of the image as the change will leave it (the queued writes may lengthen a flat image).
int64_t ImageChangeSize(const ImageChange* change);
// Reads `count` bytes at `offset` of the image as the change will leave it: the held file under
// the queued writes. *got as ImageFileReadAt; 0, or -1 on a read error.
int ImageChangeReadAt(const ImageChange* change, uint32_t offset, uint8_t* buffer, unsigned count,
                      unsigned* got);
// Queues `count` bytes (at most kImageRegionMax) for `offset`; a later write of the same region
// replaces the queued bytes. 0, or -1 when the change has no room left (nothing is shown).
int ImageChangeQueue(ImageChange* change, uint32_t offset, const uint8_t* bytes, unsigned count);

// The journal file's name: the image's path with "-journal" appended. -1 when it does not fit.
int ImageJournalPath(const char* imagePath, char* journalPath, int capacity);
