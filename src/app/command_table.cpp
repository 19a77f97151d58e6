// The table of the main window's commands, in the order of the menus.
#include "app/command_table.h"

#include "app/command_handlers.h"
#include "app/main_window.h"
#include "flows/app_state.h"
#include "flows/restore_deleted.h"
#include "flows/show_outcome.h"
#include "flows/volume_view.h"
#include "image/change_history.h"
#include "platform/platform.h"
#include "resources/resource.h"
#include "texts/texts.h"

namespace {

// Open stays greyed when the window could not be built whole (no list, or no code tables).
bool WindowComplete() { return MainWindowComplete(); }
bool VolumeLoaded() { return App.VolumeLoaded == 1; }
// Delete, attributes and imports change the disk: greyed while it is write-protected.
bool Writable() { return App.VolumeLoaded == 1 && !App.WriteProtected; }
// Delete and attributes act on the selected rows.
bool RowsSelected() { return Writable() && ListFirstSelected(App.ListWindow) != -1; }
bool ImageNamed() { return WindowComplete() && App.ImagePath[0] != '\0'; }
// Another disk of the open file.
bool SeveralDisks() { return ImageNamed() && App.DiskCount > 1; }
// Restoring a deleted file: a writable disk that holds deleted entries.
bool DeletedEntriesWritable() { return Writable() && VolumeHasDeletedEntries(); }
// Copying files into another image reads the open one only.
bool RowsChosen() { return VolumeLoaded() && ListFirstSelected(App.ListWindow) != -1; }
bool CanUndo() { return ChangeHistoryCanUndo(App.History); }
bool CanRedo() { return ChangeHistoryCanRedo(App.History); }

const WindowCommand kWindowCommands[] = {
    // File
    {IDM_NEW, commands::New, nullptr},
    {IDM_OPEN, commands::Open, WindowComplete},
    {IDM_SAVE_AS, commands::SaveAs, VolumeLoaded},
    {IDM_EXPORT, commands::Export, VolumeLoaded},
    {IDM_EXPORT_FOLDER, commands::ExportToFolder, VolumeLoaded},
    {IDM_COPY_FILES, commands::CopyFiles, RowsChosen},
    {IDM_IMPORT, commands::Import, Writable},
    {IDM_IMPORT_MANY, commands::ImportMany, Writable},
    {IDM_CHECK, commands::Check, VolumeLoaded},
    {IDM_QUIT, commands::Quit, nullptr},
    {IDM_RELOAD, commands::Reload, ImageNamed},
    {IDM_CHOOSE_DISK, commands::ChooseDisk, SeveralDisks},
    {IDM_SELECT_ALL, commands::SelectAll, nullptr},  // Ctrl+A only; no menu item
    // Edit
    {IDM_UNDO, commands::Undo, CanUndo},
    {IDM_REDO, commands::Redo, CanRedo},
    {IDM_DELETE, commands::Delete, RowsSelected},
    {IDM_ATTRIBUTES, commands::Attributes, RowsSelected},
    {IDM_RESTORE_DELETED, commands::RestoreDeleted, DeletedEntriesWritable},
    // View
    {IDM_SECTOR_VIEW, commands::SectorView, VolumeLoaded},
    {IDM_ENGLISH, commands::English, nullptr},
    {IDM_FILE_SECTORS, commands::FileSectors, nullptr},  // a list row's menu only
    // MZ/PC
    {IDM_MZ, commands::Mz, nullptr},
    {IDM_PC, commands::Pc, nullptr},
    {IDM_IDENTIFY, commands::Identify, nullptr},
    // BIN/ASC
    {IDM_BINARY, commands::Binary, nullptr},
    {IDM_ASCII, commands::Ascii, nullptr},
    // ABOUT
    {IDM_ABOUT, commands::About, nullptr},
};

}  // namespace

const WindowCommand* FindWindowCommand(int id) {
  for (const WindowCommand& command : kWindowCommands)
    if (command.id == id) return &command;
  return nullptr;
}

void RunWindowCommand(HWND window, int id) {
  if (const WindowCommand* command = FindWindowCommand(id)) {
    ShowActionStatus(window, "");  // a new action: the last one's outcome no longer stands
    TakeBusyShown();
    command->run(window);
    // A change that waited for another program in vain: after its box, the line says so.
    if (TakeBusyShown()) ShowActionStatus(window, kStatusNothingChanged);
  }
  UpdateWindowCommands(window);
}

void UpdateWindowCommands(HWND window) {
  for (const WindowCommand& command : kWindowCommands)
    if (command.enabled) MenuEnableItem(window, command.id, command.enabled());
}

bool WindowCommandChangesDisk(int id) {
  const WindowCommand* command = FindWindowCommand(id);
  return command && (command->enabled == Writable || command->enabled == RowsSelected ||
                     command->enabled == DeletedEntriesWritable);
}

bool WindowCommandEnabled(int id) {
  const WindowCommand* command = FindWindowCommand(id);
  return command && (!command->enabled || command->enabled());
}
