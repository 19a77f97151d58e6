// The Windows program's "自動判別(I)" command: which convention the open image was recorded
// under, with the reasons, and a switch to it.
#pragma once

#include "platform/platform.h"
#include "volume/identify.h"

// Identifies the open image, shows the verdict and its reasons, and, when the verdict differs
// from App.MachineMode, asks whether to switch. The convention to switch to, or -1.
int IdentifyImageCommand(WindowHandle owner);
// The message of that command (code page 932): verdict, layout, disks, each convention's score
// and reasons, files and free sectors.
void ComposeIdentifyText(const Identification& id, char* text, int capacity);
