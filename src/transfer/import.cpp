#include "transfer/import.h"

#include <cstdio>
#include <cstring>

#include "flows/app_image.h"
#include "flows/attribute_dialog.h"
#include "flows/volume_load.h"
#include "image/image_select.h"
#include "image/journal.h"
#include "platform/filter_list.h"
#include "texts/texts.h"
#include "volume/app_state.h"
#include "volume/bit_table.h"
#include "volume/file_ops.h"
#include "volume/layout.h"

namespace {

constexpr long kReadRequestBytes = 65536;
constexpr long kMaxFileBytes = 65535;
constexpr unsigned long kFnerrBufferTooSmall = 0x3003;
constexpr auto kImportFilter = JoinFilter(kFilterAllFilesJa, "*.*");
constexpr int kExdirSectors = kDirectoryHalfBytes / kSectorBytes;
constexpr int kDirectoryTracksEnd = 2 * kSectorsPerTrack;  // tracks 0 and 1: system area, directory

// Work areas of one import; only one command runs at a time.
uint8_t DataBuffer[kImportBufferBytes];
uint8_t ConversionBuffer[kImportBufferBytes];

void ShowError(WindowHandle window, const char* text) {
  PlatformMessageBox(window, text, kCaptionError, kMbOk);
}

// Reads the host file at App.ChosenPath into DataBuffer; its length, or -1 after a message.
long ReadHostFile(WindowHandle window) {
  char message[kPathCapacity + 128];
  const long length = ReadHostData(App.ChosenPath, message, sizeof message);
  if (length < 0) ShowError(window, message);
  return length;
}

}  // namespace

long ReadHostData(const char* path, char* message, int capacity) {
  std::FILE* file = PlatformOpenHostFile(path, "rb");
  if (!file) {
    std::snprintf(message, static_cast<size_t>(capacity), kMsgHostOpenFailed, path);
    return -1;
  }
  long length = -1;
  if (std::fseek(file, 0, SEEK_END) == 0) length = std::ftell(file);
  std::fseek(file, 0, SEEK_SET);
  if (length >= kReadRequestBytes) {
    std::snprintf(message, static_cast<size_t>(capacity), kMsgFileTooBig, length);
    std::fclose(file);
    return -1;
  }
  if (length == 0) {
    std::snprintf(message, static_cast<size_t>(capacity), "%s", kMsgFileEmpty);
    std::fclose(file);
    return -1;
  }
  const long got = static_cast<long>(std::fread(DataBuffer, 1, kReadRequestBytes, file));
  std::fclose(file);
  if (got != length) {
    std::snprintf(message, static_cast<size_t>(capacity), kMsgFileShortRead, got);
    return -1;
  }
  return length;
}

long ConvertImportData(long length, char* message, int capacity) {
  if (App.TransferMode == kTransferBinary) return length;
  length = ConvertImportText(DataBuffer, length, App.Tables.TBL3, ConversionBuffer);
  // The entry's length field has 16 bits: a longer text could not be described by it.
  if (length > kMaxFileBytes) {
    std::snprintf(message, static_cast<size_t>(capacity), kMsgFileTooBig, length);
    return -1;
  }
  std::memcpy(DataBuffer, ConversionBuffer, static_cast<size_t>(length));
  return length;
}

uint8_t* ImportData() { return DataBuffer; }

// Re-reads the system area and the directories of the image into App. 0 or -1.
int RereadVolume(WindowHandle window) {
  if (ZLV_ReadZelvoFile(window, App.SystemArea, kSystemAreaTrack, kSystemAreaSector,
                        kSystemAreaBytes) != 0)
    return -1;
  ApplyExdirRule();
  std::memset(App.DirectoryBuffer, 0, sizeof App.DirectoryBuffer);
  if (ZLV_ReadZelvoFile(window, App.DirectoryBuffer, kDirectoryTrack, kDirectorySector,
                        kDirectoryHalfBytes) != 0)
    return -1;
  if (App.ExdirPresent &&
      ZLV_ReadZelvoFile(window, App.DirectoryBuffer + kDirectoryHalfBytes, App.ExdirTrack,
                        App.ExdirSector, kDirectoryHalfBytes) != 0)
    return -1;
  return 0;
}

namespace {

uint8_t BcdPair(const char* digits) {
  return static_cast<uint8_t>((digits[0] - '0') * 16 + (digits[1] - '0'));
}

}  // namespace

