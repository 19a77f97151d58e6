#include "flows/export.h"

#include <cstdio>
#include <cstring>

#include "flows/app_image.h"
#include "flows/app_state.h"
#include "flows/show_outcome.h"
#include "image/host_files.h"
#include "platform/filter_list.h"
#include "texts/texts.h"
#include "transfer/attribute_checks.h"
#include "view/directory_list.h"
#include "view/status_bar.h"

namespace {

constexpr int kNameCellCapacity = 33;
constexpr int kTypeCellCapacity = 5;
constexpr int kLengthCellCapacity = 5;
constexpr int kTrackCellCapacity = 3;

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

void ExportFileOfRow(int row, ExportFile* file) {
  std::memset(file, 0, sizeof *file);
  ListGetCell(App.ListWindow, row, kColName, file->name, kNameCellCapacity);
  ListGetCell(App.ListWindow, row, kColType, file->type, kTypeCellCapacity);
  file->length = ReadHexCell(App.ListWindow, row, kColLength, kLengthCellCapacity, 4);
  file->track = ReadHexCell(App.ListWindow, row, kColTrk, kTrackCellCapacity, 2);
  file->sector = ReadHexCell(App.ListWindow, row, kColSct, kTrackCellCapacity, 2);
}

void DefaultExportName(int row, char* hostName) {
  ExportFile file;
  ExportFileOfRow(row, &file);
  DefaultExportName(&file, hostName);
}

int ExportSelectedFile(WindowHandle window, int row, int selected) {
  ExportFile file;
  ExportFileOfRow(row, &file);
  // The default host name: the name cell, a dot and the first three characters of the type cell;
  // where host paths are in another code page, converted as the folder export converts it.
  char hostName[kHostNameBytes];
  DefaultExportName(&file, hostName);
  if (!PlatformHostUsesProgramCodePage()) {
    char converted[kHostNameBytes];
    if (PlatformHostFileName(hostName, converted, sizeof converted) == 0)
      std::memcpy(hostName, converted, sizeof hostName);
  }
  ImageTarget target;
  AppImageTarget(&target);
  Outcome out;
  OutcomeClear(&out);
  const uint8_t* data = nullptr;
  long length = 0;
  if (ReadExportData(&target, &file, App.TransferMode == kTransferAscii, App.Tables.TBL2, &data,
                     &length, &out) != 0) {
    ShowOutcome(window, &out);
    return -1;
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
    if (error == 0) return -1;
    char message[128];
    std::snprintf(message, sizeof message, WindowText(kMsgSaveDialogFailed),
                  static_cast<unsigned>(error));
    PlatformMessageBox(window, message, kCaptionError, kMbOk);
    return -1;
  }

  if (WriteExportFile(hostName, data, length, &out) != 0) {
    ShowOutcome(window, &out);
    return -1;
  }
  char outcome[kStatusCapacity];
  if (App.English)
    std::snprintf(outcome, sizeof outcome, kStatusExportedEn, file.name, length);
  else
    ComposeExportStatus(file.name, length, outcome, sizeof outcome);
  if (selected > 1) {
    const size_t used = std::strlen(outcome);
    std::snprintf(outcome + used, sizeof outcome - used, WindowText(kStatusExportedOfSelected),
                  selected);
  }
  PlatformSetStatus(window, kStatusOutcome, outcome);
  return 0;
}
