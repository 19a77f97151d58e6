#include "volume/format.h"

#include <cstring>

#include "image/host_files.h"
#include "volume/bit_table.h"

namespace {

constexpr int kSystemAreaOffset =
    (kSystemAreaTrack * kSectorsPerTrack + kSystemAreaSector - 1) * kSectorBytes;
constexpr int kDirectoryOffset =
    (kDirectoryTrack * kSectorsPerTrack + kDirectorySector - 1) * kSectorBytes;
constexpr int kSystemSectors = 2 * kSectorsPerTrack;  // tracks 0 and 1
constexpr int kExdirSectors = kDirectoryHalfBytes / kSectorBytes;

uint8_t BcdPair(const char* digits) {
  return static_cast<uint8_t>((digits[0] - '0') * 16 + (digits[1] - '0'));
}

}  // namespace

void FormatVolume(const FormatOptions& options, uint8_t* volume) {
  std::memset(volume, 0, kVolumeBytes);
  if (options.like) std::memcpy(volume, options.like, kSystemTracksBytes);
  uint8_t* sys = volume + kSystemAreaOffset;
  std::memset(sys + kSysBitTable, 0, kSysBitTableBytes);
  MarkSectorsUsed(sys, kSystemSectors, 0, 1);
  std::memset(volume + kDirectoryOffset, 0, kDirectoryHalfBytes);

  sys[kSysExdirTrk] = 0xFF;
  sys[kSysExdirSct] = 0xFF;
  int track = 0;
  int sector = 0;
  if (options.exdir && FindFreeRun(sys, kExdirSectors, &track, &sector) == 0) {
    MarkSectorsUsed(sys, kExdirSectors, track, sector);
    sys[kSysExdirTrk] = static_cast<uint8_t>(track);
    sys[kSysExdirSct] = static_cast<uint8_t>(sector);
  }
  sys[kSysVolumeNumber] = static_cast<uint8_t>(options.volumeNumber);
  sys[kSysVolumeNumber + 1] = static_cast<uint8_t>(options.volumeNumber >> 8);
  std::memcpy(sys + kSysDate, options.date, 3);
  std::memset(sys + kSysDiskName, 0, kSysDiskNameMax);
  for (int i = 0; i < kSysDiskNameMax && options.diskName[i] != '\0'; i++)
    sys[kSysDiskName + i] = static_cast<uint8_t>(options.diskName[i]);
}

void TodayBcd(uint8_t date[3]) {
  char text[9];
  PlatformLocalDate(text);  // MM/DD/YY
  date[0] = BcdPair(text + 6);
  date[1] = BcdPair(text);
  date[2] = BcdPair(text + 3);
}
