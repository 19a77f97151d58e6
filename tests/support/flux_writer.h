// A writer of flux dumps (SCP) for the tests: each track of a disk model encoded by the MFM codec
// and its cells laid out as flux intervals, with the faults of a real drive added on request.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "image/disk_model.h"

namespace fluxw {

// A stretch of one revolution where the flux is noise (each transition anywhere within a cell of
// its place): the middle of the data field of sector `r` of physical track `track`, in
// revolution `revolution` (-1: in every revolution).
struct Damage {
  int track;
  int r;
  int revolution;
};

struct FluxOptions {
  int revolutions = 2;
  double jitter = 0;       // σ of each transition's time, as a share of a cell
  double speed = 1.0;      // the drive's speed against 300 rpm (1.02: 2 % fast)
  double drift = 0;        // how much the cell grows from a revolution's start to its end (0.04)
  int rpm = 300;           // the disk's speed as the drive spins it
  uint8_t resolution = 0;  // header byte 11: ticks of (value + 1) × 25 ns
  uint8_t flags = 0x01;
  bool doubleStep = false;  // written by a 96 tpi drive: track p on cylinder 2 × (p / 2)
  unsigned seed = 1;
  std::vector<Damage> damages;
  std::vector<int> only;  // the physical tracks recorded (empty: every track with sectors)
  const DiskModel* later = nullptr;  // what the revolutions after the first read, when not `disk`
};

// The SCP file of the model's tracks that hold sectors (the others unrecorded).
std::vector<uint8_t> WriteScp(const DiskModel& disk, const FluxOptions& options);

// The model of an image file as the converter reads it (disk 0, PC convention kept as stored).
void LoadModel(const std::string& path, int machineMode, DiskModel* model);

// Offsets of the SCP header fields the malformed-file tests change.
inline constexpr int kScpRevolutionsAt = 5;
inline constexpr int kScpCellWidthAt = 9;
inline constexpr int kScpChecksumAt = 12;
inline constexpr int kScpTableAt = 0x10;

}  // namespace fluxw
