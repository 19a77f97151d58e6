// A volume as a folder and back: the manifest model (every directory slot, the system area, the
// boot sectors), what `unpack` reads of a volume into it, and what `pack` builds of it, in memory,
// before the whole volume is written as a new image in one change (new_image.h).
//
// Invariants of a packed volume: every byte not written from the manifest or a file is
// kPackFill (in volume terms); no clock and no randomness enter it; files are placed in the
// manifest's order, first fit from track 2 unless their recorded places are kept.
#pragma once

#include <cstdint>

#include "image/image_basics.h"
#include "image/image_target.h"
#include "texts/outcome.h"
#include "volume/file_ops.h"
#include "volume/format.h"
#include "volume/layout.h"
#include "volume/volume_state.h"

inline constexpr int kPackManifestVersion = 1;
inline constexpr uint8_t kPackFill = 0x00;  // free sectors and the tail of a file's last sector
inline constexpr uint8_t kPackDefaultDate[3] = {0x00, 0x01, 0x01};  // 00/01/01, year 2000
inline constexpr long kPackMaxFileBytes = 65535;
// The sectors of tracks 0 and 1 that are neither the system area nor the directory: track 0
// sector 1, track 0 sectors 4-16, track 1 sectors 9-16, in that order.
inline constexpr int kBootSectors = 22;
inline constexpr int kBootBytes = kBootSectors * kSectorBytes;
// The sector index of the k-th boot sector (0 to kBootSectors - 1).
int BootSectorIndex(int k);

// One directory slot of the manifest: a live file (its host file, its entry) or any other slot
// kept as its 32 raw bytes.
struct PackSlot {
  bool file;
  int slot;                    // the recorded slot, or -1 (the next one)
  char host[kPathCapacity];    // the file's host name within the folder
  uint8_t entry[kEntryBytes];  // raw bytes, or the file's entry (its length comes from the file)
  bool placed;                 // the entry's track and sector are recorded
  int tailBytes;               // bytes of `tail` after the data in its last sector (0: kPackFill)
  uint8_t tail[kSectorBytes];
};

struct PackManifest {
  int format;       // the container it came from (kFormat2D, ...), or -1
  int machineMode;  // the convention it came from, or -1
  // The system area with the volume's fields written over it (the bit table is recomputed; with
  // kept places the recorded bits stay and the files' are added).
  uint8_t systemArea[kSystemAreaBytes];
  char containerName[18];    // the disk name a container header keeps (D88), or empty
  char boot[kPathCapacity];  // the host file of the boot sectors, or empty (kPackFill)
  int count;
  PackSlot slots[kMaxSlots];
};

// The manifest of an empty blank volume: no extended directory, volume number 0, the default
// date, no slots.
void InitPackManifest(PackManifest* manifest);
// A slot of a file with the defaults: type OBJ, unlocked, addresses 0, the default date, the
// name padded with 0x0D (bytes as given, at most 16).
void InitPackFile(PackSlot* slot, const char* host);

// Unpack: the manifest of a loaded volume (every used slot a file, every other non-zero slot
// raw, each with its slot; host names left empty for the caller) and the boot sectors (kBootBytes
// into `boot`), the tails of the files' last sectors read from the image. 0, or -1 with the read's
// message.
int UnpackVolume(const ImageTarget* target, const VolumeState* volume, PackManifest* manifest,
                 uint8_t* boot, Outcome* out);

// The work area of a pack: the whole volume and one file's data.
struct PackWork {
  uint8_t volume[kVolumeBytes];
  uint8_t data[kPackMaxFileBytes + 2];
};

// Pack: builds the volume of the manifest into work->volume, its files read from `folder`.
// With keepPlaces every file lies at its recorded track and sector and every slot at its recorded
// place; otherwise the files go first fit, in order, into slots 0, 1, ... and raw slots are left
// out. 0, or -1 with the refusal naming the entry (nothing is written anywhere).
int PackVolume(const PackManifest& manifest, const char* folder, bool keepPlaces, PackWork* work,
               Outcome* out);
// Says a refusal of entry `index` of the manifest's files (-1: the manifest itself), `what` the
// entry's host name or name, `reason` a table text.
void SayPackRefused(Outcome* out, int index, const char* what, const char* reason,
                    const char* detail = "");

// The parts of a host path: `folder` + '/' + `name` into `path` (kPathCapacity). 0, or -1 when
// it does not fit.
int PackHostPath(const char* folder, const char* name, char* path);
