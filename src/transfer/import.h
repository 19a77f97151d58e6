// Importing a host file into a volume as a new file, in the steps between which the window asks
// its questions: read the host file, plan (re-read the volume, find a free run, fill the default
// entry), check the attribute texts, place the entry, write everything as one change.
#pragma once

#include <cstdint>

#include "image/image_target.h"
#include "texts/outcome.h"
#include "transfer/attribute_checks.h"
#include "volume/volume_state.h"

inline constexpr int kImportBufferBytes = 257 * 256;  // 65537 converted bytes and the 0xFF tail

// The Ascii conversion through tbl3, with CR LF as 0x0D and the 0x0D 0x00 terminator. The output
// holds at least length + 2 bytes. Returns the output length.
long ConvertImportText(const uint8_t* input, long length, const uint8_t* tbl3, uint8_t* output);
// Copies `entry` into the first free slot of the volume's first EntryCount slots; 0 or -1.
int StorePendingEntry(VolumeState* volume, const uint8_t* entry);

// Reads the host file at `path` into the import's data buffer: its length, or -1 with the message
// to show in `message` (open failure, too big, empty, short read).
long ReadHostData(const char* path, char* message, int capacity, char* messageEn = nullptr,
                  const char** format = nullptr);
// A front end's reading of a host text before the Ascii conversion (zelvo: UTF-8 and LF line
// ends into code page 932 and CR LF): the text of `data`, *text pointing at the front end's own
// storage, and its length; or -1 with the refusal in `message` (and `messageEn`, `format`), each
// of `capacity` bytes. Null (the window, the page): the bytes as they are.
using ImportTextDecoderFn = long (*)(const uint8_t* data, long length, const uint8_t** text,
                                     char* message, char* messageEn, int capacity,
                                     const char** format);
// In Ascii mode (kTransferAscii) converts the data buffer's `length` bytes in place through tbl3;
// the new length, or -1 with the too-big message when the text outgrows 65535 bytes.
// `decode` reads the host's text first (see ImportTextDecoderFn).
long ConvertImportData(long length, int transferMode, const uint8_t* tbl3, char* message,
                       int capacity, char* messageEn = nullptr, const char** format = nullptr,
                       ImportTextDecoderFn decode = nullptr);
// The import's data buffer (kImportBufferBytes).
uint8_t* ImportData();
// Reads the host file and converts it (ReadHostData, ConvertImportData); the length, or -1 with
// the message said under the error caption.
long ReadImportFile(const char* path, int transferMode, const uint8_t* tbl3, Outcome* out,
                    ImportTextDecoderFn decode = nullptr);

// Re-reads the system area and the directories of the target into the volume. 0, or -1 with the
// read's message.
int RereadVolume(const ImageTarget* target, VolumeState* volume, Outcome* out);

// The default entry for data of `length` bytes at (track, sector), named after the host file
// `name` (its base name and extension), dated `date` (MM/DD/YY, as the host gives it).
void BuildPendingEntry(uint8_t* entry, const char* name, long length, int track, int sector,
                       const char date[9]);
// The texts the attribute dialog shows for the import's default entry.
void DefaultAttributeTexts(const uint8_t* entry, AttributeTexts* texts);

// Whether every write of the import of `entry` lands where it belongs (no existing file
// overlapped, the extended directory clear, every sector carried by the image).
bool VolumeSoundForWrite(const ImageTarget* target, const VolumeState* volume, const uint8_t* entry,
                         long length, int sectors, int track, int sector);

// One import's plan: the converted data's length and the run it takes (track 0: none yet).
struct ImportPlan {
  long length;
  int sectors;
  int track;
  int sector;
};

// Re-reads the volume and finds a free run for `length` bytes; fills `entry` with the defaults
// (named after the host file at `hostPath`). An import that may replace a file finds out only
// after the attribute check whether it frees a run: then a disk without a run is no refusal yet.
// 0, or -1 with the message (the read's, or the disk full).
int PlanImport(const ImageTarget* target, VolumeState* volume, const char* hostPath, long length,
               bool mayReplace, const char date[9], uint8_t* entry, ImportPlan* plan, Outcome* out);
// The attribute checks of the import over the typed texts, writing `entry` as far as they pass.
// With a replace policy a used name is no failure: its slot lands in *duplicate (else -1), and a
// locked file of that name is refused. 0, or -1 with the check's message.
int CheckImportAttributes(const AttributeTexts& texts, ReplacePolicy policy,
                          const VolumeState* volume, uint8_t* entry, int* duplicate, Outcome* out);
// Places the checked entry: the replaced slot (or -1) is deleted first and the run found again,
// the entry stored, the run marked used, the volume's soundness checked. 0, or -1 with the message
// (disk full, directory full, bit table, damaged volume).
int PlaceImport(const ImageTarget* target, VolumeState* volume, int replaced, uint8_t* entry,
                ImportPlan* plan, Outcome* out);
// The replaced file of an import leaves the volume (its slot freed and its run given back, as a
// delete does) and the plan takes a run again in the bit table it left; the entry points at it.
// 0, or -1 when the data still finds no run (nothing said).
int FreeReplacedFile(VolumeState* volume, int replaced, uint8_t* entry, ImportPlan* plan);
// Writes the data, the bit table, the directory and the extended directory as one change. The
// volume's buffers are left in their stored form. 0, or -1 with the messages.
int WriteImport(const ImageTarget* target, VolumeState* volume, const ImportPlan& plan,
                Outcome* out);

// One run of the volume written with the transfer's messages, inside the change in progress.
int WriteRunSaid(const ImageTarget* target, uint8_t* buffer, int track, int sector, int byteCount,
                 Outcome* out);
// The bit table, the directory and the extended directory, in that order, inside the change.
int WriteVolumeAreas(const ImageTarget* target, VolumeState* volume, Outcome* out);
