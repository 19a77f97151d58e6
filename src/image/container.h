// Image containers as a table. Each kind of image file (the flat layout, D88) is one file that
// fills a ContainerKind with its functions, and one row of kContainerKinds. Adding a kind is its
// file, its row here, and its row in the container test sweep; the Open command's filters and
// extensions, zelvo's help texts and identify's layout test follow from the table.
#pragma once

#include <cstdint>

#include "image/check_findings.h"
#include "image/image_target.h"

struct ImageSource;
struct ModelTrack;
struct DiskModel;

inline constexpr int kMaxImageDisks = 64;
inline constexpr int kDiskNameBytes = 17;             // a disk name: up to 17 bytes and a zero
inline constexpr unsigned kContainerHeadBytes = 688;  // what recognise sees of a file's start

// One disk of a file: where it lies, its name and write protection.
struct ImageDisk {
  uint32_t base;       // file offset of its header
  uint32_t end;        // end of its extent: the next disk's header, or the end of the file
  uint32_t sizeField;  // the size its header gives
  char name[kDiskNameBytes + 1];  // raw bytes up to the first zero
  bool writeProtected;
  uint8_t mediaType;
};

// Where a sector lies in the file: its 256 data bytes, and the stretch that a write of the sector
// rewrites (the data alone, or a record with its header as it was read). `span` is how far a read
// of the data may read ahead: the stretches of a session keep what follows.
struct SectorPlace {
  int64_t dataOffset;
  int64_t regionOffset;
  unsigned regionBytes;  // 256 to kImageRegionMax (journal.h)
  unsigned span;
};
inline constexpr int kPlaceFound = 1;
inline constexpr int kPlaceAbsent = 0;  // the image does not carry the sector: nothing moves
inline constexpr int kPlaceError = -1;  // a read failed

// An extension the Open command accepts (lower case, dot included), the format it stands for (the
// value App.ImageFormat keeps) and that format's name.
struct ContainerExtension {
  const char* extension;
  int format;
  const char* formatName;
};
// A filter of the Open dialog: description and pattern.
struct ContainerFilter {
  const char* description;
  const char* pattern;
};

// The date and time a writer stamps into a file that carries one (IMD).
struct ContainerStamp {
  int year, month, day, hour, minute, second;
};

struct ContainerKind {
  const char* name;  // the layout's name in identify: "2D", "D88"
  int format;        // the format the layout itself stands for: what identify reports it as
  const ContainerExtension* extensions;
  int extensionCount;
  const ContainerFilter* filters;  // of the Open dialog, after "all files"
  int filterCount;
  // How well the first kContainerHeadBytes of a file (zero beyond its end) read as this kind:
  // 0 not at all, up to 100.
  int (*recognise)(const uint8_t* head, int64_t fileSize);
  // The disks of the file, at most `capacity`, in file order: their number (at least 1), 0 for a
  // kind whose files hold no disks of their own (the file is the one volume), -1 on a read error.
  int (*listDisks)(ImageSource* source, ImageDisk* disks, int capacity);
  // Where a sector (physical track, sector number) of the target's disk lies: kPlaceFound with
  // *place, kPlaceAbsent, or kPlaceError.
  int (*locate)(ImageSource* source, const ImageTarget* target, int physicalTrack, int sector,
                SectorPlace* place);
  // Whether the image carries every sector of the runs (in bounds) under the target's convention,
  // each in a place of its own that no lookup of another sector reaches: 1 yes, 0 no, -1 when the
  // image cannot be read.
  int (*carriesRuns)(ImageSource* source, const ImageTarget* target, const SectorRun* runs,
                     int runCount);
  // Writes a blank image (84 tracks of 16 zero sectors) into a new, empty file, under the disk
  // name and the date a kind that keeps them stamps. 0 or -1. Null: the kind is only read.
  int (*writeBlank)(ImageFile* file, const char* diskName, const ContainerStamp* stamp);
  // Whether the target's disk is marked write-protected (an unreadable mark is not).
  bool (*writeProtected)(ImageSource* source, const ImageTarget* target);
  // The container's own structure under the target's disk, as findings.
  void (*checkStructure)(ImageSource* source, const ImageTarget* target, CheckFindings* findings);
  // The sectors of a physical track of the target's disk with their IDs and marks, in the order
  // the track holds them: kTrackRead, or one of the kTrack* failures below.
  int (*readTrack)(ImageSource* source, const ImageTarget* target, int physicalTrack,
                   ModelTrack* track);
  // Writes a disk into a new file at `base` (0 but for a D88 disk after others): the number of
  // bytes written, or -1 on a write error. Only what the kind keeps (see `keeps`) is written.
  // Null: the kind is only read, nothing converts to it.
  int64_t (*writeDisk)(ImageFile* file, uint32_t base, const DiskModel* disk,
                       const ContainerStamp* stamp);
  // What the kind can hold of a disk (kKeeps* bits).
  unsigned keeps;
  // The sectors lie at no fixed place (an encoded or compressed track): reads decode the track
  // through readTrack, and writes go through queueSector.
  bool decoded;
  // For a decoded kind: hands the change in progress (journal.h) the bytes that make sector
  // `sector` of the physical track hold `data` (its 256 stored bytes), reading the image as the
  // change will leave it. 0, or -1 when the sector cannot be written. Null: a change of the image
  // is refused (convert the image to change it).
  int (*queueSector)(ImageSource* source, const ImageTarget* target, int physicalTrack, int sector,
                     const uint8_t* data);
  // The refusal of a change when queueSector is null (null: the common text of decoded kinds).
  const char* readOnlyText = nullptr;
};

