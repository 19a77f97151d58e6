// The list's selection around the main window's commands. Rows are those of the seam (the order
// of insertion), wherever the sorted list shows them.
#pragma once

#include <cstdint>

// Selects the row `row` alone; a row past the end selects the last one.
void SelectOnly(int row);
// How often the list has been filled so far (a reload selects the first row shown).
int ListFills();
// Whether the list was filled again since `fills`.
bool Refilled(int fills);

// The selection before a command that may read the volume again (undo, redo, import, F5).
struct SelectionMemo {
  uint8_t directory[4096];  // the directory as it was
  int entryCount;
  int slot;  // the selected file's slot, or -1
  int row;   // its row, or -1
  int fills;
};
void RememberSelection(SelectionMemo* memo);
// After the command, when the list was filled again or lost its selection: the file the command
// added, restored or changed; else the same file; else the same row.
void RestoreSelection(const SelectionMemo& memo);
