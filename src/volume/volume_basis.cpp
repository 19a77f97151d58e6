#include "volume/volume_basis.h"

#include "image/journal.h"

namespace {

// FNV-1a over the bytes: enough to tell two readings of the same sectors apart.
uint32_t Sum(const uint8_t* bytes, unsigned count, uint32_t sum) {
  for (unsigned i = 0; i < count; i++) sum = (sum ^ bytes[i]) * 16777619u;
  return sum;
}

}  // namespace

void NoteVolumeBasis(VolumeState* volume, const ImageTarget* target) {
  uint32_t sum = Sum(volume->SystemArea, sizeof volume->SystemArea, 2166136261u);
  volume->BasisSum = Sum(volume->DirectoryBuffer, sizeof volume->DirectoryBuffer, sum);
  volume->BasisCommits = target->change ? target->change->commits : 0;
  volume->BasisKnown = 1;
}

bool VolumeBasisHolds(const VolumeState& planned, const VolumeState& now,
                      const ImageTarget* target) {
  if (!planned.BasisKnown) return false;
  if (planned.BasisCommits != (target->change ? target->change->commits : 0)) return true;
  return now.BasisKnown && now.BasisSum == planned.BasisSum;
}
