// Exporting many files of the loaded volume into one folder, each under its default name.
#pragma once

#include "platform/platform.h"

// What happens when a host file of a planned name exists already.
enum class HostReplacePolicy {
  kRefuse,   // nothing is written; the message names the file
  kAsk,      // one Yes/No question for all of them; No writes nothing
  kReplace,  // replaced without a question
};

inline constexpr int kMaxBatchRows = 128;  // a volume has at most 128 directory slots

// Exports the files of the list rows (in the given order) into `folder`, each to its default name
// made a plain host file name. Two files that would get the same name never overwrite each other:
// the later gets a suffix "_2", "_3", ... before its extension. Every name is planned and every
// existing file dealt with before the first file is written. `written`, when given, is told each
// path written. 0, or -1 after a message (or when the user said No).
int ExportRowsToFolder(WindowHandle window, const int* rows, int count, const char* folder,
                       HostReplacePolicy policy, void (*written)(const char* path));
// The command "selected files to folder": every selected row, the folder chooser, one question
// before replacing files.
void ExportSelectedToFolder(WindowHandle window);
