// The list's selection around the main window's commands. Rows are those of the seam (the order
// of insertion), wherever the sorted list shows them.
#pragma once

// Selects the row `row` alone; a row past the end selects the last one.
void SelectOnly(int row);
// How often the list has been filled so far (a reload selects the first row shown).
int ListFills();
// Whether the list was filled again since `fills`.
bool Refilled(int fills);
