// The entry point of the Windows program.
#include <windows.h>

#include "app/main_window.h"
#include "resources/resource.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR, int showCommand) {
  if (!previous && !RegisterMainClass(instance)) return 0;
  if (!CreateMainWindow(instance, showCommand)) return 0;
  // Del and F2 reach the main window's commands wherever the focus is in it.
  HACCEL accelerators = LoadAcceleratorsW(instance, MAKEINTRESOURCEW(IDR_ACCEL));
  MSG message;
  int got;
  while ((got = GetMessageW(&message, nullptr, 0, 0)) > 0) {
    HWND root = message.hwnd ? GetAncestor(message.hwnd, GA_ROOT) : nullptr;
    wchar_t className[16] = L"";
    if (root) GetClassNameW(root, className, 16);
    if (accelerators && lstrcmpW(className, kMainClassName) == 0 &&
        TranslateAcceleratorW(root, accelerators, &message))
      continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return got == 0 ? static_cast<int>(message.wParam) : 0;
}
