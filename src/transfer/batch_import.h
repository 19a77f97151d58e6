// Importing many host files into a volume in one change: each file staged (read, converted, given
// a run and its default entry), its attributes checked by the caller, then placed in memory; after
// the last one every file and the volume's areas are written as one change.
#pragma once

#include <cstdint>

#include "image/image_target.h"
#include "texts/outcome.h"
#include "transfer/import.h"
#include "volume/volume_state.h"

inline constexpr int kMaxImportFiles = 128;  // no volume holds more files

// Stages the file at `path` for the batch: its data read and converted, a free run found, `entry`
// filled with the defaults. A file that may replace another one finds out only after the
// attribute check whether it frees a run: then a disk without a run is no refusal yet. 0, or -1
// with the refusal naming the file. `decode` reads a host text first (ImportTextDecoderFn).
int StageImportFile(const ImageTarget* target, VolumeState* volume, const char* path,
                    int transferMode, const uint8_t* tbl3, const char date[9], bool mayReplace,
                    uint8_t* entry, ImportPlan* plan, Outcome* out,
                    ImportTextDecoderFn decode = nullptr);
// Places the staged file's checked entry into the volume and its data at its place in the
// batch's staging area, the file in slot `replaced` (or -1) deleted first as the single import
// deletes it; `run` receives the run to write. 0, or -1 with the refusal naming `path`.
int PlaceImportFile(const ImageTarget* target, VolumeState* volume, const char* path, int replaced,
                    uint8_t* entry, ImportPlan* plan, SectorRun* run, Outcome* out);
// Says the batch's refusal of `path` for `reason` ("<reason>\n file (<path>) ... nothing was
// written").
void SayImportRefused(Outcome* out, const char* reason, const char* path);
// Writes the staged runs, then the bit table, the directory and the extended directory, as one
// change. *begun tells whether the change was begun. 0, or -1 with the messages.
int WriteImportFiles(const ImageTarget* target, VolumeState* volume, const SectorRun* runs,
                     int count, bool* begun, Outcome* out);
