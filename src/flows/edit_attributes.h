// The attributes command of the main window: name and attributes of an existing file, through the
// file attribute dialog.
#pragma once

#include "platform/platform.h"

// Opens the attribute dialog on the file in `slot` (of the volume as last loaded); on OK (and,
// when askFirst, a Yes to the question) writes the directory half holding the slot as one change
// and loads the volume again. 0 when the image was changed, -1 otherwise.
int EditFileAttributes(WindowHandle window, int slot, bool askFirst);
// The file of the first selected list row.
int EditSelectedFileAttributes(WindowHandle window);
