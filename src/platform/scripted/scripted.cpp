#include "platform/scripted/scripted.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <deque>
#include <iterator>

#include "flows/app_state.h"

namespace scripted {
namespace {

struct DialogState {
  std::map<int, std::string> texts;
  std::map<int, std::string> initialTexts;
  std::map<int, bool> checks;
  std::map<int, std::vector<std::string>> comboItems;
  std::map<int, int> comboSelection;
  bool ended = false;
  intptr_t result = 0;
  int focus = 0;  // the control DlgSetFocus named; 0: none
};

struct State {
  std::vector<Box> boxes;
  std::deque<int> boxAnswers;
  std::deque<std::function<void()>> boxActions;
  std::deque<FileAnswer> fileAnswers;
  std::vector<FileDialogRecord> fileDialogs;
  unsigned long lastDialogError = 0;
  std::deque<DialogStep> dialogSteps;
  DialogState dialog;
  int dialogRuns = 0;
  int lastDialogResource = 0;
  std::vector<std::string> columnTitles;
  std::vector<int> columnWidths;
  std::vector<std::vector<std::string>> rows;
  std::set<int> selected;
  std::set<int> failDeletion;
  std::set<int> disabled;
  std::set<int> checked;
  std::map<WindowHandle, std::string> windowTexts;
  std::vector<std::pair<WindowHandle, std::string>> textHistory;
  std::string executablePath = "/opt/zelvo/zelvo";
  std::string localDate = "01/05/03";
  bool hostCodePageIsProgram = true;
  std::deque<std::string> folderAnswers;
  std::vector<std::string> folderTitles;
  std::map<int, std::string> status;
  int fills = 0;
};

State& S() {
  static State state;
  return state;
}

void CopyText(const std::string& text, char* buffer, int capacity) {
  if (capacity <= 0) return;
  const size_t n = std::min(text.size(), static_cast<size_t>(capacity - 1));
  std::memcpy(buffer, text.data(), n);
  buffer[n] = '\0';
}

std::string FilterList(const char* filter) {
  std::string all;
  if (!filter) return all;
  const char* p = filter;
  while (*p) {
    const size_t n = std::strlen(p);
    all.append(p, n + 1);
    p += n + 1;
  }
  all.push_back('\0');
  return all;
}

int RunFileDialog(bool save, FileDialogRequest* request) {
  State& s = S();
  FileDialogRecord record{save,
                          *request,
                          FilterList(request->filter),
                          request->file,
                          request->title ? request->title : "",
                          request->defExt ? request->defExt : ""};
  s.fileDialogs.push_back(record);
  if (s.fileAnswers.empty()) {
    s.lastDialogError = 0;
    return 0;
  }
  FileAnswer answer = s.fileAnswers.front();
  s.fileAnswers.pop_front();
  if (!answer.chosen) {
    s.lastDialogError = answer.error;
    return 0;
  }
  // A real dialog refuses a path that does not fit its buffer.
  if (answer.path.size() + 1 > request->fileCapacity) {
    s.lastDialogError = 0x3003;  // FNERR_BUFFERTOOSMALL
    return 0;
  }
  CopyText(answer.path, request->file, static_cast<int>(request->fileCapacity));
  if (answer.filterIndex) request->filterIndex = answer.filterIndex;
  if (request->fileTitle && request->fileTitleCapacity > 0) {
    const size_t slash = answer.path.find_last_of("/\\");
    const std::string title =
        slash == std::string::npos ? answer.path : answer.path.substr(slash + 1);
    CopyText(title, request->fileTitle, static_cast<int>(request->fileTitleCapacity));
  }
  s.lastDialogError = 0;
  return 1;
}

// The auto radio buttons of each dialog resource, one group per list: a click on one of them
// clears the others of its group.
struct RadioGroup {
  int resourceId;
  int ids[2];
};
constexpr RadioGroup kRadioGroups[] = {{kAttributeDialogId, {1002, 1003}}};

// The user types into a control. Typing into the edit field of a drop-down combo box leaves no
// list item selected (the list follows the edit field only while it is dropped down).
void TypeText(int id, const std::string& text) {
  DialogState& d = S().dialog;
  d.texts[id] = text;
  if (d.comboItems.count(id)) d.comboSelection[id] = -1;
}

// The user picks a list item of a combo box: it is selected and shown in the edit field. An index
// outside the list selects nothing.
void PickComboItem(int id, int index) {
  DialogState& d = S().dialog;
  const std::vector<std::string>& items = d.comboItems[id];
  if (index < 0 || index >= static_cast<int>(items.size())) {
    d.comboSelection[id] = -1;
    return;
  }
  d.comboSelection[id] = index;
  d.texts[id] = items[index];
}

// The user sets a button's state; checking an auto radio button clears the rest of its group.
void ClickButton(int id, bool checked) {
  State& s = S();
  s.dialog.checks[id] = checked;
  if (!checked) return;
  for (const RadioGroup& group : kRadioGroups) {
    if (group.resourceId != s.lastDialogResource) continue;
    if (std::find(std::begin(group.ids), std::end(group.ids), id) == std::end(group.ids)) continue;
    for (int other : group.ids)
      if (other != id) s.dialog.checks[other] = false;
  }
}

}  // namespace

void Reset() { S() = State(); }

const std::vector<Box>& Boxes() { return S().boxes; }
void ClearBoxes() { S().boxes.clear(); }
void AnswerBox(int id) { S().boxAnswers.push_back(id); }

void ChooseFile(const std::string& path) { S().fileAnswers.push_back({true, path, 0, 0}); }
void ChooseFileOfType(const std::string& path, unsigned filterIndex) {
  S().fileAnswers.push_back({true, path, 0, filterIndex});
}
void OnNextBox(std::function<void()> action) { S().boxActions.push_back(std::move(action)); }
void CancelFileDialog() { S().fileAnswers.push_back({false, "", 0, 0}); }
void FailFileDialog(unsigned long code) { S().fileAnswers.push_back({false, "", code, 0}); }
const std::vector<FileDialogRecord>& FileDialogs() { return S().fileDialogs; }

void DialogSetText(int id, const std::string& text) {
  S().dialogSteps.push_back({DialogStep::kSetText, id, text, 0});
}
void DialogSelectCombo(int id, int index) {
  S().dialogSteps.push_back({DialogStep::kSelectCombo, id, "", index});
}
void DialogCheck(int id, bool checked) {
  S().dialogSteps.push_back({DialogStep::kCheck, id, "", checked ? 1 : 0});
}
void DialogCommand(int id) { S().dialogSteps.push_back({DialogStep::kCommand, id, "", 0}); }
const std::map<int, std::string>& DialogInitialTexts() { return S().dialog.initialTexts; }
std::string DialogText(int id) { return S().dialog.texts[id]; }
bool DialogChecked(int id) { return S().dialog.checks[id]; }
const std::vector<std::string>& DialogComboItems(int id) { return S().dialog.comboItems[id]; }
int DialogComboSelected(int id) {
  auto it = S().dialog.comboSelection.find(id);
  return it == S().dialog.comboSelection.end() ? -1 : it->second;
}
int DialogFocus() { return S().dialog.focus; }
int DialogRuns() { return S().dialogRuns; }
int LastDialogResource() { return S().lastDialogResource; }

const std::vector<std::string>& ColumnTitles() { return S().columnTitles; }
const std::vector<int>& ColumnWidths() { return S().columnWidths; }
const std::vector<std::vector<std::string>>& Rows() { return S().rows; }
void SelectRows(const std::set<int>& rows) {
  // Only rows that exist can be selected.
  State& s = S();
  s.selected.clear();
  for (int row : rows)
    if (row >= 0 && row < static_cast<int>(s.rows.size())) s.selected.insert(row);
}
void FailRowDeletion(int row) { S().failDeletion.insert(row); }

bool MenuEnabled(int commandId) { return !S().disabled.count(commandId); }
bool MenuChecked(int commandId) { return S().checked.count(commandId) != 0; }
std::string WindowText(WindowHandle window) { return S().windowTexts[window]; }
const std::vector<std::pair<WindowHandle, std::string>>& TextHistory() { return S().textHistory; }

std::string StatusText(int part) { return S().status[part]; }
int ListFills() { return S().fills; }

void SetExecutablePath(const std::string& path) { S().executablePath = path; }

namespace {

// One in-memory host file: the buffer of an open_memstream stream, or bytes put there.
struct HostFile {
  char* data = nullptr;  // malloc'd (open_memstream owns it while writing)
  size_t size = 0;
};

struct HostFiles {
  bool on = false;
  std::map<std::string, HostFile> files;
  ~HostFiles() {
    for (auto& entry : files) std::free(entry.second.data);
  }
};

HostFiles& Hosts() {
  static HostFiles hosts;
  return hosts;
}

std::FILE* OpenMemoryHostFile(const char* path, const char* mode) {
#ifdef _WIN32
  return std::fopen(path, mode);  // no memory streams: the disk
#else
  if (std::strchr(mode, 'w')) {
    RemoveHostFile(path);
    HostFile& file = Hosts().files[path];
    // The stream keeps data and size up to date at every flush and at fclose.
    return open_memstream(&file.data, &file.size);
  }
  if (std::strchr(mode, 'r') && !std::strchr(mode, '+')) {
    auto found = Hosts().files.find(path);
    if (found == Hosts().files.end()) return nullptr;
    HostFile& file = found->second;
    static char none[1];  // an empty file: a stream over no bytes
    return fmemopen(file.data ? file.data : none, file.size, "r");
  }
  return nullptr;
#endif
}

}  // namespace

void UseMemoryHostFiles(bool on) { Hosts().on = on; }

void PutHostFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  RemoveHostFile(path);
  HostFile file;
  file.data = static_cast<char*>(std::malloc(bytes.size() + 1));
  if (!bytes.empty()) std::memcpy(file.data, bytes.data(), bytes.size());
  file.size = bytes.size();
  Hosts().files[path] = file;
}

