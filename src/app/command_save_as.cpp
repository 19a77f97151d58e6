// File > Save As: a converted copy of the open image (flows/save_as).
#include "app/command_handlers.h"
#include "flows/save_as.h"

namespace commands {

void SaveAs(HWND window) { SaveAsCommand(window); }

}  // namespace commands