// What readTrack gives back.
inline constexpr int kTrackRead = 0;
inline constexpr int kTrackReadError = -1;  // the file could not be read
inline constexpr int kTrackMalformed = -2;  // the file breaks its container's rules
inline constexpr int kTrackVersion = -3;    // a version of the container that is not read

// What a kind keeps of a disk.
inline constexpr unsigned kKeepsIds = 0x01;         // sector IDs other than the flat order
inline constexpr unsigned kKeepsDeleted = 0x02;     // deleted-data marks
inline constexpr unsigned kKeepsErrors = 0x04;      // sectors read with an error
inline constexpr unsigned kKeepsAbsent = 0x08;      // sectors missing from a track
inline constexpr unsigned kKeepsName = 0x10;        // the disk name
inline constexpr unsigned kKeepsProtection = 0x20;  // write protection
inline constexpr unsigned kKeepsDisks = 0x40;       // several disks in one file

// The kinds, flat and D88 first. Later rows add their filters after these.
extern const ContainerKind* const kContainerKinds[];
extern const int kContainerKindCount;

// The kind that reads a format (kFormat2D, ...), or null.
const ContainerKind* ContainerForFormat(int format);
// The name of a format ("2D", "D20", "D88"), or null.
const char* ContainerFormatName(int format);
// Every accepted extension in table order, as a help text lists them: ".2d, .d20, .d88, .d77, .imd,
// .hfe or .scp".
void ContainerExtensionList(char* text, int capacity);
// The kind the first bytes of a file show (the best score above 0), or null.
const ContainerKind* RecogniseContainer(const uint8_t* head, int64_t fileSize);

// --- Operations on a target's image (each reads through the target's session, if any) ---

// The size of the image and its first kContainerHeadBytes (zero beyond its end). 0, or -1 when it
// cannot be opened or read.
int ImageReadHead(const ImageTarget* target, uint8_t* head, int64_t* size);
// The disks of the image as the target's kind lists them (0: the kind has none), -1 when it
// cannot be opened or read.
int ImageListDisks(const ImageTarget* target, ImageDisk* disks, int capacity);
// Whether the target's disk is marked write-protected. A kind without a mark, or an image that
// cannot be read, is not.
bool ImageWriteProtected(const ImageTarget* target);
// Where a sector lies (see ContainerKind::locate); kPlaceError also when the image cannot be
// opened or the target has no kind.
int LocateSector(const ImageTarget* target, int physicalTrack, int sector, SectorPlace* place);
// The size of the image, or -1 when it cannot be opened.
int64_t ImageSize(const ImageTarget* target);
// The container's structure check. 0, or -1 when the image cannot be opened.
int ImageCheckStructure(const ImageTarget* target, CheckFindings* findings);
// A physical track of the target's disk as its kind reads it (kTrackRead or a failure).
int ImageReadTrack(const ImageTarget* target, int physicalTrack, ModelTrack* track);
