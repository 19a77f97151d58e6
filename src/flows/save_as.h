// File > Save As: a converted copy of the open image, in the container the save dialog's file
// type chooses and the convention a question chooses, after the loss summary.
#pragma once

#include "platform/platform.h"

void SaveAsCommand(WindowHandle owner);
// The save dialog's filter list: each container kind's filters in table order.
const char* SaveAsFilter();