bool GetHostFile(const std::string& path, std::vector<uint8_t>* bytes) {
  auto found = Hosts().files.find(path);
  if (found == Hosts().files.end()) return false;
  const HostFile& file = found->second;
  bytes->assign(file.data, file.data + (file.data ? file.size : 0));
  return true;
}

void RemoveHostFile(const std::string& path) {
  auto found = Hosts().files.find(path);
  if (found == Hosts().files.end()) return;
  std::free(found->second.data);
  Hosts().files.erase(found);
}

void SetLocalDate(const std::string& mmddyy) { S().localDate = mmddyy; }
void SetHostCodePageIsProgram(bool on) { S().hostCodePageIsProgram = on; }
void ChooseFolder(const std::string& path) { S().folderAnswers.push_back(path); }
const std::vector<std::string>& FolderDialogTitles() { return S().folderTitles; }

}  // namespace scripted

using namespace scripted;

int PlatformMessageBox(WindowHandle owner, const char* text, const char* caption, unsigned flags) {
  State& s = S();
  // What the window shows: the English table text while it speaks English.
  text = WindowText(text);
  caption = WindowText(caption);
  s.boxes.push_back({owner, text ? text : "", caption ? caption : "", flags});
  if (!s.boxActions.empty()) {
    std::function<void()> action = std::move(s.boxActions.front());
    s.boxActions.pop_front();
    action();
  }
  if (!s.boxAnswers.empty()) {
    const int id = s.boxAnswers.front();
    s.boxAnswers.pop_front();
    return id;
  }
  if ((flags & 0xF) == kMbYesNoCancel) return kIdCancel;
  return (flags & 0xF) == kMbYesNo ? kIdNo : kIdOk;
}

