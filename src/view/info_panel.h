// The volume information panel above the list.
#pragma once

inline constexpr int kPanelTextCapacity = 1024;

// The panel text of a volume's system area, its extended directory and its file count.
void ComposeInfoText(const unsigned char* systemArea, int exdirPresent, int exdirTrack,
                     int exdirSector, int fileCount, char* text);
// Replaces every byte outside 0x20-0x7F and 0xA0-0xDF by '?', up to the zero byte.
void MaskPanelText(char* text);
