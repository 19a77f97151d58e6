#include "volume/identify.h"

#include <bit>
#include <cstring>
#include <initializer_list>

#include "image/sector_transfer.h"
#include "texts/texts.h"
#include "volume/bit_table.h"
#include "volume/layout.h"

namespace {

constexpr int kFirstDataIndex = 2 * kSectorsPerTrack;
constexpr int kVolumeSectors = kLastSectorIndex + 1;
constexpr int kExdirSectors = kDirectoryHalfBytes / kSectorBytes;
constexpr int kTypeMax = 6;  // OBJ TEX CMD REL SCD RDD

bool IsBcd(uint8_t byte) { return (byte >> 4) <= 9 && (byte & 0x0F) <= 9; }
bool DateBcd(const uint8_t* date) { return IsBcd(date[0]) && IsBcd(date[1]) && IsBcd(date[2]); }

bool RunMarked(const uint8_t* bitTable, int first, int count) {
  for (int i = first; i < first + count; i++)
    if (!SectorUsed(bitTable, i)) return false;
  return true;
}

// A name of at least one byte, then 0x0D up to the 16th byte.
bool NamePadded(const uint8_t* name) {
  int n = 0;
  while (n < kEntryNameMax && name[n] != 0x0D && name[n] != 0x00) n++;
  if (n == 0) return false;
  for (int i = n; i < kEntryNameMax; i++)
    if (name[i] != 0x0D) return false;
  return true;
}

bool ExdirNamed(int track, int sector) {
  return track >= 1 && track <= 83 && sector >= 1 && sector <= 16;
}

void ScoreSlot(const uint8_t* entry, const uint8_t* bitTable, ConventionScore* score) {
  bool sound = true;
  if (entry[kEntryType] > kTypeMax) {
    score->unknownType++;
    sound = false;
  }
  if (!NamePadded(entry + kEntryName)) {
    score->badName++;
    sound = false;
  }
  const int track = entry[kEntryTrk];
  const int sector = entry[kEntrySct];
  const int count = SectorsFor(static_cast<long>(EntryLength(entry)));
  const int first = SectorIndex(track, sector);
  if (track < 2 || track > 83 || sector < 1 || sector > 16 || first + count > kVolumeSectors) {
    score->runOutside++;
    sound = false;
  } else if (!RunMarked(bitTable, first, count)) {
    score->runUnmarked++;
    sound = false;
  }
  if (!DateBcd(entry + kEntryDate)) {
    score->badDate++;
    sound = false;
  }
  if (sound) score->soundSlots++;
}

// Reads the system area and the directories through the target. kImageOk or the failed status.
int ReadVolumeBytes(const ImageTarget* target, uint8_t* systemArea, uint8_t* directory) {
  std::memset(directory, 0, kDirectoryBufferBytes);
  int status =
      ReadSectors(target, systemArea, kSystemAreaTrack, kSystemAreaSector, kSystemAreaBytes);
  if (status == kImageOk)
    status = ReadSectors(target, directory, kDirectoryTrack, kDirectorySector, kDirectoryHalfBytes);
  const int track = systemArea[kSysExdirTrk];
  const int sector = systemArea[kSysExdirSct];
  if (status == kImageOk && ExdirNamed(track, sector))
    status =
        ReadSectors(target, directory + kDirectoryHalfBytes, track, sector, kDirectoryHalfBytes);
  return status;
}

}  // namespace

void ScoreVolume(const uint8_t* systemArea, const uint8_t* directory, int mode,
                 ConventionScore* score) {
  std::memset(score, 0, sizeof *score);
  score->mode = mode;
  const uint8_t* bitTable = systemArea + kSysBitTable;
  score->systemMarked = RunMarked(bitTable, 0, kFirstDataIndex);

  score->exdirTrack = systemArea[kSysExdirTrk];
  score->exdirSector = systemArea[kSysExdirSct];
  const bool named = ExdirNamed(score->exdirTrack, score->exdirSector);
  if (score->exdirTrack == 0xFF && score->exdirSector == 0xFF) {
    score->exdirSane = true;
  } else if (named) {
    const int first = SectorIndex(score->exdirTrack, score->exdirSector);
    score->exdirSane = first >= kFirstDataIndex && first + kExdirSectors <= kVolumeSectors &&
                       RunMarked(bitTable, first, kExdirSectors);
  }

  std::memcpy(score->date, systemArea + kSysDate, 3);
  score->dateBcd = DateBcd(score->date);

  const int slots = named ? 128 : 64;
  for (int slot = 0; slot < slots; slot++) {
    const uint8_t* entry = directory + slot * kEntryBytes;
    if (entry[kEntryType] == 0) continue;
    score->usedSlots++;
    ScoreSlot(entry, bitTable, score);
  }
  // Tracks 2 to 83 are whole bytes of the bit table: the clear bits counted a byte at a time.
  static_assert(kFirstDataIndex % 8 == 0 && kVolumeSectors % 8 == 0);
  for (int i = kFirstDataIndex / 8; i < kVolumeSectors / 8; i++)
    score->freeSectors += std::popcount(static_cast<unsigned>(~bitTable[i] & 0xFF));

  const int slotPoints = score->usedSlots == 0 ? 35 : 35 * score->soundSlots / score->usedSlots;
  score->score = (score->systemMarked ? 40 : 0) + (score->exdirSane ? 15 : 0) +
                 (score->dateBcd ? 10 : 0) + slotPoints;
  // Three in four used slots sound: a volume with a damaged entry or two still is one.
  score->volume = score->systemMarked && score->exdirSane &&
                  (score->usedSlots == 0 || score->soundSlots * 4 >= score->usedSlots * 3);
}

