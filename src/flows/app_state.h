// The one process-wide state record that holds the loaded volume and the program's settings.
#pragma once

#include <cstdint>

#include "codes/code_tables.h"
#include "image/change_history.h"
#include "image/image_basics.h"
#include "image/journal.h"
#include "platform/platform.h"
#include "volume/volume_state.h"

// The loaded volume is the record's VolumeState part.
struct AppState : VolumeState {
  WindowHandle ListWindow;
  WindowHandle PanelWindow;
  void* Instance;
  char ImagePath[kWindowPathCapacity];
  char ChosenPath[kWindowPathCapacity];
  char FileTitle[64];
  int ImageFormat;  // the format the extension named (kFormat2D, ...): its container reads the
                    // image
  // The disk of a D88 file that holds several: where its header lies and where its extent ends
  // (both 0 for a file of one disk, whose records may lie anywhere in the file), its number and
  // how many disks the file holds (0 or 1 for a file of one disk).
  uint32_t DiskBase;
  uint32_t DiskEnd;
  int DiskIndex;
  int DiskCount;
  int MachineMode;
  int TransferMode;
  int VolumeLoaded;
  int WriteProtected;  // the loaded disk refuses changes (read at each load)
  uint8_t PendingEntry[32];
  CodeTables Tables;
  int English;  // the window speaks English (View > English, ZELVO_LANG=en); 0: Japanese
  // The change in progress of the open image (journal.h) and its committed changes, for undo and
  // redo: the window's own, kept beside the record.
  ImageChange* Change;
  ChangeHistory* History;
};

extern AppState App;

// Zero-fills the whole record, as at program start (no change in progress, an empty history).
void ResetAppState();
// The text the window shows for `text`: the English form of a table text while the window speaks
// English, else `text` itself (a Japanese table text, or a text of no table).
const char* WindowText(const char* text);
// ApplyExdirRule (volume_state.h) on App.
void ApplyExdirRule();
