#include "view/sector_dump.h"

#include <cstdio>
#include <cstring>

#include "image/image_basics.h"
#include "view/sector_owner.h"

void FormatSectorDump(const uint8_t* sector, const uint16_t* tbl1, char* text, int capacity) {
  if (capacity <= 0) return;
  text[0] = '\0';
  size_t used = 0;
  const size_t size = static_cast<size_t>(capacity);
  for (int line = 0; line < kSectorBytes / 16; ++line) {
    char row[160];
    FormatHexLine(sector + line * 16, line * 16, tbl1, row, sizeof row);
    // Control codes would break the edit control's lines.
    for (char* c = row; *c; ++c)
      if (static_cast<unsigned char>(*c) < 0x20) *c = '.';
    const int n = std::snprintf(text + used, size - used, line == 0 ? "%s" : "\r\n%s", row);
    if (n < 0 || used + static_cast<size_t>(n) >= size) return;
    used += static_cast<size_t>(n);
  }
}

bool ParseSectorNumber(const char* text, long* value) {
  while (*text == ' ') ++text;
  int base = 10;
  if (text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    base = 16;
    text += 2;
  }
  long result = 0;
  int digits = 0;
  for (; *text && *text != ' '; ++text, ++digits) {
    int digit;
    if (*text >= '0' && *text <= '9') {
      digit = *text - '0';
    } else if (base == 16 && *text >= 'a' && *text <= 'f') {
      digit = *text - 'a' + 10;
    } else if (base == 16 && *text >= 'A' && *text <= 'F') {
      digit = *text - 'A' + 10;
    } else {
      return false;
    }
    if (digits == 5) return false;
    result = result * base + digit;
  }
  while (*text == ' ') ++text;
  if (digits == 0 || *text != '\0') return false;
  *value = result;
  return true;
}

int StepSectorIndex(int index, int delta) {
  const int total = kLastSectorIndex + 1;
  return ((index + delta) % total + total) % total;
}
