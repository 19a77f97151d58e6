// Loading a volume: the view emptied, the system area and directory read, list, panel, title,
// menu state; the failure steps.
#include "flows/volume_load.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "image/image_file.h"
#include "support/test_support.h"
#include "texts/texts.h"
#include "view/directory_list.h"
#include "volume/layout.h"

namespace {

using testimg::BuildImage;
using testimg::FileSpec;
using testimg::ImageSpec;
using testimg::VolumeBuilder;
using testsupport::AppTest;
using testsupport::BytesEqual;

const WindowHandle kMain = scripted::kMainWindow;

std::vector<std::string> Names() {
  std::vector<std::string> names;
  for (const auto& row : scripted::Rows()) names.push_back(row[kColName]);
  return names;
}

std::vector<std::string> PanelTexts() {
  std::vector<std::string> texts;
  for (const auto& [window, text] : scripted::TextHistory())
    if (window == scripted::kPanelWindow) texts.push_back(text);
  return texts;
}

VolumeBuilder TwoFiles() {
  VolumeBuilder v;
  v.SetVolumeNumber(7).SetDiskName("TWO").SetDate(0x03, 0x02, 0x01);
  FileSpec a;
  a.name = "A";
  a.data.assign(10, 1);
  v.AddFile(a);
  FileSpec b;
  b.name = "B";
  b.data.assign(10, 2);
  v.AddFile(b);
  return v;
}

const char kTwoFilesPanel[] =
    "  information\n"
    "   Volume Number:7     Disk Name:TWO\n"
    "   Date:03/02/01     ID:     EXDIR:None   (2 files)\n"
    "   Auto Start:";

class VolumeLoadTest : public AppTest {
 protected:
  std::string Use(const VolumeBuilder& v, bool d88, int mode, const std::string& name) {
    ImageSpec shape;
    shape.d88 = d88;
    shape.machineMode = mode;
    App.MachineMode = mode;
    return UseImage(BuildImage(v, shape), name, d88 ? kFormatD88 : kFormat2D);
  }
  void ExpectEmptyState() {
    EXPECT_EQ(kProgramTitle, scripted::WindowText(kMain));
    EXPECT_FALSE(scripted::MenuEnabled(kCmdExport));
    EXPECT_FALSE(scripted::MenuEnabled(kCmdImport));
    EXPECT_EQ(0, App.VolumeLoaded);
    for (uint8_t b : App.DirectoryBuffer) ASSERT_EQ(0, b);
  }
};

TEST_F(VolumeLoadTest, LoadsAndShowsTheVolume) {
  const std::string path = Use(TwoFiles(), false, kModePc, "two.2d");
  const auto before = testimg::ReadFile(path);
  LoadVolume(kMain);
  EXPECT_TRUE(scripted::Boxes().empty());
  EXPECT_EQ(std::string("Zelvo Explorer - ") + path, scripted::WindowText(kMain));
  EXPECT_TRUE(scripted::MenuEnabled(kCmdExport));
  EXPECT_TRUE(scripted::MenuEnabled(kCmdImport));
  EXPECT_EQ(1, App.VolumeLoaded);
  EXPECT_EQ((std::vector<std::string>{"AA", "BB"}), Names());
  // The panel is built twice: first with the list still empty.
  std::string first = kTwoFilesPanel;
  first.replace(first.find("(2 files)"), 9, "(0 files)");
  EXPECT_EQ((std::vector<std::string>{first, kTwoFilesPanel}), PanelTexts());
  EXPECT_TRUE(BytesEqual(before, testimg::ReadFile(path)));
}

TEST_F(VolumeLoadTest, ExtendedDirectoryRowsFollowTheMainDirectory) {
  VolumeBuilder v;
  v.SetExdir(4, 1);
  FileSpec f;
  f.data.assign(1, 0);
  f.name = "X";
  f.slot = 70;
  v.AddFile(f);
  f.name = "M";
  f.slot = 63;
  v.AddFile(f);
  f.name = "Y";
  f.slot = 127;
  v.AddFile(f);
  Use(v, true, kModeMz, "ext.d88");
  LoadVolume(kMain);
  EXPECT_EQ((std::vector<std::string>{"MM", "XX", "YY"}), Names());
  EXPECT_NE(
      std::string::npos,
      scripted::WindowText(scripted::kPanelWindow).find("   EXDIR:Trk04 Sct01   (3 files)\n"));
  EXPECT_EQ(128, App.EntryCount);
}

TEST_F(VolumeLoadTest, ReloadUnderTheOtherConventionReplacesEveryRow) {
  Use(TwoFiles(), false, kModePc, "two.2d");
  App.MachineMode = kModeMz;  // the wrong convention: everything reads inverted and swapped
  LoadVolume(kMain);
  EXPECT_NE((std::vector<std::string>{"AA", "BB"}), Names());
  App.MachineMode = kModePc;
  LoadVolume(kMain);
  EXPECT_EQ((std::vector<std::string>{"AA", "BB"}), Names());
  EXPECT_EQ(kTwoFilesPanel, scripted::WindowText(scripted::kPanelWindow));
  EXPECT_TRUE(scripted::Boxes().empty());
}

TEST_F(VolumeLoadTest, FailedRowDeletionIsReportedAndTheLoadGoesOn) {
  Use(TwoFiles(), false, kModePc, "two.2d");
  LoadVolume(kMain);
  scripted::FailRowDeletion(0);
  LoadVolume(kMain);
  ASSERT_EQ(1u, scripted::Boxes().size());
  EXPECT_EQ(kMsgDeleteItemFailed, scripted::Boxes()[0].text);
  EXPECT_EQ(kCaptionError, scripted::Boxes()[0].caption);
  EXPECT_EQ(kMbOk, scripted::Boxes()[0].flags);
  EXPECT_EQ(kMain, scripted::Boxes()[0].owner);
  // The row that stayed is pushed below the new rows and counted by the panel.
  EXPECT_EQ((std::vector<std::string>{"AA", "BB", "AA"}), Names());
  EXPECT_NE(std::string::npos, scripted::WindowText(scripted::kPanelWindow).find("(3 files)"));
  ASSERT_EQ(4u, PanelTexts().size());
  EXPECT_NE(std::string::npos, PanelTexts()[2].find("(1 files)"));
}

TEST_F(VolumeLoadTest, FirstLoadFailingAtTheSystemAreaEndsEmpty) {
  std::snprintf(App.ImagePath, sizeof App.ImagePath, "%s", temp.Path("missing.2d").c_str());
  std::snprintf(App.ChosenPath, sizeof App.ChosenPath, "%s", App.ImagePath);
  LoadVolume(kMain);
  ASSERT_EQ(1u, scripted::Boxes().size());
  EXPECT_EQ(kMsgReadFailed, scripted::Boxes()[0].text);
  ExpectEmptyState();
  EXPECT_TRUE(scripted::Rows().empty());
  EXPECT_EQ((std::vector<std::string>{"  information\n"
                                      "   Volume Number:Master     Disk Name:\n"
                                      "   Date:00/00/00     ID:     EXDIR:None   (0 files)\n"
                                      "   Auto Start:"}),
            PanelTexts());
  EXPECT_EQ(64, App.EntryCount);
}

TEST_F(VolumeLoadTest, LaterFailureClearsTheDirectoryAndKeepsTheSystemArea) {
  VolumeBuilder v = TwoFiles();
  v.SetExdir(5, 1);
  const std::string path = Use(v, true, kModePc, "two.d88");
  LoadVolume(kMain);
  ASSERT_EQ(2u, scripted::Rows().size());
  uint8_t systemArea[512];
  std::memcpy(systemArea, App.SystemArea, sizeof systemArea);
  std::remove(path.c_str());
  LoadVolume(kMain);
  ASSERT_EQ(1u, scripted::Boxes().size());
  EXPECT_EQ(kMsgReadFailed, scripted::Boxes()[0].text);
  ExpectEmptyState();
  EXPECT_TRUE(scripted::Rows().empty());
  EXPECT_EQ(0, std::memcmp(systemArea, App.SystemArea, sizeof systemArea));
  std::string panel = kTwoFilesPanel;
  panel.replace(panel.find("None   (2 files)"), 16, "Trk05 Sct01   (0 files)");
  EXPECT_EQ(panel, scripted::WindowText(scripted::kPanelWindow));
}

// A read failing after the system area was read: the directory (first case) or the extended
// directory (second case). The panel shows the new volume with a count of 0.
TEST_F(VolumeLoadTest, DirectoryReadFailureEndsEmptyWithTheNewPanel) {
  for (bool failExdir : {false, true}) {
    SCOPED_TRACE(failExdir ? "extended directory" : "directory");
    scripted::Reset();
    VolumeBuilder v = TwoFiles();
    v.SetExdir(5, 1);
    const std::string path = Use(v, true, kModeMz, failExdir ? "x.d88" : "d.d88");
    // The read that delivers the first sector of the directory (logical track 1, physical 0) or
    // of the extended directory (logical track 5, physical 4) fails.
    const long failing = testimg::D88DataOffset(testimg::ReadFile(path), failExdir ? 4 : 0, 1);
    ASSERT_GT(failing, 0);
    ImageReadFaults = {0, 0, failing};
    LoadVolume(kMain);
    ImageReadFaults = {0, 0, 0};
    ASSERT_EQ(1u, scripted::Boxes().size());
    EXPECT_EQ(kMsgReadFailed, scripted::Boxes()[0].text);
    ExpectEmptyState();
    EXPECT_TRUE(scripted::Rows().empty());
    EXPECT_EQ(128, App.EntryCount);
    std::string panel = kTwoFilesPanel;
    panel.replace(panel.find("None   (2 files)"), 16, "Trk05 Sct01   (0 files)");
    EXPECT_EQ(panel, scripted::WindowText(scripted::kPanelWindow));
  }
}

}  // namespace
