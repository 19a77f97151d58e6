// What the window's file commands share: the volume read again into App before a change, its
// messages shown where the program shows them.
#pragma once

#include "platform/platform.h"

// Reads the volume of App's image into App again. The files the command was given (slots of the
// volume as last loaded) must hold the same entries as before; when the image changed under them,
// the user is told and the volume loaded again. 0, or -1 after a message.
int RereadForChangeShown(WindowHandle window, const int* slots, int count);
