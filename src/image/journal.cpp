// The rollback journal: every change to an image is one transaction.
//
// The writes of a change are queued (file offset and bytes: whole 272-byte records of a D88
// image, 256-byte sectors of a flat one). The commit reads the original bytes of every queued
// region, writes them into the journal file beside the image, syncs it, writes the queued
// regions into the image in queue order, syncs the image and deletes the journal. A failed image
// write puts the original bytes back at once; a process stopped on the way leaves the journal,
// and the next open plays it back.
//
// Journal file `<image>-journal`, all numbers little-endian:
//   0   8   magic "ZLVJRNL" and a zero byte
//   8   4   version, 1
//   12  8   size of the image before the change
//   20  8   size of the image after the change (larger only when a flat image grows)
//   28  4   n, the number of regions (1 to 1408)
//   32  8n  region table: file offset (4 bytes), length (4 bytes, 1 to 272)
//   ..      the original bytes of every region in table order (zero beyond the old end)
//   ..  4   CRC-32 of everything before it
//   ..  8   commit mark "COMMIT!" and a line feed, written last
// A journal is complete when the commit mark follows a matching checksum; only a complete journal
// ever stood beside an image that was being written.
#include "image/journal.h"

#include <cstring>

#include "image/change_history.h"
#include "image/container.h"
#include "image/image_file.h"
#include "image/image_lock.h"
#include "texts/texts.h"