int PlatformGetOpenFileName(WindowHandle, FileDialogRequest* request) {
  return RunFileDialog(false, request);
}
int PlatformGetSaveFileName(WindowHandle, FileDialogRequest* request) {
  return RunFileDialog(true, request);
}
unsigned long PlatformCommDlgExtendedError() { return S().lastDialogError; }

void ListInsertColumn(WindowHandle, int index, int width, const char* title) {
  State& s = S();
  const size_t at = std::min(static_cast<size_t>(std::max(index, 0)), s.columnTitles.size());
  s.columnTitles.insert(s.columnTitles.begin() + at, title);
  s.columnWidths.insert(s.columnWidths.begin() + at, width);
}

void ListInsertRow(WindowHandle, int row, const char* firstCell) {
  State& s = S();
  const size_t at = std::min(static_cast<size_t>(std::max(row, 0)), s.rows.size());
  std::vector<std::string> cells(9);
  cells[0] = firstCell;
  s.rows.insert(s.rows.begin() + at, cells);
  // As in the list view, the selection moves with the rows it marks; the new row is unselected.
  std::set<int> moved;
  for (int selected : s.selected)
    moved.insert(selected >= static_cast<int>(at) ? selected + 1 : selected);
  s.selected = moved;
}

void ListSetCell(WindowHandle, int row, int column, const char* text) {
  State& s = S();
  if (row < 0 || row >= static_cast<int>(s.rows.size()) || column < 0 || column >= 9) return;
  s.rows[row][column] = text;
}

