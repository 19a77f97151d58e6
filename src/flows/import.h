// The Import command: a host file chosen in the open dialog, its attributes in the attribute
// dialog, then the confirmation, written into App's volume.
#pragma once

#include "platform/platform.h"

void ImportHostFile(WindowHandle window);
// Re-reads the system area and the directories of App's image into App. 0, or -1 after the
// read's message.
int RereadVolume(WindowHandle window);
