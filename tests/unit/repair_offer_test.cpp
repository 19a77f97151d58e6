// The window's check offers the bit table repair: a Yes mends it in one change that Undo takes
// back; No, a volume that needs none, cross-linked files and a write-protected disk leave the
// image as it was.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "flows/app_state.h"
#include "flows/undo.h"
#include "flows/volume_load.h"
#include "flows/volume_view.h"
#include "platform/scripted/scripted.h"
#include "support/image_builder.h"
#include "support/test_support.h"
#include "texts/texts.h"

namespace {

using testimg::FileSpec;
using testimg::VolumeBuilder;
using testsupport::Pattern;

// Two files; `broken` leaves the second one's run (2 sectors from Trk02 Sct03) unmarked,
// `crossed` puts a third file on the first one's sectors.
VolumeBuilder Volume(bool broken, bool crossed) {
  VolumeBuilder v;
  v.AddFile(FileSpec{.name = "ONE", .data = Pattern(512, 1)});
  v.AddFile(FileSpec{.name = "TWO", .data = Pattern(300, 2), .markUsed = !broken});
  if (crossed)
    v.AddFile(FileSpec{.name = "THREE", .data = Pattern(256, 3), .track = 2, .sector = 1});
  return v;
}

class RepairOfferTest : public testsupport::AppTest {
 protected:
  std::vector<uint8_t> Load(const VolumeBuilder& v, uint8_t protect = 0) {
    testimg::ImageSpec shape;
    shape.d88 = true;
    shape.machineMode = kModePc;
    shape.d88WriteProtect = protect;
    const std::vector<uint8_t> image = testimg::BuildImage(v, shape);
    path = UseImage(image, "disk.d88", kFormatD88);
    App.MachineMode = kModePc;
    LoadVolume(scripted::kMainWindow);
    EXPECT_EQ(App.VolumeLoaded, 1);
    scripted::ClearBoxes();
    return image;
  }
  std::vector<uint8_t> Built(const VolumeBuilder& v) {
    testimg::ImageSpec shape;
    shape.d88 = true;
    shape.machineMode = kModePc;
    return testimg::BuildImage(v, shape);
  }
  std::string path;
};

TEST_F(RepairOfferTest, YesMendsTheBitTableInOneChangeThatUndoTakesBack) {
  const std::vector<uint8_t> before = Load(Volume(true, false));
  scripted::AnswerBox(kIdOk);   // the report
  scripted::AnswerBox(kIdYes);  // the repair
  ShowVolumeCheck(scripted::kMainWindow);
  ASSERT_GE(scripted::Boxes().size(), 2u);
  EXPECT_EQ(scripted::Boxes()[1].caption, kCaptionConfirm);
  char question[512];
  std::snprintf(question, sizeof question, kMsgRepairConfirm, 2, 2, 3, 0);
  EXPECT_EQ(scripted::Boxes()[1].text, question);
  EXPECT_TRUE(testsupport::BytesEqual(Built(Volume(false, false)), testimg::ReadFile(path)));
  EXPECT_FALSE(testimg::FileExists(path + "-journal"));
  UndoLastChange(scripted::kMainWindow);
  EXPECT_TRUE(testsupport::BytesEqual(before, testimg::ReadFile(path)));
}

TEST_F(RepairOfferTest, NothingIsWrittenWithoutARepairToMakeAndAYes) {
  const struct {
    const char* what;
    VolumeBuilder volume;
    uint8_t protect;
    int answer;
    size_t boxes;  // the report, and the question when one is asked
  } cases[] = {
      {"answered No", Volume(true, false), 0, kIdNo, 2},
      {"sound", Volume(false, false), 0, kIdYes, 1},
      {"cross-linked", Volume(true, true), 0, kIdYes, 1},
      {"write-protected", Volume(true, false), 0x10, kIdYes, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const std::vector<uint8_t> before = Load(c.volume, c.protect);
    if (c.boxes == 2) {  // an answer left queued would go to a later test's box
      scripted::AnswerBox(kIdOk);
      scripted::AnswerBox(c.answer);
    }
    ShowVolumeCheck(scripted::kMainWindow);
    EXPECT_EQ(scripted::Boxes().size(), c.boxes);
    EXPECT_TRUE(testsupport::BytesEqual(before, testimg::ReadFile(path)));
  }
}

}  // namespace
