#include "image/change_history.h"

#include <cstring>

#include "texts/texts.h"

namespace {

constexpr long kPoolBytes = 2L * 1024 * 1024;
constexpr int kMaxChanges = 64;
constexpr long kTableEntryBytes = 8;

// A change in the pool: its region table (offset, length: 4 bytes each), then the bytes of every
// region before the change, then after it, both in table order.
struct Change {
  long start;
  long bytes;
  int count;
  long regionBytes;  // the sum of the region lengths
};

uint8_t Pool[kPoolBytes];
Change Changes[kMaxChanges];
int ChangeCount = 0;  // changes recorded, oldest first
int Applied = 0;      // changes 0 to Applied - 1 are in the image; the rest were undone
bool Stepping = false;

uint32_t Get32(const uint8_t* p) {
  return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
void Put32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; i++) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

long PoolUsed() {
  return ChangeCount == 0 ? 0 : Changes[ChangeCount - 1].start + Changes[ChangeCount - 1].bytes;
}

void DropOldest() {
  const long gone = Changes[0].bytes;
  std::memmove(Pool, Pool + gone, static_cast<size_t>(PoolUsed() - gone));
  for (int i = 1; i < ChangeCount; i++) {
    Changes[i - 1] = Changes[i];
    Changes[i - 1].start -= gone;
  }
  ChangeCount--;
  if (Applied > 0) Applied--;
}

}  // namespace

void ChangeHistoryClear() {
  ChangeCount = 0;
  Applied = 0;
}

void ChangeHistoryPause(bool paused) { Stepping = paused; }

bool ChangeHistoryCanUndo() { return Applied > 0; }

bool ChangeHistoryCanRedo() { return Applied < ChangeCount; }

void ChangeHistoryRecord(const ImageRegion* regions, int count, const uint8_t* before,
                         const uint8_t* after, int64_t, int64_t) {
  if (Stepping) return;
  ChangeCount = Applied;  // a new change ends what could be redone
  long regionBytes = 0;
  for (int i = 0; i < count; i++) regionBytes += regions[i].length;
  const long need = count * kTableEntryBytes + 2 * regionBytes;
  if (need > kPoolBytes) {
    // Too big to keep: the older changes lie under it and cannot be undone either.
    ChangeHistoryClear();
    return;
  }
  while (ChangeCount == kMaxChanges || PoolUsed() + need > kPoolBytes) DropOldest();
  Change& change = Changes[ChangeCount];
  change = Change{PoolUsed(), need, count, regionBytes};
  uint8_t* p = Pool + change.start;
  for (int i = 0; i < count; i++, p += kTableEntryBytes) {
    Put32(p, regions[i].offset);
    Put32(p + 4, regions[i].length);
  }
  std::memcpy(p, before, static_cast<size_t>(regionBytes));
  std::memcpy(p + regionBytes, after, static_cast<size_t>(regionBytes));
  ChangeCount++;
  Applied = ChangeCount;
}

int StepChangeHistory(Outcome* out, const ImageTarget* target, bool undo) {
  if (undo ? !ChangeHistoryCanUndo() : !ChangeHistoryCanRedo()) return -1;
  const Change& change = Changes[undo ? Applied - 1 : Applied];
  const uint8_t* table = Pool + change.start;
  const uint8_t* beforeBytes = table + change.count * kTableEntryBytes;
  const uint8_t* afterBytes = beforeBytes + change.regionBytes;
  const uint8_t* expected = undo ? afterBytes : beforeBytes;
  const uint8_t* wanted = undo ? beforeBytes : afterBytes;

  if (BeginImageChange(out, target) != 0) return -1;
  // The image must still hold exactly what the step takes away.
  long at = 0;
  for (int i = 0; i < change.count; i++) {
    const uint32_t offset = Get32(table + i * kTableEntryBytes);
    const uint32_t length = Get32(table + i * kTableEntryBytes + 4);
    uint8_t now[kImageRegionMax];
    unsigned got = 0;
    if (ImageChangeReadAt(offset, now, length, &got) != 0) {
      ImageAbortChange();
      SayText(out, kCaptionRead, kMsgReadFailed, kMsgReadFailed);
      return -1;
    }
    if (std::memcmp(now, expected + at, length) != 0) {
      ImageAbortChange();
      ChangeHistoryClear();
      SayText(out, undo ? kCaptionUndo : kCaptionRedo,
              undo ? kMsgUndoImageChanged : kMsgRedoImageChanged,
              undo ? kMsgUndoImageChanged : kMsgRedoImageChanged);
      return -1;
    }
    if (ImageChangeQueue(offset, wanted + at, length) != 0) {
      ImageAbortChange();
      SayText(out, kCaptionWrite, kMsgWriteFailed, kMsgWriteFailed);
      return -1;
    }
    at += length;
  }
  Stepping = true;
  const int result = CommitImageChange(out);
  Stepping = false;
  if (result == 0) Applied += undo ? -1 : 1;
  return result;
}