namespace {

constexpr uint8_t kMagic[8] = {'Z', 'L', 'V', 'J', 'R', 'N', 'L', 0};
constexpr uint32_t kVersion = 1;
constexpr uint8_t kMark[8] = {'C', 'O', 'M', 'M', 'I', 'T', '!', '\n'};
constexpr long kHeaderBytes = 32;
constexpr long kTableEntryBytes = 8;
constexpr long kTrailerBytes = 4 + 8;
constexpr long kJournalCapacity = kImageJournalCapacity;
static_assert(kJournalCapacity == kHeaderBytes + kImageChangeRegions * kTableEntryBytes +
                                      kImageChangeBytes + kTrailerBytes);
constexpr int kJournalPathCapacity = kPathCapacity + 16;

struct Crc32Table {
  uint32_t entry[256];
  constexpr Crc32Table() : entry() {
    for (uint32_t n = 0; n < 256; n++) {
      uint32_t c = n;
      for (int k = 0; k < 8; k++) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      entry[n] = c;
    }
  }
};
constexpr Crc32Table kCrc;

uint32_t Crc32(const uint8_t* data, long size) {
  uint32_t c = 0xFFFFFFFFu;
  for (long i = 0; i < size; i++) c = kCrc.entry[(c ^ data[i]) & 0xFF] ^ (c >> 8);
  return c ^ 0xFFFFFFFFu;
}

void Put32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; i++) p[i] = static_cast<uint8_t>(v >> (8 * i));
}
void Put64(uint8_t* p, uint64_t v) {
  for (int i = 0; i < 8; i++) p[i] = static_cast<uint8_t>(v >> (8 * i));
}
uint32_t Get32(const uint8_t* p) {
  return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
uint64_t Get64(const uint8_t* p) { return Get32(p) | (static_cast<uint64_t>(Get32(p + 4)) << 32); }

// A journal taken apart.
struct JournalView {
  int64_t sizeBefore;
  int64_t sizeAfter;
  int count;
  const uint8_t* table;
  const uint8_t* data;
};

enum JournalKind { kIncomplete, kComplete, kOtherVersion };

// What the bytes of a journal file are. A complete journal also fills `view`.
JournalKind ParseJournal(const uint8_t* bytes, long size, JournalView* view) {
  if (size < kHeaderBytes + kTrailerBytes || std::memcmp(bytes, kMagic, sizeof kMagic) != 0)
    return kIncomplete;
  if (Get32(bytes + 8) != kVersion) return kOtherVersion;
  const uint64_t before = Get64(bytes + 12);
  const uint64_t after = Get64(bytes + 20);
  const uint32_t count = Get32(bytes + 28);
  if (before > after || after > 0xFFFFFFFFull || count == 0 || count > kImageChangeRegions)
    return kIncomplete;
  long expected = kHeaderBytes + static_cast<long>(count) * kTableEntryBytes + kTrailerBytes;
  if (expected > size) return kIncomplete;
  const uint8_t* table = bytes + kHeaderBytes;
  for (uint32_t i = 0; i < count; i++) {
    const uint64_t offset = Get32(table + i * kTableEntryBytes);
    const uint32_t length = Get32(table + i * kTableEntryBytes + 4);
    if (length == 0 || length > kImageRegionMax || offset + length > after) return kIncomplete;
    expected += length;
  }
  if (expected != size) return kIncomplete;
  const long body = size - kTrailerBytes;
  if (Get32(bytes + body) != Crc32(bytes, body) ||
      std::memcmp(bytes + body + 4, kMark, sizeof kMark) != 0)
    return kIncomplete;
  *view = JournalView{static_cast<int64_t>(before), static_cast<int64_t>(after),
                      static_cast<int>(count), table,
                      table + static_cast<long>(count) * kTableEntryBytes};
  return kComplete;
}

int RestoreWrite(JournalFault* faults, ImageFile* image, uint32_t offset, const uint8_t* bytes,
                 unsigned count) {
  faults->restoreWrites++;
  if (faults->failRestoreWriteAt > 0 && faults->restoreWrites == faults->failRestoreWriteAt)
    return -1;
  return ImageFileWriteAtUncounted(image, offset, bytes, count);
}

// Writes the original bytes of a journal back into the image, cuts what the change added and
// syncs. Playing a journal back twice gives the same image. 0 or -1.
int PlayBack(JournalFault* faults, ImageFile* image, const JournalView& view) {
  const uint8_t* data = view.data;
  for (int i = 0; i < view.count; i++) {
    const uint32_t offset = Get32(view.table + i * kTableEntryBytes);
    const uint32_t length = Get32(view.table + i * kTableEntryBytes + 4);
    // Bytes beyond the old end of the file did not exist: the cut below removes them.
    if (offset < view.sizeBefore) {
      const int64_t kept = view.sizeBefore - offset;
      const unsigned n = kept < length ? static_cast<unsigned>(kept) : length;
      if (RestoreWrite(faults, image, offset, data, n) != 0) return -1;
    }
    data += length;
  }
  if (ImageFileTruncate(image, view.sizeBefore) != 0) return -1;
  return ImageFileSync(image);
}

int JournalWrite(JournalFault* faults, ImageFile* journal, uint32_t offset, const uint8_t* bytes,
                 unsigned count) {
  faults->journalWrites++;
  if (faults->failJournalWriteAt > 0 && faults->journalWrites == faults->failJournalWriteAt)
    return -1;
  return ImageFileWriteAtUncounted(journal, offset, bytes, count);
}

// Creates the journal file with `size` bytes of the change's journal, the commit mark last, and
// makes it durable. On failure nothing is left behind. 0 or -1.
int WriteJournalFile(ImageChange* change, const char* path, long size) {
  ImageFile journal;
  if (ImageFileCreate(path, &journal) != 0) return -1;
  const long body = size - static_cast<long>(sizeof kMark);
  int result =
      JournalWrite(&change->faults, &journal, 0, change->journal, static_cast<unsigned>(body));
  if (result == 0)
    result = JournalWrite(&change->faults, &journal, static_cast<uint32_t>(body),
                          change->journal + body, sizeof kMark);
  if (result == 0) result = ImageFileSync(&journal);
  ImageFileClose(&journal);
  if (result == 0) result = ImageFileSyncFolder(path);
  if (result != 0) ImageFileRemove(path);
  return result;
}

void Release(ImageChange* change) {
  ImageFileClose(&change->held);
  change->active = false;
  change->queueCount = 0;
  change->queueUsed = 0;
}

void ShowJournalMessage(Outcome* out, const char* text, const char* caption) {
  SayText(out, caption, text, text);
}

// Puts the image back from the journal of the failed commit; the journal goes only when that
// worked. Then the write's failure is shown.
int RollBack(Outcome* out, ImageChange* change, const char* journalPath, const JournalView& view) {
  if (PlayBack(&change->faults, &change->held, view) == 0) ImageFileRemove(journalPath);
  Release(change);
  SayText(out, kCaptionWrite, kMsgWriteFailed, kMsgWriteFailed);
  return -1;
}

}  // namespace

