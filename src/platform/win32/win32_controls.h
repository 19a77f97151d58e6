// What the Windows program asks of the adapter beyond the seam: the status bar's id and the
// order in which the directory list shows its rows.
#pragma once

#include <windows.h>

#include <map>
#include <string>

#include "texts/texts.h"

// The status bar, a child of the main window: the modes' part, then the volume's (as wide as its
// text), then the outcome's.
inline constexpr int kStatusBarId = 1300;
inline constexpr int kStatusModesWidth = 110;
inline constexpr int kStatusVolumeMinWidth = 210;
// Sizes the parts to the texts they show now.
void FitStatusParts(HWND bar);

// Orders the shown rows by a column's texts, ascending; the same column again reverses the
// order. Numbers (texts of hexadecimal digits only) compare by value. Rows of equal texts keep
// the order they were inserted in. The order stays for the rows of later loads (ListFilled).
void ListSortByColumn(HWND list, int column);
// Whether the column's title shows whole with the sort arrow beside it (else it goes unmarked).
bool SortMarkFits(HWND list, int column);
// Where the list shows the seam's row `row` (rows numbered in the order of insertion), and the
// seam's row of the row shown at `shown`; -1 when there is no such row.
int ListShownIndex(HWND list, int row);
int ListInsertedIndex(HWND list, int shown);
// How many times the list was filled (ListFilled), so a caller can tell a reload happened.
int ListFillCount(HWND list);
// The column the rows are ordered by (-1 for none, the order of insertion) and the direction.
int ListSortColumn(HWND list, bool* descending);

// The menus and dialogs hold the Japanese texts of the table of texts; while the window speaks
// English these show each such text's English form instead (a menu: its items and submenus; a
// dialog: its caption and controls). Texts of no table row stay as they are.
void ShowMenuTexts(HMENU menu);
void ShowDialogTexts(HWND dialog);
// The table row of a Japanese text given in UTF-16, or null.
const TextEntry* TextEntryOfShown(const std::wstring& text);

// The folder each file dialog was last confirmed in (ANSI paths, the last separator included),
// keyed by the dialog's title (code page 932). A dialog whose initial file name has no folder
// starts there.
std::map<std::string, std::string>& FileDialogFolders();
