// No change to a volume read under the convention it was not recorded in: a volume read under the
// wrong convention shows a bit table and a directory of noise, and a change would write over the
// sectors of other files.
#pragma once

#include "image/image_target.h"
#include "texts/outcome.h"
#include "volume/identify.h"

// The convention the identification places the disk under when it is not `mode`: its verdict is
// the other convention and not ambiguous. kVerdictNone otherwise. What the window's status line
// and the page hint at.
int OtherConvention(const Identification& id, int mode);
// The convention a disk is recorded under when a change under `mode` would damage it: the
// identification places it under the other convention and its volume does not read as a volume
// under `mode`. kVerdictNone otherwise.
int RefusingConvention(const Identification& id, int mode);
// The same for the target's disk under the target's convention: kVerdictNone also when the image
// cannot be identified.
int ContradictedConvention(const ImageTarget* target);

// The first check of every change: refused before anything is asked or written when the disk is
// write-protected, of a container that takes no changes, or recorded under the other convention
// (unless the target's change has anyConvention: zelvo's --any-convention, for a disk that fools
// identify). 0, or -1 with the message in the outcome.
int RefuseChange(Outcome* out, const ImageTarget* target);
// The convention part alone, as a change begins (BeginPlannedChange): a disk whose first check
// passed for this target is not identified again. 0, or -1 with the message in the outcome.
int RefuseOtherConvention(Outcome* out, const ImageTarget* target);
