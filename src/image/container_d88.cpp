#include "image/container_d88.h"

#include <cstring>

#include "image/image_source.h"
#include "texts/texts.h"

namespace {

constexpr ContainerExtension kExtensions[] = {
    {".d20", kFormatD20, "D20"}, {".d88", kFormatD88, "D88"}, {".d77", kFormatD88, "D88"}};
constexpr ContainerFilter kFilters[] = {
    {kFilterD88, "*.d88"}, {kFilterD20, "*.d20"}, {kFilterD77, "*.d77"}};

// A track's records are read 16 at a time: a track of 16 sectors in one read.
constexpr unsigned kTrackSpan = 16 * kD88RecordBytes;

// The blank image of a new file: 84 tracks of 16 records.
constexpr int kBlankTracks = 84;
constexpr int kBlankSectors = 16;

int ReadHeader(ImageSource* source, int64_t base, uint8_t* header) {
  return SourceRead(source, base, header, kD88HeaderBytes, kD88HeaderBytes);
}

// The end of the target disk's extent: the end of the file for a file of one disk, the next
// disk's header for a disk of several.
int64_t DiskLimit(const ImageTarget* target, int64_t fileSize) {
  return target->diskEnd != 0 && target->diskEnd < fileSize ? target->diskEnd : fileSize;
}

// Where a physical track's first record lies: its offset counts from the disk's header. 0 when
// the disk does not hold the track (offset 0, an offset into the header, a track beyond the
// table), -1 on a read error.
int64_t TrackStart(ImageSource* source, const ImageTarget* target, int physicalTrack) {
  if (physicalTrack < 0 || physicalTrack >= kD88TrackCount) return 0;
  uint8_t header[kD88HeaderBytes];
  if (ReadHeader(source, target->diskBase, header) != 0) return -1;
  // A header cut short reads as zero: the track is then absent like one with offset 0.
  const int64_t relative = Le32(header + kD88TrackTable + 4 * physicalTrack);
  if (relative < kD88HeaderBytes) return 0;
  return target->diskBase + relative;
}

int Recognise(const uint8_t* head, int64_t fileSize) {
  return fileSize >= kD88HeaderBytes && D88HeaderSound(head, 0, fileSize) ? 100 : 0;
}

void Describe(const uint8_t* header, int64_t base, int64_t end, ImageDisk* disk) {
  disk->base = static_cast<uint32_t>(base);
  disk->end = static_cast<uint32_t>(end);
  disk->sizeField = Le32(header + kD88DiskSize);
  int n = 0;
  while (n < kDiskNameBytes && header[n] != 0) {
    disk->name[n] = static_cast<char>(header[n]);
    n++;
  }
  disk->name[n] = '\0';
  disk->writeProtected = header[kD88WriteProtect] == kD88Protected;
  disk->mediaType = header[kD88MediaType];
}

// A file holds several disks only when the first disk's size field is at least 688, smaller than
// the file, and a sound header follows there (and so on for the next ones); any other file is one
// disk that spans the whole file.
int ListDisks(ImageSource* source, ImageDisk* disks, int capacity) {
  const int64_t fileSize = SourceSize(source);
  if (fileSize < 0) return -1;
  uint8_t header[kD88HeaderBytes];
  if (ReadHeader(source, 0, header) != 0) return -1;
  int64_t base = 0;
  int count = 0;
  for (;;) {
    const uint32_t size = Le32(header + kD88DiskSize);
    // Another disk follows only where this one's size says and only when its header is sound.
    uint8_t next[kD88HeaderBytes];
    bool more = count + 1 < capacity && size >= static_cast<uint32_t>(kD88HeaderBytes) &&
                base + size < fileSize;
    if (more) {
      if (ReadHeader(source, base + size, next) != 0) return -1;
      more = D88HeaderSound(next, base + size, fileSize);
    }
    if (count < capacity) Describe(header, base, more ? base + size : fileSize, &disks[count]);
    count++;
    if (!more) break;
    base += size;
    std::memcpy(header, next, sizeof header);
  }
  return count;
}

// The lookup: the records of the track in file order, at most as many as its first record's
// sector count, up to the first that carries the sector number. Only a record that lies wholly
// inside the disk's extent counts: a write never lands in a header or beyond the end.
int Locate(ImageSource* source, const ImageTarget* target, int physicalTrack, int sector,
           SectorPlace* place) {
  const int64_t fileSize = SourceSize(source);
  if (fileSize < 0) return kPlaceError;
  int64_t offset = TrackStart(source, target, physicalTrack);
  if (offset <= 0) return offset < 0 ? kPlaceError : kPlaceAbsent;
  const int64_t limit = DiskLimit(target, fileSize);
  int count = -1;
  for (int examined = 0; count < 0 || examined < count; examined++) {
    if (offset + kD88RecordBytes > limit) return kPlaceAbsent;  // a record cut short is absent
    uint8_t sectorHeader[kD88SectorHeaderBytes];
    if (SourceRead(source, offset, sectorHeader, sizeof sectorHeader, kTrackSpan) != 0)
      return kPlaceError;
    if (count < 0) {
      count = sectorHeader[4] | (sectorHeader[5] << 8);
      if (count == 0) return kPlaceAbsent;
    }
    if (sectorHeader[2] == static_cast<uint8_t>(sector)) {
      place->dataOffset = offset + kD88SectorHeaderBytes;
      place->regionOffset = offset;
      place->regionBytes = kD88RecordBytes;
      place->span = kSectorBytes;
      return kPlaceFound;
    }
    offset += kD88RecordBytes;
  }
  return kPlaceAbsent;
}

// The stretch of the file that the lookups of one physical track can reach: from its first
// record (always: its sector count decides every lookup) up to the last record that is the first
// one carrying its sector number (1 to 16), among the records that the track's count allows and
// the disk holds whole. Empty for a track that the disk does not hold. 0, or -1 on a read error.
struct Reach {
  int64_t begin;
  int64_t end;
};

int TrackReach(ImageSource* source, const ImageTarget* target, int64_t fileSize, int physicalTrack,
               Reach* reach) {
  reach->begin = 0;
  reach->end = 0;
  const int64_t first = TrackStart(source, target, physicalTrack);
  if (first <= 0) return first < 0 ? -1 : 0;
  fileSize = DiskLimit(target, fileSize);
  if (first + kD88RecordBytes <= fileSize) {
    reach->begin = first;
    reach->end = first + kD88RecordBytes;
  }
  constexpr int kChunkRecords = 16;
  uint8_t chunk[kChunkRecords * kD88RecordBytes];
  constexpr unsigned kAllSectors = 0x1FFFE;  // bits 1 to 16
  unsigned seen = 0;
  long count = -1;
  long examined = 0;
  int64_t offset = first;
  while ((count < 0 || examined < count) && seen != kAllSectors &&
         offset + kD88RecordBytes <= fileSize) {
    if (SourceRead(source, offset, chunk, sizeof chunk, sizeof chunk) != 0) return -1;
    for (int r = 0; r < kChunkRecords && (count < 0 || examined < count) && seen != kAllSectors &&
                    offset + kD88RecordBytes <= fileSize;
         r++, examined++, offset += kD88RecordBytes) {
      const uint8_t* header = chunk + r * kD88RecordBytes;
      if (count < 0) {
        count = header[4] | (header[5] << 8);
        if (count == 0) return 0;
      }
      const int number = header[2];
      if (number >= 1 && number <= 16 && !(seen & (1u << number))) {
        seen |= 1u << number;
        reach->begin = first;
        reach->end = offset + kD88RecordBytes;
      }
    }
  }
  return 0;
}

// A record that another track's lookups reach as well is not its sector's alone: writing it
// would change that track too.
int CarriesRuns(ImageSource* source, const ImageTarget* target, const SectorRun* runs,
                int runCount) {
  const int64_t fileSize = SourceSize(source);
  if (fileSize < 0) return -1;
  // Where each track's lookups reach, found once for all runs.
  Reach reaches[kD88TrackCount];
  for (int p = 0; p < kD88TrackCount; p++)
    if (TrackReach(source, target, fileSize, p, &reaches[p]) != 0) return -1;
  int result = 1;
  for (int r = 0; r < runCount && result == 1; r++) {
    int track = runs[r].track;
    int sector = runs[r].sector;
    const int count = SectorsFor(runs[r].byteCount < 0 ? 0 : runs[r].byteCount);
    for (int k = 0; k < count && result == 1; k++) {
      const int physical = PhysicalTrack(track, target->machineMode);
      SectorPlace place;
      result = Locate(source, target, physical, sector, &place);
      for (int q = 0; q < kD88TrackCount && result == 1; q++)
        if (q != physical && reaches[q].begin < place.regionOffset + kD88RecordBytes &&
            place.regionOffset < reaches[q].end)
          result = 0;
      StepSector(&track, &sector);
    }
  }
  return result;
}

bool LeadByte(uint8_t b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }

void PutLe32(uint8_t* at, uint32_t value) {
  for (int i = 0; i < 4; i++) at[i] = static_cast<uint8_t>(value >> (8 * i));
}

int WriteBlank(ImageFile* file, const char* diskName, const ContainerStamp*) {
  // One track at a time: 16 records of 272 bytes.
  uint8_t track[kBlankSectors * kD88RecordBytes];
  uint8_t header[kD88HeaderBytes];
  D88BuildHeader(header, diskName);
  if (ImageFileWriteAt(file, 0, header, sizeof header) != 0) return -1;
  for (int p = 0; p < kBlankTracks; p++) {
    std::memset(track, 0, sizeof track);
    for (int s = 1; s <= kBlankSectors; s++)
      D88BuildSectorHeader(track + (s - 1) * kD88RecordBytes, p, s);
    if (ImageFileWriteAt(file, kD88HeaderBytes + p * static_cast<uint32_t>(sizeof track), track,
                         sizeof track) != 0)
      return -1;
  }
  return 0;
}

// Header byte 0x1A of the disk: 0x10 marks it write-protected.
bool WriteProtected(ImageSource* source, const ImageTarget* target) {
  uint8_t header[kD88HeaderBytes];
  return ReadHeader(source, target->diskBase, header) == 0 &&
         header[kD88WriteProtect] == kD88Protected;
}

// The disk's track offsets count from its header and its records lie within its extent (the whole
// file for a file of one disk).
void CheckStructure(ImageSource* source, const ImageTarget* target, CheckFindings* findings) {
  const int64_t base = target->diskBase;
  const int64_t fileSize = DiskLimit(target, SourceSize(source));
  uint8_t header[kD88HeaderBytes];
  if (ReadHeader(source, base, header) != 0) {
    AddFinding(findings, kCheckImageUnreadable, -1, -1, -1, 0, 0);
    return;
  }
  if (fileSize - base < kD88HeaderBytes)
    AddFinding(findings, kCheckD88ShortHeader, -1, -1, -1, 0, 0);
  for (int p = 0; p < kD88TrackCount; ++p) {
    const uint32_t offset = Le32(header + kD88TrackTable + 4 * p);
    if (offset == 0) continue;
    if (offset < static_cast<uint32_t>(kD88HeaderBytes)) {
      AddFinding(findings, kCheckD88OffsetInHeader, -1, -1, p, 0, 0, offset);
      continue;
    }
    const int64_t at = base + offset;
    if (at + kD88RecordBytes > fileSize) {
      AddFinding(findings, kCheckD88OffsetOutside, -1, -1, p, 0, 0, offset);
      continue;
    }
    uint8_t first[kD88SectorHeaderBytes];
    if (SourceRead(source, at, first, sizeof first, sizeof first) != 0) {
      AddFinding(findings, kCheckImageUnreadable, -1, -1, p, 0, 0, offset);
      return;
    }
    const int records = first[4] | (first[5] << 8);
    if (at + static_cast<int64_t>(records) * kD88RecordBytes > fileSize)
      AddFinding(findings, kCheckD88RecordsOutside, -1, -1, p, 0, records, offset);
  }
}

}  // namespace

