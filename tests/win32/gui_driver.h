// Drives the program's real windows from inside the test process.
//
// A thread-local CBT hook notices every dialog and message box as it comes up and hands it to a
// queue of steps that the test prepared; each step reads what the window shows and answers it
// by posting messages, so the program's modal loops run exactly as with a user. A box for which
// no step is queued is recorded, answered with its default button and reported as a failure.
#pragma once

#include <windows.h>

#include <functional>
#include <set>
#include <string>
#include <vector>

namespace gui {

enum class Kind {
  kBox,
  kFileDialog,
  kAttributes,
  kAbout,
  kMainWindow,
  kDiskChooser,
  kNewImage,
  kFolderDialog,
  kRestoreDeleted,
  kSectorView
};

// A message box as it was shown.
struct ShownBox {
  std::wstring text;
  std::wstring caption;
  bool hasYesNo;
  bool hasIcon;
  HWND owner;
};

// What a file dialog showed.
struct ShownFileDialog {
  std::wstring title;
  std::wstring fileName;              // the file name field on opening
  std::vector<std::wstring> filters;  // the items of the file type list
};

class Driver {
 public:
  using Action = std::function<void(HWND window)>;

  Driver();
  ~Driver();
  Driver(const Driver&) = delete;
  Driver& operator=(const Driver&) = delete;

  // Queues a step for the next window of that kind.
  void Expect(Kind kind, Action action);
  // Message boxes: records the box and presses the button with that id.
  void AnswerBox(int buttonId);
  // File dialogs: records the dialog, enters the path and presses OK, or cancels.
  void ChooseFile(const std::string& path);
  // The same after choosing the file type of that row (1 is the first) as the user would.
  void ChooseFileOfType(const std::string& path, int row);
  void CancelFileDialog();
  // Runs `action` once the messages posted so far have been handled (from inside the modal loop
  // that is running then).
  void Later(std::function<void()> action);

  const std::vector<ShownBox>& boxes() const { return boxes_; }
  const std::vector<ShownFileDialog>& fileDialogs() const { return fileDialogs_; }
  // Unexpected windows, timeouts: empty when everything went as scripted.
  const std::vector<std::string>& failures() const { return failures_; }
  size_t pendingSteps() const { return steps_.size(); }

  // Posts a click on a dialog's button.
  static void Press(HWND dialog, int id);
  static std::wstring Text(HWND window);
  static std::wstring ItemText(HWND dialog, int id);

 private:
  struct Step {
    Kind kind;
    Action action;
  };
  static LRESULT CALLBACK HookProc(int code, WPARAM wParam, LPARAM lParam);
  static LRESULT CALLBACK HelperProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  void Consider(HWND window);
  void OnTimeout();
  static bool KindOf(HWND window, Kind* kind);

  HHOOK hook_ = nullptr;
  HWND helper_ = nullptr;
  std::vector<Step> steps_;
  std::set<HWND> answered_;
  std::vector<std::function<void()>> later_;
  std::vector<ShownBox> boxes_;
  std::vector<ShownFileDialog> fileDialogs_;
  std::vector<std::string> failures_;
};

// Narrow text for failure messages.
std::string Narrow(const std::wstring& text);

}  // namespace gui