int ImageJournalPath(const char* imagePath, char* journalPath, int capacity) {
  static constexpr char kSuffix[] = "-journal";
  const size_t length = strnlen(imagePath, kPathCapacity);
  if (length >= static_cast<size_t>(kPathCapacity) ||
      length + sizeof kSuffix > static_cast<size_t>(capacity))
    return -1;
  std::memcpy(journalPath, imagePath, length);
  std::memcpy(journalPath + length, kSuffix, sizeof kSuffix);
  return 0;
}

int RefuseIfProtected(Outcome* out, const ImageTarget* target) {
  if (ImageWriteProtected(target)) {
    SayText(out, kCaptionError, kMsgWriteProtected, kMsgWriteProtected);
    return -1;
  }
  // A container of decoded tracks that cannot write a sector in place is converted to be changed.
  if (target->kind && target->kind->decoded && !target->kind->queueSector) {
    const char* text =
        target->kind->readOnlyText ? target->kind->readOnlyText : kMsgDecodedReadOnly;
    SayText(out, kCaptionError, text, text);
    return -1;
  }
  return 0;
}

void ImageChangeInit(ImageChange* change) {
  change->active = false;
  change->heldPath[0] = 0;
  change->held.handle = -1;
  change->heldSize = 0;
  change->queueCount = 0;
  change->queueUsed = 0;
  change->commits = 0;
  change->history = nullptr;
  change->faults = JournalFault{};
  change->conventionChecked = false;
  change->anyConvention = false;
}

int BeginImageChange(Outcome* out, const ImageTarget* target) {
  ImageChange* change = target->change;
  if (!change) {
    SayText(out, kCaptionWrite, kMsgWriteOpenFailed, kMsgWriteOpenFailed);
    return -1;
  }
  if (change->active) ImageAbortChange(change);
  // A write-protected disk is never written: refused before anything else.
  if (RefuseIfProtected(out, target) != 0) return -1;
  char journalPath[kJournalPathCapacity];
  const bool fits = ImageJournalPath(target->path, journalPath, sizeof journalPath) == 0;
  const int journal = fits ? ImageFileExists(journalPath) : -1;
  if (journal == -1) {
    ShowJournalMessage(out, kMsgJournalBlocksWrite, kCaptionError);
    return -1;
  }
  // The image is held alone from here to the end of the commit; a journal seen before may be
  // that of another program's change, which the wait lets finish.
  const int opened = ImageFileOpenUpdate(target->path, &change->held);
  if (opened == kImageFileBusy) {
    SayText(out, kCaptionWrite, kMsgWriteOpenBusy, kMsgWriteOpenBusy);
    return -1;
  }
  // A journal that stands beside the held image belongs to a change that recovery could not
  // settle.
  if (opened == 0 && ImageFileExists(journalPath) != 0) {
    ImageFileClose(&change->held);
    ShowJournalMessage(out, kMsgJournalBlocksWrite, kCaptionError);
    return -1;
  }
  if (opened != 0) {
    if (journal == 1)
      ShowJournalMessage(out, kMsgJournalBlocksWrite, kCaptionError);
    else
      SayText(out, kCaptionWrite, kMsgWriteOpenFailed, kMsgWriteOpenFailed);
    return -1;
  }
  change->heldSize = ImageFileSize(&change->held);
  if (change->heldSize < 0 || change->heldSize > 0xFFFFFFFFll) {
    ImageFileClose(&change->held);
    SayText(out, kCaptionWrite, kMsgWriteOpenFailed, kMsgWriteOpenFailed);
    return -1;
  }
  std::memcpy(change->heldPath, target->path, sizeof change->heldPath);
  change->active = true;
  change->queueCount = 0;
  change->queueUsed = 0;
  return 0;
}

void ImageAbortChange(ImageChange* change) {
  if (change && change->active) Release(change);
}

bool ImageChangeActive(const ImageChange* change) { return change && change->active; }

ImageFile* ImageChangeFile(ImageChange* change) {
  return change && change->active ? &change->held : nullptr;
}

int64_t ImageChangeSize(const ImageChange* change) {
  int64_t size = change->heldSize;
  for (int i = 0; i < change->queueCount; i++) {
    const int64_t end = static_cast<int64_t>(change->queue[i].offset) + change->queue[i].length;
    if (end > size) size = end;
  }
  return size;
}

