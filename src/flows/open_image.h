// The Open command: the file dialog, the format from the extension, the disk chooser for a file
// of several disks, then the load of the volume.
#pragma once

#include "platform/platform.h"

// The Open command: file dialog, extension check, then LoadVolume.
void OpenImageCommand(WindowHandle owner);
// Opens the image at `path` exactly as if it had been chosen in the Open dialog (a path named on
// the command line, a dropped file): the path goes into ChosenPath, then the same checks.
void OpenImagePath(WindowHandle owner, const char* path);
// The Open dialog's filter list: all files, then each container kind's filters in table order.
const char* OpenImageFilter();
