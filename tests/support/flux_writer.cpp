#include "support/flux_writer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <random>

#include "image/mfm.h"
#include "support/mfm_reference.h"
#include "transfer/disk_copy.h"

namespace fluxw {
namespace {

void PutLe32(std::vector<uint8_t>* out, size_t at, uint32_t v) {
  for (int i = 0; i < 4; i++) (*out)[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

// The cells where the data field of sector `r` begins and ends, or {0, 0}.
std::pair<size_t, size_t> DataField(const std::string& cells, int r) {
  const std::vector<mfmref::Field> fields = mfmref::Fields(cells);
  for (size_t i = 0; i + 1 < fields.size(); i++)
    if (fields[i].mark == 0xFE && fields[i].bytes.size() >= 3 && fields[i].bytes[2] == r &&
        fields[i + 1].mark != 0xFE)
      return {fields[i + 1].at, fields[i + 1].at + 258 * 16};
  return {0, 0};
}

}  // namespace

std::vector<uint8_t> WriteScp(const DiskModel& disk, const FluxOptions& options) {
  const double tickNs = (options.resolution + 1) * 25.0;
  std::vector<uint8_t> out(kScpTableAt + 4 * 168, 0);
  std::memcpy(out.data(), "SCP", 3);
  out[3] = 0x19;
  out[4] = 0x80;
  out[kScpRevolutionsAt] = static_cast<uint8_t>(options.revolutions);
  out[8] = options.flags;
  out[kScpCellWidthAt] = 0;
  out[10] = 0;
  out[11] = options.resolution;
  std::mt19937 random(options.seed);
  std::normal_distribution<double> gauss(0.0, 1.0);
  int firstTrack = 255, lastTrack = 0;
  for (int p = 0; p < kModelTracks; p++) {
    if (disk.tracks[p].count == 0) continue;
    if (!options.only.empty() &&
        std::find(options.only.begin(), options.only.end(), p) == options.only.end())
      continue;
    std::vector<uint8_t> first(kMfmCellBytes), other;
    EXPECT_EQ(0, MfmEncodeTrack(&disk.tracks[p], first.data()));
    other = first;
    if (options.later) {
      EXPECT_EQ(0, MfmEncodeTrack(&options.later->tracks[p], other.data()));
    }
    const int entry = options.doubleStep ? 4 * (p / 2) + p % 2 : p;
    if (entry >= 168) continue;
    firstTrack = std::min(firstTrack, entry);
    lastTrack = std::max(lastTrack, entry);
    const size_t at = out.size();
    PutLe32(&out, kScpTableAt + 4 * entry, static_cast<uint32_t>(at));
    out.resize(at + 4 + 12 * options.revolutions, 0);
    std::memcpy(&out[at], "TRK", 3);
    out[at + 3] = static_cast<uint8_t>(entry);
    // A cell: 2 µs at 300 rpm, shorter on a faster drive or disk.
    const double cellNs = 2000.0 * 300.0 / options.rpm / options.speed;
    for (int rev = 0; rev < options.revolutions; rev++) {
      const std::vector<uint8_t>& cells = rev == 0 ? first : other;
      std::vector<std::pair<size_t, size_t>> lost;
      for (const Damage& d : options.damages)
        if (d.track == p && (d.revolution < 0 || d.revolution == rev)) {
          auto field = DataField(mfmref::CellText(cells.data(), kMfmCellBytes), d.r);
          // A stretch of the data field's middle.
          if (field.second > 0) lost.push_back({field.first + 800, field.first + 1200});
        }
      // Raw pointers in the loop: the writer runs for every test image, in debug builds too.
      const size_t n = cells.size() * 8;
      std::vector<uint8_t> flux(2 * n + 64);
      uint8_t* put = flux.data();
      size_t used = 0;
      int64_t lastTick = 0;
      const double d = options.drift;
      const uint8_t* bits = cells.data();
      const std::pair<size_t, size_t>* stretches = lost.data();
      const size_t stretchCount = lost.size();
      for (size_t i = 0; i < n; i++) {
        if (!(bits[i >> 3] >> (i & 7) & 1)) continue;
        // The cell's start and length: each cell (1 + d × (k / n - 0.5)) nominal cells long.
        const double k = static_cast<double>(i);
        const double start = cellNs * (k + d * (k * (k - 1) / (2.0 * n) - k / 2));
        const double length = cellNs * (1.0 + d * (k / n - 0.5));
        bool noise = false;
        for (size_t l = 0; l < stretchCount; l++)
          noise = noise || (i >= stretches[l].first && i < stretches[l].second);
        double at = start + length / 2;
        if (noise)
          at += length * (gauss(random) > 0 ? 1.0 : -1.0);
        else if (options.jitter != 0)
          at += options.jitter * length * gauss(random);
        int64_t tick = std::llround(at / tickNs);
        if (tick <= lastTick) tick = lastTick + 1;
        int64_t interval = tick - lastTick;
        lastTick = tick;
        while (interval >= 65536) {
          put[used++] = 0;
          put[used++] = 0;
          interval -= 65536;
        }
        put[used++] = static_cast<uint8_t>(interval >> 8);
        put[used++] = static_cast<uint8_t>(interval);
      }
      flux.resize(used);
      const double nd = static_cast<double>(n);
      const double time = cellNs * (nd + d * (nd * (nd - 1) / (2.0 * nd) - nd / 2));
      const size_t entryAt = at + 4 + 12 * rev;
      PutLe32(&out, entryAt, static_cast<uint32_t>(std::llround(time / tickNs)));
      PutLe32(&out, entryAt + 4, static_cast<uint32_t>(flux.size() / 2));
      PutLe32(&out, entryAt + 8, static_cast<uint32_t>(out.size() - at));
      out.insert(out.end(), flux.begin(), flux.end());
    }
  }
  out[6] = static_cast<uint8_t>(firstTrack == 255 ? 0 : firstTrack);
  out[7] = static_cast<uint8_t>(lastTrack);
  uint32_t sum = 0;
  for (size_t i = kScpTableAt; i < out.size(); i++) sum += out[i];
  PutLe32(&out, kScpChecksumAt, sum);
  return out;
}

void LoadModel(const std::string& path, int machineMode, DiskModel* model) {
  auto source = std::make_unique<CopySource>();
  ASSERT_EQ(0, CopySourceOpen(nullptr, path.c_str(), machineMode, source.get()));
  ASSERT_EQ(0, CopySourceLoad(nullptr, source.get(), 0, model));
}

}  // namespace fluxw
