#include "transfer/import.h"

#include <cstdio>
#include <cstring>

#include "image/host_files.h"
#include "image/image_select.h"
#include "image/journal.h"
#include "image/sector_transfer.h"
#include "texts/texts.h"
#include "transfer/volume_change.h"
#include "volume/bit_table.h"
#include "volume/file_ops.h"
#include "volume/layout.h"
#include "volume/volume_read.h"

namespace {

constexpr long kReadRequestBytes = 65536;
constexpr long kMaxFileBytes = 65535;
constexpr int kExdirSectors = kDirectoryHalfBytes / kSectorBytes;
constexpr int kDirectoryTracksEnd = 2 * kSectorsPerTrack;  // tracks 0 and 1: system area, directory

// Work areas of one import; only one command runs at a time.
uint8_t DataBuffer[kImportBufferBytes];
uint8_t ConversionBuffer[kImportBufferBytes];

uint8_t BcdPair(const char* digits) {
  return static_cast<uint8_t>((digits[0] - '0') * 16 + (digits[1] - '0'));
}

int UsableSlots(const VolumeState* volume) {
  return volume->EntryCount < kDirectoryBufferBytes / kEntryBytes
             ? volume->EntryCount
             : kDirectoryBufferBytes / kEntryBytes;
}

bool RunsOverlap(int firstA, int countA, int firstB, int countB) {
  return firstA < firstB + countB && firstB < firstA + countA;
}

// Whether an existing file's data run (of a used slot other than the new entry's) meets the
// given run. Entries whose first sector cannot be addressed hold no readable data.
bool RunMeetsExistingFile(const VolumeState* volume, const uint8_t* newEntry, int first,
                          int count) {
  const int slots = UsableSlots(volume);
  for (int k = 0; k < slots; ++k) {
    const uint8_t* entry = volume->DirectoryBuffer + k * kEntryBytes;
    if (entry[kEntryType] == 0 || std::memcmp(entry, newEntry, kEntryBytes) == 0) continue;
    const int trk = entry[kEntryTrk];
    const int sct = entry[kEntrySct];
    if (trk > 83 || sct < 1 || sct > 16) continue;
    if (RunsOverlap(SectorIndex(trk, sct), SectorsFor(EntryLength(entry)), first, count))
      return true;
  }
  return false;
}

void SayError(Outcome* out, const char* text) { SayText(out, kCaptionError, text, text); }

}  // namespace

long ReadHostData(const char* path, char* message, int capacity, char* messageEn,
                  const char** format) {
  // The message in both languages and the table text it comes from, for an outcome.
  auto say = [&](const char* ja, const char* en, auto... args) {
    std::snprintf(message, static_cast<size_t>(capacity), ja, args...);
    if (messageEn) std::snprintf(messageEn, static_cast<size_t>(capacity), en, args...);
    if (format) *format = ja;
  };
  std::FILE* file = PlatformOpenHostFile(path, "rb");
  if (!file) {
    say(kMsgHostOpenFailed, kMsgHostOpenFailedEn, path);
    return -1;
  }
  long length = -1;
  if (std::fseek(file, 0, SEEK_END) == 0) length = std::ftell(file);
  std::fseek(file, 0, SEEK_SET);
  if (length >= kReadRequestBytes) {
    say(kMsgFileTooBig, kMsgFileTooBigEn, length);
    std::fclose(file);
    return -1;
  }
  if (length == 0) {
    say("%s", "%s", kMsgFileEmpty);
    if (messageEn) std::snprintf(messageEn, static_cast<size_t>(capacity), "%s", kMsgFileEmptyEn);
    if (format) *format = kMsgFileEmpty;
    std::fclose(file);
    return -1;
  }
  const long got = static_cast<long>(std::fread(DataBuffer, 1, kReadRequestBytes, file));
  std::fclose(file);
  if (got != length) {
    say(kMsgFileShortRead, kMsgFileShortReadEn, got);
    return -1;
  }
  return length;
}

