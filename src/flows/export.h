// The Export command: the selected file of the list into a host file chosen in the save dialog.
#pragma once

#include "platform/platform.h"
#include "transfer/export.h"

// Writes the file shown in list row `row` into a host file chosen in the save dialog; `selected`
// rows were selected (more than one: the status line says that only this one was exported).
// 0 when the file was written, -1 otherwise.
int ExportSelectedFile(WindowHandle window, int row, int selected = 1);
// The file of list row `row` as its cells show it: name, type, length, track and sector.
void ExportFileOfRow(int row, ExportFile* file);
// The default host name of list row `row` (kHostNameBytes): name cell, '.', three type characters.
void DefaultExportName(int row, char* hostName);
