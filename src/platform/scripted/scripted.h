// The scripted platform for tests: records every box, text and dialog, answers from queues that
// the test fills, and keeps the list rows in memory.
#pragma once

#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace scripted {

inline WindowHandle const kMainWindow = reinterpret_cast<WindowHandle>(0x100);
inline WindowHandle const kPanelWindow = reinterpret_cast<WindowHandle>(0x200);
inline WindowHandle const kListWindow = reinterpret_cast<WindowHandle>(0x300);
inline WindowHandle const kDialogWindow = reinterpret_cast<WindowHandle>(0x400);

struct Box {
  WindowHandle owner;
  std::string text;
  std::string caption;
  unsigned flags;
};

struct FileDialogRecord {
  bool save;
  FileDialogRequest request;  // pointers are only valid during the call
  std::string filter;         // the whole filter list, NULs included, up to the empty string
  std::string initialFile;    // what the file buffer held on entry
  std::string title;
  std::string defExt;
};

// One answer for a file dialog: a chosen path, a cancel (0 error) or a failure (error code).
struct FileAnswer {
  bool chosen;
  std::string path;
  unsigned long error;
  unsigned filterIndex;  // the file type chosen (1 is the first); 0 leaves the request's
};

// One step of a modal dialog's script.
struct DialogStep {
  enum Kind { kSetText, kSelectCombo, kCheck, kCommand } kind;
  int id;
  std::string text;
  int value;
};

// Clears every record and queue; menu items enabled and unchecked; no rows, no columns;
// executable path "/opt/zelvo/zelvo"; date "01/05/03".
void Reset();

// Message boxes. Unanswered boxes get kIdOk for MB_OK and kIdNo for MB_YESNO.
const std::vector<Box>& Boxes();
void ClearBoxes();
void AnswerBox(int id);

// File dialogs, answered in order; with no answer queued a dialog is cancelled.
void ChooseFile(const std::string& path);
void ChooseFileOfType(const std::string& path, unsigned filterIndex);
// Runs `action` when the next message box is shown, before it is answered (another program at
// work while the window asks).
void OnNextBox(std::function<void()> action);
void CancelFileDialog();
void FailFileDialog(unsigned long code);
const std::vector<FileDialogRecord>& FileDialogs();

// Modal dialogs: the queued steps are played into the dialog after WM_INITDIALOG until it ends;
// when the steps run out the dialog gets Cancel (id 2). The steps act as the user would: text
// typed into a combo box's edit field leaves no list item selected, a picked list item is
// selected and shown in the edit field, and checking an auto radio button clears the others of
// its group.
void DialogSetText(int id, const std::string& text);
void DialogSelectCombo(int id, int index);
void DialogCheck(int id, bool checked);
void DialogCommand(int id);  // press a button: 1 OK, 2 Cancel
// Control state of the last dialog: texts as filled by WM_INITDIALOG (before any step) and now.
const std::map<int, std::string>& DialogInitialTexts();
std::string DialogText(int id);
bool DialogChecked(int id);
const std::vector<std::string>& DialogComboItems(int id);
int DialogComboSelected(int id);
int DialogFocus();         // the control the dialog put the focus in (DlgSetFocus), 0: none
int DialogRuns();          // how many modal dialogs were run
int LastDialogResource();  // resource id of the last dialog

// The list.
const std::vector<std::string>& ColumnTitles();
const std::vector<int>& ColumnWidths();
const std::vector<std::vector<std::string>>& Rows();
// Selects these rows (those that exist) and no other. Like the list view's, the selection
// follows its rows through insertions and deletions; a deleted row's selection goes with it.
void SelectRows(const std::set<int>& rows);
void FailRowDeletion(int row);  // the next deletion of this row index fails once

// Menu and window texts.
bool MenuEnabled(int commandId);
bool MenuChecked(int commandId);
std::string WindowText(WindowHandle window);
// Every text set on a window, in order.
const std::vector<std::pair<WindowHandle, std::string>>& TextHistory();

// The status line's parts as last set, and how many times a volume's rows were shown.
std::string StatusText(int part);
int ListFills();

void SetExecutablePath(const std::string& path);  // empty: the path cannot be obtained
void SetLocalDate(const std::string& mmddyy);
// Whether host paths count as code page 932 (PlatformHostUsesProgramCodePage); Reset: true.
void SetHostCodePageIsProgram(bool on);
// The folder chooser, answered in order; with no answer queued it is cancelled. The titles it
// was shown with.
void ChooseFolder(const std::string& path);
const std::vector<std::string>& FolderDialogTitles();

// Host files kept in memory instead of on the disk (POSIX builds; the fuzzers use them): while
// on, PlatformOpenHostFile reads and writes the files below. They outlive Reset().
void UseMemoryHostFiles(bool on);
void PutHostFile(const std::string& path, const std::vector<uint8_t>& bytes);
// False when there is no such file; the bytes of a file still open for writing are those
// flushed so far.
bool GetHostFile(const std::string& path, std::vector<uint8_t>* bytes);
void RemoveHostFile(const std::string& path);

}  // namespace scripted
