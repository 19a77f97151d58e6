// The delete command of the main window: one or several files of the loaded volume, in one change.
#pragma once

#include "platform/platform.h"

// Deletes the files in the slots (of the volume as last loaded) after one question. Refuses the
// whole change when one of them is locked. 0 when the image was changed, -1 otherwise (refused,
// answered No or failed; every refusal and failure has shown its message).
int DeleteFiles(WindowHandle window, const int* slots, int count);
// The files of the selected list rows.
int DeleteSelectedFiles(WindowHandle window);