namespace {

// A convention under which the volume's structures stand: the system tracks marked and the EXDIR
// pair sane.
bool StructureStands(const ConventionScore& s) { return s.systemMarked && s.exdirSane; }

// Whether `a` reads clearly better than `b` although neither reads as a volume on its own (a
// directory with odd entries): a's structures stand, at least a third of its used slots are sound
// while b has no sound slot at all, and a's score leads by the margin.
bool ReadsClearlyBetter(const ConventionScore& a, const ConventionScore& b) {
  constexpr int kMargin = 15;
  return StructureStands(a) && a.soundSlots >= 1 && a.soundSlots * 3 >= a.usedSlots &&
         b.soundSlots == 0 && a.score >= b.score + kMargin;
}

}  // namespace

void WeighConventions(ConventionScore* scores) {
  ConventionScore& mz = scores[kModeMz];
  ConventionScore& pc = scores[kModePc];
  if (mz.volume || pc.volume) return;
  if (ReadsClearlyBetter(mz, pc))
    mz.volume = true;
  else if (ReadsClearlyBetter(pc, mz))
    pc.volume = true;
}

bool StructureMissing(const uint8_t* systemArea, const VolumeHealth& health) {
  auto missing = [&health](int track, int sector, int count) {
    const int first = SectorIndex(track, sector);
    for (int i = first; i < first + count && i <= kLastSectorIndex; ++i)
      if (health.sectors[i].state == kSectorMissing) return true;
    return false;
  };
  constexpr int kDirectorySectors = kDirectoryHalfBytes / kSectorBytes;
  if (missing(kSystemAreaTrack, kSystemAreaSector, kSystemAreaBytes / kSectorBytes) ||
      missing(kDirectoryTrack, kDirectorySector, kDirectorySectors))
    return true;
  const int exdirTrack = systemArea[kSysExdirTrk];
  const int exdirSector = systemArea[kSysExdirSct];
  return SectorAddressValid(exdirTrack, exdirSector) &&
         missing(exdirTrack, exdirSector, kDirectorySectors);
}

int DecideVerdict(const ConventionScore* scores, bool* ambiguous) {
  *ambiguous = false;
  const bool mz = scores[kModeMz].volume;
  const bool pc = scores[kModePc].volume;
  if (mz && pc) {
    if (scores[kModeMz].score > scores[kModePc].score) return kModeMz;
    if (scores[kModePc].score > scores[kModeMz].score) return kModePc;
    *ambiguous = true;
    return kVerdictNone;
  }
  if (mz) return kModeMz;
  if (pc) return kModePc;
  return kVerdictNone;
}

int ShownLayout(const uint8_t* head, int64_t fileSize) {
  const ContainerKind* kind = RecogniseContainer(head, fileSize);
  return kind ? kind->format : kShownUnknown;
}

int IdentifyImage(const ImageTarget* image, int extensionFormat, Identification* result) {
  std::memset(result, 0, sizeof *result);
  ImageLayoutInfo& layout = result->layout;
  layout.extensionFormat = extensionFormat;
  ImageTarget target = *image;
  const bool own = !(target.session && target.session->open);
  ImageSession Session;  // the image held open when the target brings no session
  if (own) {
    if (ImageSessionOpen(&Session, target.path) != 0) return -1;
    target.session = &Session;
  }
  uint8_t head[kContainerHeadBytes];
  int status = ImageReadHead(&target, head, &layout.fileSize);
  const ContainerKind* named = ContainerForFormat(extensionFormat);
  const ContainerKind* shown = status == 0 ? RecogniseContainer(head, layout.fileSize) : nullptr;
  if (status == 0) {
    layout.shown = shown ? shown->format : kShownUnknown;
    // The disks as the layout the bytes show lists them, else as the extension's layout does.
    int count = 0;
    for (const ContainerKind* lister : {shown, named}) {
      if (count != 0 || !lister) continue;
      target.kind = lister;
      count = ImageListDisks(&target, layout.disks, kMaxImageDisks);
    }
    if (count < 0) status = -1;
    layout.diskCount = count < 0 ? 0 : count;
  }
  if (status != 0) {
    if (own) ImageSessionClose(&Session);
    return -1;
  }
  layout.agrees = named && named == shown;

  result->disk = image->diskIndex;
  result->verdict = kVerdictNone;
  const ContainerKind* readAs = named ? named : shown;
  result->readAs = readAs ? readAs->format : -1;
  if (readAs) {
    target.kind = readAs;
    uint8_t systemArea[kSystemAreaBytes];
    uint8_t directory[kDirectoryBufferBytes];
    // The health is read once, under MZ; PC reads the same physical tracks with the sides of
    // each cylinder the other way round.
    target.machineMode = kModeMz;
    result->healthKnown = ReadVolumeHealth(&target, &result->health) == 0;
    result->badSectors = result->health.bad;
    result->missingSectors = result->health.missing;
    VolumeHealth health = result->health;
    for (int mode = kModeMz; mode <= kModePc && status == kImageOk; mode++) {
      target.machineMode = mode;
      status = ReadVolumeBytes(&target, systemArea, directory);
      if (status != kImageOk) break;
      ConventionScore& score = result->conventions[mode];
      ScoreVolume(systemArea, directory, mode, &score);
      if (result->healthKnown) score.structureMissing = StructureMissing(systemArea, health);
      if (mode == kModeMz) SwapHealthSides(&health);
    }
  }
  if (own) ImageSessionClose(&Session);
  if (status != kImageOk) return status;
  if (readAs) {
    WeighConventions(result->conventions);
    // A volume whose structures the image does not hold whole is a remnant, not a volume.
    for (ConventionScore& score : result->conventions)
      if (score.structureMissing) score.volume = false;
    result->verdict = DecideVerdict(result->conventions, &result->ambiguous);
  }
  return 0;
}
