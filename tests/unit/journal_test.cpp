// The rollback journal seen from the open and write paths: what each kind of journal left beside
// an image does at the next open, a journal that cannot be written, reads inside a change, and
// undo and redo.
#include "image/journal.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "flows/app_image.h"
#include "flows/app_state.h"
#include "flows/import.h"
#include "flows/open_image.h"
#include "flows/undo.h"
#include "flows/volume_load.h"
#include "image/change_history.h"
#include "image/image_file.h"
#include "support/image_builder.h"
#include "support/test_support.h"
#include "texts/texts.h"
#include "transfer/import.h"

namespace {

using Bytes = std::vector<uint8_t>;
using testsupport::BytesEqual;
using testsupport::Pattern;

class JournalTest : public testsupport::AppTest, public ::testing::WithParamInterface<bool> {
 protected:
  void SetUp() override {
    AppTest::SetUp();
    testimg::VolumeBuilder v;
    testimg::FileSpec f;
    f.name = "OLD";
    f.data = Pattern(600, 1);
    v.AddFile(f);
    testimg::ImageSpec shape;
    shape.d88 = GetParam();
    shape.machineMode = kModePc;
    original = testimg::BuildImage(v, shape);
    App.MachineMode = kModePc;
    path = UseImage(original, GetParam() ? "disk.d88" : "disk.2d",
                    GetParam() ? kFormatD88 : kFormat2D);
    journal = path + "-journal";
    LoadVolume(scripted::kMainWindow);
    ASSERT_EQ(1, App.VolumeLoaded);
  }

  // Imports a fresh host file (the next of a series) through the scripted dialogs.
  void Import(int seed) {
    const std::string host = temp.Path("F" + std::to_string(seed));
    testimg::WriteFile(host, Pattern(300 + seed * 100, seed));
    scripted::ClearBoxes();
    scripted::ChooseFile(host);
    scripted::DialogCommand(kIdOk);
    scripted::AnswerBox(kIdYes);
    ImportHostFile(scripted::kMainWindow);
  }

  // An import stopped between its image writes: the journal stays (its rollback failed too).
  // Returns the journal's bytes; the image is left torn.
  Bytes LeaveHotJournal() {
    ImageWriteFaults = ImageWriteFault{3, 0};
    App.Change->faults.failRestoreWriteAt = 1;
    Import(1);
    ImageWriteFaults = ImageWriteFault{0, 0};
    App.Change->faults = JournalFault{};
    EXPECT_TRUE(testimg::FileExists(journal));
    EXPECT_NE(original, testimg::ReadFile(path));
    return testimg::ReadFile(journal);
  }

  std::vector<std::string> BoxTexts() {
    std::vector<std::string> texts;
    for (const scripted::Box& box : scripted::Boxes()) texts.push_back(box.text);
    return texts;
  }

