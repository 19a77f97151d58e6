// Consistency check of a volume and of the image that holds it. Reports, changes nothing.
#pragma once

#include <cstdint>

#include "image/check_findings.h"
#include "image/sector_health.h"
#include "volume/file_ops.h"

struct ImageTarget;

// A loaded volume in volume terms.
struct VolumeView {
  const uint8_t* systemArea;  // 512 bytes
  const uint8_t* directory;   // entryCount slots of 32 bytes
  int entryCount;
  int exdirPresent;
  int exdirTrack;
  int exdirSector;
};

// What sector `index` (0-1343) of the volume belongs to: kind and, for kOwnerFile, the slot of the
// first live file whose run covers it (else -1).
struct SectorOwner {
  int kind;
  int slot;
};
SectorOwner FindSectorOwner(const VolumeView& volume, int index);

// The sectors of each live file's run that the image records as bad or does not carry.
struct FileDamage {
  int bad[kMaxSlots];
  int missing[kMaxSlots];
  int files;  // live files with a bad or missing sector
};
void CountFileDamage(const VolumeView& volume, const VolumeHealth& health, FileDamage* damage);

// Runs, bit table, shared sectors, the extended directory, then used entries whose names are
// equal as the import's duplicate check compares them (one finding for each entry that repeats an
// earlier one's name; which of the two is right is left to the user).
void CheckVolumeStructure(const VolumeView& volume, CheckFindings* findings);
// The image under the volume (the target's disk, under its container and convention): the
// container's own structure, then whether the image carries every sector the volume uses (system
// area, directories, file runs) and the free ones, each as ranges, then each sector the container
// records as bad, with its owner. Holds the image open throughout (in the target's session, or its
// own). 0, or -1 when the image cannot be opened.
int CheckImageContainer(const ImageTarget* target, const VolumeView& volume,
                        CheckFindings* findings);
