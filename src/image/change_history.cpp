#include "image/change_history.h"

#include <cstring>

#include "texts/texts.h"

namespace {

constexpr long kPoolBytes = kChangeHistoryBytes;
constexpr int kMaxChanges = kChangeHistoryChanges;
constexpr long kTableEntryBytes = 8;

uint32_t Get32(const uint8_t* p) {
  return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
void Put32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; i++) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

long PoolUsed(const ChangeHistory* h) {
  return h->changeCount == 0
             ? 0
             : h->changes[h->changeCount - 1].start + h->changes[h->changeCount - 1].bytes;
}

void DropOldest(ChangeHistory* h) {
  const long gone = h->changes[0].bytes;
  std::memmove(h->pool, h->pool + gone, static_cast<size_t>(PoolUsed(h) - gone));
  for (int i = 1; i < h->changeCount; i++) {
    h->changes[i - 1] = h->changes[i];
    h->changes[i - 1].start -= gone;
  }
  h->changeCount--;
  if (h->applied > 0) h->applied--;
}

}  // namespace

void ChangeHistoryClear(ChangeHistory* h) {
  h->changeCount = 0;
  h->applied = 0;
}

void ChangeHistoryPause(ChangeHistory* h, bool paused) { h->paused = paused; }

bool ChangeHistoryCanUndo(const ChangeHistory* h) { return h && h->applied > 0; }

bool ChangeHistoryCanRedo(const ChangeHistory* h) { return h && h->applied < h->changeCount; }

void ChangeHistoryRecord(ChangeHistory* h, const ImageRegion* regions, int count,
                         const uint8_t* before, const uint8_t* after, int64_t, int64_t) {
  if (h->paused) return;
  h->changeCount = h->applied;  // a new change ends what could be redone
  long regionBytes = 0;
  for (int i = 0; i < count; i++) regionBytes += regions[i].length;
  const long need = count * kTableEntryBytes + 2 * regionBytes;
  if (need > kPoolBytes) {
    // Too big to keep: the older changes lie under it and cannot be undone either.
    ChangeHistoryClear(h);
    return;
  }
  while (h->changeCount == kMaxChanges || PoolUsed(h) + need > kPoolBytes) DropOldest(h);
  HistoryChange& change = h->changes[h->changeCount];
  change = HistoryChange{PoolUsed(h), need, count, regionBytes};
  uint8_t* p = h->pool + change.start;
  for (int i = 0; i < count; i++, p += kTableEntryBytes) {
    Put32(p, regions[i].offset);
    Put32(p + 4, regions[i].length);
  }
  std::memcpy(p, before, static_cast<size_t>(regionBytes));
  std::memcpy(p + regionBytes, after, static_cast<size_t>(regionBytes));
  h->changeCount++;
  h->applied = h->changeCount;
}

int StepChangeHistory(Outcome* out, const ImageTarget* target, bool undo) {
  ImageChange* step = target->change;
  ChangeHistory* h = step ? step->history : nullptr;
  if (undo ? !ChangeHistoryCanUndo(h) : !ChangeHistoryCanRedo(h)) return -1;
  const HistoryChange& change = h->changes[undo ? h->applied - 1 : h->applied];
  const uint8_t* table = h->pool + change.start;
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
    if (ImageChangeReadAt(step, offset, now, length, &got) != 0) {
      ImageAbortChange(step);
      SayText(out, kCaptionRead, kMsgReadFailed, kMsgReadFailed);
      return -1;
    }
    if (std::memcmp(now, expected + at, length) != 0) {
      ImageAbortChange(step);
      ChangeHistoryClear(h);
      SayText(out, undo ? kCaptionUndo : kCaptionRedo,
              undo ? kMsgUndoImageChanged : kMsgRedoImageChanged,
              undo ? kMsgUndoImageChanged : kMsgRedoImageChanged);
      return -1;
    }
    if (ImageChangeQueue(step, offset, wanted + at, length) != 0) {
      ImageAbortChange(step);
      SayText(out, kCaptionWrite, kMsgWriteFailed, kMsgWriteFailed);
      return -1;
    }
    at += length;
  }
  h->paused = true;
  const int result = CommitImageChange(out, step);
  h->paused = false;
  if (result == 0) h->applied += undo ? -1 : 1;
  return result;
}
