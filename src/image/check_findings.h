// The findings of a consistency check: of the volume (volume/volume_check.h) and of the container
// that holds it (each container kind checks its own structure).
#pragma once

#include <cstdint>

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
  kCheckSameName,           // two used entries have the same name (otherSlot: the earlier one)
  // A sector the container records as bad (one finding each): slot the file that owns it or -1,
  // otherSlot its owner (a SectorOwnerKind), offset its cause << 8 | code (a SectorHealthCause of
  // sector_health.h and the container's own code).
  kCheckBadSector,
  kCheckFreeMissing,  // sectors no structure or file uses that the image does not carry
};

// What a sector of a volume belongs to; the first that applies, in this order.
enum SectorOwnerKind {
  kOwnerBitTable,   // the system area's first sector, which holds the bit table
  kOwnerDirectory,  // the directory's eight sectors
  kOwnerExdir,      // the extended directory's eight sectors
  kOwnerFile,       // the run of a live file
  kOwnerSystem,     // the rest of tracks 0 and 1
  kOwnerUnowned,    // marked used in the bit table, owned by nothing
  kOwnerFree,       // free
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

inline void AddFinding(CheckFindings* findings, int kind, int slot, int otherSlot, int track,
                       int sector, int count, uint32_t offset = 0) {
  if (findings->count < findings->capacity)
    findings->items[findings->count] = {kind, slot, otherSlot, track, sector, count, offset};
  findings->count++;
}

// A finding that says something of the image but nothing the volume or a file needs: a bad
// sector that no file or structure owns, or missing sectors of free space.
inline bool CheckFindingIsNote(const CheckFinding& f) {
  return f.kind == kCheckFreeMissing || (f.kind == kCheckBadSector && f.otherSlot >= kOwnerUnowned);
}
