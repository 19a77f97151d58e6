// Converting an image to another container, and joining images into one D88 file.
#pragma once

#include "image/container.h"
#include "texts/outcome.h"

struct ConvertRequest {
  const char* sourcePath;
  int machineMode;         // the source's convention
  int toMode;              // the target's convention: the same as machineMode, or the other one
  int disk;                // the disk of a file of several, from 0; -1: every disk
  bool fill;               // a flat target: absent sectors written filled with 0xE5
  bool strict;             // any loss refuses the conversion
  bool replace;            // an existing target file is replaced
  bool dryRun;             // only read the source and say what would be lost: nothing is written
  const char* targetPath;  // its extension chooses the container
  ContainerStamp stamp;    // the source's last change, for a container that records one
};

// What a conversion cannot keep, counted over every disk it writes.
struct ConvertLosses {
  int deleted;      // deleted-data marks dropped
  int errors;       // error statuses dropped
  int ids;          // sector IDs out of the flat order dropped (sectors dropped or moved)
  int tracks;       // sectors on tracks the target does not hold
  int filled;       // absent sectors written filled
  int absent;       // absent sectors a flat target has no place for
  int missing;      // sectors of the volume's tracks the source lacks, which the target lacks too
  bool name;        // a disk name dropped
  bool protection;  // write protection dropped
};

// Converts: reads the source's disk(s), moves the sectors to the new convention when asked,
// counts what the target's container cannot keep (each loss a message under "Lost in
// conversion"), and writes the target under a temporary name renamed into place. 0, or -1 with
// the messages (nothing written). `losses` may be null.
int ConvertImage(Outcome* out, const ConvertRequest& request, ConvertLosses* losses);

// Counts what writing `model` in `kind` loses (absent sectors counted as filled when `fill`),
// and fills the absent sectors of a flat target when asked.
struct DiskModel;
void CountLosses(DiskModel* model, const ContainerKind* kind, bool fill, ConvertLosses* losses);
// Moves every sector of the model from the physical track of one convention to that of the
// other: the two sides of each cylinder swap, C and H follow the new place, the bytes invert.
void ChangeConvention(DiskModel* model);
// Says each loss as a message; true when there was any.
bool SayLosses(Outcome* out, const ContainerKind* kind, const ConvertLosses& losses);

// Builds one D88 file from several images (any container; every disk of each, in order, with
// its name and protection). 0, or -1 with the messages (nothing written).
int JoinImages(Outcome* out, const char* targetPath, const char* const* sources, int sourceCount,
               bool replace);
