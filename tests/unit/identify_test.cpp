// Identification of images: the verdict for every layout and convention, the reasons a wrong
// reading fails, and images that hold no Zelvo volume at all.
#include "volume/identify.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "flows/app_image.h"
#include "flows/app_state.h"
#include "flows/identify_command.h"
#include "image/container_flat.h"
#include "support/image_builder.h"
#include "support/test_support.h"
#include "texts/texts.h"
#include "volume/layout.h"

namespace {

using testimg::FileSpec;
using testimg::ImageSpec;
using testimg::VolumeBuilder;

VolumeBuilder VolumeWithFiles(bool exdir) {
  VolumeBuilder v;
  v.SetDate(0x24, 0x05, 0x01).SetDiskName("IDENTIFY").SetFmMark(true);
  if (exdir) v.SetExdir(40, 1);
  for (int i = 0; i < 5; i++) {
    FileSpec f;
    f.name = "FILE" + std::to_string(i);
    f.type = static_cast<uint8_t>(1 + i % 6);
    f.data = testsupport::Pattern(300 + 500 * i, i);
    if (exdir && i == 4) f.slot = 70;
    EXPECT_GE(v.AddFile(f), 0);
  }
  return v;
}

class IdentifyTest : public testsupport::AppTest {
 protected:
  Identification Identify(const std::vector<uint8_t>& bytes, const std::string& name, int format) {
    UseImage(bytes, name, format);
    Identification id;
    EXPECT_EQ(IdentifyCurrentImage(scripted::kMainWindow, &id), 0);
    return id;
  }
};

// Images that hold no Zelvo volume: never a verdict, and the failed tests say why.
TEST_F(IdentifyTest, ForeignBytesAreNotAVolume) {
  const std::vector<uint8_t> zeros(kFlatImageBytes, 0x00), e5(kFlatImageBytes, 0xE5),
      ones(kFlatImageBytes, 0xFF);
  const std::vector<uint8_t> noise = testsupport::Pattern(kFlatImageBytes, 7);
  for (const auto* bytes : {&zeros, &e5, &ones, &noise}) {
    for (bool d88 : {false, true}) {
      const Identification id = d88 ? Identify(testimg::WrapInD88(*bytes), "f.d88", kFormatD88)
                                    : Identify(*bytes, "f.2d", kFormat2D);
      EXPECT_EQ(id.verdict, kVerdictNone) << (*bytes)[0] << " " << d88;
      EXPECT_FALSE(id.conventions[0].volume);
      EXPECT_FALSE(id.conventions[1].volume);
    }
  }
}

TEST_F(IdentifyTest, DamagedSlotsWeighAgainstTheVerdict) {
  VolumeBuilder v = VolumeWithFiles(false);
  v.Entry(0)[kEntryType] = 0x42;  // one of five unknown: still a volume
  ImageSpec shape;
  Identification id = Identify(testimg::BuildImage(v, shape), "d.2d", kFormat2D);
  EXPECT_EQ(id.verdict, kModeMz);
  EXPECT_EQ(id.conventions[kModeMz].unknownType, 1);
  EXPECT_LT(id.conventions[kModeMz].score, 100);

  v.Entry(1)[kEntryDate] = 0x1A;  // date not BCD
  v.Entry(2)[kEntryTrk] = 1;      // run on the directory track
  v.MarkFree(SectorIndex(v.Entry(3)[kEntryTrk], v.Entry(3)[kEntrySct]));  // run not marked
  id = Identify(testimg::BuildImage(v, shape), "d.2d", kFormat2D);
  EXPECT_EQ(id.verdict, kVerdictNone);
  const ConventionScore& s = id.conventions[kModeMz];
  EXPECT_EQ(s.badDate, 1);
  EXPECT_EQ(s.runOutside, 1);
  EXPECT_EQ(s.runUnmarked, 1);
  EXPECT_EQ(s.soundSlots, 1);
}

// A sound volume whose directory also holds odd entries: unknown types, names not padded with
// 0x0D, dates that are not BCD (each odd entry one or more of them).
VolumeBuilder OddVolume(std::mt19937& random) {
  auto pick = [&](int low, int high) {
    return std::uniform_int_distribution<int>(low, high)(random);
  };
  auto bcd = [](int n) { return static_cast<uint8_t>((n / 10) * 16 + n % 10); };
  VolumeBuilder v;
  v.SetDate(bcd(pick(0, 99)), bcd(pick(1, 12)), bcd(pick(1, 28)));
  if (pick(0, 1)) v.SetExdir(pick(2, 80), pick(0, 1) ? 1 : 9);
  const int sound = pick(2, 10), odd = pick(1, 5);
  for (int i = 0; i < sound + odd; i++) {
    FileSpec f;
    f.name = std::string(1, static_cast<char>('A' + pick(0, 25))) + std::to_string(i);
    f.type = static_cast<uint8_t>(pick(1, 6));
    f.data = testsupport::Pattern(pick(0, 3000), i);
    const int slot = v.AddFile(f);
    EXPECT_GE(slot, 0);
    if (i < sound || slot < 0) continue;
    uint8_t* entry = v.Entry(slot);
    const int faults = pick(1, 7);
    if (faults & 1) entry[kEntryType] = static_cast<uint8_t>(pick(7, 255));
    if (faults & 2) {
      for (int b = kEntryName + 1; b < kEntryName + kEntryNameMax; b++)
        if (entry[b] == 0x0D) entry[b] = pick(0, 1) ? 0x20 : 0x00;
    }
    if (faults & 4) entry[kEntryDate + pick(0, 2)] = static_cast<uint8_t>(pick(0, 5) * 16 + 10);
  }
  return v;
}

// Odd volumes are recognised at least nine times in ten, under every layout and convention, and
// never under the wrong convention.
TEST_F(IdentifyTest, OddVolumesAreRecognisedAndNeverWrong) {
  std::mt19937 random(23);
  int recognised = 0, wrong = 0, total = 0;
  for (int i = 0; i < 80; i++) {
    ImageSpec shape;
    shape.d88 = i % 2 == 1;
    shape.machineMode = (i / 2) % 2;
    const VolumeBuilder v = OddVolume(random);
    const Identification id =
        Identify(testimg::BuildImage(v, shape), shape.d88 ? "odd.d88" : "odd.2d",
                 shape.d88 ? kFormatD88 : kFormat2D);
    total++;
    if (id.verdict == shape.machineMode)
      recognised++;
    else if (id.verdict != kVerdictNone)
      wrong++;
  }
  EXPECT_EQ(wrong, 0);
  EXPECT_GE(recognised * 10, total * 9) << recognised << " of " << total;
}

// Bytes of no Zelvo volume, however the two readings compare, get no verdict: fills, noise, a
// directory of noise behind a sound system area, and volumes whose one sound slot is drowned by
// odd ones.
TEST_F(IdentifyTest, WeighingNeverTurnsNoiseIntoAVerdict) {
  std::mt19937 random(5);
  for (int i = 0; i < 40; i++) {
    std::vector<uint8_t> bytes = testsupport::Pattern(kFlatImageBytes, 100 + i);
    if (i % 4 == 1) {  // an empty volume's system tracks over noise in both readings
      VolumeBuilder v;
      std::copy(v.bytes.begin(), v.bytes.begin() + 512 * 8, bytes.begin());
    }
    if (i % 4 == 2)  // runs of one byte, as a formatter of another system leaves them
      for (size_t b = 0; b < bytes.size(); b++) bytes[b] = static_cast<uint8_t>(b / 4096 * 37);
    if (i % 4 == 3) {  // one sound file among many odd entries
      VolumeBuilder v;
      v.AddFile(FileSpec{.name = "ONE", .data = testsupport::Pattern(100, i)});
      for (int k = 1; k < 6; k++) {
        const int slot = v.AddFile(FileSpec{.name = "X", .data = {1, 2, 3}});
        v.Entry(slot)[kEntryType] = 0x80;
      }
      bytes = testimg::BuildImage(v, ImageSpec{});
    }
    const Identification id = Identify(bytes, "n.2d", kFormat2D);
    EXPECT_EQ(id.verdict, kVerdictNone) << i;
  }
}

TEST(ScoreVolume, SystemTracksAndExdirPair) {
  VolumeBuilder v;
  ConventionScore s;
  ScoreVolume(v.SystemArea(), v.Directory(), kModePc, &s);
  EXPECT_TRUE(s.volume);
  const struct {
    int track, sector;
    bool markUsed, sane;
  } pairs[] = {{0, 0, false, false},     {84, 1, false, false}, {40, 1, false, false},
               {40, 1, true, true},      {1, 1, true, false},   {83, 10, true, false},
               {0xFF, 0xFF, false, true}};
  for (const auto& p : pairs) {
    VolumeBuilder w;
    w.SystemArea()[kSysExdirTrk] = static_cast<uint8_t>(p.track);
    w.SystemArea()[kSysExdirSct] = static_cast<uint8_t>(p.sector);
    if (p.markUsed && p.track <= 83) w.MarkUsed(SectorIndex(p.track, p.sector), 8);
    std::vector<uint8_t> directory(kDirectoryBufferBytes, 0);
    ScoreVolume(w.SystemArea(), directory.data(), kModePc, &s);
    EXPECT_EQ(s.exdirSane, p.sane) << p.track << "," << p.sector;
  }
  v.MarkFree(5);
  ScoreVolume(v.SystemArea(), v.Directory(), kModePc, &s);
  EXPECT_FALSE(s.systemMarked);
  EXPECT_FALSE(s.volume);
}

TEST(DecideVerdict, NeverASilentGuess) {
  ConventionScore s[2] = {};
  s[0].mode = kModeMz;
  s[1].mode = kModePc;
  bool ambiguous = true;
  EXPECT_EQ(DecideVerdict(s, &ambiguous), kVerdictNone);
  EXPECT_FALSE(ambiguous);
  s[0].volume = s[1].volume = true;
  s[0].score = s[1].score = 90;
  EXPECT_EQ(DecideVerdict(s, &ambiguous), kVerdictNone);
  EXPECT_TRUE(ambiguous);
  s[1].score = 95;
  EXPECT_EQ(DecideVerdict(s, &ambiguous), kModePc);
  s[1].volume = false;
  EXPECT_EQ(DecideVerdict(s, &ambiguous), kModeMz);
}

TEST_F(IdentifyTest, LayoutAgainstTheExtension) {
  ImageSpec d88;
  d88.d88 = true;
  const std::vector<uint8_t> d88Bytes = testimg::BuildImage(VolumeWithFiles(false), d88);
  const std::vector<uint8_t> flatBytes = testimg::BuildImage(VolumeWithFiles(false), ImageSpec{});
  // D88 bytes under a .2d name: read as the extension says, so no volume, and the layout disagrees.
  Identification id = Identify(d88Bytes, "wrong.2d", kFormat2D);
  EXPECT_EQ(id.layout.shown, kShownD88);
  EXPECT_FALSE(id.layout.agrees);
  EXPECT_EQ(id.verdict, kVerdictNone);
  id = Identify(flatBytes, "wrong.d88", kFormatD88);
  EXPECT_EQ(id.layout.shown, kShownFlat);
  EXPECT_FALSE(id.layout.agrees);
  // An extension that names no layout: read as the bytes show.
  id = Identify(d88Bytes, "disk.img", -1);
  EXPECT_EQ(id.readAs, kFormatD88);
  EXPECT_EQ(id.verdict, kModeMz);
  id = Identify(std::vector<uint8_t>(1000, 0), "disk.img", -1);
  EXPECT_EQ(id.readAs, -1);
  EXPECT_EQ(id.verdict, kVerdictNone);
  // A missing image is no identification.
  std::snprintf(App.ImagePath, sizeof App.ImagePath, "%s", temp.Path("missing.d88").c_str());
  EXPECT_EQ(IdentifyCurrentImage(scripted::kMainWindow, &id), -1);
}

TEST_F(IdentifyTest, CommandShowsTheReasonsAndOffersTheSwitch) {
  EXPECT_EQ(IdentifyImageCommand(scripted::kMainWindow), -1);
  ASSERT_EQ(scripted::Boxes().size(), 1u);
  EXPECT_EQ(scripted::Boxes()[0].text, kMsgIdentifyNoImage);

  ImageSpec shape;
  shape.machineMode = kModePc;
  UseImage(testimg::BuildImage(VolumeWithFiles(false), shape), "pc.2d", kFormat2D);
  const std::vector<uint8_t> before = testimg::ReadFile(App.ImagePath);
  const struct {
    int current, answer, result;
    unsigned flags;
  } cases[] = {{kModeMz, kIdYes, kModePc, kMbYesNo | kMbIconQuestion},
               {kModeMz, kIdNo, -1, kMbYesNo | kMbIconQuestion},
               {kModePc, kIdOk, -1, kMbOk}};
  for (const auto& c : cases) {
    scripted::ClearBoxes();
    App.MachineMode = c.current;
    scripted::AnswerBox(c.answer);
    EXPECT_EQ(IdentifyImageCommand(scripted::kMainWindow), c.result);
    ASSERT_EQ(scripted::Boxes().size(), 1u);
    EXPECT_EQ(scripted::Boxes()[0].flags, c.flags);
    EXPECT_EQ(scripted::Boxes()[0].caption, kCaptionIdentify);
    EXPECT_NE(scripted::Boxes()[0].text.find("PC"), std::string::npos);
  }
  UseImage(std::vector<uint8_t>(kFlatImageBytes, 0), "zero.2d", kFormat2D);
  scripted::ClearBoxes();
  EXPECT_EQ(IdentifyImageCommand(scripted::kMainWindow), -1);
  ASSERT_EQ(scripted::Boxes().size(), 1u);
  EXPECT_NE(scripted::Boxes()[0].text.find("not a Zelvo volume"), std::string::npos);
  EXPECT_EQ(scripted::Boxes()[0].flags, kMbOk);
  EXPECT_TRUE(testsupport::BytesEqual(before, testimg::ReadFile(temp.Path("pc.2d"))));
}

}  // namespace
