// Showing the loaded volume in the main window: the list's columns and rows, the information
// panel, the status line and the check's box, all from the process-wide record.
#pragma once

#include "platform/platform.h"

void SetupListColumns();
// One row per used directory entry of App, names shown through TBL1.
void FillDirectoryList();
// The panel text from App.SystemArea and the list's row count; applies the EXDIR rule first.
void BuildInfoText(char* text);
void ShowModeStatus(WindowHandle window);
void ShowVolumeStatus(WindowHandle window);
// Checks the loaded volume and shows the outcome in a box owned by `window`.
void ShowVolumeCheck(WindowHandle window);
