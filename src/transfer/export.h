// Exporting the selected file of the list into a host file.
#pragma once

#include <cstdint>

#include "platform/platform.h"

inline constexpr int kExportBufferBytes = 344064;  // 84 tracks x 16 sectors x 256 bytes

// Writes the file shown in list row `row` into a host file chosen in the save dialog.
void ExportSelectedFile(WindowHandle window, int row);
// The Ascii conversion: 0x00 stays, 0x0D becomes CR LF, other bytes go through tbl2; a last
// zero byte of the output is dropped. Returns the output length (at most 2 x length).
long ConvertExportText(const uint8_t* input, long length, const uint8_t* tbl2, uint8_t* output);
