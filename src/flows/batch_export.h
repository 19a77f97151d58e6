// The command "selected files to folder": many files of the list into one folder, each under its
// default name.
#pragma once

#include "platform/platform.h"
#include "transfer/batch_export.h"

// What happens when a host file of a planned name exists already.
enum class HostReplacePolicy {
  kRefuse,   // nothing is written; the message names the file
  kAsk,      // one Yes/No question for all of them; No writes nothing
  kReplace,  // replaced without a question
};

// Exports the files of the list rows (in the given order) into `folder` (see PlanBatchExport).
// Every name is planned and every existing file dealt with before the first file is written.
// `written`, when given, is told each path written. A file that cannot be read or written does
// not stop the others: one box at the end lists those that failed. 0 when every file was
// written, or -1 after a message (or when the user said No).
int ExportRowsToFolder(WindowHandle window, const int* rows, int count, const char* folder,
                       HostReplacePolicy policy, void (*written)(const char* path));
// Every selected row, the folder chooser, one question before replacing files.
void ExportSelectedToFolder(WindowHandle window);
