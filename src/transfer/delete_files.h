// Deleting files of a volume: one or several, in one change.
#pragma once

#include <cstdint>

#include "image/image_target.h"
#include "texts/outcome.h"
#include "volume/file_ops.h"
#include "volume/volume_state.h"

struct DeletePlan {
  int slots[kMaxSlots];  // each file once, in the order first given
  int count;
};

// The files in `slots` (count 1 to kMaxSlots) of the volume, each once; refuses the whole
// deletion when one of them is locked. 0, or -1 with the message in the outcome (names as the list
// shows them, through `tbl1`).
int PlanDelete(Outcome* out, const VolumeState* volume, const uint16_t* tbl1, const int* slots,
               int count, DeletePlan* plan);
// The question asked before the deletion (code page 932).
void DeleteQuestion(const DeletePlan& plan, const VolumeState* volume, const uint16_t* tbl1,
                    char* question, int capacity, char* questionEn = nullptr);
// Frees the planned files' slots and sectors in the volume and writes the change to the target.
// 0, or -1 with the messages in the outcome.
int CommitDelete(Outcome* out, const ImageTarget* target, VolumeState* volume,
                 const DeletePlan& plan);
