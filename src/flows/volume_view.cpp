#include "flows/volume_view.h"

#include "flows/app_image.h"
#include "flows/app_state.h"
#include "flows/repair_offer.h"
#include "texts/texts.h"
#include "view/check_report.h"
#include "view/directory_list.h"
#include "view/info_panel.h"
#include "view/status_bar.h"
#include "volume/layout.h"

namespace {

constexpr int kMaxEntries = kDirectoryBufferBytes / kEntryBytes;  // 128

}  // namespace

void SetupListColumns() {
  for (int i = 0; i < kColumnCount; i++)
    ListInsertColumn(App.ListWindow, i, kColumnWidths[i], kColumnTitles[i]);
}

void FillDirectoryList() {
  int count = App.EntryCount;
  if (count > kMaxEntries) count = kMaxEntries;
  DirectoryRow row;
  int r = 0;
  for (int k = 0; k < count; k++) {
    const uint8_t* entry = App.DirectoryBuffer + k * kEntryBytes;
    if (entry[kEntryType] == 0) continue;
    FormatDirectoryRow(entry, App.Tables.TBL1, &row);
    ListInsertRow(App.ListWindow, r, row.cells[kColName]);
    for (int column = 1; column < kColumnCount; column++)
      ListSetCell(App.ListWindow, r, column, row.cells[column]);
    r++;
  }
}

void BuildInfoText(char* text) {
  ApplyExdirRule();
  const int files = ListRowCount(App.ListWindow);
  ComposeInfoText(App.SystemArea, App.ExdirPresent, App.ExdirTrack, App.ExdirSector, files, text);
}

void ShowModeStatus(WindowHandle window) {
  char text[kStatusCapacity];
  ComposeModeStatus(App.MachineMode, App.TransferMode, text, sizeof text);
  PlatformSetStatus(window, kStatusModes, text);
}

void ShowVolumeStatus(WindowHandle window) {
  char text[kStatusCapacity];
  const VolumeStatusFacts facts{App.VolumeLoaded == 1, ListRowCount(App.ListWindow),
                                App.SystemArea + kSysBitTable, App.WriteProtected != 0};
  ComposeVolumeStatusLine(facts, text, sizeof text, App.English != 0);
  PlatformSetStatus(window, kStatusVolume, text);
}

void ShowActionStatus(WindowHandle window, const char* text) {
  PlatformSetStatus(window, kStatusOutcome, text ? text : "");
}

void ShowOutcomeStatus(WindowHandle window, const Outcome* out) {
  if (out->count == 0) return;
  const char* text = App.English ? OutcomeTextEn(out, 0) : OutcomeText(out, 0);
  char line[kStatusCapacity];
  int n = 0;
  while (text[n] != '\0' && text[n] != '\r' && text[n] != '\n' && n + 1 < kStatusCapacity) {
    line[n] = text[n];
    ++n;
  }
  line[n] = '\0';
  ShowActionStatus(window, line);
}

void ShowVolumeCheck(WindowHandle window) {
  constexpr int kFindingCapacity = 512;
  static CheckFinding store[kFindingCapacity];  // one check runs at a time
  CheckFindings findings{store, kFindingCapacity, 0};
  if (CheckLoadedVolume(&findings) != 0) {
    PlatformMessageBox(window, kMsgCheckOpenFailed, kCaptionCheck, kMbOk);
    return;
  }
  static char text[kCheckReportCapacity];
  ComposeCheckReport(findings, App.DirectoryBuffer, App.EntryCount, App.Tables.TBL1, text,
                     sizeof text, App.English != 0);
  PlatformMessageBox(window, text, kCaptionCheck, kMbOk);
  OfferBitTableRepair(window);
}
