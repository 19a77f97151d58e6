// The one seam between the program's logic and the window system.
//
// Each executable links exactly one implementation: win32/ (the real program), scripted/ (tests)
// or console/ (the zelvo tool). Texts cross this seam as code page 932 byte strings ended by a
// zero byte; an implementation that shows them converts them itself.
#pragma once

#include <cstdint>
#include <cstdio>

#include "image/host_files.h"

using WindowHandle = void*;

// Message box flags and button ids, with their Win32 values.
inline constexpr unsigned kMbOk = 0x00;
inline constexpr unsigned kMbYesNoCancel = 0x03;
inline constexpr unsigned kMbYesNo = 0x04;
inline constexpr unsigned kMbIconQuestion = 0x20;
inline constexpr int kIdOk = 1;
inline constexpr int kIdCancel = 2;
inline constexpr int kIdYes = 6;
inline constexpr int kIdNo = 7;

// Shows a modal message box owned by `owner`; returns the id of the button that closed it.
int PlatformMessageBox(WindowHandle owner, const char* text, const char* caption, unsigned flags);

// The open and save file dialogs, with the members of the Win32 OPENFILENAMEA record that the
// program fills. `file` is both the initial file name and, on success, the chosen path.
inline constexpr unsigned kOfnOverwritePrompt = 0x2;
inline constexpr unsigned kOfnHideReadOnly = 0x4;
inline constexpr unsigned kOfnFileMustExist = 0x1000;
struct FileDialogRequest {
  unsigned structSize;    // lStructSize (76)
  const char* filter;     // pairs of NUL-terminated strings, ended by an empty string
  unsigned filterIndex;   // nFilterIndex
  char* file;             // lpstrFile
  unsigned fileCapacity;  // nMaxFile
  char* fileTitle;        // lpstrFileTitle, may be null
  unsigned fileTitleCapacity;
  const char* title;   // lpstrTitle
  unsigned flags;      // Flags
  const char* defExt;  // lpstrDefExt
};
// Both return non-zero when the user confirmed a path, 0 on cancel or failure.
int PlatformGetOpenFileName(WindowHandle owner, FileDialogRequest* request);
int PlatformGetSaveFileName(WindowHandle owner, FileDialogRequest* request);
// After a zero return of a file dialog: 0 when the user cancelled, otherwise an error code.
unsigned long PlatformCommDlgExtendedError();

// The report-style directory list. Rows stay in insertion order; cells are read back as texts.
void ListInsertColumn(WindowHandle list, int index, int width, const char* title);
void ListInsertRow(WindowHandle list, int row, const char* firstCell);
void ListSetCell(WindowHandle list, int row, int column, const char* text);
// Copies at most capacity - 1 bytes of the cell and a terminating zero into `buffer`.
void ListGetCell(WindowHandle list, int row, int column, char* buffer, int capacity);
int ListRowCount(WindowHandle list);
// Non-zero on success, 0 on failure.
int ListDeleteRow(WindowHandle list, int row);
// The first selected row as the screen shows them (the lowest-numbered while the rows stand in
// the order of insertion), or -1 when none is selected.
int ListFirstSelected(WindowHandle list);
// The next selected row after row `after` (-1: the first) as the screen shows them (the
// lowest-numbered after `after` while the rows stand in the order of insertion), or -1 when none.
int ListNextSelected(WindowHandle list, int after);
// The list now shows the rows of a (re)loaded volume. A window program may re-apply the order
// the user chose for the rows and select the first one; row numbers keep meaning the order in
// which the rows were inserted, whatever order the screen shows.
void ListFilled(WindowHandle list);

// Menu items of the main window, by command id.
void MenuEnableItem(WindowHandle window, int commandId, bool enabled);
void MenuCheckItem(WindowHandle window, int commandId, bool checked);

// Window texts: the main window's title and the information panel.
void PlatformSetWindowText(WindowHandle window, const char* text);
// A window title made of a program text (code page 932) followed by a path in the encoding the
// front end works in (the ANSI code page in the Windows program), each converted by its own
// rules, then `suffix`, another program text (which disk of a D88 file of several is shown); `path`
// and `suffix` may be null. Read back, the window's text is the three byte strings joined.
void PlatformSetWindowTitle(WindowHandle window, const char* text, const char* path,
                            const char* suffix);

// The main window's status line: 0 the modes, 1 the volume's counts, 2 the last action's outcome.
inline constexpr int kStatusModes = 0;
inline constexpr int kStatusVolume = 1;
inline constexpr int kStatusOutcome = 2;
void PlatformSetStatus(WindowHandle window, int part, const char* text);

// Modal dialogs from the dialog resources. The procedure gets the messages below with the
// Win32 meaning of their parameters; it ends the dialog with PlatformEndDialog.
inline constexpr unsigned kWmInitDialog = 0x0110;
inline constexpr unsigned kWmCommand = 0x0111;
inline constexpr int kAboutDialogId = 103;
inline constexpr int kAttributeDialogId = 104;
using DialogProc = intptr_t (*)(WindowHandle dialog, unsigned message, uintptr_t wParam,
                                intptr_t lParam);
// Runs the dialog modally; returns the value given to PlatformEndDialog.
intptr_t PlatformDialogBox(WindowHandle owner, int resourceId, DialogProc proc);
void PlatformEndDialog(WindowHandle dialog, intptr_t result);

// Dialog controls.
void DlgSetItemText(WindowHandle dialog, int id, const char* text);
// Copies at most capacity - 1 bytes and a terminating zero; returns the number of bytes copied.
int DlgGetItemText(WindowHandle dialog, int id, char* buffer, int capacity);
void DlgCheckButton(WindowHandle dialog, int id, bool checked);
// Puts the keyboard focus in a control (an edit's text selected); a procedure that does so at
// kWmInitDialog returns 0.
void DlgSetFocus(WindowHandle dialog, int id);
bool DlgIsButtonChecked(WindowHandle dialog, int id);
// Combo box list: append an item, select an index, the selected index (-1 for none), an item's
// text (the buffer holds at least 256 bytes).
void DlgComboAppend(WindowHandle dialog, int id, const char* text);
void DlgComboSetSelection(WindowHandle dialog, int id, int index);
int DlgComboSelection(WindowHandle dialog, int id);
void DlgComboItemText(WindowHandle dialog, int id, int index, char* buffer);

// The last write time of a host file in UTC: year, month, day, hour, minute, second. False when
// the file cannot be asked.
bool PlatformFileWriteTimeUtc(const char* path, int fields[6]);

// The folder chooser: non-zero with the chosen folder in `folder` (a path in the front end's
// encoding, at most capacity - 1 bytes), 0 when the user cancelled or it failed.
int PlatformChooseFolder(WindowHandle owner, const char* title, char* folder, int capacity);