void BuildPendingEntry(long length, int track, int sector) {
  char name[kPathCapacity] = {};
  SplitFileName(App.ChosenPath, name, sizeof name);
  std::memcpy(App.ChosenPath, name, sizeof App.ChosenPath);

  uint8_t* entry = App.PendingEntry;
  std::memset(entry, 0, kEntryBytes);
  entry[kEntryType] = 1;
  for (int i = 0; i < kEntryNameMax && App.ChosenPath[i] != '\0'; ++i)
    entry[kEntryName + i] = static_cast<uint8_t>(App.ChosenPath[i]);
  entry[kEntryNameEnd] = 0x0D;
  entry[kEntryLength] = static_cast<uint8_t>(length % 256);
  entry[kEntryLength + 1] = static_cast<uint8_t>(length / 256);
  entry[kEntryStart + 1] = 0x15;
  char date[9];
  PlatformLocalDate(date);  // MM/DD/YY
  entry[kEntryDate] = BcdPair(date + 6);
  entry[kEntryDate + 1] = BcdPair(date);
  entry[kEntryDate + 2] = BcdPair(date + 3);
  entry[kEntryTrk] = static_cast<uint8_t>(track);
  entry[kEntrySct] = static_cast<uint8_t>(sector);
}

namespace {

bool RunsOverlap(int firstA, int countA, int firstB, int countB) {
  return firstA < firstB + countB && firstB < firstA + countA;
}

// Whether an existing file's data run (of a used slot other than the new entry's) meets the
// given run. Entries whose first sector cannot be addressed hold no readable data.
bool RunMeetsExistingFile(int first, int count) {
  const int slots = App.EntryCount < kDirectoryBufferBytes / kEntryBytes
                        ? App.EntryCount
                        : kDirectoryBufferBytes / kEntryBytes;
  for (int k = 0; k < slots; ++k) {
    const uint8_t* entry = App.DirectoryBuffer + k * kEntryBytes;
    if (entry[kEntryType] == 0 || std::memcmp(entry, App.PendingEntry, kEntryBytes) == 0) continue;
    const int trk = entry[kEntryTrk];
    const int sct = entry[kEntrySct];
    if (trk > 83 || sct < 1 || sct > 16) continue;
    if (RunsOverlap(SectorIndex(trk, sct), SectorsFor(EntryLength(entry)), first, count))
      return true;
  }
  return false;
}

}  // namespace

