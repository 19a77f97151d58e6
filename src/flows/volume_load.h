// Loading the current image's volume into App and showing it.
#pragma once

#include "platform/platform.h"

// Menu command ids of the main window.
inline constexpr int kCmdOpen = 40002;
inline constexpr int kCmdExport = 40003;
inline constexpr int kCmdQuit = 40004;
inline constexpr int kCmdAbout = 40005;
inline constexpr int kCmdMz = 40006;
inline constexpr int kCmdPc = 40007;
inline constexpr int kCmdBinary = 40008;
inline constexpr int kCmdAscii = 40009;
inline constexpr int kCmdImport = 40010;
inline constexpr int kCmdUndo = 40020;
inline constexpr int kCmdRedo = 40021;
inline constexpr int kCmdIdentify = 40050;
inline constexpr int kCmdDelete = 40030;
inline constexpr int kCmdAttributes = 40031;
inline constexpr int kCmdNew = 40040;
inline constexpr int kCmdExportToFolder = 40041;

void LoadVolume(WindowHandle window);
// Greys Undo and Redo when there is nothing to undo or redo.
void UpdateUndoCommands(WindowHandle window);
