// The export operations, called directly: the file an entry describes, the read with its
// messages, and the steps of an export of many files.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "flows/app_image.h"
#include "flows/app_state.h"
#include "flows/export.h"
#include "flows/volume_load.h"
#include "support/image_builder.h"
#include "support/test_support.h"
#include "texts/texts.h"
#include "transfer/batch_export.h"
#include "transfer/export.h"
#include "volume/layout.h"

namespace {

using testimg::FileSpec;
using testimg::VolumeBuilder;
using testsupport::Pattern;

class ExportOperationsTest : public testsupport::AppTest {
 protected:
  void Load(const VolumeBuilder& volume) {
    testimg::ImageSpec shape;
    shape.d88 = false;
    shape.machineMode = kModeMz;
    UseImage(testimg::BuildImage(volume, shape), "disk.2d", kFormat2D);
    App.MachineMode = kModeMz;
    LoadVolume(scripted::kMainWindow);
    ASSERT_EQ(App.VolumeLoaded, 1);
    scripted::ClearBoxes();
    AppImageTarget(&target);
  }
  // The file of the n-th used slot, from its directory entry.
  ExportFile OfEntry(int n) {
    ExportFile file{};
    for (int slot = 0; slot < App.EntryCount; ++slot) {
      const uint8_t* entry = App.DirectoryBuffer + slot * kEntryBytes;
      if (entry[kEntryType] != 0 && n-- == 0) ExportFileOfEntry(entry, App.Tables.TBL1, &file);
    }
    return file;
  }
  std::vector<std::string> Texts(const Outcome& out) {
    std::vector<std::string> texts;
    for (int i = 0; i < out.count; ++i)
      texts.push_back(std::string(out.messages[i].caption) + ": " + OutcomeText(&out, i));
    return texts;
  }
  ImageTarget target{};
};

// zelvo takes a file from its directory entry, the window from its list row: both must see the
// same file, whatever the entry holds.
TEST_F(ExportOperationsTest, AnEntryGivesTheFileItsListRowShows) {
  VolumeBuilder volume;
  volume.AddFile(FileSpec{.name = "HELLO", .lock = 1, .data = Pattern(0x123, 1)});
  volume.AddFile(FileSpec{.name = "SIXTEEN.CHARS.XY", .type = 7, .data = Pattern(3, 2)});
  volume.AddFile(FileSpec{.name = "EMPTY", .type = 2, .data = {}});
  volume.AddFile(FileSpec{.name = "BIG",
                          .order = 1,
                          .data = {},
                          .length = 0xFFFF,
                          .track = 0x53,
                          .sector = 0x10,
                          .markUsed = false});
  volume.AddFile(FileSpec{.name = "FREE", .data = Pattern(5, 3), .slot = 9});
  Load(volume);
  ASSERT_EQ(ListRowCount(App.ListWindow), 5);
  for (int row = 0; row < 5; ++row) {
    SCOPED_TRACE(row);
    ExportFile fromRow;
    ExportFileOfRow(row, &fromRow);
    const ExportFile fromEntry = OfEntry(row);
    EXPECT_STREQ(fromEntry.name, fromRow.name);
    EXPECT_STREQ(fromEntry.type, fromRow.type);
    EXPECT_EQ(fromEntry.length, fromRow.length);
    EXPECT_EQ(fromEntry.track, fromRow.track);
    EXPECT_EQ(fromEntry.sector, fromRow.sector);
    char a[kHostNameBytes], b[kHostNameBytes];
    DefaultExportName(&fromEntry, a);
    DefaultExportName(row, b);
    EXPECT_STREQ(a, b);
  }
  EXPECT_EQ(OfEntry(3).length, 0xFFFF);
}

TEST_F(ExportOperationsTest, AFailedReadSaysTheTransferAndTheExport) {
  VolumeBuilder volume;
  volume.AddFile(FileSpec{.name = "GOOD", .type = 2, .data = {0x41, 0x0D, 0x00}});
  volume.AddFile(FileSpec{
      .name = "BAD", .data = {}, .length = 0x100, .track = 84, .sector = 1, .markUsed = false});
  Load(volume);
  Outcome out;
  OutcomeClear(&out);
  const uint8_t* data = nullptr;
  long length = -1;
  const ExportFile good = OfEntry(0);
  ASSERT_EQ(ReadExportData(&target, &good, true, App.Tables.TBL2, &data, &length, &out), 0);
  EXPECT_EQ(out.count, 0);
  ASSERT_EQ(length, 3);  // CR LF, the last zero dropped
  EXPECT_EQ(data[1], 0x0D);
  EXPECT_EQ(data[2], 0x0A);

  const ExportFile bad = OfEntry(1);
  EXPECT_EQ(ReadExportData(&target, &bad, false, App.Tables.TBL2, &data, &length, &out), -1);
  EXPECT_EQ(Texts(out),
            (std::vector<std::string>{std::string(kCaptionRead) + ": " + kMsgBadTrackSector,
                                      std::string(kCaptionError) + ": " + kMsgExportReadFailed}));
  EXPECT_TRUE(OutcomeHas(&out, kMsgExportReadFailed));
  EXPECT_TRUE(scripted::Boxes().empty());  // an operation shows nothing
}

std::vector<std::string> Written;
void Record(const char* path) { Written.push_back(path); }

std::vector<int> Failed;
std::vector<std::string> FailedWhy;
void RecordFailed(int index, const Outcome* why) {
  Failed.push_back(index);
  for (int i = 0; i < why->count; ++i)
    FailedWhy.push_back(std::string(why->messages[i].caption) + ": " + OutcomeText(why, i));
}

// A file that cannot be read does not stop the batch: every other file is written, the failed
// one is told with its reason, and one summary names it.
TEST_F(ExportOperationsTest, ABatchGoesPastAFailedReadAndSaysWhichFailed) {
  VolumeBuilder volume;
  volume.AddFile(FileSpec{.name = "ONE", .data = Pattern(300, 1)});
  volume.AddFile(FileSpec{
      .name = "BAD", .data = {}, .length = 0x100, .track = 84, .sector = 1, .markUsed = false});
  volume.AddFile(FileSpec{.name = "THREE", .data = Pattern(3, 3)});
  Load(volume);
  static ExportFile files[3];
  static BatchExportPlan plan;
  for (int i = 0; i < 3; ++i) files[i] = OfEntry(i);
  const std::string folder = temp.Path("out");
  std::filesystem::create_directory(folder);
  Outcome out;
  OutcomeClear(&out);
  ASSERT_EQ(PlanBatchExport(files, 3, folder.c_str(), &plan, &out), 0);
  EXPECT_EQ(FirstExistingBatchTarget(&plan), -1);
  testimg::WriteFile(plan.path[2], {1});
  EXPECT_EQ(FirstExistingBatchTarget(&plan), 2);

  Written.clear();
  Failed.clear();
  FailedWhy.clear();
  EXPECT_EQ(
      WriteBatchExport(&target, files, &plan, false, App.Tables.TBL2, Record, RecordFailed, &out),
      -1);
  EXPECT_EQ(Written, (std::vector<std::string>{plan.path[0], plan.path[2]}));
  EXPECT_TRUE(testsupport::BytesEqual(Pattern(300, 1), testimg::ReadFile(plan.path[0])));
  EXPECT_TRUE(testsupport::BytesEqual(Pattern(3, 3), testimg::ReadFile(plan.path[2])));
  EXPECT_FALSE(testimg::FileExists(plan.path[1]));
  char named[kMessageCapacity];
  std::snprintf(named, sizeof named, kMsgBatchExportReadFailed, plan.shown[1]);
  EXPECT_EQ(Failed, std::vector<int>{1});
  EXPECT_EQ(FailedWhy,
            (std::vector<std::string>{std::string(kCaptionRead) + ": " + kMsgBadTrackSector,
                                      std::string(kCaptionError) + ": " + named}));
  char line[kMessageCapacity], summary[2 * kMessageCapacity];
  std::snprintf(line, sizeof line, kMsgBatchExportLine, plan.shown[1], kMsgBadTrackSector);
  std::snprintf(summary, sizeof summary, kMsgBatchExportSummary, 1, 3, line, "");
  EXPECT_EQ(Texts(out), std::vector<std::string>{std::string(kCaptionError) + ": " + summary});
}

// However many files fail, the summary stays one message that ends by counting those it could
// not name.
TEST_F(ExportOperationsTest, ASummaryOfManyFailuresFitsOneMessage) {
  VolumeBuilder volume;
  for (int i = 0; i < 60; ++i)
    volume.AddFile(FileSpec{.name = "BAD" + std::to_string(i),
                            .data = {},
                            .length = 0x100,
                            .track = 84,
                            .sector = 1,
                            .markUsed = false});
  Load(volume);
  static ExportFile files[60];
  static BatchExportPlan plan;
  for (int i = 0; i < 60; ++i) files[i] = OfEntry(i);
  const std::string folder = temp.Path("many");
  std::filesystem::create_directory(folder);
  Outcome out;
  OutcomeClear(&out);
  ASSERT_EQ(PlanBatchExport(files, 60, folder.c_str(), &plan, &out), 0);
  Failed.clear();
  EXPECT_EQ(
      WriteBatchExport(&target, files, &plan, false, App.Tables.TBL2, nullptr, RecordFailed, &out),
      -1);
  EXPECT_EQ(Failed.size(), 60u);
  ASSERT_EQ(out.count, 1);
  const std::string text = OutcomeText(&out, 0), en = OutcomeTextEn(&out, 0);
  EXPECT_NE(text.find(plan.shown[0]), std::string::npos);
  EXPECT_EQ(text.find(plan.shown[59]), std::string::npos);
  EXPECT_LT(text.size() + 1, static_cast<size_t>(kMessageCapacity));
  EXPECT_NE(en.find("more)"), std::string::npos);
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), std::count(en.begin(), en.end(), '\n'));
}

TEST_F(ExportOperationsTest, APlanThatDoesNotFitSaysSoAndPlansNothing) {
  VolumeBuilder volume;
  volume.AddFile(FileSpec{.name = "ONE", .data = Pattern(3, 1)});
  Load(volume);
  static ExportFile file;
  static BatchExportPlan plan;
  file = OfEntry(0);
  const std::string folder(kBatchPathBytes - 8, 'f');
  Outcome out;
  OutcomeClear(&out);
  EXPECT_EQ(PlanBatchExport(&file, 1, folder.c_str(), &plan, &out), -1);
  EXPECT_EQ(plan.count, 0);
  ASSERT_EQ(out.count, 1);
  EXPECT_EQ(out.messages[0].format, kMsgHostPathTooLong);
  EXPECT_EQ(out.messages[0].caption, kCaptionError);
}

}  // namespace
