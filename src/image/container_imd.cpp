#include "image/container_imd.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "image/decoded_read.h"
#include "image/disk_model.h"
#include "image/image_source.h"
#include "image/journal.h"
#include "texts/texts.h"

namespace {

constexpr ContainerExtension kExtensions[] = {{".imd", kFormatImd, "IMD"}};
constexpr ContainerFilter kFilters[] = {{kFilterImd, "*.imd"}};

constexpr int kModeMax = 5;
constexpr int kSizeCodeMax = 6;
constexpr int kRecordTypeMax = 8;
constexpr unsigned kSpan = 4096;

bool Uniform(const uint8_t* data) {
  for (int i = 1; i < kSectorBytes; i++)
    if (data[i] != data[0]) return false;
  return true;
}

int Recognise(const uint8_t* head, int64_t) { return std::memcmp(head, "IMD ", 4) == 0 ? 100 : 0; }

int ListDisks(ImageSource*, ImageDisk*, int) { return 0; }

// Where the first track record begins: after the 0x1A that ends the comment. -1 on a read error,
// 0 when the file has no such header.
int64_t FirstTrack(ImageSource* source, int64_t fileSize) {
  uint8_t chunk[512];
  for (int64_t at = 0; at < fileSize && at < kImdCommentMax; at += sizeof chunk) {
    if (SourceRead(source, at, chunk, sizeof chunk, kSpan) != 0) return -1;
    if (at == 0 && std::memcmp(chunk, "IMD ", 4) != 0) return 0;
    for (unsigned i = 0; i < sizeof chunk && at + i < fileSize; i++)
      if (chunk[i] == 0x1A) return at + i + 1;
  }
  return 0;
}

struct TrackHead {
  uint8_t mode, cylinder, head, count, sizeCode;
};

// Reads the track record at *offset: its head, maps and (for the track wanted, into `track`)
// its sectors; leaves *offset after it. kTrackRead or a failure.
int WalkTrack(ImageSource* source, int64_t fileSize, int64_t* offset, TrackHead* th,
              ModelTrack* track, int64_t* recordAt = nullptr) {
  uint8_t fields[5];
  if (*offset + 5 > fileSize) return kTrackMalformed;
  if (SourceRead(source, *offset, fields, 5, kSpan) != 0) return kTrackReadError;
  *th = {fields[0], fields[1], fields[2], fields[3], fields[4]};
  if (th->mode > kModeMax || th->sizeCode > kSizeCodeMax || (th->head & 0x3F) > 1)
    return kTrackMalformed;
  int64_t at = *offset + 5;
  const int n = th->count;
  uint8_t numbers[256], cylinders[256], heads[256];
  const bool hasCyl = th->head & kImdCylinderMap;
  const bool hasHead = th->head & kImdHeadMap;
  const int64_t mapBytes = static_cast<int64_t>(n) * (1 + hasCyl + hasHead);
  if (at + mapBytes > fileSize) return kTrackMalformed;
  if (SourceRead(source, at, numbers, static_cast<unsigned>(n), kSpan) != 0) return kTrackReadError;
  at += n;
  std::memset(cylinders, th->cylinder, sizeof cylinders);
  std::memset(heads, th->head & 1, sizeof heads);
  if (hasCyl) {
    if (SourceRead(source, at, cylinders, static_cast<unsigned>(n), kSpan) != 0)
      return kTrackReadError;
    at += n;
  }
  if (hasHead) {
    if (SourceRead(source, at, heads, static_cast<unsigned>(n), kSpan) != 0) return kTrackReadError;
    at += n;
  }
  if (track && n > kModelSectors) return kTrackMalformed;
  const unsigned size = 128u << th->sizeCode;
  if (track) track->count = 0;
  for (int i = 0; i < n; i++) {
    uint8_t type;
    if (recordAt && i < kModelSectors) recordAt[i] = at;
    if (at + 1 > fileSize) return kTrackMalformed;
    if (SourceRead(source, at, &type, 1, kSpan) != 0) return kTrackReadError;
    at++;
    if (type > kRecordTypeMax) return kTrackMalformed;
    const bool compressed = type != 0 && type % 2 == 0;
    const unsigned dataBytes = type == 0 ? 0 : compressed ? 1 : size;
    if (at + dataBytes > fileSize) return kTrackMalformed;
    if (track) {
      ModelSector& s = track->sectors[track->count++];
      std::memset(&s, 0, sizeof s);
      s.c = cylinders[i];
      s.h = heads[i];
      s.r = numbers[i];
      s.n = th->sizeCode;
      if (type == 0) s.marks |= kSectorAbsent;
      if (type == 3 || type == 4 || type == 7 || type == 8) s.marks |= kSectorDeleted;
      if (type >= 5) s.marks |= kSectorError;
      if (type != 0 && size != kSectorBytes) s.marks |= kSectorOtherSize;
      if (type != 0 && size == kSectorBytes) {
        uint8_t fill = 0;
        if (!compressed) {
          if (SourceRead(source, at, s.data, kSectorBytes, kSpan) != 0) return kTrackReadError;
        } else {
          if (SourceRead(source, at, &fill, 1, kSpan) != 0) return kTrackReadError;
          std::memset(s.data, fill, kSectorBytes);
        }
      }
    }
    at += dataBytes;
  }
  *offset = at;
  return kTrackRead;
}

// Reads a physical track; with `recordAt`, where each of its sector records begins.
int FindTrack(ImageSource* source, int physicalTrack, ModelTrack* track, int64_t* recordAt) {
  track->count = 0;
  const int64_t fileSize = SourceSize(source);
  if (fileSize < 0) return kTrackReadError;
  int64_t offset = FirstTrack(source, fileSize);
  if (offset < 0) return kTrackReadError;
  if (offset == 0) return kTrackMalformed;
  while (offset < fileSize) {
    TrackHead th;
    int64_t next = offset;
    const int walked = WalkTrack(source, fileSize, &next, &th, nullptr);
    if (walked != kTrackRead) return walked;
    if (th.cylinder * 2 + (th.head & 1) == physicalTrack)
      return WalkTrack(source, fileSize, &offset, &th, track, recordAt);
    offset = next;
  }
  return kTrackRead;
}

int ReadTrack(ImageSource* source, const ImageTarget*, int physicalTrack, ModelTrack* track) {
  return FindTrack(source, physicalTrack, track, nullptr);
}

// Sectors are compressed or not: none lies at a place a write could take.
int Locate(ImageSource* source, const ImageTarget* target, int physicalTrack, int sector,
           SectorPlace* place) {
  ModelTrack Track;
  const int read = ReadTrack(source, target, physicalTrack, &Track);
  if (read == kTrackReadError) return kPlaceError;
  std::memset(place, 0, sizeof *place);
  return read == kTrackRead && ModelFindSector(&Track, sector) ? kPlaceFound : kPlaceAbsent;
}

int CarriesRuns(ImageSource* source, const ImageTarget* target, const SectorRun* runs,
                int runCount) {
  ModelTrack Track;
  return DecodedCarriesRuns(source, target, runs, runCount, &Track);
}

// A change of an IMD file goes to the change in blocks of kBlock bytes at multiples of kBlock
// (the last one up to the end of the file), so that a block written again replaces its bytes in
// the change and no two writes of a change overlap but the last block as the file grows.
constexpr unsigned kBlock = 256;

// Replaces `oldCount` bytes at `at` of the file as the change leaves it with `count` bytes, what
// follows moving by the difference (never backwards). 0 or -1.
int Splice(ImageSource* source, int64_t at, unsigned oldCount, const uint8_t* bytes,
           unsigned count) {
  const int64_t size = SourceSize(source);
  const int64_t grow = static_cast<int64_t>(count) - oldCount;
  if (size < 0 || grow < 0 || at + oldCount > size || size + grow > 0xFFFFFFFFll) return -1;
  const int64_t newSize = size + grow;
  const int64_t first = at / kBlock * kBlock;
  const int64_t last = (grow > 0 ? newSize - 1 : at + count - 1) / kBlock * kBlock;
  // From the last block backwards: a block's moved bytes come from below it, where nothing was
  // rewritten yet.
  for (int64_t block = last; block >= first; block -= kBlock) {
    const unsigned length = static_cast<unsigned>(std::min<int64_t>(kBlock, newSize - block));
    uint8_t out[kBlock];
    // The bytes before `at` as they are; those of the splice; the rest moved up by `grow`.
    const int64_t keptEnd = std::min<int64_t>(block + length, at);
    if (keptEnd > block && SourceRead(source, block, out, static_cast<unsigned>(keptEnd - block),
                                      static_cast<unsigned>(keptEnd - block)) != 0)
      return -1;
    for (int64_t p = std::max<int64_t>(block, at); p < block + length && p < at + count; p++)
      out[p - block] = bytes[p - at];
    const int64_t movedFrom = std::max<int64_t>(block, at + count);
    if (movedFrom < block + length) {
      const unsigned moved = static_cast<unsigned>(block + length - movedFrom);
      if (SourceRead(source, movedFrom - grow, out + (movedFrom - block), moved, moved) != 0)
        return -1;
    }
    if (ImageChangeQueue(source->change, static_cast<uint32_t>(block), out, length) != 0) return -1;
  }
  return 0;
}

// A sector record takes the new bytes: a normal record in place; a compressed one keeps one fill
// byte while the data is uniform, else becomes a normal record of the same marks (the file
// grows by 255 bytes). A sector the image does not carry is not written.
int QueueSector(ImageSource* source, const ImageTarget*, int physicalTrack, int sector,
                const uint8_t* data) {
  int64_t recordAt[kModelSectors];
  ModelTrack Track;
  const int read = FindTrack(source, physicalTrack, &Track, recordAt);
  if (read != kTrackRead) return -1;
  const ModelSector* found = ModelFindSector(&Track, sector);
  if (!found) return 0;
  const int64_t at = recordAt[found - Track.sectors];
  uint8_t type;
  if (SourceRead(source, at, &type, 1, 1) != 0) return -1;
  if (type % 2 == 1) return Splice(source, at + 1, kSectorBytes, data, kSectorBytes);
  if (Uniform(data)) return Splice(source, at + 1, 1, data, 1);
  uint8_t record[1 + kSectorBytes];
  record[0] = static_cast<uint8_t>(type - 1);
  std::memcpy(record + 1, data, kSectorBytes);
  return Splice(source, at, 2, record, sizeof record);
}

bool WriteProtected(ImageSource*, const ImageTarget*) { return false; }

// Every track record must read whole.
void CheckStructure(ImageSource* source, const ImageTarget*, CheckFindings* findings) {
  const int64_t fileSize = SourceSize(source);
  int64_t offset = fileSize < 0 ? -1 : FirstTrack(source, fileSize);
  while (offset > 0 && offset < fileSize) {
    TrackHead th;
    if (WalkTrack(source, fileSize, &offset, &th, nullptr) != kTrackRead) offset = -1;
  }
  if (offset <= 0) AddFinding(findings, kCheckImageUnreadable, -1, -1, -1, 0, 0);
}

// The header line with the stamp's date, and a comment saying what wrote the file.
void Stamp(char* line, size_t capacity, const ContainerStamp* stamp, const char* comment) {
  std::snprintf(line, capacity, "IMD 1.18: %02d/%02d/%04d %02d:%02d:%02d\r\n%s\x1A", stamp->day,
                stamp->month, stamp->year, stamp->hour, stamp->minute, stamp->second, comment);
}

// A track's record into `bytes`: its length, 0 for a track without a sector of 256 bytes.
unsigned EncodeTrack(const ModelTrack& track, int p, uint8_t* bytes) {
  int n = 0;
  bool maps = false;
  for (int i = 0; i < track.count; i++) {
    const ModelSector& s = track.sectors[i];
    if (s.marks & kSectorOtherSize) continue;
    n++;
    maps = maps || s.c != p / 2 || s.h != p % 2;
  }
  if (n == 0) return 0;
  unsigned k = 0;
  bytes[k++] = kModeMax;
  bytes[k++] = static_cast<uint8_t>(p / 2);
  bytes[k++] = static_cast<uint8_t>(p % 2 | (maps ? kImdCylinderMap | kImdHeadMap : 0));
  bytes[k++] = static_cast<uint8_t>(n);
  bytes[k++] = 1;
  for (int pass = 0; pass < (maps ? 3 : 1); pass++)
    for (int i = 0; i < track.count; i++) {
      const ModelSector& s = track.sectors[i];
      if (!(s.marks & kSectorOtherSize)) bytes[k++] = pass == 0 ? s.r : pass == 1 ? s.c : s.h;
    }
  for (int i = 0; i < track.count; i++) {
    const ModelSector& s = track.sectors[i];
    if (s.marks & kSectorOtherSize) continue;
    if (s.marks & kSectorAbsent) {
      bytes[k++] = 0;
      continue;
    }
    const bool compressed = Uniform(s.data);
    int type = 1 + (compressed ? 1 : 0);
    if (s.marks & kSectorDeleted) type += 2;
    if (s.marks & (kSectorError | kSectorCrcBad)) type += 4;
    bytes[k++] = static_cast<uint8_t>(type);
    if (compressed) {
      bytes[k++] = s.data[0];
    } else {
      std::memcpy(bytes + k, s.data, kSectorBytes);
      k += kSectorBytes;
    }
  }
  return k;
}

constexpr unsigned kTrackRecordMax = 5 + 3 * kModelSectors + kModelSectors * (1 + kSectorBytes);

// Writes the header line and the tracks that `trackOf` gives: the bytes written, or -1.
int64_t WriteTracks(ImageFile* file, uint32_t base, const ContainerStamp* stamp,
                    const char* comment, int tracks,
                    const ModelTrack* (*trackOf)(const void* context, int physical,
                                                 ModelTrack* scratch),
                    const void* context) {
  uint8_t bytes[kTrackRecordMax];
  ModelTrack Track;
  char line[96];
  Stamp(line, sizeof line, stamp, comment);
  uint32_t at = base;
  const unsigned lineBytes = static_cast<unsigned>(std::strlen(line));
  if (ImageFileWriteAt(file, at, line, lineBytes) != 0) return -1;
  at += lineBytes;
  for (int p = 0; p < tracks; p++) {
    const unsigned k = EncodeTrack(*trackOf(context, p, &Track), p, bytes);
    if (k == 0) continue;
    if (ImageFileWriteAt(file, at, bytes, k) != 0) return -1;
    at += k;
  }
  return at - base;
}

const ModelTrack* DiskTrack(const void* context, int physical, ModelTrack*) {
  return &static_cast<const DiskModel*>(context)->tracks[physical];
}

const ModelTrack* BlankTrack(const void*, int physical, ModelTrack* scratch) {
  ModelBlankTrack(scratch, physical);
  return scratch;
}

int64_t WriteDisk(ImageFile* file, uint32_t base, const DiskModel* disk,
                  const ContainerStamp* stamp) {
  return WriteTracks(file, base, stamp, "zelvo convert", kModelTracks, DiskTrack, disk);
}

// A blank image: every sector compressed to its zero fill byte.
int WriteBlank(ImageFile* file, const char*, const ContainerStamp* stamp) {
  return WriteTracks(file, 0, stamp, "zelvo new", kTrackCount, BlankTrack, nullptr) < 0 ? -1 : 0;
}

}  // namespace

const ContainerKind kImdContainer = {
    .name = "IMD",
    .format = kFormatImd,
    .extensions = kExtensions,
    .extensionCount = sizeof kExtensions / sizeof kExtensions[0],
    .filters = kFilters,
    .filterCount = sizeof kFilters / sizeof kFilters[0],
    .recognise = Recognise,
    .listDisks = ListDisks,
    .locate = Locate,
    .carriesRuns = CarriesRuns,
    .writeBlank = WriteBlank,
    .writeProtected = WriteProtected,
    .checkStructure = CheckStructure,
    .readTrack = ReadTrack,
    .writeDisk = WriteDisk,
    .keeps = kKeepsIds | kKeepsDeleted | kKeepsErrors | kKeepsAbsent,
    .decoded = true,
    .queueSector = QueueSector,
};
