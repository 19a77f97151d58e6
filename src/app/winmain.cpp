// The entry point of the Windows program.
#include <windows.h>

#include "app/main_window.h"
#include "image/image_lock.h"
#include "resources/resource.h"

namespace {

// While an open waits for an image that another program holds, the window shows the wait cursor
// (the window is not served meanwhile, so the cursor stays until the wait ends).
void ShowWaitCursor(int waiting) {
  static HCURSOR previous = nullptr;
  if (waiting)
    previous = SetCursor(LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_WAIT)));
  else
    SetCursor(previous);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int showCommand) {
  if (!previous && !RegisterMainClass(instance)) return 0;
  ImageWaitHook = ShowWaitCursor;
  if (!CreateMainWindow(instance, showCommand)) return 0;
  HWND window = MainWindowHandle();
  OpenFromCommandLine(window, commandLine);
  return RunMessageLoop(window, LoadAcceleratorsW(instance, MAKEINTRESOURCEW(IDR_ACCEL)));
}
