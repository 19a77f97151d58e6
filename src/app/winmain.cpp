// The entry point of the Windows program.
#include <windows.h>

#include "app/main_window.h"
#include "flows/app_state.h"
#include "resources/resource.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int showCommand) {
  ResetAppState();  // the record as at start, its change and history ready
  if (!previous && !RegisterMainClass(instance)) return 0;
  if (!CreateMainWindow(instance, showCommand)) return 0;
  HWND window = MainWindowHandle();
  OpenFromCommandLine(window, commandLine);
  return RunMessageLoop(window, LoadAcceleratorsW(instance, MAKEINTRESOURCEW(IDR_ACCEL)));
}
