// The Export command: the selected file of the list into a host file chosen in the save dialog.
#pragma once

#include "platform/platform.h"
#include "transfer/export.h"

// Writes the file shown in list row `row` into a host file chosen in the save dialog.
void ExportSelectedFile(WindowHandle window, int row);
// The file of list row `row` as its cells show it: name, type, length, track and sector.
void ExportFileOfRow(int row, ExportFile* file);
// The default host name of list row `row` (kHostNameBytes): name cell, '.', three type characters.
void DefaultExportName(int row, char* hostName);
