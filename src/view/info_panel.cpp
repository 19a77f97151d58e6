#include "view/info_panel.h"

#include <cstdio>
#include <cstring>

#include "volume/layout.h"

namespace {

// Appends formatted text at the end of `text`, never past the panel buffer.
template <typename... Args>
void Append(char* text, const char* format, Args... args) {
  const size_t used = std::strlen(text);
  if (used + 1 >= static_cast<size_t>(kPanelTextCapacity)) return;
  std::snprintf(text + used, kPanelTextCapacity - used, format, args...);
}

// Copies the bytes of a volume text up to the first stop byte or `limit` bytes, then masks it.
void VolumeText(const unsigned char* from, int limit, bool stopAtReturn, char* out) {
  int n = 0;
  while (n < limit && from[n] != 0 && !(stopAtReturn && from[n] == 0x0D)) {
    out[n] = static_cast<char>(from[n]);
    n++;
  }
  out[n] = '\0';
  MaskPanelText(out);
}

}  // namespace

void MaskPanelText(char* text) {
  for (unsigned char* p = reinterpret_cast<unsigned char*>(text); *p != 0; p++) {
    const unsigned char b = *p;
    const bool kept = (b >= 0x20 && b <= 0x7F) || (b >= 0xA0 && b <= 0xDF);
    if (!kept) *p = '?';
  }
}

void ComposeInfoText(const unsigned char* systemArea, int exdirPresent, int exdirTrack,
                     int exdirSector, int fileCount, char* text) {
  text[0] = '\0';
  Append(text, "%s", "  information\n");

  const unsigned volume = VolumeNumber(systemArea);
  if (volume != 0)
    Append(text, "%s%d  ", "   Volume Number:", static_cast<int>(volume));
  else
    Append(text, "%sMaster  ", "   Volume Number:");

  char name[kSysDiskNameMax + 1];
  VolumeText(systemArea + kSysDiskName, kSysDiskNameMax, false, name);
  Append(text, "%s%s\n", "   Disk Name:", name);

  Append(text, "%s", "   Date:");
  Append(text, "%02X/%02X/%02X  ", systemArea[kSysDate], systemArea[kSysDate + 1],
         systemArea[kSysDate + 2]);

  const bool fm = systemArea[kSysIdMark] == 0x46 && systemArea[kSysIdMark + 1] == 0x4D;
  Append(text, "%s%s", "   ID:", fm ? "FM  " : "  ");

  if (exdirPresent == 1)
    Append(text, "%sTrk%02X Sct%02X   (%d files)\n", "   EXDIR:", exdirTrack, exdirSector,
           fileCount);
  else
    Append(text, "%sNone   (%d files)\n", "   EXDIR:", fileCount);

  char autoStart[kSysAutoStartMax + 1];
  VolumeText(systemArea + kSysAutoStart, kSysAutoStartMax, true, autoStart);
  Append(text, "%s%s", "   Auto Start:", autoStart);
}