long ConvertImportData(long length, int transferMode, const uint8_t* tbl3, char* message,
                       int capacity, char* messageEn, const char** format,
                       ImportTextDecoderFn decode) {
  if (transferMode == 0) return length;  // binary
  const uint8_t* text = DataBuffer;
  if (decode) {
    length = decode(DataBuffer, length, &text, message, messageEn, capacity, format);
    if (length < 0) return -1;
  }
  // The conversion's output (CR LF as one byte, the two terminator bytes) must fit its buffer.
  if (length > kImportBufferBytes - 2) {
    std::snprintf(message, static_cast<size_t>(capacity), kMsgFileTooBig, length);
    if (messageEn)
      std::snprintf(messageEn, static_cast<size_t>(capacity), kMsgFileTooBigEn, length);
    if (format) *format = kMsgFileTooBig;
    return -1;
  }
  length = ConvertImportText(text, length, tbl3, ConversionBuffer);
  // The entry's length field has 16 bits: a longer text could not be described by it.
  if (length > kMaxFileBytes) {
    std::snprintf(message, static_cast<size_t>(capacity), kMsgFileTooBig, length);
    if (messageEn)
      std::snprintf(messageEn, static_cast<size_t>(capacity), kMsgFileTooBigEn, length);
    if (format) *format = kMsgFileTooBig;
    return -1;
  }
  std::memcpy(DataBuffer, ConversionBuffer, static_cast<size_t>(length));
  return length;
}

uint8_t* ImportData() { return DataBuffer; }

long ReadImportFile(const char* path, int transferMode, const uint8_t* tbl3, Outcome* out,
                    ImportTextDecoderFn decode) {
  // The read's message quotes the path; the conversion's is short.
  char message[kPathCapacity + 128];
  char messageEn[kPathCapacity + 128];
  const char* format = message;
  long length = ReadHostData(path, message, sizeof message, messageEn, &format);
  if (length >= 0)
    length =
        ConvertImportData(length, transferMode, tbl3, message, 128, messageEn, &format, decode);
  if (length < 0) SayText(out, kCaptionError, format, message, messageEn);
  return length;
}

int RereadVolume(const ImageTarget* target, VolumeState* volume, Outcome* out) {
  return ReadVolume(target, volume, out);
}

void BuildPendingEntry(uint8_t* entry, const char* name, long length, int track, int sector,
                       const char date[9]) {
  std::memset(entry, 0, kEntryBytes);
  entry[kEntryType] = 1;
  for (int i = 0; i < kEntryNameMax && name[i] != '\0'; ++i)
    entry[kEntryName + i] = static_cast<uint8_t>(name[i]);
  entry[kEntryNameEnd] = 0x0D;
  entry[kEntryLength] = static_cast<uint8_t>(length % 256);
  entry[kEntryLength + 1] = static_cast<uint8_t>(length / 256);
  entry[kEntryStart + 1] = 0x15;
  entry[kEntryDate] = BcdPair(date + 6);
  entry[kEntryDate + 1] = BcdPair(date);
  entry[kEntryDate + 2] = BcdPair(date + 3);
  entry[kEntryTrk] = static_cast<uint8_t>(track);
  entry[kEntrySct] = static_cast<uint8_t>(sector);
}

void DefaultAttributeTexts(const uint8_t* entry, AttributeTexts* texts) {
  std::memset(texts, 0, sizeof *texts);
  // The import's name ends at its 0x00 padding.
  for (int i = 0; i < kEntryNameMax && entry[kEntryName + i] != 0x00; ++i)
    texts->name[i] = static_cast<char>(entry[kEntryName + i]);
  std::snprintf(texts->start, sizeof texts->start, "%04X",
                entry[kEntryStart] + 256u * entry[kEntryStart + 1]);
  std::snprintf(texts->exec, sizeof texts->exec, "%04X",
                entry[kEntryExec] + 256u * entry[kEntryExec + 1]);
  std::snprintf(texts->year, sizeof texts->year, "%02X", entry[kEntryDate]);
  std::snprintf(texts->month, sizeof texts->month, "%02X", entry[kEntryDate + 1]);
  std::snprintf(texts->day, sizeof texts->day, "%02X", entry[kEntryDate + 2]);
  texts->typeItem = AttributeTypeName(entry[kEntryType]);
  texts->lockSelected = entry[kEntryLock] != 0;
}

