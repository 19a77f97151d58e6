// What a change was planned from. The Windows program plans a change (its dialogs, its question)
// without holding the image; at the commit, holding it, it reads the system area and directory
// again and refuses when another program changed them meanwhile.
#pragma once

#include "image/image_target.h"
#include "volume/volume_state.h"

// Notes the system area and directory now in `volume` as read from the target's image. Every read
// that a change will be planned on notes it.
void NoteVolumeBasis(VolumeState* volume, const ImageTarget* target);
// Whether `now`, read at the commit of a change to the target's image, still is what `planned`
// was planned from. True also when the target's record has changed that image since the plan's
// volume was read (its own change is no other program's). False for a plan whose volume was never
// read: there is nothing to compare it with.
bool VolumeBasisHolds(const VolumeState& planned, const VolumeState& now,
                      const ImageTarget* target);