int ImageChangeReadAt(const ImageChange* change, uint32_t offset, uint8_t* buffer, unsigned count,
                      unsigned* got) {
  *got = 0;
  if (!change->active) return -1;
  unsigned fileGot = 0;
  ImageFile held = change->held;
  if (ImageFileReadAt(&held, offset, buffer, count, &fileGot) != 0) return -1;
  std::memset(buffer + fileGot, 0, count - fileGot);
  uint64_t end = offset + static_cast<uint64_t>(fileGot);
  const uint64_t from = offset;
  const uint64_t to = from + count;
  for (int i = 0; i < change->queueCount; i++) {
    const ImageRegion& region = change->queue[i];
    const uint64_t begin = region.offset > from ? region.offset : from;
    const uint64_t stop = region.offset + region.length < to ? region.offset + region.length : to;
    if (begin >= stop) continue;
    std::memcpy(buffer + (begin - from),
                change->queueBytes + change->queueAt[i] + (begin - region.offset),
                static_cast<size_t>(stop - begin));
    if (stop > end) end = stop;
  }
  *got = static_cast<unsigned>(end - from);
  return 0;
}

int ImageChangeQueue(ImageChange* change, uint32_t offset, const uint8_t* bytes, unsigned count) {
  if (!change || !change->active || count == 0 || count > kImageRegionMax ||
      static_cast<uint64_t>(offset) + count > 0xFFFFFFFFull)
    return -1;
  for (int i = 0; i < change->queueCount; i++) {
    if (change->queue[i].offset == offset && change->queue[i].length == count) {
      std::memcpy(change->queueBytes + change->queueAt[i], bytes, count);
      return 0;
    }
  }
  if (change->queueCount == kImageChangeRegions || change->queueUsed + count > kImageChangeBytes)
    return -1;
  change->queue[change->queueCount] = ImageRegion{offset, count};
  change->queueAt[change->queueCount] = change->queueUsed;
  std::memcpy(change->queueBytes + change->queueUsed, bytes, count);
  change->queueUsed += count;
  change->queueCount++;
  return 0;
}

int CommitImageChange(Outcome* out, ImageChange* change) {
  if (!change || !change->active) return 0;
  const int count = change->queueCount;
  if (count == 0) {
    Release(change);
    return 0;
  }
  char journalPath[kJournalPathCapacity];
  ImageJournalPath(change->heldPath, journalPath, sizeof journalPath);  // fitted at the begin

  // The journal in memory: header, region table, the original bytes.
  uint8_t* const journal = change->journal;
  const int64_t sizeAfter = ImageChangeSize(change);
  std::memcpy(journal, kMagic, sizeof kMagic);
  Put32(journal + 8, kVersion);
  Put64(journal + 12, static_cast<uint64_t>(change->heldSize));
  Put64(journal + 20, static_cast<uint64_t>(sizeAfter));
  Put32(journal + 28, static_cast<uint32_t>(count));
  uint8_t* table = journal + kHeaderBytes;
  uint8_t* data = table + static_cast<long>(count) * kTableEntryBytes;
  for (int i = 0; i < count; i++) {
    const ImageRegion& region = change->queue[i];
    Put32(table + i * kTableEntryBytes, region.offset);
    Put32(table + i * kTableEntryBytes + 4, region.length);
    unsigned got = 0;
    if (ImageFileReadAt(&change->held, region.offset, data, region.length, &got) != 0) {
      Release(change);
      SayText(out, kCaptionWrite, kMsgWriteFailed, kMsgWriteFailed);
      return -1;
    }
    std::memset(data + got, 0, region.length - got);
    data += region.length;
  }
  const long body = data - journal;
  Put32(data, Crc32(journal, body));
  std::memcpy(data + 4, kMark, sizeof kMark);
  const long size = body + kTrailerBytes;

  if (WriteJournalFile(change, journalPath, size) != 0) {
    Release(change);
    ShowJournalMessage(out, kMsgJournalCreateFailed, kCaptionError);
    return -1;
  }
  JournalView view{change->heldSize, sizeAfter, count, journal + kHeaderBytes,
                   journal + kHeaderBytes + static_cast<long>(count) * kTableEntryBytes};
  for (int i = 0; i < count; i++)
    if (ImageFileWriteAt(&change->held, change->queue[i].offset,
                         change->queueBytes + change->queueAt[i], change->queue[i].length) != 0)
      return RollBack(out, change, journalPath, view);
  if (ImageFileSync(&change->held) != 0) return RollBack(out, change, journalPath, view);
  // A journal that stays would undo the change at the next open: then the change is undone now.
  if (ImageFileRemove(journalPath) != 0) return RollBack(out, change, journalPath, view);
  if (change->history)
    ChangeHistoryRecord(change->history, change->queue, count, view.data, change->queueBytes,
                        change->heldSize, sizeAfter);
  change->commits++;
  Release(change);
  return 0;
}

