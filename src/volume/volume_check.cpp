#include "volume/volume_check.h"

#include <cstring>

#include "image/container.h"
#include "volume/bit_table.h"
#include "volume/file_ops.h"
#include "volume/layout.h"

namespace {

constexpr int kVolumeSectors = kLastSectorIndex + 1;  // 1344
constexpr int kFirstDataIndex = 2 * kSectorsPerTrack;
constexpr int kExdirSectors = kDirectoryHalfBytes / kSectorBytes;
constexpr int kExdirOwner = 128;  // owner id of the extended directory's sectors
constexpr int kNoOwner = -1;

void AddAtIndex(CheckFindings* findings, int kind, int slot, int otherSlot, int index, int count) {
  AddFinding(findings, kind, slot, otherSlot, index / kSectorsPerTrack,
             index % kSectorsPerTrack + 1, count);
}

// The sector run of a used entry. False when its first sector is no sector address at all.
struct Run {
  int first;  // sector index of the first sector
  int count;  // sectors
};
bool EntryRun(const uint8_t* entry, Run* run) {
  const int track = entry[kEntryTrk];
  const int sector = entry[kEntrySct];
  run->count = SectorsFor(static_cast<long>(EntryLength(entry)));
  run->first = SectorIndex(track, sector);
  return track < kTrackCount && sector >= 1 && sector <= kSectorsPerTrack;
}

void Mark(uint8_t* bits, int index) { bits[index / 8] |= static_cast<uint8_t>(1u << (index % 8)); }
bool Marked(const uint8_t* bits, int index) { return (bits[index / 8] >> (index % 8)) & 1; }

// Reports the free sectors of [first, first + count) (inside the volume) as one finding, with
// the first free sector and the number of free sectors.
void ReportFree(const uint8_t* bitTable, int kind, int slot, int first, int count,
                CheckFindings* findings) {
  int firstFree = -1;
  int freeCount = 0;
  for (int i = first; i < first + count && i < kVolumeSectors; ++i) {
    if (SectorUsed(bitTable, i)) continue;
    if (firstFree < 0) firstFree = i;
    freeCount++;
  }
  if (freeCount > 0) AddAtIndex(findings, kind, slot, -1, firstFree, freeCount);
}

// The sectors the volume reads: system area, directory, extended directory, file runs.
void NeededSectors(const VolumeView& volume, uint8_t* needed) {
  std::memset(needed, 0, kVolumeSectors / 8);
  for (int i = 0; i < kSystemAreaBytes / kSectorBytes; ++i)
    Mark(needed, SectorIndex(kSystemAreaTrack, kSystemAreaSector) + i);
  for (int i = 0; i < kExdirSectors; ++i)
    Mark(needed, SectorIndex(kDirectoryTrack, kDirectorySector) + i);
  if (volume.exdirPresent) {
    const int first = SectorIndex(volume.exdirTrack, volume.exdirSector);
    for (int i = first; i < first + kExdirSectors && i < kVolumeSectors; ++i) Mark(needed, i);
  }
  for (int slot = 0; slot < volume.entryCount; ++slot) {
    const uint8_t* entry = volume.directory + slot * kEntryBytes;
    Run run;
    if (entry[kEntryType] == 0 || !EntryRun(entry, &run)) continue;
    for (int i = run.first; i < run.first + run.count && i < kVolumeSectors; ++i) Mark(needed, i);
  }
}

void CheckSameNames(const VolumeView& volume, CheckFindings* findings) {
  const int slots = volume.entryCount < kMaxSlots ? volume.entryCount : kMaxSlots;
  char keys[kMaxSlots][kEntryNameMax];
  int lengths[kMaxSlots];
  for (int slot = 0; slot < slots; ++slot) {
    const uint8_t* entry = volume.directory + slot * kEntryBytes;
    lengths[slot] = entry[kEntryType] == 0 ? -1 : EntryNameKey(entry + kEntryName, keys[slot]);
    for (int earlier = 0; earlier < slot && lengths[slot] >= 0; ++earlier) {
      if (lengths[earlier] != lengths[slot] ||
          std::memcmp(keys[earlier], keys[slot], static_cast<size_t>(lengths[slot])) != 0)
        continue;
      AddFinding(findings, kCheckSameName, slot, earlier, entry[kEntryTrk], entry[kEntrySct], 0);
      break;
    }
  }
}

}  // namespace