// Whether every write of the import lands where it belongs: the new data on no existing file,
// the extended directory clear of tracks 0-1, of the new data and of every file, and, in a D88
// image, every sector to be written present in a record of its own.
bool VolumeSoundForWrite(long length, int sectors, int track, int sector) {
  const int first = SectorIndex(track, sector);
  if (RunMeetsExistingFile(first, sectors)) return false;
  if (App.ExdirPresent) {
    const int exdir = SectorIndex(App.ExdirTrack, App.ExdirSector);
    if (RunsOverlap(exdir, kExdirSectors, 0, kDirectoryTracksEnd)) return false;
    if (RunsOverlap(exdir, kExdirSectors, first, sectors)) return false;
    if (RunMeetsExistingFile(exdir, kExdirSectors)) return false;
  }
  // Every run the import will write, checked in one pass over the image.
  const SectorRun writes[] = {{track, sector, static_cast<int>(length)},
                              {kSystemAreaTrack, kSystemAreaSector, kSystemAreaBytes},
                              {kDirectoryTrack, kDirectorySector, kDirectoryHalfBytes},
                              {App.ExdirTrack, App.ExdirSector, kDirectoryHalfBytes}};
  return ImageCarriesRuns(writes, App.ExdirPresent ? 4 : 3) == 1;
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

int StorePendingEntry() {
  const int slots = App.EntryCount < kDirectoryBufferBytes / kEntryBytes
                        ? App.EntryCount
                        : kDirectoryBufferBytes / kEntryBytes;
  for (int k = 0; k < slots; ++k) {
    uint8_t* slot = App.DirectoryBuffer + k * kEntryBytes;
    if (slot[kEntryType] == 0) {
      std::memcpy(slot, App.PendingEntry, kEntryBytes);
      return 0;
    }
  }
  return -1;
}

void ImportHostFile(WindowHandle window) {
  if (!App.VolumeLoaded) {
    ShowError(window, kMsgImportNotReady);
    return;
  }
  if (ImageRefuseIfProtected(window) != 0) return;

  FileDialogRequest request = {};
  request.structSize = 76;
  request.filter = kImportFilter.data();
  request.file = App.ChosenPath;
  request.fileCapacity = kPathCapacity;
  request.title = kImportDialogTitle;
  request.flags = kOfnFileMustExist | kOfnHideReadOnly;
  request.defExt = "*";
  // A failed dialog may have written into ChosenPath (the size a too-long path needs): put the
  // previous text back, and tell the user when the path did not fit.
  char previous[kPathCapacity];
  std::memcpy(previous, App.ChosenPath, sizeof previous);
  if (!PlatformGetOpenFileName(window, &request)) {
    std::memcpy(App.ChosenPath, previous, sizeof previous);
    if (PlatformCommDlgExtendedError() == kFnerrBufferTooSmall) ShowError(window, kMsgPathTooLong);
    return;
  }

  long length = ReadHostFile(window);
  if (length < 0) return;
  char message[128];
  length = ConvertImportData(length, message, sizeof message);
  if (length < 0) {
    ShowError(window, message);
    return;
  }
  const int sectors = SectorsFor(length);

  if (RereadVolume(window) != 0) return;
  int track = 0;
  int sector = 0;
  // An import that may replace a file finds out only after the dialog whether it frees a run.
  const bool mayReplace = CurrentReplacePolicy() != kReplaceNever;
  if (FindFreeRun(App.SystemArea, sectors, &track, &sector) != 0 && !mayReplace) {
    ShowError(window, kMsgDiskFull);
    return;
  }
  BuildPendingEntry(length, track, sector);

  if (PlatformDialogBox(window, kAttributeDialogId, AttributeDialogProc) != kIdOk) return;
  const int replaced = ReplacedSlot();
  if (replaced >= 0) {
    // The old file goes first; the new one is allocated in the bit table that it left.
    DeleteSlots(App.SystemArea, App.DirectoryBuffer, App.EntryCount,
                App.ExdirPresent ? SectorIndex(App.ExdirTrack, App.ExdirSector) : -1, &replaced, 1);
    if (FindFreeRun(App.SystemArea, sectors, &track, &sector) != 0) {
      ShowError(window, kMsgDiskFull);
      return;
    }
    App.PendingEntry[kEntryTrk] = static_cast<uint8_t>(track);
    App.PendingEntry[kEntrySct] = static_cast<uint8_t>(sector);
  } else if (track == 0) {
    ShowError(window, kMsgDiskFull);
    return;
  }
  if (StorePendingEntry() != 0) {
    ShowError(window, kMsgDirectoryFull);
    return;
  }
  if (MarkSectorsUsed(App.SystemArea, sectors, track, sector) != 0) {
    ShowError(window, kMsgBitTableFailed);
    return;
  }
  if (!VolumeSoundForWrite(length, sectors, track, sector)) {
    ShowError(window, kMsgVolumeDamaged);
    return;
  }
  if (PlatformMessageBox(window, kMsgImportConfirm, kCaptionConfirm, kMbYesNo | kMbIconQuestion) !=
      kIdYes)
    return;

  // One change: all of its writes reach the image or none does. They go out in this order: the
  // data, the bit table, the directory, the extended directory.
  if (ImageBeginChange(window) != 0) return;
  if (ZLV_WriteZelvoFile(window, DataBuffer, track, sector, static_cast<int>(length)) != 0 ||
      ZLV_WriteZelvoFile(window, App.SystemArea, kSystemAreaTrack, kSystemAreaSector,
                         kSystemAreaBytes) != 0 ||
      ZLV_WriteZelvoFile(window, App.DirectoryBuffer, kDirectoryTrack, kDirectorySector,
                         kDirectoryHalfBytes) != 0 ||
      (App.ExdirPresent &&
       ZLV_WriteZelvoFile(window, App.DirectoryBuffer + kDirectoryHalfBytes, App.ExdirTrack,
                          App.ExdirSector, kDirectoryHalfBytes) != 0)) {
    ImageAbortChange();
    return;
  }
  if (ImageCommitChange(window) != 0) return;

  LoadVolume(window);
  PlatformMessageBox(window, kMsgImportSucceeded, kCaptionSuccess, kMbOk);
}
