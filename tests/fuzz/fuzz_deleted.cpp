// The deleted-entry scan and the restore over an arbitrary system area and directory. Byte 0: the
// slot count (64 or 128 by its low bit); byte 1: the extended directory's first track (0xFF:
// none); then 512 bytes of system area and up to 4096 bytes of directory (zero beyond the input).
// Every entry found is a deleted slot, in slot order; its verdict agrees with its run and the bit
// table; a restore of a recoverable one touches only its type byte and its own run's bits.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "fuzz/fuzz_support.h"
#include "volume/bit_table.h"
#include "volume/deleted_entries.h"
#include "volume/layout.h"

namespace {

void Require(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::Reader in{data, size};
  const int slotCount = (in.Byte() & 1) ? 128 : 64;
  const int exdirTrack = in.Byte();
  const int exdirFirst = exdirTrack < 84 ? exdirTrack * 16 : -1;
  static uint8_t systemArea[512], directory[4096];
  std::memset(systemArea, 0, sizeof systemArea);
  std::memset(directory, 0, sizeof directory);
  for (uint8_t& b : systemArea) b = in.Byte();
  for (uint8_t& b : directory) b = in.Byte();

  static DeletedEntry entries[128];
  const int found = ScanDeletedEntries(systemArea, directory, slotCount, exdirFirst, entries, 128);
  Require(found >= 0 && found <= slotCount);
  for (int i = 0; i < found; ++i) {
    const DeletedEntry& e = entries[i];
    Require(e.slot >= 0 && e.slot < slotCount && IsDeletedSlot(directory + e.slot * kEntryBytes));
    Require(i == 0 || e.slot > entries[i - 1].slot);
    if (e.verdict == kDeletedLost) continue;
    Require(e.count > 0 && e.first >= 0 && e.first + e.count - 1 <= kLastSectorIndex);
    Require(e.claimedByFiles + e.claimedBySystem <= e.count);
    Require((e.verdict == kDeletedRecoverable) == (e.firstClaimed < 0));
    if (e.verdict == kDeletedRecoverable)
      for (int s = e.first; s < e.first + e.count; ++s)
        Require(s >= 32 && !SectorUsed(systemArea, s));
  }
  // Restoring the first recoverable entry changes its type byte and its run's bits only.
  for (int i = 0; i < found; ++i) {
    const DeletedEntry& e = entries[i];
    if (e.verdict != kDeletedRecoverable) continue;
    static uint8_t areaBefore[512], directoryBefore[4096];
    std::memcpy(areaBefore, systemArea, sizeof areaBefore);
    std::memcpy(directoryBefore, directory, sizeof directoryBefore);
    RestoreDeletedSlot(systemArea, directory, e.slot, 1);
    for (int b = 0; b < 4096; ++b)
      Require(directory[b] == directoryBefore[b] || b == e.slot * kEntryBytes + kEntryType);
    for (int s = 0; s < 512 * 8; ++s) {
      const bool inRun = s >= e.first && s < e.first + e.count;
      const bool now = (systemArea[s / 8] >> (s % 8)) & 1;
      const bool was = (areaBefore[s / 8] >> (s % 8)) & 1;
      Require(inRun ? now : now == was);
    }
    break;
  }
  return 0;
}
