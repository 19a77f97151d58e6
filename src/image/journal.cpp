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

JournalFault JournalFaults;

namespace {

constexpr uint8_t kMagic[8] = {'Z', 'L', 'V', 'J', 'R', 'N', 'L', 0};
constexpr uint32_t kVersion = 1;
constexpr uint8_t kMark[8] = {'C', 'O', 'M', 'M', 'I', 'T', '!', '\n'};
constexpr long kHeaderBytes = 32;
constexpr long kTableEntryBytes = 8;
constexpr long kTrailerBytes = 4 + 8;
constexpr long kJournalCapacity =
    kHeaderBytes + kImageChangeRegions * kTableEntryBytes + kImageChangeBytes + kTrailerBytes;
constexpr int kJournalPathCapacity = kPathCapacity + 16;

// Changes made by this process, per image (ImageCommitCount): a record for each of the first
// kCountedImages paths changed, the last one shared by every path beyond them.
constexpr int kCountedImages = 64;
struct ImageCommits {
  uint64_t pathKey;
  unsigned count;
};
ImageCommits Commits[kCountedImages];
int CommitsUsed = 0;

uint64_t PathKey(const char* path) {
  uint64_t key = 14695981039346656037ull;  // FNV-1a
  for (const char* c = path; *c; c++) key = (key ^ static_cast<uint8_t>(*c)) * 1099511628211ull;
  return key;
}

// The record of `path`; null when it has none and `add` is false.
ImageCommits* CommitsOf(const char* path, bool add) {
  const uint64_t key = PathKey(path);
  for (int i = 0; i < CommitsUsed; i++)
    if (Commits[i].pathKey == key) return &Commits[i];
  if (CommitsUsed == kCountedImages) return &Commits[kCountedImages - 1];
  if (!add) return nullptr;
  Commits[CommitsUsed] = {key, 0};
  return &Commits[CommitsUsed++];
}

// The change in progress, and the image it changes.
bool Active = false;
char HeldPath[kPathCapacity];
ImageFile Held{-1};
int64_t HeldSize = 0;
ImageRegion Queue[kImageChangeRegions];
uint32_t QueueAt[kImageChangeRegions];  // where each region's bytes lie in QueueBytes
int QueueCount = 0;
uint32_t QueueUsed = 0;
uint8_t QueueBytes[kImageChangeBytes];

// The journal as written, or as read back for recovery.
uint8_t Journal[kJournalCapacity];

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

int RestoreWrite(ImageFile* image, uint32_t offset, const uint8_t* bytes, unsigned count) {
  JournalFaults.restoreWrites++;
  if (JournalFaults.failRestoreWriteAt > 0 &&
      JournalFaults.restoreWrites == JournalFaults.failRestoreWriteAt)
    return -1;
  return ImageFileWriteAtUncounted(image, offset, bytes, count);
}

// Writes the original bytes of a journal back into the image, cuts what the change added and
// syncs. Playing a journal back twice gives the same image. 0 or -1.
int PlayBack(ImageFile* image, const JournalView& view) {
  const uint8_t* data = view.data;
  for (int i = 0; i < view.count; i++) {
    const uint32_t offset = Get32(view.table + i * kTableEntryBytes);
    const uint32_t length = Get32(view.table + i * kTableEntryBytes + 4);
    // Bytes beyond the old end of the file did not exist: the cut below removes them.
    if (offset < view.sizeBefore) {
      const int64_t kept = view.sizeBefore - offset;
      const unsigned n = kept < length ? static_cast<unsigned>(kept) : length;
      if (RestoreWrite(image, offset, data, n) != 0) return -1;
    }
    data += length;
  }
  if (ImageFileTruncate(image, view.sizeBefore) != 0) return -1;
  return ImageFileSync(image);
}

int JournalWrite(ImageFile* journal, uint32_t offset, const uint8_t* bytes, unsigned count) {
  JournalFaults.journalWrites++;
  if (JournalFaults.failJournalWriteAt > 0 &&
      JournalFaults.journalWrites == JournalFaults.failJournalWriteAt)
    return -1;
  return ImageFileWriteAtUncounted(journal, offset, bytes, count);
}

// Creates the journal file with `size` bytes of Journal, the commit mark last, and makes it
// durable. On failure nothing is left behind. 0 or -1.
int WriteJournalFile(const char* path, long size) {
  ImageFile journal;
  if (ImageFileCreate(path, &journal) != 0) return -1;
  const long body = size - static_cast<long>(sizeof kMark);
  int result = JournalWrite(&journal, 0, Journal, static_cast<unsigned>(body));
  if (result == 0)
    result = JournalWrite(&journal, static_cast<uint32_t>(body), Journal + body, sizeof kMark);
  if (result == 0) result = ImageFileSync(&journal);
  ImageFileClose(&journal);
  if (result == 0) result = ImageFileSyncFolder(path);
  if (result != 0) ImageFileRemove(path);
  return result;
}

void Release() {
  ImageFileClose(&Held);
  Active = false;
  QueueCount = 0;
  QueueUsed = 0;
}

void ShowJournalMessage(Outcome* out, const char* text, const char* caption) {
  SayText(out, caption, text, text);
}

// Puts the image back from the journal of the failed commit; the journal goes only when that
// worked. Then the write's failure is shown.
int RollBack(Outcome* out, const char* journalPath, const JournalView& view) {
  if (PlayBack(&Held, view) == 0) ImageFileRemove(journalPath);
  Release();
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

int BeginImageChange(Outcome* out, const ImageTarget* target) {
  if (Active) ImageAbortChange();
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
  const int opened = ImageFileOpenUpdate(target->path, &Held);
  if (opened == kImageFileBusy) {
    SayText(out, kCaptionWrite, kMsgWriteOpenBusy, kMsgWriteOpenBusy);
    return -1;
  }
  // A journal that stands beside the held image belongs to a change that recovery could not
  // settle.
  if (opened == 0 && ImageFileExists(journalPath) != 0) {
    ImageFileClose(&Held);
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
  HeldSize = ImageFileSize(&Held);
  if (HeldSize < 0 || HeldSize > 0xFFFFFFFFll) {
    ImageFileClose(&Held);
    SayText(out, kCaptionWrite, kMsgWriteOpenFailed, kMsgWriteOpenFailed);
    return -1;
  }
  std::memcpy(HeldPath, target->path, sizeof HeldPath);
  Active = true;
  QueueCount = 0;
  QueueUsed = 0;
  return 0;
}

void ImageAbortChange() {
  if (Active) Release();
}

bool ImageChangeActive() { return Active; }

unsigned ImageCommitCount(const char* path) {
  const ImageCommits* commits = CommitsOf(path, false);
  return commits ? commits->count : 0;
}

ImageFile* ImageChangeFile() { return Active ? &Held : nullptr; }

int64_t ImageChangeSize() {
  int64_t size = HeldSize;
  for (int i = 0; i < QueueCount; i++) {
    const int64_t end = static_cast<int64_t>(Queue[i].offset) + Queue[i].length;
    if (end > size) size = end;
  }
  return size;
}

int ImageChangeReadAt(uint32_t offset, uint8_t* buffer, unsigned count, unsigned* got) {
  *got = 0;
  if (!Active) return -1;
  unsigned fileGot = 0;
  if (ImageFileReadAt(&Held, offset, buffer, count, &fileGot) != 0) return -1;
  std::memset(buffer + fileGot, 0, count - fileGot);
  uint64_t end = offset + static_cast<uint64_t>(fileGot);
  const uint64_t from = offset;
  const uint64_t to = from + count;
  for (int i = 0; i < QueueCount; i++) {
    const uint64_t begin = Queue[i].offset > from ? Queue[i].offset : from;
    const uint64_t stop =
        Queue[i].offset + Queue[i].length < to ? Queue[i].offset + Queue[i].length : to;
    if (begin >= stop) continue;
    std::memcpy(buffer + (begin - from), QueueBytes + QueueAt[i] + (begin - Queue[i].offset),
                static_cast<size_t>(stop - begin));
    if (stop > end) end = stop;
  }
  *got = static_cast<unsigned>(end - from);
  return 0;
}

int ImageChangeQueue(uint32_t offset, const uint8_t* bytes, unsigned count) {
  if (!Active || count == 0 || count > kImageRegionMax ||
      static_cast<uint64_t>(offset) + count > 0xFFFFFFFFull)
    return -1;
  for (int i = 0; i < QueueCount; i++) {
    if (Queue[i].offset == offset && Queue[i].length == count) {
      std::memcpy(QueueBytes + QueueAt[i], bytes, count);
      return 0;
    }
  }
  if (QueueCount == kImageChangeRegions || QueueUsed + count > kImageChangeBytes) return -1;
  Queue[QueueCount] = ImageRegion{offset, count};
  QueueAt[QueueCount] = QueueUsed;
  std::memcpy(QueueBytes + QueueUsed, bytes, count);
  QueueUsed += count;
  QueueCount++;
  return 0;
}

int CommitImageChange(Outcome* out) {
  if (!Active) return 0;
  if (QueueCount == 0) {
    Release();
    return 0;
  }
  char journalPath[kJournalPathCapacity];
  ImageJournalPath(HeldPath, journalPath, sizeof journalPath);  // fitted at the begin

  // The journal in memory: header, region table, the original bytes.
  const int64_t sizeAfter = ImageChangeSize();
  std::memcpy(Journal, kMagic, sizeof kMagic);
  Put32(Journal + 8, kVersion);
  Put64(Journal + 12, static_cast<uint64_t>(HeldSize));
  Put64(Journal + 20, static_cast<uint64_t>(sizeAfter));
  Put32(Journal + 28, static_cast<uint32_t>(QueueCount));
  uint8_t* table = Journal + kHeaderBytes;
  uint8_t* data = table + static_cast<long>(QueueCount) * kTableEntryBytes;
  for (int i = 0; i < QueueCount; i++) {
    Put32(table + i * kTableEntryBytes, Queue[i].offset);
    Put32(table + i * kTableEntryBytes + 4, Queue[i].length);
    unsigned got = 0;
    if (ImageFileReadAt(&Held, Queue[i].offset, data, Queue[i].length, &got) != 0) {
      Release();
      SayText(out, kCaptionWrite, kMsgWriteFailed, kMsgWriteFailed);
      return -1;
    }
    std::memset(data + got, 0, Queue[i].length - got);
    data += Queue[i].length;
  }
  const long body = data - Journal;
  Put32(data, Crc32(Journal, body));
  std::memcpy(data + 4, kMark, sizeof kMark);
  const long size = body + kTrailerBytes;

  if (WriteJournalFile(journalPath, size) != 0) {
    Release();
    ShowJournalMessage(out, kMsgJournalCreateFailed, kCaptionError);
    return -1;
  }
  JournalView view{HeldSize, sizeAfter, QueueCount, Journal + kHeaderBytes,
                   Journal + kHeaderBytes + static_cast<long>(QueueCount) * kTableEntryBytes};
  for (int i = 0; i < QueueCount; i++)
    if (ImageFileWriteAt(&Held, Queue[i].offset, QueueBytes + QueueAt[i], Queue[i].length) != 0)
      return RollBack(out, journalPath, view);
  if (ImageFileSync(&Held) != 0) return RollBack(out, journalPath, view);
  // A journal that stays would undo the change at the next open: then the change is undone now.
  if (ImageFileRemove(journalPath) != 0) return RollBack(out, journalPath, view);
  ChangeHistoryRecord(Queue, QueueCount, view.data, QueueBytes, HeldSize, sizeAfter);
  CommitsOf(HeldPath, true)->count++;
  Release();
  return 0;
}

namespace {

// Reads, judges and settles the journal of the image held in `image`. 0, or -1 with the message
// in the outcome.
int SettleJournal(Outcome* out, const char* path, const char* journalPath, ImageFile* image,
                  bool writable) {
  if (ImageFileExists(journalPath) != 1) return 0;  // its writer finished while we waited
  ImageFile journal;
  // Unreadable: writes stay refused.
  if (ImageFileOpenRead(journalPath, &journal) != 0) return 0;
  const int64_t size = ImageFileSize(&journal);
  // A file too big to be a journal of this version is read as far as its version.
  const long length = size < 0 ? 0 : size > kJournalCapacity ? 12 : static_cast<long>(size);
  unsigned got = 0;
  const int read = size < 0 ? -1 : ImageFileReadAt(&journal, 0, Journal, length, &got);
  ImageFileClose(&journal);
  if (read != 0 || got != static_cast<unsigned>(length)) return 0;  // writes stay refused

  JournalView view{};
  JournalKind kind = kIncomplete;
  if (size <= kJournalCapacity)
    kind = ParseJournal(Journal, length, &view);
  else if (std::memcmp(Journal, kMagic, sizeof kMagic) == 0 && Get32(Journal + 8) != kVersion)
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
  if (PlayBack(image, view) != 0) {
    ShowJournalMessage(out, kMsgJournalRecoverFailed, kCaptionError);
    return -1;
  }
  CommitsOf(path, true)->count++;
  // Should the journal stay, playing it back again at the next open changes nothing.
  ImageFileRemove(journalPath);
  ImageFileSyncFolder(journalPath);
  ShowJournalMessage(out, kMsgJournalRecovered, kCaptionRecovery);
  return 0;
}

}  // namespace

int RecoverImageJournal(Outcome* out, const char* path) {
  if (Active) return 0;  // the change in progress holds the image and its journal
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
  if (opened != 0) return SettleJournal(out, path, journalPath, &image, false);
  const int settled = SettleJournal(out, path, journalPath, &image, writable);
  ImageFileClose(&image);
  return settled;
}
