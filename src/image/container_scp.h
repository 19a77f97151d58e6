// The SCP container: flux dumps of a floppy drive, read only. Each track is decoded from its
// revolutions of flux (image/scp_decode.h) into sectors; a change of the image is refused.
#pragma once

#include "image/container.h"

extern const ContainerKind kScpContainer;
