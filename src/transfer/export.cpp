#include "transfer/export.h"

#include <cstdio>
#include <cstring>

#include "image/host_files.h"
#include "image/sector_transfer.h"
#include "texts/texts.h"
#include "volume/layout.h"

namespace {

// Work areas of one export; only one command runs at a time.
uint8_t ReadBuffer[kExportBufferBytes];
uint8_t ConversionBuffer[kExportBufferBytes];

}  // namespace

void ExportFileOfEntry(const uint8_t* entry, const uint16_t* tbl1, ExportFile* file) {
  DirectoryRow row;
  FormatDirectoryRow(entry, tbl1, &row);
  std::memcpy(file->name, row.cells[kColName], sizeof file->name);
  std::memcpy(file->type, row.cells[kColType], sizeof file->type);
  file->length = EntryLength(entry);
  file->track = entry[kEntryTrk];
  file->sector = entry[kEntrySct];
}

void DefaultExportName(const ExportFile* file, char* hostName) {
  std::memset(hostName, 0, kHostNameBytes);
  std::snprintf(hostName, kHostNameBytes, "%s.%.3s", file->name, file->type);
}

long ConvertExportText(const uint8_t* input, long length, const uint8_t* tbl2, uint8_t* output) {
  long out = 0;
  for (long i = 0; i < length; ++i) {
    const uint8_t b = input[i];
    if (b == 0x00) {
      output[out++] = 0x00;
    } else if (b == 0x0D) {
      output[out++] = 0x0D;
      output[out++] = 0x0A;
    } else {
      output[out++] = tbl2[b];
    }
  }
  if (out > 0 && output[out - 1] == 0x00) --out;
  return out;
}

int ReadFileData(const ImageTarget* target, const ExportFile* file, bool ascii, const uint8_t* tbl2,
                 const uint8_t** data, long* length, Outcome* out) {
  long bytes = file->length < 0 ? 0 : file->length;
  // A sector that a D88 track does not carry leaves its part of the buffer as it was: zero.
  std::memset(ReadBuffer, 0, static_cast<size_t>(SectorsFor(bytes)) * kSectorBytes);
  const int status =
      ReadSectors(target, ReadBuffer, file->track, file->sector, static_cast<int>(bytes));
  if (status != kImageOk) {
    SayText(out, kCaptionRead, ImageStatusText(status), ImageStatusText(status));
    return -1;
  }
  *data = ReadBuffer;
  if (ascii) {
    bytes = ConvertExportText(ReadBuffer, bytes, tbl2, ConversionBuffer);
    *data = ConversionBuffer;
  }
  *length = bytes;
  return 0;
}

int ReadExportData(const ImageTarget* target, const ExportFile* file, bool ascii,
                   const uint8_t* tbl2, const uint8_t** data, long* length, Outcome* out) {
  if (ReadFileData(target, file, ascii, tbl2, data, length, out) == 0) return 0;
  SayText(out, kCaptionError, kMsgExportReadFailed, kMsgExportReadFailed);
  return -1;
}

int WriteHostFile(const char* path, const uint8_t* data, long length) {
  std::FILE* file = PlatformOpenHostFile(path, "wb");
  if (!file) return -1;
  int result = 0;
  if (length > 0 &&
      std::fwrite(data, 1, static_cast<size_t>(length), file) != static_cast<size_t>(length))
    result = -1;
  if (std::fclose(file) != 0) result = -1;
  return result;
}

int WriteExportFile(const char* path, const uint8_t* data, long length, Outcome* out) {
  if (WriteHostFile(path, data, length) == 0) return 0;
  SayText(out, kCaptionError, kMsgExportWriteFailed, kMsgExportWriteFailed);
  return -1;
}
