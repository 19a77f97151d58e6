// The Windows program's "自動判別(I)" command: which convention the open image was recorded
// under, with the reasons, and a switch to it.
#pragma once

#include "platform/platform.h"
#include "transfer/identify_command.h"

// Identifies the open image, shows the verdict and its reasons, and, when the verdict differs
// from App.MachineMode, asks whether to switch. The convention to switch to, or -1.
int IdentifyImageCommand(WindowHandle owner);
