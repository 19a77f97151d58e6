// What the file commands share: the volume read again before a change, and the directory halves
// written back inside the change.
#pragma once

#include "platform/platform.h"

// Reads the system area and the directories of the image into App again. The files the command
// was given (slots of the volume as last loaded) must hold the same entries as before; when the
// image changed under them, the volume is loaded again and the user told. 0, or -1 after a message.
int RereadForChange(WindowHandle window, const int* slots, int count);

// The first sector index of the extended directory, or -1 when the volume has none.
int ExdirFirstIndex();

// Writes the directory halves (bit 0 directory, bit 1 extended directory) and then, when
// withSystemArea, the system area, as one change, once the image is found to carry each of their
// sectors in a record of its own; then loads the volume again either way. 0, or -1 after a message
// (nothing of the change reaches the image).
int CommitVolumeChange(WindowHandle window, int halves, bool withSystemArea);
