// Deleted directory entries: a slot whose type byte is 0 and whose other 31 bytes are not all
// zero (a slot never used is all zero). Each gets a verdict from the bit table and the live files,
// and a recoverable one can be made a file again. Pure steps on buffers in memory.
#pragma once

#include <cstdint>

enum DeletedVerdict {
  kDeletedRecoverable = 0,  // every sector of its run in tracks 2-83, free, claimed by no file
  kDeletedOverwritten = 1,  // some sectors are claimed by a live file or by the system
  kDeletedLost = 2,         // length 0, or a run that leaves the disk
};

struct DeletedEntry {
  int slot;
  int verdict;
  int first;            // first sector index of its run (meaningful unless lost)
  int count;            // sectors of its run
  int claimedByFiles;   // sectors that a live file's run covers
  int claimedBySystem;  // of the others: tracks 0-1, the extended directory, or marked used
  int firstClaimed;     // sector index of the first claimed sector, or -1
  int ownerSlot;        // the first live slot that claims one of its sectors, or -1
};

// Whether a 32-byte slot holds a deleted entry.
bool IsDeletedSlot(const uint8_t* entry);

// The deleted entries among the first `slotCount` slots of `directory` (at most 128), in slot
// order (#d0, #d1, ...), judged against the bit table at the start of `systemArea` and the live
// slots. `exdirFirst` is the extended directory's first sector index, or -1. Returns how many
// were found (at most `capacity` are stored).
int ScanDeletedEntries(const uint8_t* systemArea, const uint8_t* directory, int slotCount,
                       int exdirFirst, DeletedEntry* entries, int capacity);

// Makes the deleted entry in `slot` a file again: its type byte `type`, its run marked used.
// Returns which directory half changed (1: slots 0-63, 2: slots 64-127).
int RestoreDeletedSlot(uint8_t* systemArea, uint8_t* directory, int slot, uint8_t type);
