// Pure steps of the file commands (delete, attributes, replace) on a system area and a directory
// buffer in memory. The command flows write the result in one change.
#pragma once

#include <cstdint>

inline constexpr int kMaxSlots = 128;
inline constexpr int kExdirSectorCount = 8;

// The slot shown in list row `row`: the row-th used slot among the first entryCount; -1.
int SlotOfRow(const uint8_t* directory, int entryCount, int row);
// The list row of a used slot (its rank among the used slots), or -1.
int RowOfUsedSlot(const uint8_t* directory, int entryCount, int slot);
// The first slot among the first entryCount that is used in `after` and whose entry differs from
// the same slot of `before` (a file added, restored, renamed or edited), or -1.
int FirstChangedSlot(const uint8_t* before, const uint8_t* after, int entryCount);
// Whether a used slot's name key (bytes up to 0x0D or 0, ASCII case ignored) equals `name`
// (length bytes, compared the same way).
bool SlotNameIs(const uint8_t* directory, int slot, const char* name, int length);
// The comparison key of a stored name (16 bytes from `name`): its bytes up to the first 0x0D or
// 0x00, ASCII letters lower-cased. Two files have the same name when their keys are equal.
int EntryNameKey(const uint8_t* name, char key[16]);

// The sectors a file's data run covers: first index trk * 16 + sct - 1 and the sectors its
// length (read in the entry's own byte order) needs.
int RunFirstIndex(const uint8_t* entry);
int RunSectorCount(const uint8_t* entry);
// Whether the first sector of the entry's run is a sector of tracks 2-83.
bool RunStartsOnDataTrack(const uint8_t* entry);

// Frees the bits of the entry's run in the bit table at the start of systemArea, except indexes
// 0-31, the 8 extended directory sectors from exdirFirst (-1: the volume has none), every sector
// that the run of a used slot among the first entryCount of `directory` covers, and indexes above
// 1343. An entry whose run starts off tracks 2-83 frees nothing.
void FreeFileRun(uint8_t* systemArea, const uint8_t* entry, const uint8_t* directory,
                 int entryCount, int exdirFirst);

// Deletes the slots: each type byte becomes 0 (the other 31 bytes stay), then each run is freed
// as by FreeFileRun against the slots still used afterwards. Slots outside the first entryCount,
// free slots and repeated slots are skipped. Returns which directory halves changed: bit 0 the
// directory (slots 0-63), bit 1 the extended directory (slots 64-127).
int DeleteSlots(uint8_t* systemArea, uint8_t* directory, int entryCount, int exdirFirst,
                const int* slots, int count);

// Stores a 16-bit value into an entry field in the entry's own byte order (order 1: high first).
void StoreEntryWord(uint8_t* entry, int offset, unsigned value);
