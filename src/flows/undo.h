// Undo and Redo of the main window: the last change made to the image taken back, or the last
// undone one made again.
#pragma once

#include "platform/platform.h"

// Each is a journalled change of its own, refused when the image no longer holds what the step
// expects; after it the volume is loaded again.
void UndoLastChange(WindowHandle window);
void RedoLastChange(WindowHandle window);
