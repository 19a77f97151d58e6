#include "image/sector_transfer.h"

#include <cstring>

#include "image/image_file.h"
#include "image/journal.h"
#include "texts/texts.h"
#include "volume/app_state.h"
#include "volume/layout.h"

namespace {

// Where a transfer reads: the image file it opened itself, or, inside a change, the image held
// by the change as the change will leave it (its queued writes included).
struct Source {
  ImageFile file;
  bool change;
};

// Opens the current image for reading, or takes the change's. 0 or -1.
int OpenSource(Source* source) {
  source->change = ImageChangeActive();
  if (source->change) return 0;
  return ImageFileOpenRead(App.ImagePath, &source->file);
}

void CloseSource(Source* source) {
  if (!source->change) ImageFileClose(&source->file);
}

int64_t SourceSize(Source* source) {
  return source->change ? ImageChangeSize() : ImageFileSize(&source->file);
}

// Reads `count` bytes at `offset`; bytes that the file does not deliver are zero.
int ReadZeroFilled(Source* source, int64_t offset, uint8_t* buffer, unsigned count) {
  std::memset(buffer, 0, count);
  if (offset < 0 || offset > 0xFFFFFFFFll) return 0;  // beyond what the file can hold
  unsigned got = 0;
  if (source->change) return ImageChangeReadAt(static_cast<uint32_t>(offset), buffer, count, &got);
  return ImageFileReadAt(&source->file, static_cast<uint32_t>(offset), buffer, count, &got);
}

uint32_t Le32(const uint8_t* p) {
  return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

bool InBounds(int track, int sector) {
  return track >= 0 && track <= 83 && sector >= 1 && sector <= 16;
}

// The end of the current disk's extent: the end of the file for a file of one disk, the next
// disk's header for a disk of several.
int64_t DiskLimit(int64_t fileSize) {
  return App.DiskEnd != 0 && App.DiskEnd < fileSize ? App.DiskEnd : fileSize;
}

// Looks a sector up; on a match `record` holds its 272 bytes. Track offsets count from the
// current disk's header; records lie within its extent.
int FindRecord(Source* file, int64_t fileSize, int physicalTrack, int sector,
               uint32_t* recordOffset, uint8_t* record) {
  if (physicalTrack < 0 || physicalTrack >= kD88TrackCount) return 0;
  uint8_t entry[4];
  const int64_t base = App.DiskBase;
  if (ReadZeroFilled(file, base + kD88TrackTable + 4 * physicalTrack, entry, 4) != 0) return -1;
  // A header cut short reads as zero: the track is then absent like one with offset 0.
  const int64_t relative = Le32(entry);
  if (relative < kD88HeaderBytes) return 0;  // absent track, or an offset into the header
  int64_t offset = base + relative;
  fileSize = DiskLimit(fileSize);
  int count = -1;
  for (int examined = 0; count < 0 || examined < count; examined++) {
    if (offset + kD88RecordBytes > fileSize) return 0;  // a record cut short is absent
    if (ReadZeroFilled(file, offset, record, kD88RecordBytes) != 0) return -1;
    if (count < 0) {
      count = record[4] | (record[5] << 8);
      if (count == 0) return 0;
    }
    if (record[2] == static_cast<uint8_t>(sector)) {
      *recordOffset = static_cast<uint32_t>(offset);
      return 1;
    }
    offset += kD88RecordBytes;
  }
  return 0;
}

void Invert(uint8_t* buffer, int byteCount) {
  for (int i = 0; i < byteCount; i++) buffer[i] = static_cast<uint8_t>(~buffer[i]);
}

void Step(int* track, int* sector) {
  if (++*sector == 17) {
    *sector = 1;
    ++*track;
  }
}

int64_t FlatOffset(int physicalTrack, int sector) {
  return (static_cast<int64_t>(physicalTrack) * kSectorsPerTrack + sector - 1) * kSectorBytes;
}

// The stretch of a D88 file that the lookups of one physical track can reach: from its first
// record (always: its sector count decides every lookup) up to the last record that is the first
// one carrying its sector number (1 to 16), among the records that the track's count allows and
// the file holds whole. Empty for a track that the image does not hold. 0, or -1 on a read error.
struct Reach {
  int64_t begin;
  int64_t end;
};

int TrackReach(Source* file, int64_t fileSize, int physicalTrack, Reach* reach) {
  reach->begin = 0;
  reach->end = 0;
  uint8_t entry[4];
  const int64_t base = App.DiskBase;
  if (ReadZeroFilled(file, base + kD88TrackTable + 4 * physicalTrack, entry, 4) != 0) return -1;
  const int64_t relative = Le32(entry);
  if (relative < kD88HeaderBytes) return 0;
  const int64_t first = base + relative;
  fileSize = DiskLimit(fileSize);
  // The first record always belongs to the track: its sector count decides every lookup.
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
    if (ReadZeroFilled(file, offset, chunk, sizeof chunk) != 0) return -1;
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

}  // namespace

int D88FindSector(ImageFile* file, int64_t fileSize, int physicalTrack, int sector,
                  uint32_t* recordOffset) {
  Source source{*file, false};
  uint8_t record[kD88RecordBytes];
  return FindRecord(&source, fileSize, physicalTrack, sector, recordOffset, record);
}

int ZLV_ReadZelvoFile(WindowHandle owner, uint8_t* buffer, int track, int sector, int byteCount) {
  if (!InBounds(track, sector)) {
    PlatformMessageBox(owner, kMsgBadTrackSector, kCaptionRead, kMbOk);
    return -1;
  }
  const int count = SectorsFor(byteCount < 0 ? 0 : byteCount);
  Source file;
  // A missing or locked image is a failed read; it is never created.
  if (OpenSource(&file) != 0) {
    PlatformMessageBox(owner, kMsgReadFailed, kCaptionRead, kMbOk);
    return -1;
  }
  const int64_t fileSize = SourceSize(&file);
  const bool flat = App.ImageFormat == kFormat2D;
  uint8_t record[kD88RecordBytes];
  for (int k = 0; k < count; k++) {
    uint8_t* chunk = buffer + static_cast<long>(k) * kSectorBytes;
    const int physical = PhysicalTrack(track, App.MachineMode);
    int result = 0;
    if (flat) {
      // Read aside first: a failed read leaves the chunk as it was, like the D88 lookup does.
      uint8_t block[kSectorBytes];
      result = ReadZeroFilled(&file, FlatOffset(physical, sector), block, kSectorBytes);
      if (result == 0) std::memcpy(chunk, block, kSectorBytes);
    } else {
      uint32_t offset = 0;
      result = fileSize < 0 ? -1 : FindRecord(&file, fileSize, physical, sector, &offset, record);
      if (result == 1) std::memcpy(chunk, record + kD88SectorHeaderBytes, kSectorBytes);
      if (result == 0) std::memset(chunk, 0, kSectorBytes);  // a sector the image does not carry
    }
    if (result < 0) {
      PlatformMessageBox(owner, kMsgReadFailed, kCaptionRead, kMbOk);
      CloseSource(&file);
      return -1;
    }
    Step(&track, &sector);
  }
  CloseSource(&file);
  if (App.MachineMode == kModeMz) Invert(buffer, byteCount);
  return 0;
}

int ZLV_WriteZelvoFile(WindowHandle owner, uint8_t* buffer, int track, int sector, int byteCount) {
  if (!InBounds(track, sector)) {
    PlatformMessageBox(owner, kMsgBadTrackSector, kCaptionWrite, kMbOk);
    return -1;
  }
  if (byteCount < 0) byteCount = 0;
  const int count = SectorsFor(byteCount);
  if (byteCount % kSectorBytes != 0)
    std::memset(buffer + byteCount, 0xFF, static_cast<size_t>(count) * kSectorBytes - byteCount);
  if (App.MachineMode == kModeMz) Invert(buffer, byteCount);
  // Outside a change the call is a change of its own.
  const bool own = !ImageChangeActive();
  if (own && ImageBeginChange(owner) != 0) return -1;
  Source file{{-1}, true};
  const int64_t fileSize = ImageChangeSize();
  const bool flat = App.ImageFormat == kFormat2D;
  uint8_t record[kD88RecordBytes];
  for (int k = 0; k < count; k++) {
    const uint8_t* chunk = buffer + static_cast<long>(k) * kSectorBytes;
    const int physical = PhysicalTrack(track, App.MachineMode);
    int result = 0;
    if (flat) {
      const int64_t offset = FlatOffset(physical, sector);
      result = offset > 0xFFFFFFFFll - kSectorBytes
                   ? -1
                   : ImageChangeQueue(static_cast<uint32_t>(offset), chunk, kSectorBytes);
    } else {
      uint32_t offset = 0;
      // Only a record that lies wholly inside the file is written: never the header, never
      // beyond the end.
      const int found = FindRecord(&file, fileSize, physical, sector, &offset, record);
      if (found < 0) {
        result = -1;
      } else if (found == 1) {
        std::memcpy(record + kD88SectorHeaderBytes, chunk, kSectorBytes);
        result = ImageChangeQueue(offset, record, kD88RecordBytes);
      }
    }
    if (result < 0) {
      PlatformMessageBox(owner, kMsgWriteFailed, kCaptionWrite, kMbOk);
      if (own) ImageAbortChange();
      return -1;
    }
    Step(&track, &sector);
  }
  return own ? ImageCommitChange(owner) : 0;
}

int ImageCarriesRuns(const SectorRun* runs, int runCount) {
  for (int r = 0; r < runCount; r++)
    if (!InBounds(runs[r].track, runs[r].sector)) return 0;
  if (App.ImageFormat == kFormat2D) return 1;
  Source file;
  if (OpenSource(&file) != 0) return -1;
  const int64_t fileSize = SourceSize(&file);
  int result = fileSize < 0 ? -1 : 1;
  // Where each track's lookups reach, found once for all runs.
  Reach reaches[kD88TrackCount];
  for (int p = 0; p < kD88TrackCount && result == 1; p++)
    if (TrackReach(&file, fileSize, p, &reaches[p]) != 0) result = -1;
  uint8_t record[kD88RecordBytes];
  for (int r = 0; r < runCount && result == 1; r++) {
    int track = runs[r].track;
    int sector = runs[r].sector;
    const int count = SectorsFor(runs[r].byteCount < 0 ? 0 : runs[r].byteCount);
    for (int k = 0; k < count && result == 1; k++) {
      const int physical = PhysicalTrack(track, App.MachineMode);
      uint32_t offset = 0;
      result = FindRecord(&file, fileSize, physical, sector, &offset, record);
      // A record that another track's lookups reach as well is not this sector's alone: writing
      // it would change that track too.
      for (int q = 0; q < kD88TrackCount && result == 1; q++)
        if (q != physical && reaches[q].begin < static_cast<int64_t>(offset) + kD88RecordBytes &&
            static_cast<int64_t>(offset) < reaches[q].end)
          result = 0;
      Step(&track, &sector);
    }
  }
  CloseSource(&file);
  return result;
}
