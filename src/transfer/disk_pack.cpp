#include "transfer/disk_pack.h"

#include <cstdio>
#include <cstring>

#include "image/host_files.h"
#include "image/sector_transfer.h"
#include "texts/texts.h"

namespace {

constexpr int kVolumeSectors = kTrackCount * kSectorsPerTrack;
constexpr int kFirstDataIndex = 32;

// What a pack has claimed so far: the bit table it builds and the sectors owned.
struct Claims {
  bool owned[kVolumeSectors];
  bool slotTaken[kMaxSlots];
};

bool BitSet(const uint8_t* bits, int index) { return (bits[index / 8] >> (index % 8)) & 1; }
void SetBit(uint8_t* bits, int index) {
  if (index / 8 < kSysBitTableBytes) bits[index / 8] |= static_cast<uint8_t>(1 << (index % 8));
}

// Whether a run of `count` sectors from `first` lies within the volume and owns nothing yet.
bool RunFree(const Claims& claims, const uint8_t* bits, int first, int count) {
  if (first < kFirstDataIndex || first + count > kVolumeSectors) return false;
  for (int i = first; i < first + count; i++)
    if (claims.owned[i] || BitSet(bits, i)) return false;
  return true;
}

void Claim(Claims* claims, uint8_t* bits, int first, int count) {
  for (int i = first; i < first + count && i < kVolumeSectors; i++) {
    claims->owned[i] = true;
    SetBit(bits, i);
  }
}

// The lowest index from track 2 on where `count` sectors are free, or -1.
int FirstFit(const Claims& claims, const uint8_t* bits, int count) {
  for (int a = kFirstDataIndex; a + count <= kVolumeSectors; a++)
    if (RunFree(claims, bits, a, count)) return a;
  return -1;
}

uint8_t* SectorAt(PackWork* work, int index) {
  return work->volume + static_cast<long>(index) * kSectorBytes;
}

// A slot's 32 bytes in the volume: the directory, or the extended directory from `exdirFirst`.
uint8_t* SlotAt(PackWork* work, int slot, int exdirFirst) {
  if (slot < 64) return SectorAt(work, SectorIndex(kDirectoryTrack, kDirectorySector)) + slot * 32;
  return SectorAt(work, exdirFirst) + (slot - 64) * 32;
}

const char* EntryLabel(const PackSlot& slot) { return slot.host[0] ? slot.host : "-"; }

// Reads the whole host file into `data` (at most `capacity` bytes): its length, -1 when it cannot
// be read, -2 when it holds more.
long ReadWhole(const char* path, uint8_t* data, long capacity) {
  std::FILE* file = PlatformOpenHostFile(path, "rb");
  if (!file) return -1;
  long length = 0;
  for (;;) {
    const size_t got =
        std::fread(data + length, 1, static_cast<size_t>(capacity + 1 - length), file);
    if (got == 0) break;
    length += static_cast<long>(got);
    if (length > capacity) break;
  }
  const bool failed = std::ferror(file) != 0;
  std::fclose(file);
  if (failed) return -1;
  return length > capacity ? -2 : length;
}

}  // namespace

int BootSectorIndex(int k) {
  if (k == 0) return 0;       // track 0 sector 1
  if (k <= 13) return k + 2;  // track 0 sectors 4-16
  return 16 + 8 + (k - 14);   // track 1 sectors 9-16
}

int PackHostPath(const char* folder, const char* name, char* path) {
  const int n = std::snprintf(path, kPathCapacity, "%s/%s", folder, name);
  return n < 0 || n >= kPathCapacity ? -1 : 0;
}

void SayPackRefused(Outcome* out, int index, const char* what, const char* reason,
                    const char* detail) {
  char label[64];
  char labelEn[64];
  if (index < 0) {
    std::snprintf(label, sizeof label, "%s", kPackManifestLabel);
    std::snprintf(labelEn, sizeof labelEn, "%s", TextEn(TextId::kPackManifestLabel));
  } else {
    std::snprintf(label, sizeof label, "files[%d]", index);
    std::snprintf(labelEn, sizeof labelEn, "files[%d]", index);
  }
  char text[kMessageCapacity];
  char textEn[kMessageCapacity];
  std::snprintf(text, sizeof text, kMsgPackRefused, label, what, reason, detail);
  std::snprintf(textEn, sizeof textEn, TextEn(TextId::kMsgPackRefused), labelEn, what,
                TextEn(TextIdOf(reason)), detail);
  SayText(out, kCaptionError, kMsgPackRefused, text, textEn);
}

