// What a change was planned from. The Windows program plans a change (its dialogs, its question)
// without holding the image; at the commit, holding it, it reads the system area and directory
// again and refuses when another program changed them meanwhile.
#pragma once

#include "volume/volume_state.h"

// Notes the system area and directory now in `volume` as read from its image.
void NoteVolumeBasis(VolumeState* volume);
// Whether `now`, read at the commit, still is what `planned` was planned from. True also when
// nothing can be compared: the plan's volume was never read, or this process has changed images
// since (its own change is no other program's).
bool VolumeBasisHolds(const VolumeState& planned, const VolumeState& now);
