// The test image builder: Zelvo volumes made in code, written as flat or D88 image files under
// the MZ or PC convention, whole or damaged.
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace testimg {

inline constexpr int kVolumeSectors = 84 * 16;

// One file to place on a volume.
struct FileSpec {
  std::string name;  // stored padded with 0x0D (at most 16 bytes)
  uint8_t type = 1;
  uint8_t lock = 0;
  uint8_t order = 0;  // 1 = 16-bit fields high byte first
  unsigned start = 0x1200;
  unsigned exec = 0x1200;
  uint8_t date[3] = {0x03, 0x01, 0x15};
  std::vector<uint8_t> data;
  int length = -1;  // the entry's length field; -1 = data.size()
  int track = -1;   // first sector of the data run; -1 = first free run from track 2
  int sector = -1;
  int slot = -1;  // directory slot; -1 = first free slot
  bool markUsed = true;
};

// A Zelvo volume in volume terms (bytes as the Zelvo system sees them), 84 tracks of 16 sectors.
class VolumeBuilder {
 public:
  // A blank formatted volume: tracks 0 and 1 marked used, no extended directory (0xFF, 0xFF),
  // volume number 0, an empty directory.
  VolumeBuilder();

  uint8_t* Sector(int track, int sector);  // 256 bytes; consecutive sectors are contiguous
  uint8_t* SystemArea() { return Sector(0, 2); }
  uint8_t* Directory() { return Sector(1, 1); }
  // Slot 0-63 in the main directory, 64-127 in the extended directory (needs SetExdir first).
  uint8_t* Entry(int slot);

  VolumeBuilder& SetExdir(int track, int sector, bool markUsed = true);
  VolumeBuilder& SetVolumeNumber(unsigned number);
  VolumeBuilder& SetDate(uint8_t year, uint8_t month, uint8_t day);
  VolumeBuilder& SetDiskName(const std::string& name);  // raw bytes, at most 27
  VolumeBuilder& SetFmMark(bool present);
  VolumeBuilder& SetAutoStart(const std::string& text);  // raw bytes, ended by 0x0D
  VolumeBuilder& MarkUsed(int index, int count = 1);
  VolumeBuilder& MarkFree(int index, int count = 1);
  bool IsUsed(int index) const;
  // Places the file's data and entry; returns the slot used, or -1 when it does not fit.
  int AddFile(const FileSpec& file);

  std::vector<uint8_t> bytes;  // kVolumeSectors * 256
};

// How a volume becomes an image file.
struct ImageSpec {
  bool d88 = false;
  int machineMode = 0;  // 0 MZ (sides swapped, bytes inverted), 1 PC
  // Flat: the file is cut after this many bytes (-1 = whole, 344064 bytes).
  long flatBytes = -1;
  // D88: physical tracks that get records (default 0-83); the rest have offset 0.
  int d88Tracks = 84;
  std::set<int> absentTracks;                   // offset entry 0
  std::map<int, std::vector<int>> sectorOrder;  // physical track -> sector numbers in file order
  std::map<int, int> sectorCountField;  // physical track -> value of bytes 4-5 in its records
  std::map<int, uint32_t> trackOffset;  // physical track -> forced offset table entry
  long d88CutBytes = -1;                // the file is cut after this many bytes
  std::string d88Name = "ZELVOTEST";    // disk name in the header (at most 16 bytes)
};

std::vector<uint8_t> BuildImage(const VolumeBuilder& volume, const ImageSpec& shape);

// Offset of a sector's data inside a D88 image built with default layout, or -1.
long D88DataOffset(const std::vector<uint8_t>& image, int physicalTrack, int sector);

void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes);
std::vector<uint8_t> ReadFile(const std::string& path);
bool FileExists(const std::string& path);

}  // namespace testimg
