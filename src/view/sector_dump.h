// The sector view's text: a whole sector as hex lines, the addresses typed into its fields, and
// the step to the previous or next sector.
#pragma once

#include <cstdint>

// The 16 hex lines of one 256-byte sector (FormatHexLine), joined by "\r\n" for a multi-line
// edit control. Code page 932.
void FormatSectorDump(const uint8_t* sector, const uint16_t* tbl1, char* text, int capacity);
// A number typed into a field: decimal, or hex after "0x"/"0X"; blanks around it are allowed.
// False for anything else (empty, a sign, stray characters, more than 5 digits).
bool ParseSectorNumber(const char* text, long* value);
// The sector `delta` away from `index`, wrapping around the disk (0-1343).
int StepSectorIndex(int index, int delta);