void InitPackManifest(PackManifest* manifest) {
  std::memset(manifest, 0, sizeof *manifest);
  manifest->format = -1;
  manifest->machineMode = -1;
  manifest->systemArea[kSysExdirTrk] = 0xFF;
  manifest->systemArea[kSysExdirSct] = 0xFF;
  std::memcpy(manifest->systemArea + kSysDate, kPackDefaultDate, 3);
}

void InitPackFile(PackSlot* slot, const char* host) {
  std::memset(slot, 0, sizeof *slot);
  slot->file = true;
  slot->slot = -1;
  std::snprintf(slot->host, sizeof slot->host, "%s", host);
  slot->entry[kEntryType] = 1;
  std::memset(slot->entry + kEntryName, 0x0D, kEntryNameMax + 1);
  std::memcpy(slot->entry + kEntryDate, kPackDefaultDate, 3);
}

int UnpackVolume(const ImageTarget* target, const VolumeState* volume, PackManifest* manifest,
                 uint8_t* boot, Outcome* out) {
  InitPackManifest(manifest);
  manifest->format = -1;
  manifest->machineMode = target->machineMode;
  std::memcpy(manifest->systemArea, volume->SystemArea, kSystemAreaBytes);
  for (int k = 0; k < kBootSectors; k++) {
    const int index = BootSectorIndex(k);
    const int status = ReadSectors(target, boot + k * kSectorBytes, index / kSectorsPerTrack,
                                   index % kSectorsPerTrack + 1, kSectorBytes);
    if (status != kImageOk) {
      SayText(out, kCaptionRead, ImageStatusText(status), ImageStatusText(status));
      return -1;
    }
  }
  const int slots = volume->EntryCount < kMaxSlots ? volume->EntryCount : kMaxSlots;
  for (int k = 0; k < slots; k++) {
    const uint8_t* entry = volume->DirectoryBuffer + k * kEntryBytes;
    bool blank = true;
    for (int i = 0; i < kEntryBytes && blank; i++) blank = entry[i] == 0;
    if (blank) continue;
    PackSlot& slot = manifest->slots[manifest->count++];
    std::memset(&slot, 0, sizeof slot);
    slot.slot = k;
    std::memcpy(slot.entry, entry, kEntryBytes);
    slot.file = entry[kEntryType] != 0;
    if (!slot.file) continue;
    slot.placed = true;
    // The rest of the last sector after the data, when it holds anything but the fill.
    const long length = EntryLength(entry);
    const int used = static_cast<int>(length % kSectorBytes);
    if (used == 0) continue;
    int track = entry[kEntryTrk];
    int sector = entry[kEntrySct];
    const int last = SectorIndex(track, sector) + SectorsFor(length) - 1;
    if (!SectorAddressValid(track, sector) || last > kLastSectorIndex) continue;
    uint8_t data[kSectorBytes];
    const int status = ReadSectors(target, data, last / kSectorsPerTrack,
                                   last % kSectorsPerTrack + 1, kSectorBytes);
    if (status != kImageOk) {
      SayText(out, kCaptionRead, ImageStatusText(status), ImageStatusText(status));
      return -1;
    }
    bool fill = true;
    for (int i = used; i < kSectorBytes && fill; i++) fill = data[i] == kPackFill;
    if (fill) continue;
    slot.tailBytes = kSectorBytes - used;
    std::memcpy(slot.tail, data + used, static_cast<size_t>(slot.tailBytes));
  }
  return 0;
}

