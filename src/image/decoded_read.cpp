#include "image/decoded_read.h"

#include <cstring>

#include "image/container.h"
#include "image/disk_model.h"

void DecodedForget(ImageSource* source) { source->keptTrack = -1; }

int DecodedReadSector(ImageSource* source, const ImageTarget* target, int physicalTrack, int sector,
                      uint8_t* chunk) {
  if (source->keptTrack != physicalTrack) {
    source->keptTrack = -1;
    if (target->kind->readTrack(source, target, physicalTrack, &source->kept) != kTrackRead)
      return -1;
    source->keptTrack = physicalTrack;
  }
  const ModelSector* s = ModelFindSector(&source->kept, sector);
  if (!s) {
    std::memset(chunk, 0, 256);
    return 0;
  }
  // A data field whose CRC fails gives the bytes it holds, as a D88 or IMD record of a sector read
  // with an error does; the health report says which sectors they are.
  std::memcpy(chunk, s->data, 256);
  return 0;
}

int DecodedCarriesRuns(ImageSource* source, const ImageTarget* target, const SectorRun* runs,
                       int runCount, ModelTrack* work) {
  int decoded = -1;  // the physical track `work` holds
  for (int r = 0; r < runCount; r++) {
    int track = runs[r].track;
    int sector = runs[r].sector;
    const int count = SectorsFor(runs[r].byteCount < 0 ? 0 : runs[r].byteCount);
    for (int k = 0; k < count; k++) {
      if (!SectorAddressValid(track, sector)) return 0;
      const int physical = PhysicalTrack(track, target->machineMode);
      if (physical != decoded) {
        decoded = -1;
        const int read = target->kind->readTrack(source, target, physical, work);
        if (read == kTrackReadError) return -1;
        if (read != kTrackRead) return 0;
        decoded = physical;
      }
      if (!ModelFindSector(work, sector)) return 0;
      StepSector(&track, &sector);
    }
  }
  return 1;
}