// Every write of the import lands where it belongs: the new data on no existing file, the
// extended directory clear of tracks 0-1, of the new data and of every file, and every sector to
// be written carried by the image in a place of its own.
bool VolumeSoundForWrite(const ImageTarget* target, const VolumeState* volume, const uint8_t* entry,
                         long length, int sectors, int track, int sector) {
  const int first = SectorIndex(track, sector);
  if (RunMeetsExistingFile(volume, entry, first, sectors)) return false;
  if (volume->ExdirPresent) {
    const int exdir = SectorIndex(volume->ExdirTrack, volume->ExdirSector);
    if (RunsOverlap(exdir, kExdirSectors, 0, kDirectoryTracksEnd)) return false;
    if (RunsOverlap(exdir, kExdirSectors, first, sectors)) return false;
    if (RunMeetsExistingFile(volume, entry, exdir, kExdirSectors)) return false;
  }
  // Every run the import will write, checked in one pass over the image.
  const SectorRun writes[] = {{track, sector, static_cast<int>(length)},
                              {kSystemAreaTrack, kSystemAreaSector, kSystemAreaBytes},
                              {kDirectoryTrack, kDirectorySector, kDirectoryHalfBytes},
                              {volume->ExdirTrack, volume->ExdirSector, kDirectoryHalfBytes}};
  return ImageCarriesRuns(target, writes, volume->ExdirPresent ? 4 : 3) == 1;
}

long ConvertImportText(const uint8_t* input, long length, const uint8_t* tbl3, uint8_t* output) {
  long out = 0;
  for (long i = 0; i < length; ++i) {
    const uint8_t b = input[i];
    if (b == 0x00) {
      output[out++] = 0x00;
    } else if (b == 0x0D && i + 1 < length && input[i + 1] == 0x0A) {
      output[out++] = 0x0D;
      ++i;
    } else {
      output[out++] = tbl3[b];
    }
  }
  if (!(out >= 2 && output[out - 2] == 0x0D && output[out - 1] == 0x00)) {
    output[out++] = 0x0D;
    output[out++] = 0x00;
  }
  return out;
}

int StorePendingEntry(VolumeState* volume, const uint8_t* entry) {
  const int slots = UsableSlots(volume);
  for (int k = 0; k < slots; ++k) {
    uint8_t* slot = volume->DirectoryBuffer + k * kEntryBytes;
    if (slot[kEntryType] == 0) {
      std::memcpy(slot, entry, kEntryBytes);
      return 0;
    }
  }
  return -1;
}

int PlanImport(const ImageTarget* target, VolumeState* volume, const char* hostPath, long length,
               bool mayReplace, const char date[9], uint8_t* entry, ImportPlan* plan,
               Outcome* out) {
  plan->length = length;
  plan->sectors = SectorsFor(length);
  plan->track = 0;
  plan->sector = 0;
  if (RereadVolume(target, volume, out) != 0) return -1;
  if (FindFreeRun(volume->SystemArea, plan->sectors, &plan->track, &plan->sector) != 0 &&
      !mayReplace) {
    SayError(out, kMsgDiskFull);
    return -1;
  }
  char name[kPathCapacity] = {};
  SplitFileName(hostPath, name, sizeof name);
  BuildPendingEntry(entry, name, length, plan->track, plan->sector, date);
  return 0;
}

int CheckImportAttributes(const AttributeTexts& texts, ReplacePolicy policy,
                          const VolumeState* volume, uint8_t* entry, int* duplicate, Outcome* out) {
  AttributeCheckRules rules;
  *duplicate = -1;
  if (policy != kReplaceNever) rules.duplicateSlot = duplicate;
  AttributeCheckFailure failure;
  if (CheckAttributeTextsWith(texts, rules, volume->DirectoryBuffer, volume->EntryCount, entry,
                              &failure) != 0) {
    SayText(out, failure.caption, failure.format, failure.text, failure.textEn);
    return -1;
  }
  if (*duplicate >= 0 && volume->DirectoryBuffer[*duplicate * kEntryBytes + kEntryLock] != 0) {
    SayError(out, kMsgReplaceLocked);
    return -1;
  }
  return 0;
}

