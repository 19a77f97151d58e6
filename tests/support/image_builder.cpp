#include "support/image_builder.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>

namespace testimg {
namespace {

constexpr int kHeaderBytes = 688;
constexpr int kRecordBytes = 272;

void PutLe32(std::vector<uint8_t>& out, size_t at, uint32_t value) {
  for (int i = 0; i < 4; i++) out[at + i] = static_cast<uint8_t>(value >> (8 * i));
}

void PutWord(uint8_t* entry, int offset, unsigned value, uint8_t order) {
  if (order == 1) {
    entry[offset] = static_cast<uint8_t>(value >> 8);
    entry[offset + 1] = static_cast<uint8_t>(value);
  } else {
    entry[offset] = static_cast<uint8_t>(value);
    entry[offset + 1] = static_cast<uint8_t>(value >> 8);
  }
}

// Logical track and sector stored at a physical track (sides swapped under MZ).
int LogicalTrack(int physicalTrack, int machineMode) {
  return machineMode == 0 ? (physicalTrack ^ 1) : physicalTrack;
}

}  // namespace

VolumeBuilder::VolumeBuilder() : bytes(static_cast<size_t>(kVolumeSectors) * 256, 0) {
  MarkUsed(0, 32);
  uint8_t* sys = SystemArea();
  sys[174] = 0xFF;
  sys[175] = 0xFF;
}

uint8_t* VolumeBuilder::Sector(int track, int sector) {
  return bytes.data() + static_cast<size_t>(track * 16 + sector - 1) * 256;
}

uint8_t* VolumeBuilder::Entry(int slot) {
  if (slot < 64) return Directory() + slot * 32;
  const uint8_t* sys = SystemArea();
  return Sector(sys[174], sys[175]) + (slot - 64) * 32;
}

VolumeBuilder& VolumeBuilder::SetExdir(int track, int sector, bool markUsed) {
  SystemArea()[174] = static_cast<uint8_t>(track);
  SystemArea()[175] = static_cast<uint8_t>(sector);
  if (markUsed && track >= 1 && track <= 83 && sector >= 1 && sector <= 16)
    MarkUsed(track * 16 + sector - 1, 8);
  return *this;
}

VolumeBuilder& VolumeBuilder::SetVolumeNumber(unsigned number) {
  SystemArea()[176] = static_cast<uint8_t>(number);
  SystemArea()[177] = static_cast<uint8_t>(number >> 8);
  return *this;
}

VolumeBuilder& VolumeBuilder::SetDate(uint8_t year, uint8_t month, uint8_t day) {
  SystemArea()[178] = year;
  SystemArea()[179] = month;
  SystemArea()[180] = day;
  return *this;
}

VolumeBuilder& VolumeBuilder::SetDiskName(const std::string& name) {
  std::memset(SystemArea() + 181, 0, 27);
  std::memcpy(SystemArea() + 181, name.data(), std::min<size_t>(name.size(), 27));
  return *this;
}

VolumeBuilder& VolumeBuilder::SetFmMark(bool present) {
  SystemArea()[208] = present ? 0x46 : 0;
  SystemArea()[209] = present ? 0x4D : 0;
  return *this;
}

VolumeBuilder& VolumeBuilder::SetAutoStart(const std::string& text) {
  std::memset(SystemArea() + 384, 0, 48);
  std::memcpy(SystemArea() + 384, text.data(), std::min<size_t>(text.size(), 48));
  if (text.size() < 48) SystemArea()[384 + text.size()] = 0x0D;
  return *this;
}

VolumeBuilder& VolumeBuilder::MarkUsed(int index, int count) {
  for (int i = index; i < index + count && i < 174 * 8; i++)
    SystemArea()[i / 8] |= static_cast<uint8_t>(1 << (i % 8));
  return *this;
}

VolumeBuilder& VolumeBuilder::MarkFree(int index, int count) {
  for (int i = index; i < index + count && i < 174 * 8; i++)
    SystemArea()[i / 8] &= static_cast<uint8_t>(~(1 << (i % 8)));
  return *this;
}

bool VolumeBuilder::IsUsed(int index) const { return (bytes[256 + index / 8] >> (index % 8)) & 1; }

int VolumeBuilder::AddFile(const FileSpec& file) {
  const int sectors = static_cast<int>((file.data.size() + 255) / 256);
  int first = -1;
  if (file.track >= 0) {
    first = file.track * 16 + file.sector - 1;
  } else {
    for (int a = 32; a + sectors <= kVolumeSectors && first < 0; a++) {
      bool free = true;
      for (int i = a; i < a + sectors && free; i++) free = !IsUsed(i);
      if (free) first = a;
    }
    if (first < 0) return -1;
  }
  int slot = file.slot;
  const int slots = (SystemArea()[174] >= 1 && SystemArea()[174] <= 83 && SystemArea()[175] >= 1 &&
                     SystemArea()[175] <= 16)
                        ? 128
                        : 64;
  for (int k = 0; slot < 0 && k < slots; k++)
    if (Entry(k)[0] == 0) slot = k;
  if (slot < 0) return -1;
  if (!file.data.empty() && first >= 0 && first < kVolumeSectors) {
    const size_t at = static_cast<size_t>(first) * 256;
    const size_t n = std::min(file.data.size(), bytes.size() - at);
    std::memcpy(bytes.data() + at, file.data.data(), n);
  }
  if (file.markUsed) MarkUsed(first, sectors);
  uint8_t* e = Entry(slot);
  std::memset(e, 0, 32);
  e[0] = file.type;
  std::memset(e + 1, 0x0D, 17);
  std::memcpy(e + 1, file.name.data(), std::min<size_t>(file.name.size(), 16));
  e[18] = file.lock;
  e[19] = file.order;
  const unsigned length = file.length >= 0 ? static_cast<unsigned>(file.length)
                                           : static_cast<unsigned>(file.data.size());
  PutWord(e, 20, length, file.order);
  PutWord(e, 22, file.start, file.order);
  PutWord(e, 24, file.exec, file.order);
  std::memcpy(e + 26, file.date, 3);
  e[30] = static_cast<uint8_t>(first / 16);
  e[31] = static_cast<uint8_t>(first % 16 + 1);
  return slot;
}

std::vector<uint8_t> BuildImage(const VolumeBuilder& volume, const ImageSpec& shape) {
  const bool mz = shape.machineMode == 0;
  auto stored = [&](int physicalTrack, int sector, uint8_t* out) {
    const int logical = LogicalTrack(physicalTrack, shape.machineMode);
    if (logical < 0 || logical >= 84) {
      std::memset(out, 0, 256);
      return;
    }
    const uint8_t* src = volume.bytes.data() + static_cast<size_t>(logical * 16 + sector - 1) * 256;
    for (int i = 0; i < 256; i++) out[i] = mz ? static_cast<uint8_t>(~src[i]) : src[i];
  };
  std::vector<uint8_t> out;
  if (!shape.d88) {
    out.resize(static_cast<size_t>(kVolumeSectors) * 256);
    for (int p = 0; p < 84; p++)
      for (int s = 1; s <= 16; s++)
        stored(p, s, out.data() + static_cast<size_t>(p * 16 + s - 1) * 256);
    if (shape.flatBytes >= 0) out.resize(static_cast<size_t>(shape.flatBytes));
    return out;
  }
  out.assign(kHeaderBytes, 0);
  std::memcpy(out.data(), shape.d88Name.data(), std::min<size_t>(shape.d88Name.size(), 16));
  out[26] = shape.d88WriteProtect;
  out[27] = 0x00;  // media type 2D
  for (int p = 0; p < shape.d88Tracks && p < 164; p++) {
    if (shape.absentTracks.count(p)) continue;
    std::vector<int> order;
    auto it = shape.sectorOrder.find(p);
    if (it != shape.sectorOrder.end()) {
      order = it->second;
    } else {
      for (int s = 1; s <= 16; s++) order.push_back(s);
    }
    auto countIt = shape.sectorCountField.find(p);
    const int countField =
        countIt != shape.sectorCountField.end() ? countIt->second : static_cast<int>(order.size());
    PutLe32(out, 32 + 4 * p, static_cast<uint32_t>(out.size()));
    for (int s : order) {
      const size_t at = out.size();
      out.resize(at + kRecordBytes, 0);
      out[at + 0] = static_cast<uint8_t>(p / 2);
      out[at + 1] = static_cast<uint8_t>(p % 2);
      out[at + 2] = static_cast<uint8_t>(s);
      out[at + 3] = 1;  // 256-byte sectors
      out[at + 4] = static_cast<uint8_t>(countField);
      out[at + 5] = static_cast<uint8_t>(countField >> 8);
      out[at + 14] = 0x00;
      out[at + 15] = 0x01;  // data size 256, little-endian
      if (s >= 1 && s <= 16) stored(p, s, out.data() + at + 16);
    }
  }
  for (const auto& [p, offset] : shape.trackOffset) PutLe32(out, 32 + 4 * p, offset);
  PutLe32(out, 28, static_cast<uint32_t>(out.size()));  // disk size
  if (shape.d88CutBytes >= 0) out.resize(static_cast<size_t>(shape.d88CutBytes));
  return out;
}

std::vector<uint8_t> WrapInD88(const std::vector<uint8_t>& raw) {
  std::vector<uint8_t> out(kHeaderBytes, 0);
  const size_t trackBytes = 16 * 256;
  for (size_t p = 0; p < 164 && p * trackBytes < raw.size(); p++) {
    PutLe32(out, 32 + 4 * static_cast<int>(p), static_cast<uint32_t>(out.size()));
    for (int s = 1; s <= 16; s++) {
      const size_t at = out.size();
      out.resize(at + kRecordBytes, 0);
      out[at + 0] = static_cast<uint8_t>(p / 2);
      out[at + 1] = static_cast<uint8_t>(p % 2);
      out[at + 2] = static_cast<uint8_t>(s);
      out[at + 3] = 1;
      out[at + 4] = 16;
      out[at + 15] = 0x01;
      const size_t from = p * trackBytes + (s - 1) * 256;
      for (size_t i = 0; i < 256 && from + i < raw.size(); i++) out[at + 16 + i] = raw[from + i];
    }
  }
  PutLe32(out, 28, static_cast<uint32_t>(out.size()));
  return out;
}

long D88DataOffset(const std::vector<uint8_t>& image, int physicalTrack, int sector) {
  if (image.size() < 688 || physicalTrack < 0 || physicalTrack >= 164) return -1;
  const size_t at = 32 + 4 * physicalTrack;
  uint32_t offset = image[at] | (image[at + 1] << 8) | (image[at + 2] << 16) |
                    (static_cast<uint32_t>(image[at + 3]) << 24);
  if (offset < 688) return -1;
  if (offset + 272 > image.size()) return -1;
  const int count = image[offset + 4] | (image[offset + 5] << 8);
  for (int k = 0; k < count && offset + 272 <= image.size(); k++, offset += 272)
    if (image[offset + 2] == sector) return static_cast<long>(offset) + 16;
  return -1;
}

void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

std::vector<uint8_t> ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary | std::ios::ate);
  if (!in) return {};
  std::vector<uint8_t> bytes(static_cast<size_t>(in.tellg()));
  in.seekg(0);
  in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return bytes;
}

bool FileExists(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return static_cast<bool>(in);
}

}  // namespace testimg
