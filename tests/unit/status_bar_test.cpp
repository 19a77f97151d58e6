// The status line's texts and the volume check's lines, as tables.
#include "view/status_bar.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "flows/app_state.h"
#include "support/test_support.h"
#include "texts/texts.h"
#include "view/check_report.h"

namespace {

const auto F = testsupport::Formatted;

TEST(StatusBarTexts, ModesCountsAndOutcomes) {
  const struct {
    int machine, transfer;
    const char* text;
  } modes[] = {{kModeMz, kTransferBinary, "MZ / Binary"},
               {kModeMz, kTransferAscii, "MZ / Ascii"},
               {kModePc, kTransferBinary, "PC / Binary"},
               {kModePc, kTransferAscii, "PC / Ascii"}};
  for (const auto& m : modes) {
    char text[kStatusCapacity];
    ComposeModeStatus(m.machine, m.transfer, text, sizeof text);
    EXPECT_STREQ(text, m.text);
  }

  const struct {
    bool loaded;
    int files, free;
    std::string text;
  } volumes[] = {{false, 3, 100, ""},
                 {true, 0, 1312, F(kStatusFiles, 0) + F(kStatusSectorsFree, 1312)},
                 {true, 1, 1, std::string(kStatusOneFile) + kStatusOneSectorFree},
                 {true, 128, 0, F(kStatusFiles, 128) + F(kStatusSectorsFree, 0)},
                 {true, 2, 7, F(kStatusFiles, 2) + F(kStatusSectorsFree, 7)}};
  for (const auto& v : volumes) {
    char text[kStatusCapacity];
    ComposeVolumeStatus(v.loaded, v.files, v.free, text, sizeof text);
    EXPECT_EQ(text, v.text) << v.files << " " << v.free;
  }

  char text[kStatusCapacity];
  ComposeExportStatus("README.TXT", 91, text, sizeof text);
  EXPECT_EQ(text, F(kStatusExported, "README.TXT", 91L));
  // A small buffer cuts the text but always ends it.
  char small[8];
  ComposeVolumeStatus(true, 123, 4567, small, sizeof small);
  EXPECT_EQ(std::strlen(small), 7u);
}

TEST(StatusBarTexts, FreeSectorsCountTheDataTracksOnly) {
  uint8_t bitTable[512] = {};
  EXPECT_EQ(CountFreeSectors(bitTable), 82 * 16);
  // Tracks 0 and 1 (the system area and the directory) never count.
  std::memset(bitTable, 0xFF, 4);
  EXPECT_EQ(CountFreeSectors(bitTable), 82 * 16);
  bitTable[4] = 0x01;                   // sector index 32: track 2, sector 1
  bitTable[(84 * 16 - 1) / 8] |= 0x80;  // the last sector of track 83
  bitTable[84 * 16 / 8] = 0xFF;         // past the last track: not a sector
  EXPECT_EQ(CountFreeSectors(bitTable), 82 * 16 - 2);
}

TEST(CheckReport, OneLinePerKindOfFinding) {
  const char* name = "\x82\x60";  // a full-width A
  const struct {
    CheckFinding finding;
    const char* where;
  } cases[] = {
      {{kCheckRunOutside, 3, -1, 0x52, 5, 4, 0}, "Trk52 Sct05"},
      {{kCheckRunOutside, 3, -1, 0x05, 0, 1, 0}, "Trk05 Sct00"},  // no sector of the volume
      {{kCheckRunFree, 3, -1, 2, 16, 3, 0}, "Trk02 Sct10"},
      {{kCheckSharedSectors, 3, -1, 2, 1, 2, 0}, "Trk02 Sct01"},
      {{kCheckExdirFree, -1, -1, 0x10, 3, 8, 0}, "Trk10 Sct03"},
      {{kCheckSectorsMissing, -1, -1, 0x30, 1, 16, 0}, "Trk30 Sct01"},
      {{kCheckD88OffsetOutside, -1, -1, 7, 0, 0, 0x1234}, "00001234"},
      {{kCheckD88OffsetInHeader, -1, -1, 7, 0, 0, 0x10}, "00000010"},
      {{kCheckImageUnreadable, -1, -1, 0, 0, 0, 0}, ""},
  };
  for (const auto& c : cases) {
    char line[256];
    ComposeCheckLine(c.finding, name, "", line, sizeof line);
    const std::string text = line;
    EXPECT_NE(text.find(c.where), std::string::npos) << text;
    // A finding about an entry names it first.
    EXPECT_EQ(text.rfind(std::string(name) + ": ", 0) == 0, c.finding.slot >= 0) << text;
  }
  // The extended directory names itself as the other holder of shared sectors.
  char line[256];
  ComposeCheckLine(cases[3].finding, name, "", line, sizeof line);
  EXPECT_NE(std::string(line).find(kCheckExdirName), std::string::npos);
}

TEST(CheckReport, CleanManyAndCut) {
  char text[kCheckReportCapacity];
  CheckFinding items[40] = {};
  CheckFindings none{items, 40, 0};
  ComposeCheckReport(none, nullptr, 0, nullptr, text, sizeof text);
  EXPECT_STREQ(text, kMsgCheckClean);

  for (CheckFinding& item : items) item = {kCheckImageUnreadable, -1, -1, 0, 0, 0, 0};
  CheckFindings many{items, 40, 45};  // five did not fit into the storage
  ComposeCheckReport(many, nullptr, 0, nullptr, text, sizeof text);
  const std::string report = text;
  char head[64];
  std::snprintf(head, sizeof head, kMsgCheckFound, 45);
  EXPECT_EQ(report.rfind(head, 0), 0u);
  size_t lines = 0;
  for (size_t at = report.find(kCheckLineUnreadable); at != std::string::npos;
       at = report.find(kCheckLineUnreadable, at + 1))
    ++lines;
  EXPECT_EQ(lines, static_cast<size_t>(kCheckReportLines));
  char more[64];
  std::snprintf(more, sizeof more, kMsgCheckMore, 45 - kCheckReportLines);
  EXPECT_NE(report.find(more), std::string::npos);

  // In English every part of the report is the English text, the names as they are.
  ComposeCheckReport(many, nullptr, 0, nullptr, text, sizeof text, true);
  const std::string english = text;
  std::snprintf(head, sizeof head, kMsgCheckFoundEn, 45);
  EXPECT_EQ(english.rfind(head, 0), 0u);
  EXPECT_NE(english.find(kCheckLineUnreadableEn), std::string::npos);
  std::snprintf(more, sizeof more, kMsgCheckMoreEn, 45 - kCheckReportLines);
  EXPECT_NE(english.find(more), std::string::npos);
  ComposeCheckReport(none, nullptr, 0, nullptr, text, sizeof text, true);
  EXPECT_STREQ(text, kMsgCheckCleanEn);
  char line[256];
  ComposeCheckLine({kCheckSharedSectors, 3, -1, 2, 1, 2, 0}, "A.TXT", "", line, sizeof line, true);
  char want[256];
  std::snprintf(want, sizeof want, kCheckLineSharedEn, "A.TXT", 2, kCheckExdirNameEn, 2, 1);
  EXPECT_STREQ(line, want);

  // A short buffer still ends the text.
  char small[16];
  ComposeCheckReport(many, nullptr, 0, nullptr, small, sizeof small);
  EXPECT_LT(std::strlen(small), sizeof small);
}

}  // namespace
