// The main window's status line and greying around the commands: the free space an import can
// use, what each action leaves in the outcome part, write protection, the convention hint, no-op
// attribute edits, refused undo, the export of one of several selected rows.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "flows/app_state.h"
#include "flows/attribute_dialog.h"
#include "flows/delete_files.h"
#include "flows/edit_attributes.h"
#include "flows/export.h"
#include "flows/undo.h"
#include "flows/volume_load.h"
#include "image/change_history.h"
#include "support/image_builder.h"
#include "support/test_support.h"
#include "texts/texts.h"
#include "view/directory_list.h"
#include "view/status_bar.h"
#include "volume/bit_table.h"
#include "volume/file_ops.h"
#include "volume/layout.h"

namespace {

using testimg::FileSpec;
using testimg::ImageSpec;
using testimg::VolumeBuilder;
using testsupport::Pattern;

const WindowHandle kMain = scripted::kMainWindow;

// The volume part of the status line: files, free sectors, the largest file that fits.
std::string Line(int files, int free, long largest) {
  return testsupport::Formatted(kStatusFiles, files) +
         testsupport::Formatted(kStatusSectorsFree, free) +
         testsupport::Formatted(kStatusLargestFile, largest);
}

void MarkUsed(uint8_t* bitTable, int first, int count) {
  for (int i = first; i < first + count; ++i)
    bitTable[i / 8] |= static_cast<uint8_t>(1u << (i % 8));
}

TEST(UsableSpace, CountsWhatAnImportCanAllocate) {
  const struct {
    const char* what;
    std::function<void(uint8_t*)> fill;
    int usable, longest;
    std::string line;
  } cases[] = {
      {"empty", [](uint8_t*) {}, 1312, 1312, Line(0, 1312, 65535)},
      // 16 files of 20,000 bytes (79 sectors each): the 48 free sectors lie on tracks 80-83,
      // where no run may begin.
      {"free only past track 79", [](uint8_t* t) { MarkUsed(t, 32, 16 * 79); }, 0, 0,
       Line(0, 0, 0)},
      {"a hole and a stray sector past track 79",
       [](uint8_t* t) {
         MarkUsed(t, 32, 1312);
         for (int i = 100; i < 110; ++i) t[i / 8] &= static_cast<uint8_t>(~(1u << (i % 8)));
         t[1290 / 8] &= static_cast<uint8_t>(~(1u << (1290 % 8)));
       },
       10, 10, Line(0, 10, 2560)},
      {"a run begun on track 79 reaches on to track 83",
       [](uint8_t* t) {
         MarkUsed(t, 32, 1312);
         for (int i = 1279; i < 1344; ++i) t[i / 8] &= static_cast<uint8_t>(~(1u << (i % 8)));
       },
       65, 65, Line(0, 65, 16640)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    uint8_t table[512] = {};
    c.fill(table);
    int longest = -1;
    EXPECT_EQ(UsableFreeSectors(table, &longest), c.usable);
    EXPECT_EQ(longest, c.longest);
    // The largest file the line names is one that FindFreeRun places, and one sector more is not.
    int track, sector;
    if (c.longest > 0) {
      EXPECT_EQ(FindFreeRun(table, c.longest, &track, &sector), 0);
    }
    EXPECT_NE(FindFreeRun(table, c.longest + 1, &track, &sector), 0);
    char line[kStatusCapacity];
    ComposeVolumeStatusLine({true, 0, table, false}, line, sizeof line);
    EXPECT_EQ(line, c.line);
    ComposeVolumeStatusLine({true, 0, table, true}, line, sizeof line);
    EXPECT_EQ(std::string(line), c.line + kStatusWriteProtected);
    ComposeVolumeStatusLine({false, 0, table, true}, line, sizeof line);
    EXPECT_STREQ(line, "");
  }
}

TEST(FirstChangedSlot, FindsTheFileAStepAddedOrChanged) {
  VolumeBuilder v;
  v.AddFile(FileSpec{.name = "A", .data = Pattern(10, 1)});
  v.AddFile(FileSpec{.name = "B", .data = Pattern(10, 2)});
  const struct {
    const char* what;
    std::function<void(VolumeBuilder&)> change;
    int slot;
  } cases[] = {
      {"nothing", [](VolumeBuilder&) {}, -1},
      {"added", [](VolumeBuilder& b) { b.AddFile(FileSpec{.name = "C", .data = Pattern(5, 3)}); },
       2},
      {"renamed", [](VolumeBuilder& b) { b.Entry(1)[1] = 'X'; }, 1},
      {"removed only", [](VolumeBuilder& b) { b.Entry(0)[0] = 0; }, -1},
  };
  for (const auto& c : cases) {
    VolumeBuilder after = v;
    c.change(after);
    EXPECT_EQ(FirstChangedSlot(v.Entry(0), after.Entry(0), 64), c.slot) << c.what;
  }
}

TEST(DateSortKey, YearsFromSeventyComeFirst) {
  std::vector<std::string> cells = {"03/01/15", "99/12/31", "70/01/01", "69/12/31", "00/01/01"};
  std::sort(cells.begin(), cells.end(), [](const std::string& a, const std::string& b) {
    char ka[16], kb[16];
    DateSortKey(a.c_str(), ka, sizeof ka);
    DateSortKey(b.c_str(), kb, sizeof kb);
    return std::strcmp(ka, kb) < 0;
  });
  EXPECT_EQ(cells,
            (std::vector<std::string>{"70/01/01", "99/12/31", "00/01/01", "03/01/15", "69/12/31"}));
}

class WindowStatusTest : public testsupport::AppTest {
 protected:
  void Load(const VolumeBuilder& v, ImageSpec s = {}) {
    shape = s;
    image = testimg::BuildImage(v, shape);
    imagePath =
        UseImage(image, shape.d88 ? "disk.d88" : "disk.2d", shape.d88 ? kFormatD88 : kFormat2D);
    App.MachineMode = shape.machineMode;
    LoadVolume(kMain);
    ASSERT_EQ(App.VolumeLoaded, 1);
    scripted::ClearBoxes();
  }
  ::testing::AssertionResult Unchanged() {
    return testsupport::BytesEqual(image, testimg::ReadFile(imagePath));
  }
  static std::string Outcome() { return scripted::StatusText(kStatusOutcome); }
  ImageSpec shape;
  std::vector<uint8_t> image;
  std::string imagePath;
};

VolumeBuilder ThreeFiles() {
  VolumeBuilder v;
  v.AddFile(FileSpec{.name = "ONE", .data = Pattern(300, 1)});
  v.AddFile(FileSpec{.name = "TWO", .data = Pattern(256, 2)});
  v.AddFile(FileSpec{.name = "THREE", .data = Pattern(600, 3)});
  return v;
}

TEST_F(WindowStatusTest, EveryActionAndLoadSetsTheOutcomePart) {
  Load(ThreeFiles());
  EXPECT_EQ(Outcome(), "");
  const struct {
    const char* what;
    std::function<void()> act;
    std::string status;
    size_t rows;
  } steps[] = {
      {"delete one",
       [] {
         scripted::AnswerBox(kIdYes);
         const int slot = 1;
         DeleteFiles(kMain, &slot, 1);
       },
       kStatusDeleted, 2},
      {"undo", [] { UndoLastChange(kMain); }, kStatusUndone, 3},
      {"redo", [] { RedoLastChange(kMain); }, kStatusRedone, 2},
      {"delete two",
       [] {
         scripted::AnswerBox(kIdYes);
         const int slots[] = {0, 2};
         DeleteFiles(kMain, slots, 2);
       },
       testsupport::Formatted(kStatusFilesDeleted, 2), 0},
      {"load", [] { LoadVolume(kMain); }, "", 0},
  };
  for (const auto& step : steps) {
    PlatformSetStatus(kMain, kStatusOutcome, "left over");
    step.act();
    EXPECT_EQ(Outcome(), step.status) << step.what;
    EXPECT_EQ(scripted::Rows().size(), step.rows) << step.what;
  }
}

TEST_F(WindowStatusTest, OkWithoutAnEditWritesNothingAndKeepsTheHistory) {
  Load(ThreeFiles());
  scripted::DialogCommand(kIdOk);
  EXPECT_EQ(EditFileAttributes(kMain, 2, false), 0);
  EXPECT_TRUE(Unchanged());
  EXPECT_FALSE(ChangeHistoryCanUndo(App.History));
  EXPECT_EQ(Outcome(), kStatusUnchanged);

  // An edit writes, and a redo step left by an undo survives an OK without an edit.
  scripted::DialogSetText(kCtlStart, "2000");
  scripted::DialogCommand(kIdOk);
  EXPECT_EQ(EditFileAttributes(kMain, 2, false), 0);
  EXPECT_EQ(Outcome(), testsupport::Formatted(kStatusAttributesChanged,
                                              testsupport::ShownName("THREE", App.Tables).c_str()));
  UndoLastChange(kMain);
  ASSERT_TRUE(ChangeHistoryCanRedo(App.History));
  scripted::DialogCommand(kIdOk);
  EXPECT_EQ(EditFileAttributes(kMain, 2, false), 0);
  EXPECT_TRUE(ChangeHistoryCanRedo(App.History));
  EXPECT_TRUE(Unchanged());
}

TEST_F(WindowStatusTest, ARefusedUndoShowsTheImageAsItNowIs) {
  Load(ThreeFiles());
  scripted::AnswerBox(kIdYes);
  const int slot = 0;
  ASSERT_EQ(DeleteFiles(kMain, &slot, 1), 0);
  // Another program rewrites the image meanwhile: one file only.
  VolumeBuilder elsewhere;
  elsewhere.AddFile(FileSpec{.name = "OTHER", .data = Pattern(40, 9)});
  const std::vector<uint8_t> other = testimg::BuildImage(elsewhere, shape);
  testimg::WriteFile(imagePath, other);
  scripted::ClearBoxes();
  UndoLastChange(kMain);
  ASSERT_EQ(scripted::Boxes().size(), 1u);
  EXPECT_TRUE(testsupport::BytesEqual(other, testimg::ReadFile(imagePath)));
  ASSERT_EQ(scripted::Rows().size(), 1u);
  EXPECT_EQ(scripted::Rows()[0][kColName], testsupport::ShownName("OTHER", App.Tables));
  EXPECT_EQ(Outcome(), scripted::Boxes()[0].text.substr(0, scripted::Boxes()[0].text.find('\n')));
}

TEST_F(WindowStatusTest, AWriteProtectedDiskGreysImportAndSaysSo) {
  for (const uint8_t protect : {0x00, 0x10}) {
    ImageSpec s;
    s.d88 = true;
    s.d88WriteProtect = protect;
    Load(ThreeFiles(), s);
    EXPECT_EQ(scripted::MenuEnabled(kCmdImport), protect == 0);
    EXPECT_EQ(App.WriteProtected != 0, protect != 0);
    const std::string volume = scripted::StatusText(kStatusVolume);
    EXPECT_EQ(volume.find(kStatusWriteProtected) != std::string::npos, protect != 0) << volume;
  }
}

TEST_F(WindowStatusTest, TheOtherConventionIsNamedWhenItIsClear) {
  const struct {
    int recorded, shown;  // recorded -1: a disk of zero bytes, a volume under neither
    const char* status;
  } cases[] = {{kModePc, kModeMz, kStatusLooksLikePc},
               {kModeMz, kModePc, kStatusLooksLikeMz},
               {-1, kModeMz, kStatusNotVolume},
               {-1, kModePc, kStatusNotVolume},
               {kModePc, kModePc, ""},
               {kModeMz, kModeMz, ""}};
  for (const auto& c : cases) {
    ImageSpec s;
    s.machineMode = c.recorded < 0 ? kModeMz : c.recorded;
    image = testimg::BuildImage(ThreeFiles(), s);
    if (c.recorded < 0) std::fill(image.begin(), image.end(), 0);
    UseImage(image, "disk.2d", kFormat2D);
    App.MachineMode = c.shown;
    LoadVolume(kMain);
    EXPECT_EQ(Outcome(), c.status) << c.recorded << " shown as " << c.shown;
    if (c.recorded < 0) {
      EXPECT_EQ(App.VolumeLoaded, 1);  // the list shows what it reads
    }
  }
}

TEST_F(WindowStatusTest, ExportOfOneOfSeveralSelectedSaysSo) {
  Load(ThreeFiles());
  for (const int selected : {1, 3}) {
    scripted::ChooseFile(temp.Path("out" + std::to_string(selected)));
    ASSERT_EQ(ExportSelectedFile(kMain, 0, selected), 0);
    char expected[kStatusCapacity];
    ComposeExportStatus(scripted::Rows()[0][kColName].c_str(), 300, expected, sizeof expected);
    std::string want = expected;
    if (selected > 1) {
      char suffix[kStatusCapacity];
      std::snprintf(suffix, sizeof suffix, kStatusExportedOfSelected, selected);
      want += suffix;
    }
    EXPECT_EQ(Outcome(), want);
  }
}

}  // namespace