int FreeReplacedFile(VolumeState* volume, int replaced, uint8_t* entry, ImportPlan* plan) {
  // The old file goes first; the new one is allocated in the bit table that it left.
  DeleteSlots(volume->SystemArea, volume->DirectoryBuffer, volume->EntryCount,
              volume->ExdirPresent ? SectorIndex(volume->ExdirTrack, volume->ExdirSector) : -1,
              &replaced, 1);
  if (FindFreeRun(volume->SystemArea, plan->sectors, &plan->track, &plan->sector) != 0) return -1;
  entry[kEntryTrk] = static_cast<uint8_t>(plan->track);
  entry[kEntrySct] = static_cast<uint8_t>(plan->sector);
  return 0;
}

int PlaceImport(const ImageTarget* target, VolumeState* volume, int replaced, uint8_t* entry,
                ImportPlan* plan, Outcome* out) {
  if (replaced >= 0) {
    if (FreeReplacedFile(volume, replaced, entry, plan) != 0) {
      SayError(out, kMsgDiskFull);
      return -1;
    }
  } else if (plan->track == 0) {
    SayError(out, kMsgDiskFull);
    return -1;
  }
  if (StorePendingEntry(volume, entry) != 0) {
    SayError(out, kMsgDirectoryFull);
    return -1;
  }
  if (MarkSectorsUsed(volume->SystemArea, plan->sectors, plan->track, plan->sector) != 0) {
    SayError(out, kMsgBitTableFailed);
    return -1;
  }
  if (!VolumeSoundForWrite(target, volume, entry, plan->length, plan->sectors, plan->track,
                           plan->sector)) {
    SayError(out, kMsgVolumeDamaged);
    return -1;
  }
  return 0;
}

int WriteRunSaid(const ImageTarget* target, uint8_t* buffer, int track, int sector, int byteCount,
                 Outcome* out) {
  if (!SectorAddressValid(track, sector)) {
    SayText(out, kCaptionWrite, ImageStatusText(kImageBadAddress),
            ImageStatusText(kImageBadAddress));
    return -1;
  }
  EncodeSectorRun(buffer, byteCount, target->machineMode);
  const int status = QueueSectorRun(target, buffer, track, sector, byteCount);
  if (status == kImageOk) return 0;
  SayText(out, kCaptionWrite, ImageStatusText(status), ImageStatusText(status));
  return -1;
}

int WriteVolumeAreas(const ImageTarget* target, VolumeState* volume, Outcome* out) {
  if (WriteRunSaid(target, volume->SystemArea, kSystemAreaTrack, kSystemAreaSector,
                   kSystemAreaBytes, out) != 0 ||
      WriteRunSaid(target, volume->DirectoryBuffer, kDirectoryTrack, kDirectorySector,
                   kDirectoryHalfBytes, out) != 0)
    return -1;
  if (volume->ExdirPresent &&
      WriteRunSaid(target, volume->DirectoryBuffer + kDirectoryHalfBytes, volume->ExdirTrack,
                   volume->ExdirSector, kDirectoryHalfBytes, out) != 0)
    return -1;
  return 0;
}

int WriteImport(const ImageTarget* target, VolumeState* volume, const ImportPlan& plan,
                Outcome* out) {
  // One change: all of its writes reach the image or none does. They go out in this order: the
  // data, the bit table, the directory, the extended directory.
  if (BeginPlannedChange(out, target, volume) != 0) return -1;
  if (WriteRunSaid(target, DataBuffer, plan.track, plan.sector, static_cast<int>(plan.length),
                   out) != 0 ||
      WriteVolumeAreas(target, volume, out) != 0) {
    ImageAbortChange(target->change);
    return -1;
  }
  return CommitImageChange(out, target->change);
}
