// Restoring a deleted file: the deleted entries of a volume with their verdicts, and one
// recoverable entry made a file again in one change.
#pragma once

#include <cstdint>

#include "image/image_target.h"
#include "texts/outcome.h"
#include "volume/deleted_entries.h"
#include "volume/file_ops.h"
#include "volume/volume_state.h"

// The deleted entries of the volume, numbered #d0, #d1, ... in slot order. Returns the count.
int ListDeletedEntries(const VolumeState* volume, DeletedEntry* entries, int capacity);

// The name of deleted entry slot as the list would show it (code page 932).
void DeletedEntryName(const VolumeState* volume, const uint16_t* tbl1, int slot, char* name,
                      int capacity);

struct UndeletePlan {
  int slot;
  uint8_t type;
  bool rename;
  uint8_t name[16];  // the new stored name, padded with 0x0D
};

// Plans restoring deleted entry #d`number` with `type` (1-6) and, when `name` is given, that
// stored name (code page 932 bytes, 1 to 16, no 0x0D or 0x00). Refused with a message when there
// is no such entry, when it is not recoverable, or when a live file has its name. 0 or -1.
int PlanUndelete(Outcome* out, const VolumeState* volume, const uint16_t* tbl1, int number,
                 uint8_t type, const char* name, UndeletePlan* plan);
// The question asked before restoring (code page 932, and English).
void UndeleteQuestion(const UndeletePlan& plan, const VolumeState* volume, const uint16_t* tbl1,
                      char* question, char* questionEn, int capacity);
// Restores the entry in the volume and writes the directory half and the system area as one
// change. 0, or -1 with the messages in the outcome.
int CommitUndelete(Outcome* out, const ImageTarget* target, VolumeState* volume,
                   const UndeletePlan& plan);
