// What each of the main window's commands does; command_table.cpp gives each its id and says
// when it is enabled.
#pragma once

#include <windows.h>

namespace commands {

void New(HWND window);
void Open(HWND window);
void SaveAs(HWND window);     // command_save_as.cpp
void CopyFiles(HWND window);  // command_copy_files.cpp
void Export(HWND window);
void ExportToFolder(HWND window);
void Import(HWND window);
void ImportMany(HWND window);
void SelectAll(HWND window);
void Check(HWND window);
void Reload(HWND window);
void ChooseDisk(HWND window);
void Quit(HWND window);
void Undo(HWND window);
void Redo(HWND window);
void Delete(HWND window);
void Attributes(HWND window);
void RestoreDeleted(HWND window);
void SectorView(HWND window);
void FileSectors(HWND window);  // the first selected row's file
void Mz(HWND window);
void Pc(HWND window);
void Identify(HWND window);
void Binary(HWND window);
void Ascii(HWND window);
void About(HWND window);
void English(HWND window);  // View > English: the window's language, Japanese or English

// The attributes of the file of list row `row` (a double-click); the file keeps its row.
void AttributesOfRow(HWND window, int row);

}  // namespace commands
