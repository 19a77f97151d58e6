// The changes committed to the current image, kept for undo and redo: each change's regions with
// their bytes before and after it, in fixed storage (the oldest changes go when it is full).
#pragma once

#include <cstdint>

#include "image/image_target.h"
#include "image/journal.h"
#include "texts/outcome.h"

inline constexpr long kChangeHistoryBytes = 2L * 1024 * 1024;
inline constexpr int kChangeHistoryChanges = 64;

// A change in the pool: its region table (offset, length: 4 bytes each), then the bytes of every
// region before the change, then after it, both in table order.
struct HistoryChange {
  long start;
  long bytes;
  int count;
  long regionBytes;  // the sum of the region lengths
};

// The changes of one open image. Zero-filled (or ChangeHistoryClear) before its first use; a change
// records into it when its ImageChange points at it.
struct ChangeHistory {
  int changeCount;  // changes recorded, oldest first
  int applied;      // changes 0 to applied - 1 are in the image; the rest were undone
  bool paused;
  HistoryChange changes[kChangeHistoryChanges];
  uint8_t pool[kChangeHistoryBytes];
};

// Forgets every change (another image opened, the convention switched).
void ChangeHistoryClear(ChangeHistory* history);
bool ChangeHistoryCanUndo(const ChangeHistory* history);
bool ChangeHistoryCanRedo(const ChangeHistory* history);

// Called by the journal after each commit: `before` and `after` hold the regions' bytes in
// table order. A new change drops the changes that could be redone. A commit of an undo or redo
// step is not recorded again.
void ChangeHistoryRecord(ChangeHistory* history, const ImageRegion* regions, int count,
                         const uint8_t* before, const uint8_t* after, int64_t sizeBefore,
                         int64_t sizeAfter);

// While paused, commits are not recorded: a change of another image than the history's (a copy
// into another file) is no step of this image's history.
void ChangeHistoryPause(ChangeHistory* history, bool paused);

// Undoes the last change (undo true) or redoes the last undone one on the target's image (the
// image the history of the target's change belongs to), as a journalled change of its own. First
// checks that the image still holds exactly the bytes that change left (undo) or that its undo left
// (redo); when it does not, nothing is written, the history is dropped and a message says so. 0; -1
// with the message in the outcome (also when the image could not be written).
int StepChangeHistory(Outcome* out, const ImageTarget* target, bool undo);