SectorOwner FindSectorOwner(const VolumeView& volume, int index) {
  const int systemFirst = SectorIndex(kSystemAreaTrack, kSystemAreaSector);
  const int directoryFirst = SectorIndex(kDirectoryTrack, kDirectorySector);
  if (index == systemFirst) return {kOwnerBitTable, -1};
  if (index >= directoryFirst && index < directoryFirst + kExdirSectors)
    return {kOwnerDirectory, -1};
  if (volume.exdirPresent) {
    const int first = SectorIndex(volume.exdirTrack, volume.exdirSector);
    if (index >= first && index < first + kExdirSectors) return {kOwnerExdir, -1};
  }
  const int slots = volume.entryCount < kMaxSlots ? volume.entryCount : kMaxSlots;
  for (int slot = 0; slot < slots; ++slot) {
    const uint8_t* entry = volume.directory + slot * kEntryBytes;
    if (entry[kEntryType] == 0 || !SectorAddressValid(entry[kEntryTrk], entry[kEntrySct])) continue;
    const int first = RunFirstIndex(entry);
    if (index >= first && index < first + RunSectorCount(entry)) return {kOwnerFile, slot};
  }
  if (index < kFirstDataIndex) return {kOwnerSystem, -1};
  if (SectorUsed(volume.systemArea + kSysBitTable, index)) return {kOwnerUnowned, -1};
  return {kOwnerFree, -1};
}

void CountFileDamage(const VolumeView& volume, const VolumeHealth& health, FileDamage* damage) {
  std::memset(damage, 0, sizeof *damage);
  const int slots = volume.entryCount < kMaxSlots ? volume.entryCount : kMaxSlots;
  for (int slot = 0; slot < slots; ++slot) {
    const uint8_t* entry = volume.directory + slot * kEntryBytes;
    if (entry[kEntryType] == 0 || !SectorAddressValid(entry[kEntryTrk], entry[kEntrySct])) continue;
    const int first = RunFirstIndex(entry);
    const int end = first + RunSectorCount(entry);
    for (int i = first; i < end && i < kVolumeSectors; ++i) {
      damage->bad[slot] += health.sectors[i].state == kSectorBad;
      damage->missing[slot] += health.sectors[i].state == kSectorMissing;
    }
    damage->files += damage->bad[slot] + damage->missing[slot] > 0;
  }
}

void CheckVolumeStructure(const VolumeView& volume, CheckFindings* findings) {
  const uint8_t* bitTable = volume.systemArea + kSysBitTable;
  int16_t owner[kVolumeSectors];
  for (int16_t& o : owner) o = kNoOwner;

  if (volume.exdirPresent) {
    const int first = SectorIndex(volume.exdirTrack, volume.exdirSector);
    const int beyond = first + kExdirSectors - kVolumeSectors;
    if (beyond > 0) AddAtIndex(findings, kCheckExdirOutside, -1, -1, kVolumeSectors, beyond);
    ReportFree(bitTable, kCheckExdirFree, -1, first, kExdirSectors, findings);
    for (int i = first; i < first + kExdirSectors && i < kVolumeSectors; ++i)
      owner[i] = kExdirOwner;
  }

  for (int slot = 0; slot < volume.entryCount; ++slot) {
    const uint8_t* entry = volume.directory + slot * kEntryBytes;
    if (entry[kEntryType] == 0) continue;
    Run run;
    if (!EntryRun(entry, &run)) {
      AddFinding(findings, kCheckRunOutside, slot, -1, entry[kEntryTrk], entry[kEntrySct],
                 run.count);
      continue;
    }
    if (run.count == 0) continue;
    if (run.first < kFirstDataIndex || run.first + run.count > kVolumeSectors)
      AddAtIndex(findings, kCheckRunOutside, slot, -1, run.first, run.count);
    ReportFree(bitTable, kCheckRunFree, slot, run.first, run.count, findings);

    // Sectors already owned by an earlier entry (or the extended directory), per owner.
    int sharedFirst[kExdirOwner + 1] = {};
    int sharedCount[kExdirOwner + 1] = {};
    for (int i = run.first; i < run.first + run.count && i < kVolumeSectors; ++i) {
      const int o = owner[i];
      if (o == kNoOwner) {
        owner[i] = static_cast<int16_t>(slot);
        continue;
      }
      if (sharedCount[o]++ == 0) sharedFirst[o] = i;
    }
    for (int o = 0; o <= kExdirOwner; ++o) {
      if (sharedCount[o] == 0) continue;
      AddAtIndex(findings, kCheckSharedSectors, slot, o == kExdirOwner ? -1 : o, sharedFirst[o],
                 sharedCount[o]);
    }
  }
  CheckSameNames(volume, findings);
}