void ListGetCell(WindowHandle, int row, int column, char* buffer, int capacity) {
  State& s = S();
  if (row < 0 || row >= static_cast<int>(s.rows.size()) || column < 0 || column >= 9) {
    CopyText("", buffer, capacity);
    return;
  }
  CopyText(s.rows[row][column], buffer, capacity);
}

int ListRowCount(WindowHandle) { return static_cast<int>(S().rows.size()); }

int ListDeleteRow(WindowHandle, int row) {
  State& s = S();
  if (s.failDeletion.erase(row)) return 0;
  if (row < 0 || row >= static_cast<int>(s.rows.size())) return 0;
  s.rows.erase(s.rows.begin() + row);
  // A deleted row takes its selection with it; the rows below move up with theirs.
  std::set<int> moved;
  for (int selected : s.selected)
    if (selected != row) moved.insert(selected > row ? selected - 1 : selected);
  s.selected = moved;
  return 1;
}

int ListNextSelected(WindowHandle, int after) {
  State& s = S();
  for (int row : s.selected)
    if (row > after && row < static_cast<int>(s.rows.size())) return row;
  return -1;
}

int ListFirstSelected(WindowHandle) {
  State& s = S();
  for (int row : s.selected)
    if (row < static_cast<int>(s.rows.size())) return row;
  return -1;
}

void ListFilled(WindowHandle) { S().fills++; }

void PlatformSetStatus(WindowHandle, int part, const char* text) {
  text = WindowText(text);
  S().status[part] = text ? text : "";
}

void MenuEnableItem(WindowHandle, int commandId, bool enabled) {
  if (enabled)
    S().disabled.erase(commandId);
  else
    S().disabled.insert(commandId);
}

void MenuCheckItem(WindowHandle, int commandId, bool checked) {
  if (checked)
    S().checked.insert(commandId);
  else
    S().checked.erase(commandId);
}

void PlatformSetWindowText(WindowHandle window, const char* text) {
  S().windowTexts[window] = text;
  S().textHistory.emplace_back(window, text);
}

void PlatformSetWindowTitle(WindowHandle window, const char* text, const char* path,
                            const char* suffix) {
  PlatformSetWindowText(
      window,
      (std::string(text ? text : "") + (path ? path : "") + (suffix ? suffix : "")).c_str());
}

intptr_t PlatformDialogBox(WindowHandle, int resourceId, DialogProc proc) {
  State& s = S();
  s.dialog = DialogState();
  s.dialogRuns++;
  s.lastDialogResource = resourceId;
  proc(kDialogWindow, kWmInitDialog, 0, 0);
  s.dialog.initialTexts = s.dialog.texts;
  while (!s.dialog.ended) {
    if (s.dialogSteps.empty()) {
      proc(kDialogWindow, kWmCommand, kIdCancel, 0);
      if (!s.dialog.ended) return -1;  // the dialog refuses to close: give up
      break;
    }
    const DialogStep step = s.dialogSteps.front();
    s.dialogSteps.pop_front();
    switch (step.kind) {
      case DialogStep::kSetText: TypeText(step.id, step.text); break;
      case DialogStep::kSelectCombo: PickComboItem(step.id, step.value); break;
      case DialogStep::kCheck: ClickButton(step.id, step.value != 0); break;
      case DialogStep::kCommand: proc(kDialogWindow, kWmCommand, step.id, 0); break;
    }
  }
  return s.dialog.result;
}

