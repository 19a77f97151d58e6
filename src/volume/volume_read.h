// Reading a volume from an image: the system area, then the directory (and the extended
// directory when the system area names one).
#pragma once

#include "image/image_target.h"
#include "texts/outcome.h"
#include "volume/volume_state.h"

// Fills `volume` from the image of `target`. 0, or -1 with the sector reader's message (caption
// "ZLV_ReadZelvoFile") in the outcome; the directory read so far is then kept.
int ReadVolume(const ImageTarget* target, VolumeState* volume, Outcome* out);
