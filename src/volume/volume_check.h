// Consistency check of a volume and of the image that holds it. Reports, changes nothing.
#pragma once

#include <cstdint>

struct ImageFile;

enum CheckKind {
  kCheckRunOutside,      // a used entry's run reaches outside tracks 2-83 (or has no valid start)
  kCheckRunFree,         // a used entry's run covers sectors free in the bit table
  kCheckSharedSectors,   // two entries share sectors (otherSlot -1: the extended directory)
  kCheckExdirFree,       // sectors of the extended directory free in the bit table
  kCheckExdirOutside,    // the extended directory reaches beyond track 83
  kCheckD88ShortHeader,  // the file is shorter than the D88 header
  kCheckD88OffsetInHeader,  // a track offset points into the header
  kCheckD88OffsetOutside,   // a track offset points outside the file
  kCheckD88RecordsOutside,  // a track's records (as many as its first record says) pass the end
  kCheckSectorsMissing,     // sectors the volume uses that the image does not carry
  kCheckImageUnreadable,    // the image could not be read while checking
};

struct CheckFinding {
  int kind;
  int slot;         // directory slot of the entry concerned, or -1
  int otherSlot;    // kCheckSharedSectors: the other slot, -1 for the extended directory
  int track;        // logical track; the physical track for the D88 container findings
  int sector;       // first sector concerned
  int count;        // sectors concerned (records for kCheckD88RecordsOutside)
  uint32_t offset;  // D88 container findings: the track's offset table entry
};

// Findings go into the caller's storage; `count` counts every finding, also those that did not
// fit into `capacity`.
struct CheckFindings {
  CheckFinding* items;
  int capacity;
  int count;
};

// A loaded volume in volume terms.
struct VolumeView {
  const uint8_t* systemArea;  // 512 bytes
  const uint8_t* directory;   // entryCount slots of 32 bytes
  int entryCount;
  int exdirPresent;
  int exdirTrack;
  int exdirSector;
};

// Runs, bit table, shared sectors and the extended directory.
void CheckVolumeStructure(const VolumeView& volume, CheckFindings* findings);
// The image file under the volume: the D88 track offsets, then whether the image carries every
// sector the volume uses (system area, directories, file runs). imageFormat 0 is the flat layout,
// any other value D88.
void CheckImageContainer(ImageFile* file, int64_t fileSize, int imageFormat, int machineMode,
                         const VolumeView& volume, CheckFindings* findings);
// Both checks on the volume that LoadVolume put into App, reading App.ImagePath. 0, or -1 when
// the image cannot be opened.
int CheckLoadedVolume(CheckFindings* findings);