void PlatformEndDialog(WindowHandle, intptr_t result) {
  S().dialog.ended = true;
  S().dialog.result = result;
}

void DlgSetItemText(WindowHandle, int id, const char* text) { S().dialog.texts[id] = text; }

int DlgGetItemText(WindowHandle, int id, char* buffer, int capacity) {
  CopyText(S().dialog.texts[id], buffer, capacity);
  return capacity > 0 ? static_cast<int>(std::strlen(buffer)) : 0;
}

void DlgCheckButton(WindowHandle, int id, bool checked) { S().dialog.checks[id] = checked; }
void DlgSetFocus(WindowHandle, int id) { S().dialog.focus = id; }
bool DlgIsButtonChecked(WindowHandle, int id) { return S().dialog.checks[id]; }

void DlgComboAppend(WindowHandle, int id, const char* text) {
  S().dialog.comboItems[id].push_back(text);
}

void DlgComboSetSelection(WindowHandle, int id, int index) {
  const int count = static_cast<int>(S().dialog.comboItems[id].size());
  S().dialog.comboSelection[id] = (index >= 0 && index < count) ? index : -1;
}

int DlgComboSelection(WindowHandle, int id) { return DialogComboSelected(id); }

void DlgComboItemText(WindowHandle, int id, int index, char* buffer) {
  const auto& items = S().dialog.comboItems[id];
  CopyText(index >= 0 && index < static_cast<int>(items.size()) ? items[index] : "", buffer, 256);
}

unsigned PlatformExecutablePath(char* buffer, unsigned capacity) {
  const std::string& path = S().executablePath;
  if (path.empty() || path.size() + 1 > capacity) return 0;
  CopyText(path, buffer, static_cast<int>(capacity));
  return static_cast<unsigned>(path.size());
}

void PlatformLocalDate(char out[9]) { CopyText(S().localDate, out, 9); }

bool PlatformHostUsesProgramCodePage() { return S().hostCodePageIsProgram; }

std::FILE* PlatformOpenHostFile(const char* path, const char* mode) {
  if (scripted::Hosts().on) return scripted::OpenMemoryHostFile(path, mode);
  return std::fopen(path, mode);
}

bool PlatformFileWriteTimeUtc(const char* path, int fields[6]) {
  struct stat info;
  if (stat(path, &info) != 0) return false;
  std::tm utc{};
#ifdef _WIN32
  if (gmtime_s(&utc, &info.st_mtime) != 0) return false;
#else
  if (!gmtime_r(&info.st_mtime, &utc)) return false;
#endif
  const int values[6] = {utc.tm_year + 1900, utc.tm_mon + 1, utc.tm_mday,
                         utc.tm_hour,        utc.tm_min,     utc.tm_sec};
  std::copy(values, values + 6, fields);
  return true;
}

int PlatformChooseFolder(WindowHandle, const char* title, char* folder, int capacity) {
  State& s = S();
  s.folderTitles.push_back(title ? title : "");
  if (s.folderAnswers.empty()) return 0;
  const std::string path = s.folderAnswers.front();
  s.folderAnswers.pop_front();
  if (path.empty() || path.size() + 1 > static_cast<size_t>(capacity)) return 0;
  CopyText(path, folder, capacity);
  return 1;
}

int PlatformHostFileName(const char* name, char* out, int capacity) {
  std::string plain = name ? name : "";
  // As the other adapters do: what the host's file names cannot hold becomes '_'.
#ifdef _WIN32
  const char* const forbidden = "\\/:*?\"<>|";
#else
  const char* const forbidden = "/";
#endif
  for (char& c : plain)
    if (static_cast<unsigned char>(c) < 0x20 || std::strchr(forbidden, c)) c = '_';
  if (capacity <= 0 || plain.size() + 1 > static_cast<size_t>(capacity)) return -1;
  CopyText(plain, out, capacity);
  return 0;
}
