// The convention guard: no change to a volume that identify places under the other convention,
// refused before anything is written, under every container that takes changes.
#include "transfer/convention_guard.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "flows/app_image.h"
#include "flows/app_state.h"
#include "image/container_flat.h"
#include "image/journal.h"
#include "support/image_builder.h"
#include "support/test_support.h"
#include "texts/texts.h"
#include "transfer/volume_change.h"
#include "volume/layout.h"

namespace {

using testimg::FileSpec;
using testimg::ImageSpec;
using testimg::VolumeBuilder;

VolumeBuilder VolumeWithFiles() {
  VolumeBuilder v;
  v.SetDate(0x24, 0x05, 0x01).SetDiskName("GUARD");
  for (int i = 0; i < 4; i++) {
    FileSpec f;
    f.name = "FILE" + std::to_string(i);
    f.data = testsupport::Pattern(400 + 700 * i, i);
    EXPECT_GE(v.AddFile(f), 0);
  }
  return v;
}

// The refusal's table text under the open convention `mode` of a disk recorded under the other.
const char* RefusalFor(int recorded) {
  return recorded == kModePc ? kMsgRecordedPc : kMsgRecordedMz;
}

class ConventionGuardTest : public testsupport::AppTest {
 protected:
  void TearDown() override { App.Change->anyConvention = false; }

  // An image recorded under `recorded`, made App's current image opened under `open`; its path.
  std::string Open(const std::vector<uint8_t>& bytes, bool d88, int open) {
    const std::string path = UseImage(bytes, d88 ? "g.d88" : "g.2d", d88 ? kFormatD88 : kFormat2D);
    App.MachineMode = open;
    return path;
  }
  // A change of App's volume as the file commands write it: the directory read under the open
  // convention, one byte of it changed, written back (through BeginPlannedChange).
  int WriteDirectory(Outcome* out) {
    ImageTarget target;
    AppImageTarget(&target);
    if (ReadVolumeState(out, &target, &App) != 0) return -1;
    App.DirectoryBuffer[kEntryBytes - 1] ^= 0x5A;
    return CommitVolumeChange(out, &target, &App, 1, false);
  }
};

// The decision over an identification: only the other convention's clear verdict, with the open
// convention reading as no volume, refuses.
TEST(ConventionGuardDecision, RefusesOnlyAClearContradiction) {
  struct Case {
    int verdict;
    bool ambiguous;
    int mode;
    bool volumeUnderMode;
    int refusing;
  } cases[] = {
      {kModePc, false, kModeMz, false, kModePc},            // the wrong convention
      {kModeMz, false, kModePc, false, kModeMz},            //
      {kModePc, false, kModeMz, true, kVerdictNone},        // reads under the open one too
      {kModePc, false, kModePc, false, kVerdictNone},       // its own convention
      {kVerdictNone, false, kModeMz, false, kVerdictNone},  // identify cannot place it
      {kVerdictNone, true, kModePc, true, kVerdictNone},    // both read equally well
      {kModeMz, false, -1, false, kVerdictNone},            // no convention chosen
  };
  for (const Case& c : cases) {
    Identification id = {};
    id.verdict = c.verdict;
    id.ambiguous = c.ambiguous;
    if (c.mode >= 0) id.conventions[c.mode].volume = c.volumeUnderMode;
    EXPECT_EQ(RefusingConvention(id, c.mode), c.refusing)
        << c.verdict << " " << c.ambiguous << " " << c.mode << " " << c.volumeUnderMode;
  }
}

// Flat and D88, both conventions: under the other convention the first check and the change
// itself refuse with the message and the image stays byte-identical; under its own, or with
// anyConvention on the change, the change is written.
TEST_F(ConventionGuardTest, ChangesUnderTheOtherConventionAreRefused) {
  for (const bool d88 : {false, true}) {
    for (const int recorded : {kModeMz, kModePc}) {
      for (const int open : {kModeMz, kModePc}) {
        for (const bool any : {false, true}) {
          SCOPED_TRACE(std::string(d88 ? "d88" : "2d") + " recorded " + std::to_string(recorded) +
                       " open " + std::to_string(open) + (any ? " any" : ""));
          ImageSpec shape;
          shape.d88 = d88;
          shape.machineMode = recorded;
          const std::vector<uint8_t> before = testimg::BuildImage(VolumeWithFiles(), shape);
          const std::string path = Open(before, d88, open);
          App.Change->anyConvention = any;
          const bool refused = recorded != open && !any;

          ImageTarget target;
          AppImageTarget(&target);
          Outcome first;
          OutcomeClear(&first);
          EXPECT_EQ(RefuseChange(&first, &target), refused ? -1 : 0);
          EXPECT_EQ(OutcomeHas(&first, RefusalFor(recorded)), refused);

          // The change itself, without the first check (a front end that forgot it).
          Outcome out;
          OutcomeClear(&out);
          EXPECT_EQ(WriteDirectory(&out), refused ? -1 : 0);
          EXPECT_EQ(OutcomeHas(&out, RefusalFor(recorded)), refused);
          if (refused) {
            EXPECT_EQ(out.count, 1);
            EXPECT_STREQ(out.messages[0].caption, kCaptionError);
            EXPECT_TRUE(testsupport::BytesEqual(before, testimg::ReadFile(path)));
          } else {
            EXPECT_NE(testimg::ReadFile(path), before);
          }
        }
      }
    }
  }
}

// A disk that identify cannot place (another system's bytes) takes changes as today under either
// convention.
TEST_F(ConventionGuardTest, DisksIdentifyCannotPlaceTakeChanges) {
  const std::vector<uint8_t> zeros(kFlatImageBytes, 0x00);
  const std::vector<uint8_t> noise = testsupport::Pattern(kFlatImageBytes, 3);
  for (const auto* raw : {&zeros, &noise}) {
    for (const bool d88 : {false, true}) {
      for (const int open : {kModeMz, kModePc}) {
        const std::vector<uint8_t> before = d88 ? testimg::WrapInD88(*raw) : *raw;
        const std::string path = Open(before, d88, open);
        ImageTarget target;
        AppImageTarget(&target);
        EXPECT_EQ(ContradictedConvention(&target), kVerdictNone);
        Outcome out;
        OutcomeClear(&out);
        EXPECT_EQ(RefuseChange(&out, &target), 0);
        EXPECT_EQ(WriteDirectory(&out), 0);
        EXPECT_NE(testimg::ReadFile(path), before);
      }
    }
  }
}

// A write-protected disk is still refused for its protection, before identify is asked.
TEST_F(ConventionGuardTest, ProtectionComesFirst) {
  ImageSpec shape;
  shape.d88 = true;
  shape.machineMode = kModePc;
  shape.d88WriteProtect = 0x10;
  Open(testimg::BuildImage(VolumeWithFiles(), shape), true, kModeMz);
  ImageTarget target;
  AppImageTarget(&target);
  Outcome out;
  OutcomeClear(&out);
  EXPECT_EQ(RefuseChange(&out, &target), -1);
  EXPECT_TRUE(OutcomeHas(&out, kMsgWriteProtected));
  EXPECT_FALSE(OutcomeHas(&out, kMsgRecordedPc));
}

}  // namespace
