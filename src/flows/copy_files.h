// File > 別のイメージへコピー: the selected files copied into another image file, chosen in the
// open dialog, with every attribute, in one change of that image after one question. The open
// image is only read, and its undo history stays as it was.
#pragma once

#include "platform/platform.h"

void CopySelectedToImage(WindowHandle window);
