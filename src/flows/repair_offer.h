// The window's check, second step: the bit table mended from the directory when they disagree,
// after a question, in one change that Undo takes back.
#pragma once

#include "platform/platform.h"

// When App's bit table misses sectors that live files or the extended directory use (and no
// files share sectors or leave the disk), asks whether to mark them used and, on Yes, writes the
// system area in one change, shows the outcome and loads the volume again. Nothing on a
// write-protected disk. 0 when repaired, 1 when nothing was offered or the answer was No, -1 when
// the change failed.
int OfferBitTableRepair(WindowHandle window);