  Bytes original;
  std::string path;
  std::string journal;
};

// What the open does with each kind of journal found beside the image.
TEST_P(JournalTest, EveryKindOfJournalAtTheOpen) {
  const Bytes hot = LeaveHotJournal();
  const Bytes torn = testimg::ReadFile(path);
  auto with = [](Bytes bytes, size_t at, uint8_t value) {
    bytes[at] = value;
    return bytes;
  };
  Bytes grown = original;
  grown.push_back(0);
  struct Case {
    const char* what;
    Bytes image;
    Bytes journal;
    Bytes imageAfter;
    bool journalStays;
    std::vector<std::string> boxes;
  };
  const std::vector<Case> cases = {
      {"hot: played back", torn, hot, original, false, {kMsgJournalRecovered}},
      {"no commit mark: deleted", original, Bytes(hot.begin(), hot.end() - 8), original, false, {}},
      {"bad checksum: deleted",
       original,
       with(hot, hot.size() - 20, hot[hot.size() - 20] ^ 1),
       original,
       false,
       {}},
      {"cut inside the magic: deleted",
       original,
       Bytes(hot.begin(), hot.begin() + 5),
       original,
       false,
       {}},
      {"empty: deleted", original, {}, original, false, {}},
      {"another image's size: left", grown, hot, grown, true, {kMsgJournalForeign}},
      {"another version: left", original, with(hot, 8, 2), original, true, {kMsgJournalForeign}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    testimg::WriteFile(path, c.image);
    testimg::WriteFile(journal, c.journal);
    scripted::ClearBoxes();
    LoadVolume(scripted::kMainWindow);
    EXPECT_EQ(1, App.VolumeLoaded);  // reading goes on in every case
    EXPECT_EQ(c.boxes, BoxTexts());
    EXPECT_TRUE(BytesEqual(c.imageAfter, testimg::ReadFile(path)));
    EXPECT_EQ(c.journalStays, testimg::FileExists(journal));
    if (c.journalStays) {
      // Every write is refused while it stays, before anything is written.
      Import(2);
      EXPECT_EQ(kMsgJournalBlocksWrite, BoxTexts().back());
      EXPECT_TRUE(BytesEqual(c.imageAfter, testimg::ReadFile(path)));
    }
    std::remove(journal.c_str());
  }
}

TEST_P(JournalTest, AJournalThatCannotBeWrittenRefusesTheChange) {
  for (int failing = 1; failing <= 2; failing++) {
    App.Change->faults.failJournalWriteAt = failing;
    ImageWriteFaults = ImageWriteFault{0, 0};
    Import(1);
    App.Change->faults = JournalFault{};
    EXPECT_EQ(kMsgJournalCreateFailed, BoxTexts().back());
    EXPECT_EQ(0, ImageWriteFaults.writesDone);
    EXPECT_TRUE(BytesEqual(original, testimg::ReadFile(path)));
    EXPECT_FALSE(testimg::FileExists(journal));
  }
  // A journal that cannot even be created: a folder stands in its place.
  ASSERT_EQ(0, ImageBeginChange(scripted::kMainWindow));
  uint8_t sector[256] = {};
  ASSERT_EQ(0, ZLV_WriteZelvoFile(scripted::kMainWindow, sector, 10, 1, 256));
  ASSERT_TRUE(std::filesystem::create_directory(journal));
  EXPECT_EQ(-1, ImageCommitChange(scripted::kMainWindow));
  EXPECT_EQ(kMsgJournalCreateFailed, BoxTexts().back());
  EXPECT_TRUE(BytesEqual(original, testimg::ReadFile(path)));
  std::filesystem::remove(journal);
}

// A flat image cut short grows when a sector beyond its end is written: a rollback, and a
// recovery of the interrupted change, cut it back to its old length.
TEST_P(JournalTest, AChangeThatLengthensAFlatImageIsUndoneToItsLength) {
  if (GetParam()) GTEST_SKIP() << "a D88 image is only written inside its records";
  const Bytes cut(original.begin(), original.begin() + 3 * 16 * 256 + 100);
  uint8_t sector[256];
  for (bool recover : {false, true}) {
    SCOPED_TRACE(recover ? "recovery" : "rollback");
    testimg::WriteFile(path, cut);
    scripted::ClearBoxes();
    ImageWriteFaults = ImageWriteFault{2, 0};
    App.Change->faults.failRestoreWriteAt = recover ? 1 : 0;
    // A sector beyond the end, then one inside it, whose write fails.
    ASSERT_EQ(0, ImageBeginChange(scripted::kMainWindow));
    std::memset(sector, 0x77, sizeof sector);
    ASSERT_EQ(0, ZLV_WriteZelvoFile(scripted::kMainWindow, sector, 10, 1, 256));
    ASSERT_EQ(0, ZLV_WriteZelvoFile(scripted::kMainWindow, sector, 2, 16, 256));
    EXPECT_EQ(-1, ImageCommitChange(scripted::kMainWindow));
    ImageWriteFaults = ImageWriteFault{0, 0};
    App.Change->faults = JournalFault{};
    if (recover) {
      EXPECT_GT(testimg::ReadFile(path).size(), cut.size());
      LoadVolume(scripted::kMainWindow);
      EXPECT_EQ(kMsgJournalRecovered, BoxTexts().back());
    }
    EXPECT_TRUE(BytesEqual(cut, testimg::ReadFile(path)));
    EXPECT_FALSE(testimg::FileExists(journal));
  }
}

// Inside a change the reads see the queued writes; an abort writes nothing.
TEST_P(JournalTest, ReadsInsideAChangeSeeItsWritesAndAnAbortDropsThem) {
  ASSERT_EQ(0, ImageBeginChange(scripted::kMainWindow));
  uint8_t written[512];
  std::memset(written, 0x5A, sizeof written);
  ASSERT_EQ(0, ZLV_WriteZelvoFile(scripted::kMainWindow, written, 20, 16, 300));
  uint8_t read[512];
  ASSERT_EQ(0, ZLV_ReadZelvoFile(scripted::kMainWindow, read, 20, 16, 512));
  EXPECT_EQ(Bytes(300, 0x5A), Bytes(read, read + 300));
  EXPECT_EQ(Bytes(212, 0xFF), Bytes(read + 300, read + 512));
  EXPECT_EQ(1, ImageCarriesRun(20, 16, 512));
  ImageAbortChange(App.Change);
  EXPECT_FALSE(ImageChangeActive(App.Change));
  EXPECT_TRUE(BytesEqual(original, testimg::ReadFile(path)));
  EXPECT_TRUE(scripted::Boxes().empty());
}

TEST_P(JournalTest, UndoAndRedoWalkTheChangesBothWays) {
  EXPECT_FALSE(scripted::MenuEnabled(kCmdUndo));
  Import(1);
  const Bytes afterFirst = testimg::ReadFile(path);
  Import(2);
  const Bytes afterSecond = testimg::ReadFile(path);
  ASSERT_NE(afterFirst, afterSecond);
  EXPECT_TRUE(scripted::MenuEnabled(kCmdUndo));
  EXPECT_FALSE(scripted::MenuEnabled(kCmdRedo));

  struct Step {
    bool undo;
    const Bytes* image;
    bool canUndo;
    bool canRedo;
  };
  const Step steps[] = {{true, &afterFirst, true, true},    {true, &original, false, true},
                        {true, &original, false, true},     {false, &afterFirst, true, true},
                        {false, &afterSecond, true, false}, {false, &afterSecond, true, false},
                        {true, &afterFirst, true, true}};
  int n = 0;
  for (const Step& step : steps) {
    SCOPED_TRACE("step " + std::to_string(++n));
    if (step.undo)
      UndoLastChange(scripted::kMainWindow);
    else
      RedoLastChange(scripted::kMainWindow);
    EXPECT_TRUE(BytesEqual(*step.image, testimg::ReadFile(path)));
    EXPECT_FALSE(testimg::FileExists(journal));
    EXPECT_EQ(1, App.VolumeLoaded);
    EXPECT_EQ(step.canUndo, scripted::MenuEnabled(kCmdUndo));
    EXPECT_EQ(step.canRedo, scripted::MenuEnabled(kCmdRedo));
  }
  // A new change ends what could be redone.
  Import(3);
  EXPECT_FALSE(scripted::MenuEnabled(kCmdRedo));
  EXPECT_TRUE(scripted::MenuEnabled(kCmdUndo));
  // Opening an image drops the history.
  scripted::ChooseFile(path);
  OpenImageCommand(scripted::kMainWindow);
  EXPECT_FALSE(scripted::MenuEnabled(kCmdUndo));
  EXPECT_FALSE(ChangeHistoryCanUndo(App.History));
}

// The image changed by something else after the change: undo refuses, writes nothing and drops
// the history; the same for redo.
TEST_P(JournalTest, AStepOnAnImageChangedElsewhereIsRefused) {
  for (bool undo : {true, false}) {
    SCOPED_TRACE(undo ? "undo" : "redo");
    ChangeHistoryClear(App.History);
    testimg::WriteFile(path, original);
    LoadVolume(scripted::kMainWindow);
    Import(1);
    if (!undo) UndoLastChange(scripted::kMainWindow);
    Bytes changed = testimg::ReadFile(path);
    const long at = GetParam() ? testimg::D88DataOffset(changed, 1, 1) : 16 * 256;
    changed[static_cast<size_t>(at)] ^= 0xFF;  // the directory's first byte
    testimg::WriteFile(path, changed);
    scripted::ClearBoxes();
    if (undo)
      UndoLastChange(scripted::kMainWindow);
    else
      RedoLastChange(scripted::kMainWindow);
    EXPECT_EQ(std::vector<std::string>{undo ? kMsgUndoImageChanged : kMsgRedoImageChanged},
              BoxTexts());
    EXPECT_TRUE(BytesEqual(changed, testimg::ReadFile(path)));
    EXPECT_FALSE(ChangeHistoryCanUndo(App.History));
    EXPECT_FALSE(ChangeHistoryCanRedo(App.History));
    EXPECT_FALSE(scripted::MenuEnabled(undo ? kCmdUndo : kCmdRedo));
  }
}

INSTANTIATE_TEST_SUITE_P(Layouts, JournalTest, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "D88" : "Flat"; });

}  // namespace
