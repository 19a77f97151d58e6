// The main window's commands: one table of each command's id, what it does and when it is
// enabled. The menus' greying follows from the table.
#pragma once

#include <windows.h>

struct WindowCommand {
  int id;                    // its menu item's id (resources/resource.h)
  void (*run)(HWND window);  // command_handlers.h
  bool (*enabled)();         // when its menu item is enabled; null: never greyed
};

// The row of a command id, or null.
const WindowCommand* FindWindowCommand(int id);
// Runs the command of `id` (nothing for an id outside the table), then greys the menu anew.
void RunWindowCommand(HWND window, int id);
// Enables or greys the menu item of every command that says when it is enabled.
void UpdateWindowCommands(HWND window);
// Whether the command changes the disk (and so is greyed while it is write-protected).
bool WindowCommandChangesDisk(int id);
// Whether the command is enabled now, as its row says (one that is never greyed: true; an id
// outside the table: false).
bool WindowCommandEnabled(int id);
