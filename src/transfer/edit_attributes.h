// Name and attributes of an existing file: the texts the attribute dialog shows for it, the
// dialog's checks over the texts as edited, and the change written back.
#pragma once

#include <cstdint>

#include "image/image_target.h"
#include "texts/outcome.h"
#include "transfer/attribute_checks.h"
#include "volume/volume_state.h"

// The texts the attribute dialog shows for the entry (a 32-byte DirEntry): the stored name up to
// its end mark, Start and Exec as the entry holds them, the date, the type's list item (null for
// a type byte the list does not hold) and the lock.
void ShownAttributeTexts(const uint8_t* entry, AttributeTexts* texts);

// The dialog's checks when it edits the file in `slot`: `entry` (a copy of the slot's entry)
// is rewritten as far as they pass; a name text equal to `shownName` keeps the stored name bytes.
// 0, or -1 with *failure filled.
int CheckEditedAttributes(const AttributeTexts& texts, const char* shownName,
                          const VolumeState* volume, int slot, uint8_t* entry,
                          AttributeCheckFailure* failure);

// Puts `entry` into the slot and writes the directory half holding it as one change. 0, or -1
// with the messages in the outcome.
int CommitAttributeEdit(Outcome* out, const ImageTarget* target, VolumeState* volume, int slot,
                        const uint8_t* entry);
