// Importing many host files into the loaded volume in one transaction.
#pragma once

#include "platform/platform.h"

// Imports the host files in order, each as the Import command would one after the other (the
// attribute dialog for each in turn, its name from the host file's name), with one confirmation
// and one transaction. Files whose data cannot go in are listed first with their reasons, and
// the user chooses whether to import the others (No writes nothing; *failed: the first of them).
// Every file is read, checked and placed in memory before the first write: when any of them is
// refused nothing is written and the message names the file; a cancelled dialog or the answer No
// writes nothing. *failed (when given) receives the index of the file that stopped the batch, or
// -1. 0 when the image was written, -1 otherwise.
int ImportHostFiles(WindowHandle window, const char* const* paths, int count, int* failed);
