// File > 別のイメージへコピー: the selected files into another image (flows/copy_files).
#include "app/command_handlers.h"
#include "flows/copy_files.h"

namespace commands {

void CopyFiles(HWND window) { CopySelectedToImage(window); }

}  // namespace commands