int CheckImageContainer(const ImageTarget* image, const VolumeView& volume,
                        CheckFindings* findings) {
  ImageTarget target = *image;
  const bool own = !(target.session && target.session->open);
  ImageSession Session;  // the image held open when the target brings no session
  if (own) {
    if (ImageSessionOpen(&Session, target.path) != 0) return -1;
    target.session = &Session;
  }
  const int64_t fileSize = ImageSize(&target);
  if (fileSize < 0) {
    if (own) ImageSessionClose(&Session);
    return -1;
  }
  ImageCheckStructure(&target, findings);

  uint8_t needed[kVolumeSectors / 8];
  NeededSectors(volume, needed);
  // Missing sectors as ranges: those the volume needs, and free ones (a note).
  struct Range {
    int kind, first, count;
  };
  Range ranges[2] = {{kCheckSectorsMissing, -1, 0}, {kCheckFreeMissing, -1, 0}};
  auto flush = [&](Range& r) {
    if (r.count > 0) AddAtIndex(findings, r.kind, -1, -1, r.first, r.count);
    r.first = -1;
    r.count = 0;
  };
  bool unreadable = false;
  for (int i = 0; i < kVolumeSectors; ++i) {
    Range& range = ranges[Marked(needed, i) ? 0 : 1];
    Range& other = ranges[Marked(needed, i) ? 1 : 0];
    const int track = i / kSectorsPerTrack;
    const int sector = i % kSectorsPerTrack + 1;
    SectorPlace place;
    const int found =
        LocateSector(&target, PhysicalTrack(track, target.machineMode), sector, &place);
    if (found == kPlaceError) {
      flush(ranges[0]);
      flush(ranges[1]);
      AddAtIndex(findings, kCheckImageUnreadable, -1, -1, i, 1);
      unreadable = true;
      break;
    }
    // A needed sector's range ends where a free one begins, and the other way round.
    if (other.count > 0) flush(other);
    // A sector is carried when its place lies wholly inside the file.
    if (found == kPlaceFound && place.dataOffset + kSectorBytes <= fileSize) {
      flush(range);
    } else {
      if (range.count == 0) range.first = i;
      range.count++;
    }
  }
  flush(ranges[0]);
  flush(ranges[1]);
  // Each sector the container records as bad, with what it belongs to.
  VolumeHealth health;
  if (!unreadable && ReadVolumeHealth(&target, &health) == 0) {
    for (int i = 0; i < kVolumeSectors; ++i) {
      const SectorHealth& h = health.sectors[i];
      if (h.state != kSectorBad) continue;
      const SectorOwner owner = FindSectorOwner(volume, i);
      AddFinding(findings, kCheckBadSector, owner.slot, owner.kind, i / kSectorsPerTrack,
                 i % kSectorsPerTrack + 1, 1, static_cast<uint32_t>(h.cause << 8 | h.code));
    }
  }
  if (own) ImageSessionClose(&Session);
  return 0;
}
