// The texts of the main window's status line: the modes, the volume's counts, an outcome.
#pragma once

#include <cstdint>

inline constexpr int kStatusCapacity = 256;

// "MZ / Binary" and the like.
void ComposeModeStatus(int machineMode, int transferMode, char* out, int capacity);
// Free sectors of the data tracks (2-83) in the bit table at the start of the system area.
int CountFreeSectors(const uint8_t* bitTable);
// "3ファイル、空き1290セクタ" ("3 files, 1290 sectors free" in English); empty when no volume is
// loaded.
void ComposeVolumeStatus(bool loaded, int files, int freeSectors, char* out, int capacity,
                         bool english = false);
// The volume part as the window shows it: the counts, the free sectors an import can use (as
// UsableFreeSectors counts them), the largest file that still fits and, for a write-protected
// disk, the mark; empty when no volume is loaded.
struct VolumeStatusFacts {
  bool loaded;
  int files;
  const uint8_t* bitTable;  // the start of the system area
  bool writeProtected;
};
void ComposeVolumeStatusLine(const VolumeStatusFacts& facts, char* out, int capacity,
                             bool english = false);
// "README.TXT exported, 91 bytes": the name as the list shows it, the bytes written.
void ComposeExportStatus(const char* name, long bytes, char* out, int capacity);
