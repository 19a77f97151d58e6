// The texts of a deleted entry's verdict, in the program's language or in English.
#pragma once

#include "volume/deleted_entries.h"

// The verdict as ls --deleted and the window's list show it (code page 932, or English when
// `english`).
void FormatDeletedVerdict(const DeletedEntry& entry, bool english, char* text, int capacity);
