#include "image/container_imd.h"

#include <cstdio>
#include <cstring>

#include "image/disk_model.h"
#include "image/image_source.h"
#include "texts/texts.h"

namespace {

constexpr ContainerExtension kExtensions[] = {{".imd", kFormatImd, "IMD"}};
constexpr ContainerFilter kFilters[] = {{kFilterImd, "*.imd"}};

constexpr int kModeMax = 5;
constexpr int kSizeCodeMax = 6;
constexpr int kRecordTypeMax = 8;
constexpr unsigned kSpan = 4096;

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
              ModelTrack* track) {
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

int ReadTrack(ImageSource* source, const ImageTarget*, int physicalTrack, ModelTrack* track) {
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
      return WalkTrack(source, fileSize, &offset, &th, track);
    offset = next;
  }
  return kTrackRead;
}

// Sectors are compressed or not: none lies at a place a write could take.
int Locate(ImageSource* source, const ImageTarget* target, int physicalTrack, int sector,
           SectorPlace* place) {
  static ModelTrack track;
  const int read = ReadTrack(source, target, physicalTrack, &track);
  if (read == kTrackReadError) return kPlaceError;
  std::memset(place, 0, sizeof *place);
  return read == kTrackRead && ModelFindSector(&track, sector) ? kPlaceFound : kPlaceAbsent;
}

int CarriesRuns(ImageSource*, const ImageTarget*, const SectorRun*, int) { return 1; }

int WriteBlank(ImageFile*, const char*) { return -1; }

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

void Stamp(char* line, size_t capacity, const ContainerStamp* stamp) {
  std::snprintf(line, capacity, "IMD 1.18: %02d/%02d/%04d %02d:%02d:%02d\r\nzelvo convert\x1A",
                stamp->day, stamp->month, stamp->year, stamp->hour, stamp->minute, stamp->second);
}

bool Uniform(const uint8_t* data) {
  for (int i = 1; i < kSectorBytes; i++)
    if (data[i] != data[0]) return false;
  return true;
}

int64_t WriteDisk(ImageFile* file, uint32_t base, const DiskModel* disk,
                  const ContainerStamp* stamp) {
  static uint8_t bytes[5 + 3 * kModelSectors + kModelSectors * (1 + kSectorBytes)];
  char line[96];
  Stamp(line, sizeof line, stamp);
  uint32_t at = base;
  const unsigned lineBytes = static_cast<unsigned>(std::strlen(line));
  if (ImageFileWriteAt(file, at, line, lineBytes) != 0) return -1;
  at += lineBytes;
  for (int p = 0; p < kModelTracks; p++) {
    const ModelTrack& track = disk->tracks[p];
    int n = 0;
    bool maps = false;
    for (int i = 0; i < track.count; i++) {
      const ModelSector& s = track.sectors[i];
      if (s.marks & kSectorOtherSize) continue;
      n++;
      maps = maps || s.c != p / 2 || s.h != p % 2;
    }
    if (n == 0) continue;
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
    if (ImageFileWriteAt(file, at, bytes, k) != 0) return -1;
    at += k;
  }
  return at - base;
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
    .queueSector = nullptr,
};
