// Importing a host file into the loaded volume as a new file.
#pragma once

#include <cstdint>

#include "platform/platform.h"

inline constexpr int kImportBufferBytes = 257 * 256;  // 65537 converted bytes and the 0xFF tail

void ImportHostFile(WindowHandle window);
// The Ascii conversion through tbl3, with CR LF as 0x0D and the 0x0D 0x00 terminator. The output
// holds at least length + 2 bytes. Returns the output length.
long ConvertImportText(const uint8_t* input, long length, const uint8_t* tbl3, uint8_t* output);
// Copies App.PendingEntry into the first free slot of the first EntryCount slots; 0 or -1.
int StorePendingEntry();
