#include "view/sector_owner.h"

#include <cstdio>
#include <cstring>

#include "texts/texts.h"
#include "view/directory_list.h"
#include "volume/file_ops.h"
#include "volume/layout.h"

void DescribeSectorOwner(const VolumeState* volume, const uint16_t* tbl1, int index, bool english,
                         char* text, int capacity) {
  const VolumeView view{volume->SystemArea,   volume->DirectoryBuffer, volume->EntryCount,
                        volume->ExdirPresent, volume->ExdirTrack,      volume->ExdirSector};
  ComposeSectorOwner(view, FindSectorOwner(view, index), tbl1, english, text, capacity);
}

void ComposeSectorOwner(const VolumeView& volume, const SectorOwner& owner, const uint16_t* tbl1,
                        bool english, char* text, int capacity) {
  const size_t size = static_cast<size_t>(capacity);
  auto say = [&](const char* ja, const char* en) {
    std::snprintf(text, size, "%s", english ? en : ja);
  };
  switch (owner.kind) {
    case kOwnerBitTable: return say(kSectorOwnerBitTable, kSectorOwnerBitTableEn);
    case kOwnerDirectory: return say(kSectorOwnerDirectory, kSectorOwnerDirectoryEn);
    case kOwnerExdir: return say(kSectorOwnerExdir, kSectorOwnerExdirEn);
    case kOwnerFile: {
      DirectoryRow row;
      FormatDirectoryRow(volume.directory + owner.slot * kEntryBytes, tbl1, &row);
      std::snprintf(text, size, english ? kSectorOwnerFileEn : kSectorOwnerFile,
                    row.cells[kColName]);
      return;
    }
    case kOwnerSystem: return say(kSectorOwnerSystem, kSectorOwnerSystemEn);
    case kOwnerUnowned: return say(kSectorOwnerUnowned, kSectorOwnerUnownedEn);
    default: return say(kSectorOwnerFree, kSectorOwnerFreeEn);
  }
}

void ComposeSectorVerdict(const SectorHealth& health, bool english, char* text, int capacity) {
  const size_t size = static_cast<size_t>(capacity);
  const auto in = [english](const char* ja) { return english ? TextEn(TextIdOf(ja)) : ja; };
  if (health.state == kSectorSound) {
    std::snprintf(text, size, "%s", in(kVerdictSound));
    return;
  }
  if (health.state == kSectorMissing) {
    std::snprintf(text, size, "%s", in(kVerdictMissing));
    return;
  }
  switch (health.cause) {
    case kCauseD88Status: {
      // The status bytes a D88 dump records for a sector the drive could not read.
      const char* what = kVerdictD88Other;
      switch (health.code) {
        case 0xA0: what = kVerdictD88IdCrc; break;
        case 0xB0: what = kVerdictD88DataCrc; break;
        case 0xE0: what = kVerdictD88NoAddress; break;
        case 0xF0: what = kVerdictD88NoData; break;
        default: break;
      }
      std::snprintf(text, size, in(kVerdictD88Status), health.code, in(what));
      return;
    }
    case kCauseImdType: std::snprintf(text, size, in(kVerdictImdType), health.code); return;
    case kCauseCrc: std::snprintf(text, size, "%s", in(kVerdictCrc)); return;
    default: std::snprintf(text, size, "%s", in(kVerdictError)); return;
  }
}

void ComposeFileDamage(const VolumeView& volume, const VolumeHealth& health, int slot, bool english,
                       char* text, int capacity) {
  const auto in = [english](const char* ja) { return english ? TextEn(TextIdOf(ja)) : ja; };
  constexpr int kTold = 8;
  text[0] = '\0';
  const uint8_t* entry = volume.directory + slot * kEntryBytes;
  if (entry[kEntryType] == 0 || !SectorAddressValid(entry[kEntryTrk], entry[kEntrySct])) return;
  const int first = RunFirstIndex(entry);
  const int end = first + RunSectorCount(entry);
  int told = 0;
  int more = 0;
  size_t used = 0;
  const size_t size = static_cast<size_t>(capacity);
  for (int i = first; i < end && i <= kLastSectorIndex; ++i) {
    const SectorHealth& h = health.sectors[i];
    if (h.state == kSectorSound) continue;
    if (told == kTold) {
      more++;
      continue;
    }
    char verdict[128];
    ComposeSectorVerdict(h, english, verdict, sizeof verdict);
    // "、" in code page 932 between Japanese items.
    if (used < size && told > 0)
      used += std::snprintf(text + used, size - used, "%s", english ? ", " : "\x81\x41");
    if (used < size)
      used += std::snprintf(text + used, size - used, in(kDamagedSectorItem), i / kSectorsPerTrack,
                            i % kSectorsPerTrack + 1, verdict);
    told++;
  }
  if (more > 0 && used < size)
    std::snprintf(text + used, size - used, in(kDamagedSectorMore), more);
}

namespace {

// Code page 932: the bytes that begin a character of two, those that may follow, and the single
// bytes that are characters (ASCII and half-width katakana).
bool LeadByte(uint8_t b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }
bool TrailByte(uint8_t b) { return b >= 0x40 && b <= 0xFC && b != 0x7F; }
bool SingleCharacter(uint8_t b) { return (b >= 0x20 && b < 0x7F) || (b >= 0xA1 && b <= 0xDF); }

}  // namespace

void FormatHexLine(const uint8_t* bytes, int offset, const uint16_t* tbl1, char* text,
                   int capacity) {
  const size_t size = static_cast<size_t>(capacity);
  int n = std::snprintf(text, size, "%04X ", offset);
  for (int i = 0; i < 16 && n > 0 && static_cast<size_t>(n) < size; ++i)
    n += std::snprintf(text + n, size - static_cast<size_t>(n), " %02X", bytes[i]);
  if (n < 0 || static_cast<size_t>(n) + 3 >= size) return;
  text[n++] = ' ';
  text[n++] = ' ';
  for (int i = 0; i < 16 && static_cast<size_t>(n) + 3 < size; ++i) {
    const unsigned shown = tbl1[bytes[i]];
    const uint8_t high = static_cast<uint8_t>(shown >> 8), low = static_cast<uint8_t>(shown);
    // Each byte shows as one character: a code with none (or half of one) as '.'.
    if (high != 0 && LeadByte(high) && TrailByte(low)) {
      text[n++] = static_cast<char>(high);
      text[n++] = static_cast<char>(low);
    } else {
      text[n++] = high == 0 && SingleCharacter(low) ? static_cast<char>(low) : '.';
    }
  }
  text[n] = '\0';
}
