// Exporting the selected file of the list into a host file.
#pragma once

#include <cstdint>

#include "platform/platform.h"

inline constexpr int kExportBufferBytes = 344064;  // 84 tracks x 16 sectors x 256 bytes
inline constexpr int kHostNameBytes = 256;

// Writes the file shown in list row `row` into a host file chosen in the save dialog.
void ExportSelectedFile(WindowHandle window, int row);
// The Ascii conversion: 0x00 stays, 0x0D becomes CR LF, other bytes go through tbl2; a last
// zero byte of the output is dropped. Returns the output length (at most 2 x length).
long ConvertExportText(const uint8_t* input, long length, const uint8_t* tbl2, uint8_t* output);

// The steps of an export, shared with the export of many files.
// The default host name of list row `row` (kHostNameBytes): name cell, '.', three type characters.
void DefaultExportName(int row, char* hostName);
// Reads the file of list row `row` and converts it in Ascii mode; *data points into the export's
// work area until the next read. 0, or -1 after the sector reader's message.
int ReadRowData(WindowHandle window, int row, const uint8_t** data, long* length);
// Writes the bytes into a new host file, replacing any file of that name. 0 or -1.
int WriteHostFile(const char* path, const uint8_t* data, long length);
