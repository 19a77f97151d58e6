// The entry point of the Windows program.
#include <windows.h>

#include "app/main_window.h"
#include "resources/resource.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR, int showCommand) {
  if (!previous && !RegisterMainClass(instance)) return 0;
  if (!CreateMainWindow(instance, showCommand)) return 0;
  HACCEL accelerators = LoadAcceleratorsW(instance, MAKEINTRESOURCEW(IDR_ACCEL));
  HWND main = MainWindowHandle();
  MSG message;
  int got;
  while ((got = GetMessageW(&message, nullptr, 0, 0)) > 0) {
    if (accelerators && main && TranslateAcceleratorW(main, accelerators, &message)) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return got == 0 ? static_cast<int>(message.wParam) : 0;
}