int PackVolume(const PackManifest& manifest, const char* folder, bool keepPlaces, PackWork* work,
               Outcome* out) {
  static_assert(sizeof(Claims) < 4096, "the claims live on the stack");
  Claims claims = {};
  std::memset(work->volume, kPackFill, sizeof work->volume);
  uint8_t* system = SectorAt(work, SectorIndex(kSystemAreaTrack, kSystemAreaSector));
  std::memcpy(system, manifest.systemArea, kSystemAreaBytes);
  if (!keepPlaces) std::memset(system, 0, kSysBitTableBytes);
  Claim(&claims, system, 0, kFirstDataIndex);

  // The boot sectors.
  if (manifest.boot[0]) {
    char path[kPathCapacity];
    long length = PackHostPath(folder, manifest.boot, path) == 0
                      ? ReadWhole(path, work->data, kBootBytes)
                      : -1;
    if (length < 0) {
      SayPackRefused(out, -1, manifest.boot, length == -2 ? kPackBootTooLong : kPackFileMissing);
      return -1;
    }
    for (int k = 0; k * kSectorBytes < length; k++) {
      const long rest = length - k * kSectorBytes;
      std::memcpy(SectorAt(work, BootSectorIndex(k)), work->data + k * kSectorBytes,
                  static_cast<size_t>(rest < kSectorBytes ? rest : kSectorBytes));
    }
  }

  // The extended directory: where it was with kept places, else the first run from track 2.
  VolumeState shape = {};
  std::memcpy(shape.SystemArea, system, kSystemAreaBytes);
  ApplyExdirRule(&shape);
  int exdirFirst = -1;
  if (shape.ExdirPresent) {
    exdirFirst = SectorIndex(shape.ExdirTrack, shape.ExdirSector);
    if (!keepPlaces) {
      exdirFirst = FirstFit(claims, system, kExdirSectorCount);
      system[kSysExdirTrk] = static_cast<uint8_t>(exdirFirst / kSectorsPerTrack);
      system[kSysExdirSct] = static_cast<uint8_t>(exdirFirst % kSectorsPerTrack + 1);
    }
    if (exdirFirst + kExdirSectorCount > kVolumeSectors) {
      SayPackRefused(out, -1, "exdir", kPackNoFit);
      return -1;
    }
    Claim(&claims, system, exdirFirst, kExdirSectorCount);
  }
  const int entryCount = shape.EntryCount;

  // Files at recorded places first, so that a file placed first fit never takes their sectors.
  int starts[kMaxSlots];
  long lengths[kMaxSlots];
  for (int pass = 0; pass < 2; pass++) {
    for (int i = 0; i < manifest.count; i++) {
      const PackSlot& slot = manifest.slots[i];
      if (!slot.file) continue;
      const bool fixed = keepPlaces && slot.placed;
      if (fixed != (pass == 0)) continue;
      char path[kPathCapacity];
      const long length = PackHostPath(folder, slot.host, path) == 0
                              ? ReadWhole(path, work->data, kPackMaxFileBytes)
                              : -1;
      if (length < 0) {
        SayPackRefused(out, i, EntryLabel(slot), length == -2 ? kPackFileTooBig : kPackFileMissing);
        return -1;
      }
      const int sectors = SectorsFor(length);
      int first;
      if (fixed) {
        first = SectorIndex(slot.entry[kEntryTrk], slot.entry[kEntrySct]);
        if (!SectorAddressValid(slot.entry[kEntryTrk], slot.entry[kEntrySct]) ||
            first + sectors > kVolumeSectors) {
          SayPackRefused(out, i, EntryLabel(slot), kPackNoFit);
          return -1;
        }
        for (int s = first; s < first + sectors; s++) {
          if (claims.owned[s]) {
            SayPackRefused(out, i, EntryLabel(slot), kPackOverlap);
            return -1;
          }
        }
      } else {
        first = FirstFit(claims, system, sectors);
        if (first < 0) {
          SayPackRefused(out, i, EntryLabel(slot), kPackDiskFull);
          return -1;
        }
      }
      Claim(&claims, system, first, sectors);
      starts[i] = first;
      lengths[i] = length;
      uint8_t* at = SectorAt(work, first);
      std::memcpy(at, work->data, static_cast<size_t>(length));
      const int used = static_cast<int>(length % kSectorBytes);
      if (used != 0 && slot.tailBytes > 0) {
        const int n = slot.tailBytes < kSectorBytes - used ? slot.tailBytes : kSectorBytes - used;
        std::memcpy(at + length, slot.tail, static_cast<size_t>(n));
      }
    }
  }

  // The directory: every slot in its recorded place with kept places, else files in order.
  int next = 0;
  for (int i = 0; i < manifest.count; i++) {
    const PackSlot& slot = manifest.slots[i];
    if (!slot.file && !keepPlaces) continue;
    int k = keepPlaces && slot.slot >= 0 ? slot.slot : next;
    while (!(keepPlaces && slot.slot >= 0) && k < entryCount && claims.slotTaken[k]) k++;
    if (k >= entryCount || k >= kMaxSlots || claims.slotTaken[k]) {
      SayPackRefused(out, i, EntryLabel(slot), kPackDirectoryFull);
      return -1;
    }
    claims.slotTaken[k] = true;
    next = k + 1;
    uint8_t* entry = SlotAt(work, k, exdirFirst);
    std::memcpy(entry, slot.entry, kEntryBytes);
    if (!slot.file) continue;
    // The file's length and place as packed.
    StoreEntryWord(entry, kEntryLength, static_cast<unsigned>(lengths[i]));
    entry[kEntryTrk] = static_cast<uint8_t>(starts[i] / kSectorsPerTrack);
    entry[kEntrySct] = static_cast<uint8_t>(starts[i] % kSectorsPerTrack + 1);
  }
  return 0;
}