const ContainerKind kD88Container = {
    .name = "D88",
    .format = kFormatD88,
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
    .readTrack = D88ReadTrack,
    .writeDisk = D88WriteDisk,
    .keeps = kKeepsIds | kKeepsDeleted | kKeepsErrors | kKeepsAbsent | kKeepsName |
             kKeepsProtection | kKeepsDisks,
    .decoded = false,
    .queueSector = nullptr,
};

bool D88HeaderSound(const uint8_t* header, int64_t base, int64_t fileSize) {
  const uint32_t size = Le32(header + kD88DiskSize);
  if (size < static_cast<uint32_t>(kD88HeaderBytes) || base + size > fileSize) return false;
  const uint8_t protect = header[kD88WriteProtect];
  if (protect != 0 && protect != kD88Protected) return false;
  const uint8_t media = header[kD88MediaType];
  if (media != 0x00 && media != 0x10 && media != 0x20 && media != 0x30 && media != 0x40)
    return false;
  for (int p = 0; p < kD88TrackCount; p++) {
    const uint32_t offset = Le32(header + kD88TrackTable + 4 * p);
    if (offset != 0 && (offset < static_cast<uint32_t>(kD88TrackTable) || offset >= size))
      return false;
  }
  return true;
}

void D88BuildHeader(uint8_t* header, const char* diskName) {
  std::memset(header, 0, kD88HeaderBytes);
  // Copy whole characters only: a lead byte whose trail byte would fall beyond 16 stays out.
  int n = 0;
  while (diskName && diskName[n] != '\0' && n < kD88DiskNameMax) {
    const uint8_t b = static_cast<uint8_t>(diskName[n]);
    const int width = LeadByte(b) && diskName[n + 1] != '\0' ? 2 : 1;
    if (n + width > kD88DiskNameMax) break;
    std::memcpy(header + n, diskName + n, static_cast<size_t>(width));
    n += width;
  }
  header[kD88WriteProtect] = 0x00;
  header[kD88MediaType] = 0x00;
  PutLe32(header + kD88DiskSize, kD88ImageBytes);
  const uint32_t trackBytes = kBlankSectors * kD88RecordBytes;
  for (int p = 0; p < kBlankTracks; p++)
    PutLe32(header + kD88TrackTable + 4 * p, kD88HeaderBytes + p * trackBytes);
}

void D88BuildSectorHeader(uint8_t* sectorHeader, int physicalTrack, int sector) {
  std::memset(sectorHeader, 0, kD88SectorHeaderBytes);
  sectorHeader[0] = static_cast<uint8_t>(physicalTrack / 2);
  sectorHeader[1] = static_cast<uint8_t>(physicalTrack % 2);
  sectorHeader[2] = static_cast<uint8_t>(sector);
  sectorHeader[3] = 1;  // 256-byte sectors
  sectorHeader[4] = kBlankSectors;
  sectorHeader[14] = 0x00;  // data size 256, little-endian
  sectorHeader[15] = 0x01;
}
