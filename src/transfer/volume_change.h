// What the file commands share: the volume read again before a change, and the directory halves
// and the system area written back as one change.
#pragma once

#include "image/image_target.h"
#include "texts/outcome.h"
#include "volume/volume_state.h"

// Reads the system area of the target into the volume, decides its extended directory and reads
// the directory halves. 0, or -1 with the read's message in the outcome (what was read so far
// stays in the volume).
int ReadVolumeState(Outcome* out, const ImageTarget* target, VolumeState* volume);

// The volume read again before a change to the files in `slots` (of the volume as last loaded).
enum RereadResult {
  kRereadSame = 0,      // every slot holds the entry it held
  kRereadFailed = -1,   // the read failed: its message is in the outcome
  kRereadChanged = -2,  // the image changed under the slots: the message is in the outcome
};
// Begins a change planned from `volume` (refused first for a disk recorded under the other
// convention, RefuseOtherConvention; then BeginImageChange), then reads the system area and
// directory again under it: when another program changed them since they were read, the change is
// dropped and refused with kMsgVolumeChanged. 0, or -1 with the messages in the outcome.
int BeginPlannedChange(Outcome* out, const ImageTarget* target, const VolumeState* volume);
int RereadForChange(Outcome* out, const ImageTarget* target, VolumeState* volume, const int* slots,
                    int count);

// The first sector index of the volume's extended directory, or -1 when it has none.
int ExdirFirstIndex(const VolumeState* volume);

// Writes the directory halves (bit 0 directory, bit 1 extended directory) and then, when
// withSystemArea, the system area, as one change, once the image is found to carry each of their
// sectors in a record of its own. The buffers written are left in stored form. 0, or -1 with the
// messages in the outcome (nothing of the change reaches the image).
int CommitVolumeChange(Outcome* out, const ImageTarget* target, VolumeState* volume, int halves,
                       bool withSystemArea);
