// Copying files from one image to another with every attribute: the files read from the source
// volume (only read), then placed into the target volume and written as one change of it.
#pragma once

#include <cstdint>

#include "image/image_target.h"
#include "texts/outcome.h"
#include "volume/file_ops.h"
#include "volume/format.h"
#include "volume/layout.h"
#include "volume/volume_state.h"

// The files read for a copy: their entries and their data, one after the other.
struct CopyWork {
  int count;
  uint8_t entries[kMaxSlots][kEntryBytes];
  long lengths[kMaxSlots];
  long offsets[kMaxSlots];
  uint8_t data[kVolumeBytes];
};

// Reads the files of the used `slots` of the source volume (read from `source`) into `work`.
// 0, or -1 with the read's message.
int ReadCopyFiles(const ImageTarget* source, const VolumeState* volume, const int* slots, int count,
                  CopyWork* work, Outcome* out);

// Places the files into the target volume (loaded from `target`) and writes them, the bit table
// and the directory as one change: the change's first checks (RefuseChange) first; a name that
// the target holds already is refused unless `replace` (a locked one always). Each file keeps its
// entry but for its place. 0, or -1 with the refusal or the write's messages (the target then
// unchanged).
int WriteCopyFiles(const ImageTarget* target, VolumeState* volume, const CopyWork& work,
                   bool replace, Outcome* out);
