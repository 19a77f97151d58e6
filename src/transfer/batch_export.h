// Exporting many files of the volume into one folder, each under its default name, as windowless
// steps: every name planned first, then what exists already, then the writes.
#pragma once

#include "image/image_basics.h"
#include "image/image_target.h"
#include "texts/outcome.h"
#include "transfer/export.h"

inline constexpr int kMaxBatchRows = 128;              // a volume has at most 128 directory slots
inline constexpr int kBatchPathBytes = kPathCapacity;  // folder, separator and name
inline constexpr int kBatchShownBytes = kHostNameBytes + 16;  // a name and its "_n"

// The planned host path of each file, and its name as the program shows it (code page 932, for
// the messages). Large: keep it out of the stack.
struct BatchExportPlan {
  int count;
  char path[kMaxBatchRows][kBatchPathBytes];
  char shown[kMaxBatchRows][kBatchShownBytes];
};

// Plans the host path of each file in `folder`: its default name made a plain host file name.
// Two files that would get the same name never overwrite each other: the later gets a suffix
// "_2", "_3", ... before its extension. At most kMaxBatchRows files. 0, or -1 after a message.
int PlanBatchExport(const ExportFile* files, int count, const char* folder, BatchExportPlan* plan,
                    Outcome* out);
// The same with the host name of each file given (code page 932, kHostNameBytes each) instead of
// its default name.
int PlanBatchExportNamed(const char (*names)[kHostNameBytes], int count, const char* folder,
                         BatchExportPlan* plan, Outcome* out);
// The first planned file that exists already, or -1.
int FirstExistingBatchTarget(const BatchExportPlan* plan);
// Says that the planned file `index` exists already (nothing is written).
void SayBatchTargetExists(const BatchExportPlan* plan, int index, Outcome* out);
// Reads and writes each file in turn, going on past a file that cannot be read or written (a
// rescue saves what it can). `written`, when given, is told each path written; `failed`, when
// given, each file that failed with why (the sector transfer's message, then the one naming the
// file). 0 when every file was written; else -1 after one summary message: how many failed and,
// as far as a message holds them, each one's name and reason.
// `shape`, when given, rewrites each Ascii text for the host after tbl2 (zelvo: UTF-8, LF line
// ends): the text and its length, in the front end's own storage.
using HostTextShaper = const uint8_t* (*)(const uint8_t* data, long* length);
int WriteBatchExport(const ImageTarget* target, const ExportFile* files,
                     const BatchExportPlan* plan, bool ascii, const uint8_t* tbl2,
                     void (*written)(const char* path),
                     void (*failed)(int index, const Outcome* why), Outcome* out,
                     HostTextShaper shape = nullptr);
