#include "transfer/export.h"

#include <cstdio>
#include <cstring>

#include "flows/app_image.h"
#include "flows/app_state.h"
#include "flows/attribute_dialog.h"
#include "platform/filter_list.h"
#include "texts/texts.h"
#include "view/directory_list.h"
#include "view/status_bar.h"
#include "volume/layout.h"

namespace {

constexpr int kNameCellCapacity = 33;
constexpr int kTypeCellCapacity = 5;
constexpr int kLengthCellCapacity = 5;
constexpr int kTrackCellCapacity = 3;

// Work areas of one export; only one command runs at a time.
uint8_t ReadBuffer[kExportBufferBytes];
uint8_t ConversionBuffer[kExportBufferBytes];

constexpr auto kExportFilter = JoinFilter(kFilterAllFilesEn, "*.*");

// Reads a hexadecimal cell of the row; 0 when it holds no number.
int ReadHexCell(WindowHandle list, int row, int column, int capacity, int width) {
  char cell[kCellCapacity] = {};
  ListGetCell(list, row, column, cell, capacity);
  int value = 0;
  if (!ScanHex(cell, width, &value)) return 0;
  return value;
}

}  // namespace

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

void DefaultExportName(int row, char* hostName) {
  std::memset(hostName, 0, kHostNameBytes);
  ListGetCell(App.ListWindow, row, kColName, hostName, kNameCellCapacity);
  char typeText[kTypeCellCapacity + 1] = {};
  ListGetCell(App.ListWindow, row, kColType, typeText + 1, kTypeCellCapacity);
  typeText[0] = '.';
  typeText[4] = '\0';
  std::strncat(hostName, typeText, kHostNameBytes - std::strlen(hostName) - 1);
}

int ReadRowData(WindowHandle window, int row, const uint8_t** data, long* length) {
  long bytes = ReadHexCell(App.ListWindow, row, kColLength, kLengthCellCapacity, 4);
  if (bytes < 0) bytes = 0;
  const int track = ReadHexCell(App.ListWindow, row, kColTrk, kTrackCellCapacity, 2);
  const int sector = ReadHexCell(App.ListWindow, row, kColSct, kTrackCellCapacity, 2);

  // A sector that a D88 track does not carry leaves its part of the buffer as it was: zero.
  std::memset(ReadBuffer, 0, static_cast<size_t>(SectorsFor(bytes)) * kSectorBytes);
  if (ZLV_ReadZelvoFile(window, ReadBuffer, track, sector, static_cast<int>(bytes)) != 0) return -1;
  *data = ReadBuffer;
  if (App.TransferMode == kTransferAscii) {
    bytes = ConvertExportText(ReadBuffer, bytes, App.Tables.TBL2, ConversionBuffer);
    *data = ConversionBuffer;
  }
  *length = bytes;
  return 0;
}

void ExportSelectedFile(WindowHandle window, int row) {
  // The default host name: the name cell, a dot and the first three characters of the type cell.
  char hostName[kHostNameBytes];
  DefaultExportName(row, hostName);
  const uint8_t* data = nullptr;
  long length = 0;
  if (ReadRowData(window, row, &data, &length) != 0) {
    PlatformMessageBox(window, kMsgExportReadFailed, kCaptionError, kMbOk);
    return;
  }

  FileDialogRequest request = {};
  request.structSize = 76;
  request.filter = kExportFilter.data();
  request.filterIndex = 1;
  request.file = hostName;
  request.fileCapacity = kHostNameBytes;
  request.fileTitle = App.FileTitle;
  request.fileTitleCapacity = sizeof App.FileTitle;
  request.title = kExportDialogTitle;
  request.flags = kOfnOverwritePrompt | kOfnHideReadOnly;
  request.defExt = "";
  if (!PlatformGetSaveFileName(window, &request)) {
    const unsigned long error = PlatformCommDlgExtendedError();
    if (error == 0) return;
    char message[128];
    std::snprintf(message, sizeof message, kMsgSaveDialogFailed, static_cast<unsigned>(error));
    PlatformMessageBox(window, message, kCaptionError, kMbOk);
    return;
  }

  if (WriteHostFile(hostName, data, length) != 0) {
    PlatformMessageBox(window, kMsgExportWriteFailed, kCaptionError, kMbOk);
    return;
  }
  char name[kNameCellCapacity] = {};
  ListGetCell(App.ListWindow, row, kColName, name, kNameCellCapacity);
  char outcome[kStatusCapacity];
  ComposeExportStatus(name, length, outcome, sizeof outcome);
  PlatformSetStatus(window, kStatusOutcome, outcome);
}