namespace {

// Reads, judges and settles the journal of the image held in `image`. 0, or -1 with the message
// in the outcome.
int SettleJournal(Outcome* out, ImageChange* change, const char* journalPath, ImageFile* image,
                  bool writable) {
  if (ImageFileExists(journalPath) != 1) return 0;  // its writer finished while we waited
  ImageFile journal;
  // Unreadable: writes stay refused.
  if (ImageFileOpenRead(journalPath, &journal) != 0) return 0;
  const int64_t size = ImageFileSize(&journal);
  // A file too big to be a journal of this version is read as far as its version.
  const long length = size < 0 ? 0 : size > kJournalCapacity ? 12 : static_cast<long>(size);
  unsigned got = 0;
  uint8_t* const bytes = change->journal;
  const int read = size < 0 ? -1 : ImageFileReadAt(&journal, 0, bytes, length, &got);
  ImageFileClose(&journal);
  if (read != 0 || got != static_cast<unsigned>(length)) return 0;  // writes stay refused

  JournalView view{};
  JournalKind kind = kIncomplete;
  if (size <= kJournalCapacity)
    kind = ParseJournal(bytes, length, &view);
  else if (std::memcmp(bytes, kMagic, sizeof kMagic) == 0 && Get32(bytes + 8) != kVersion)
    kind = kOtherVersion;
  if (kind == kOtherVersion) {
    ShowJournalMessage(out, kMsgJournalForeign, kCaptionError);
    return 0;
  }
  if (kind == kIncomplete) {
    // It never reached the image: the change was stopped before its first write.
    ImageFileRemove(journalPath);
    return 0;
  }
  if (!writable) {
    ShowJournalMessage(out, kMsgJournalRecoverFailed, kCaptionError);
    return -1;
  }
  const int64_t imageSize = ImageFileSize(image);
  if (imageSize < view.sizeBefore || imageSize > view.sizeAfter) {
    ShowJournalMessage(out, kMsgJournalForeign, kCaptionError);
    return 0;
  }
  if (PlayBack(&change->faults, image, view) != 0) {
    ShowJournalMessage(out, kMsgJournalRecoverFailed, kCaptionError);
    return -1;
  }
  change->commits++;
  // Should the journal stay, playing it back again at the next open changes nothing.
  ImageFileRemove(journalPath);
  ImageFileSyncFolder(journalPath);
  ShowJournalMessage(out, kMsgJournalRecovered, kCaptionRecovery);
  return 0;
}

}  // namespace

int RecoverImageJournal(Outcome* out, const ImageTarget* target) {
  ImageChange* change = target->change;
  // The change in progress holds the image and its journal; a target that cannot change the image
  // has no room to read a journal into.
  if (!change || change->active) return 0;
  const char* path = target->path;
  char journalPath[kJournalPathCapacity];
  if (ImageJournalPath(path, journalPath, sizeof journalPath) != 0) return 0;
  if (ImageFileExists(journalPath) != 1) return 0;
  // A writer holds the image for the whole of its change: only a journal whose image nobody
  // holds is that of a stopped writer. The journal of a living writer is waited for like its
  // lock, and is gone when the wait ends.
  ImageFile image;
  bool writable = false;
  const int opened = ImageFileOpenAlone(path, &image, &writable);
  if (opened == kImageFileBusy) {
    SayText(out, kCaptionError, kMsgImageBusy, kMsgImageBusy);
    return -1;
  }
  // An image that cannot be opened at all is judged by its journal alone: what never reached
  // it goes, what did cannot be played back.
  if (opened != 0) return SettleJournal(out, change, journalPath, &image, false);
  const int settled = SettleJournal(out, change, journalPath, &image, writable);
  ImageFileClose(&image);
  return settled;
}
