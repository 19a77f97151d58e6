#include "image/decoded_read.h"

#include <cstring>

#include "image/container.h"
#include "image/disk_model.h"

namespace {

ModelTrack Kept;
int KeptTrack = -1;

}  // namespace

void DecodedForget() { KeptTrack = -1; }

int DecodedReadSector(ImageSource* source, const ImageTarget* target, int physicalTrack, int sector,
                      uint8_t* chunk) {
  if (KeptTrack != physicalTrack) {
    KeptTrack = -1;
    if (target->kind->readTrack(source, target, physicalTrack, &Kept) != kTrackRead) return -1;
    KeptTrack = physicalTrack;
  }
  const ModelSector* s = ModelFindSector(&Kept, sector);
  if (!s) {
    std::memset(chunk, 0, 256);
    return 0;
  }
  if (s->marks & kSectorCrcBad) return -1;
  std::memcpy(chunk, s->data, 256);
  return 0;
}
