// Showing the loaded volume in the main window: the list's columns and rows, the information
// panel, the status line and the check's box, all from the process-wide record.
#pragma once

#include "platform/platform.h"
#include "texts/outcome.h"

void SetupListColumns();
// One row per used directory entry of App, names shown through TBL1.
void FillDirectoryList();
// The panel text from App.SystemArea and the list's row count; applies the EXDIR rule first.
void BuildInfoText(char* text);
void ShowModeStatus(WindowHandle window);
void ShowVolumeStatus(WindowHandle window);
// The status line's outcome part: what the last action did (a status text, empty for nothing).
void ShowActionStatus(WindowHandle window, const char* text);
// The first line of the outcome's first message there (nothing when it holds none).
void ShowOutcomeStatus(WindowHandle window, const Outcome* out);
// Checks the loaded volume and shows the outcome in a box owned by `window`; then offers the
// bit table repair (repair_offer.h).
void ShowVolumeCheck(WindowHandle window);
