// What an image is: the layout its bytes show, and how well they read as a Zelvo volume under
// each recording convention, with the reasons. The verdict is MZ, PC or none, never a guess.
#pragma once

#include <cstdint>

#include "image/container.h"
#include "image/sector_health.h"

inline constexpr int kVerdictNone = -1;  // otherwise kModeMz or kModePc

// The layout the bytes show: the format of the container kind that recognises them.
inline constexpr int kShownUnknown = -1;
inline constexpr int kShownFlat = kFormat2D;
inline constexpr int kShownD88 = kFormatD88;

// How a volume reads under one convention (all in volume terms).
struct ConventionScore {
  int mode;
  bool systemMarked;  // the bit table marks tracks 0 and 1 (sector indexes 0-31)
  int exdirTrack, exdirSector;
  bool exdirSane;  // (FF, FF), or tracks 1-83 / sectors 1-16 clear of tracks 0-1, marked used
  uint8_t date[3];
  bool dateBcd;  // the volume date
  int usedSlots;
  int soundSlots;  // used slots that pass every test below
  int unknownType, badName, runOutside, runUnmarked, badDate;  // used slots failing each test
  int freeSectors;                                             // clear bits of tracks 2-83
  bool structureMissing;  // the system area, directory or EXDIR lies partly in missing sectors
  int score;              // 0-100
  bool volume;            // reads as a Zelvo volume
};

struct ImageLayoutInfo {
  int64_t fileSize;
  int extensionFormat;  // kFormat2D, kFormatD20, kFormatD88, or -1
  int shown;            // kShownFlat, kShownD88 or kShownUnknown
  bool agrees;          // the extension names the layout the bytes show
  int diskCount;        // as the shown layout (else the extension's) lists them; 0: none
  ImageDisk disks[kMaxImageDisks];
};

struct Identification {
  ImageLayoutInfo layout;
  int disk;    // the disk that was scored
  int readAs;  // the layout the volume was read under (its kind's format), -1 none
  ConventionScore conventions[2];  // MZ, PC
  int verdict;
  bool ambiguous;       // both conventions read as a volume equally well
  bool healthKnown;     // the two counts below could be read
  int badSectors;       // sectors of the disk's 84 tracks its container records as bad
  int missingSectors;   // and those it does not carry
  VolumeHealth health;  // every sector's, as read under MZ (SwapHealthSides gives PC's)
};

// Pure steps.
// Scores the system area (512 bytes) and directory (4096 bytes: main, then the extended
// directory when the system area's EXDIR pair names one) under a convention.
void ScoreVolume(const uint8_t* systemArea, const uint8_t* directory, int mode,
                 ConventionScore* score);
// When neither convention reads as a volume on its own, weighs one against the other: the one
// under which the volume reads clearly better (its structures stand, a good share of its slots
// are sound, the other has none, and its score leads by a margin) is taken as reading as a volume.
// Nothing changes when both read as noise or when they are close.
void WeighConventions(ConventionScore* scores);
// Whether the structures a volume is read from (system area, directory, the EXDIR that the
// system area names) lie partly in sectors `health` says are missing, under a score's reading.
bool StructureMissing(const uint8_t* systemArea, const VolumeHealth& health);
// The verdict of two scores (MZ, PC); *ambiguous when both read as a volume equally well.
int DecideVerdict(const ConventionScore* scores, bool* ambiguous);
// The layout the first kContainerHeadBytes (zero beyond the file) of a file of `fileSize` bytes
// show: the kind of the table that recognises them best.
int ShownLayout(const uint8_t* head, int64_t fileSize);

// Identifies the image of the target (its path and disk; its own kind and convention are not
// used): the layout (`extensionFormat` is the format its extension names, or -1), then the volume
// of the disk read under both conventions, under the extension's layout or else the one the bytes
// show. Holds the image open throughout (in the target's session, or its own). 0; -1 when the
// image cannot be opened or its head read; or the ImageStatus of a failed sector read.
int IdentifyImage(const ImageTarget* target, int extensionFormat, Identification* result);
