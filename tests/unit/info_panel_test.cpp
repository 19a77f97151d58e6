// The information panel: the text composed from a system area, masking, the EXDIR side effect.
#include "view/info_panel.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "flows/volume_view.h"
#include "support/test_support.h"
#include "volume/layout.h"

namespace {

using testsupport::AppTest;

// A system area with no extended directory, volume 0, date 03/01/15 and no other field.
struct SystemArea {
  uint8_t bytes[512] = {};
  SystemArea() {
    bytes[kSysExdirTrk] = 0xFF;
    bytes[kSysExdirSct] = 0xFF;
    bytes[kSysDate] = 0x03;
    bytes[kSysDate + 1] = 0x01;
    bytes[kSysDate + 2] = 0x15;
  }
  void Put(int offset, const std::string& data) {
    std::memcpy(bytes + offset, data.data(), data.size());
  }
};

std::string Compose(const SystemArea& sys, int exdir = 0, int track = 0, int sector = 0,
                    int files = 0) {
  char text[kPanelTextCapacity];
  std::memset(text, 0x55, sizeof text);
  ComposeInfoText(sys.bytes, exdir, track, sector, files, text);
  return text;
}

// The line of the panel with index `n` (0 = "  information").
std::string Line(const std::string& text, int n) {
  size_t at = 0;
  for (int i = 0; i < n; i++) at = text.find('\n', at) + 1;
  return text.substr(at, text.find('\n', at) - at);
}

TEST(InfoPanel, ExampleByteForByte) {
  SystemArea sys;
  sys.Put(kSysDiskName, "SYSTEM DISK");
  sys.Put(kSysIdMark, "FM");
  sys.Put(kSysAutoStart, "RUN\r");
  EXPECT_EQ(
      "  information\n"
      "   Volume Number:Master     Disk Name:SYSTEM DISK\n"
      "   Date:03/01/15     ID:FM     EXDIR:Trk04 Sct01   (12 files)\n"
      "   Auto Start:RUN",
      Compose(sys, 1, 4, 1, 12));
}

TEST(InfoPanel, VolumeNumbers) {
  struct {
    uint8_t low, high;
    const char* shown;
  } const kCases[] = {{0, 0, "Master  "}, {1, 0, "1  "}, {0, 1, "256  "}, {0xFF, 0xFF, "65535  "}};
  for (const auto& c : kCases) {
    SystemArea sys;
    sys.bytes[kSysVolumeNumber] = c.low;
    sys.bytes[kSysVolumeNumber + 1] = c.high;
    EXPECT_EQ(std::string("   Volume Number:") + c.shown + "   Disk Name:", Line(Compose(sys), 1))
        << c.shown;
  }
}

TEST(InfoPanel, DiskNameTakesTwentySevenBytesAndMasksReturns) {
  SystemArea sys;
  sys.Put(kSysDiskName, std::string(27, 'N'));
  sys.Put(kSysIdMark, "FM");
  EXPECT_EQ("   Volume Number:Master     Disk Name:" + std::string(27, 'N'), Line(Compose(sys), 1));
  SystemArea padded;
  padded.Put(kSysDiskName, std::string("AB\r\r\0", 5));
  EXPECT_EQ("   Volume Number:Master     Disk Name:AB??", Line(Compose(padded), 1));
}

TEST(InfoPanel, DoubleByteTextsShowTheirLeadByteAsQuestionMark) {
  SystemArea sys;
  sys.Put(kSysDiskName, "\x83\x41\x95\x5C\x88\xA0");  // trail bytes A, \ and a katakana byte
  sys.Put(kSysAutoStart, "\x82\x60\r");
  const std::string text = Compose(sys);
  EXPECT_EQ("   Volume Number:Master     Disk Name:?A?\\?\xA0", Line(text, 1));
  EXPECT_EQ("   Auto Start:?`", Line(text, 3));
}

TEST(InfoPanel, DateIdAndExdirPieces) {
  SystemArea sys;
  sys.bytes[kSysDate + 1] = 0x0C;
  sys.bytes[kSysDate + 2] = 0x1F;
  sys.Put(kSysIdMark, "MF");
  EXPECT_EQ("   Date:03/0C/1F     ID:     EXDIR:None   (40 files)",
            Line(Compose(sys, 0, 4, 1, 40), 2));
  sys.Put(kSysIdMark, "FM");
  EXPECT_EQ("   Date:03/0C/1F     ID:FM     EXDIR:Trk53 Sct10   (0 files)",
            Line(Compose(sys, 1, 83, 16, 0), 2));
}

TEST(InfoPanel, AutoStartEndsAtReturnZeroOrFortyEightBytes) {
  SystemArea sys;
  sys.Put(kSysAutoStart, "\rRUN");
  EXPECT_EQ("   Auto Start:", Line(Compose(sys), 3));
  sys.Put(kSysAutoStart, std::string(48, 'R'));
  sys.bytes[kSysAutoStart + 48] = 'X';
  const std::string text = Compose(sys);
  EXPECT_EQ("   Auto Start:" + std::string(48, 'R'), Line(text, 3));
  EXPECT_EQ(std::string::npos,
            text.find('\n', text.rfind("Auto Start")));  // no line feed at the end
}

TEST(InfoPanel, MaskKeepsOnlyPrintableRanges) {
  struct {
    unsigned byte;
    bool kept;
  } const kCases[] = {{0x01, false}, {0x1F, false}, {0x20, true},  {0x7F, true},
                      {0x80, false}, {0x9F, false}, {0xA0, true},  {0xDF, true},
                      {0xE0, false}, {0xFF, false}, {0x0D, false}, {0x41, true}};
  for (const auto& c : kCases) {
    char text[] = {'a', static_cast<char>(c.byte), 'b', 0};
    MaskPanelText(text);
    EXPECT_EQ(c.kept ? static_cast<char>(c.byte) : '?', text[1]) << std::hex << c.byte;
    EXPECT_EQ('a', text[0]);
    EXPECT_EQ('b', text[2]);
  }
}

class BuildInfoTextTest : public AppTest {};

TEST_F(BuildInfoTextTest, CountsListRowsAndAppliesTheExdirRule) {
  SystemArea sys;
  sys.bytes[kSysExdirTrk] = 4;
  sys.bytes[kSysExdirSct] = 1;
  std::memcpy(App.SystemArea, sys.bytes, sizeof sys.bytes);
  for (int r = 0; r < 3; r++) ListInsertRow(App.ListWindow, r, "x");
  char text[kPanelTextCapacity];
  BuildInfoText(text);
  EXPECT_EQ("   Date:03/01/15     ID:     EXDIR:Trk04 Sct01   (3 files)", Line(text, 2));
  EXPECT_EQ(1, App.ExdirPresent);
  EXPECT_EQ(128, App.EntryCount);
  EXPECT_EQ(4096u, App.DirectoryBytes);

  App.SystemArea[kSysExdirTrk] = 84;  // out of range: no extended directory, stale track kept
  BuildInfoText(text);
  EXPECT_EQ("   Date:03/01/15     ID:     EXDIR:None   (3 files)", Line(text, 2));
  EXPECT_EQ(0, App.ExdirPresent);
  EXPECT_EQ(64, App.EntryCount);
  EXPECT_EQ(4, App.ExdirTrack);
}

}  // namespace
