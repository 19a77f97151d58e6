// The messages of an operation's outcome, shown as the Windows program shows them.
#pragma once

#include "platform/platform.h"
#include "texts/outcome.h"

// Each message in turn, as a message box with OK owned by `owner`.
void ShowOutcome(WindowHandle owner, const Outcome* outcome);
// Whether a box since the last call said that the image stayed busy past the wait (a change that
// wrote nothing); clears it.
bool TakeBusyShown();
