#include "view/status_bar.h"

#include <cstdio>
#include <cstring>

#include "codes/code_tables.h"
#include "image/image_basics.h"
#include "texts/texts.h"
#include "volume/bit_table.h"
#include "volume/layout.h"

namespace {

constexpr int kFirstDataIndex = 2 * kSectorsPerTrack;
constexpr long kMaxFileBytes = 65535;  // the entry's length field

}  // namespace

void ComposeModeStatus(int machineMode, int transferMode, char* out, int capacity) {
  std::snprintf(out, static_cast<size_t>(capacity), kStatusModesFormat,
                machineMode == kModePc ? kStatusPc : kStatusMz,
                transferMode == kTransferAscii ? kStatusAscii : kStatusBinary);
}

int CountFreeSectors(const uint8_t* bitTable) {
  int free = 0;
  for (int index = kFirstDataIndex; index <= kLastSectorIndex; ++index)
    if (!SectorUsed(bitTable, index)) ++free;
  return free;
}

void ComposeVolumeStatus(bool loaded, int files, int freeSectors, char* out, int capacity,
                         bool english) {
  const auto in = [english](const char* ja) { return english ? TextEn(TextIdOf(ja)) : ja; };
  if (capacity <= 0) return;
  out[0] = '\0';
  if (!loaded) return;
  int used = files == 1
                 ? std::snprintf(out, static_cast<size_t>(capacity), "%s", in(kStatusOneFile))
                 : std::snprintf(out, static_cast<size_t>(capacity), in(kStatusFiles), files);
  if (used < 0 || used >= capacity) return;
  if (freeSectors == 1)
    std::snprintf(out + used, static_cast<size_t>(capacity - used), "%s", in(kStatusOneSectorFree));
  else
    std::snprintf(out + used, static_cast<size_t>(capacity - used), in(kStatusSectorsFree),
                  freeSectors);
}

void ComposeVolumeStatusLine(const VolumeStatusFacts& facts, char* out, int capacity,
                             bool english) {
  const auto in = [english](const char* ja) { return english ? TextEn(TextIdOf(ja)) : ja; };
  if (capacity <= 0) return;
  out[0] = '\0';
  if (!facts.loaded || !facts.bitTable) return;
  int longest = 0;
  const int usable = UsableFreeSectors(facts.bitTable, &longest);
  ComposeVolumeStatus(true, facts.files, usable, out, capacity, english);
  long largest = static_cast<long>(longest) * kSectorBytes;
  if (largest > kMaxFileBytes) largest = kMaxFileBytes;
  int used = static_cast<int>(std::strlen(out));
  if (used + 1 < capacity)
    std::snprintf(out + used, static_cast<size_t>(capacity - used), in(kStatusLargestFile),
                  largest);
  used = static_cast<int>(std::strlen(out));
  if (facts.writeProtected && used + 1 < capacity)
    std::snprintf(out + used, static_cast<size_t>(capacity - used), "%s",
                  in(kStatusWriteProtected));
}

void ComposeExportStatus(const char* name, long bytes, char* out, int capacity) {
  std::snprintf(out, static_cast<size_t>(capacity), kStatusExported, name, bytes);
}
