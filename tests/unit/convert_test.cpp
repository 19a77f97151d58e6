// Conversion between the containers and the readers of IMD and HFE: round trips every container
// to every other under both conventions, a hand-written IMD, the loss summary and its refusals,
// several disks, and malformed files refused without a partly written output.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "image/container.h"
#include "image/container_hfe.h"
#include "image/container_imd.h"
#include "image/disk_model.h"
#include "image/image_select.h"
#include "image/image_source.h"
#include "image/journal.h"
#include "image/sector_health.h"
#include "image/sector_transfer.h"
#include "support/image_builder.h"
#include "support/test_support.h"
#include "texts/texts.h"
#include "transfer/convert_image.h"

namespace {

using testimg::ImageSpec;
using testimg::VolumeBuilder;
using testsupport::BytesEqual;
using Bytes = std::vector<uint8_t>;

const char* const kExtensions[] = {".2d", ".d88", ".imd", ".hfe"};
constexpr ContainerStamp kStamp{2024, 2, 1, 3, 4, 5};

VolumeBuilder PatternVolume() {
  VolumeBuilder v;
  for (int t = 0; t < 84; t++)
    for (int s = 1; s <= 16; s++)
      for (int i = 0; i < 256; i++) v.Sector(t, s)[i] = static_cast<uint8_t>(t * 5 + s * 11 + i);
  // A few uniform sectors: IMD compresses them.
  for (int s = 1; s <= 16; s++) std::memset(v.Sector(60, s), 0xE5, 256);
  return v;
}

struct Options {
  bool fill = false;
  bool strict = false;
  bool replace = false;
  int disk = -1;
};

class Convert : public testsupport::AppTest {
 protected:
  std::string Put(const Bytes& bytes, const std::string& name) {
    const std::string path = temp.Path(name);
    testimg::WriteFile(path, bytes);
    return path;
  }
  int Run(const std::string& from, const std::string& to, int mode, int toMode,
          Options options = {}) {
    ConvertRequest request{};
    request.sourcePath = from.c_str();
    request.targetPath = to.c_str();
    request.machineMode = mode;
    request.toMode = toMode;
    request.disk = options.disk;
    request.fill = options.fill;
    request.strict = options.strict;
    request.replace = options.replace;
    request.stamp = kStamp;
    OutcomeClear(&out);
    return ConvertImage(&out, request, &losses);
  }
  // Every sector of the image under `mode`, in volume terms.
  Bytes Volume(const std::string& path, int mode, int disk = -1) {
    ImageTarget target;
    EXPECT_EQ(0, ImageTargetFor(&target, path.c_str(),
                                ContainerForFormat(FormatForPath(path.c_str())), mode));
    target.change = testsupport::SpareChange();
    if (disk >= 0) {
      ImageDisk disks[kMaxImageDisks];
      const int count = ImageListDisks(&target, disks, kMaxImageDisks);
      EXPECT_GT(count, disk);
      target.diskBase = disks[disk].base;
      target.diskEnd = disks[disk].end;
    }
    Bytes bytes(testimg::kVolumeSectors * 256);
    EXPECT_EQ(kImageOk, ReadSectors(&target, bytes.data(), 0, 1, static_cast<int>(bytes.size())));
    return bytes;
  }
  Outcome out;
  ConvertLosses losses;
};

// Every container to every other, in the same convention and into the other one: the sectors
// read back byte for byte under the target's convention, so every listing is the same.
TEST_F(Convert, EveryContainerToEveryOtherInBothConventions) {
  const VolumeBuilder v = PatternVolume();
  for (int mode : {kModeMz, kModePc}) {
    ImageSpec shape;
    shape.d88 = true;
    shape.machineMode = mode;
    shape.d88Name = "";  // a name is lost in most containers
    const std::string origin = Put(testimg::BuildImage(v, shape), "origin.d88");
    for (const char* from : kExtensions) {
      const std::string source = temp.Path(std::string("source") + from);
      ASSERT_EQ(0, Run(origin, source, mode, mode, Options{.replace = true})) << from;
      ASSERT_TRUE(BytesEqual(v.bytes, Volume(source, mode))) << from;
      for (const char* to : kExtensions)
        for (int toMode : {mode, 1 - mode}) {
          SCOPED_TRACE(std::string(from) + " -> " + to + (toMode == mode ? " same" : " other"));
          const std::string target = temp.Path(std::string("target") + to);
          ASSERT_EQ(0, Run(source, target, mode, toMode, Options{.replace = true}));
          EXPECT_EQ(0, out.count) << "nothing lost: " << (out.count ? OutcomeTextEn(&out, 0) : "");
          EXPECT_TRUE(BytesEqual(v.bytes, Volume(target, toMode)));
        }
    }
  }
}

// The same input gives the same bytes, and no temporary file stays behind.
TEST_F(Convert, WritesTheSameBytesEveryTime) {
  ImageSpec shape;
  shape.d88 = true;
  const std::string origin = Put(testimg::BuildImage(PatternVolume(), shape), "o.d88");
  for (const char* to : {".imd", ".hfe"}) {
    ASSERT_EQ(0, Run(origin, temp.Path(std::string("a") + to), kModeMz, kModeMz));
    ASSERT_EQ(0, Run(origin, temp.Path(std::string("b") + to), kModeMz, kModeMz));
    EXPECT_TRUE(BytesEqual(testimg::ReadFile(temp.Path(std::string("a") + to)),
                           testimg::ReadFile(temp.Path(std::string("b") + to))));
    EXPECT_FALSE(testimg::FileExists(temp.Path(std::string("a") + to + ".new")));
  }
  const Bytes hfe = testimg::ReadFile(temp.Path("a.hfe"));
  EXPECT_EQ(0, std::memcmp(hfe.data(), "HXCPICFE", 8));
  EXPECT_EQ(42, hfe[kHfeTracksAt]);
  EXPECT_EQ(2, hfe[kHfeSidesAt]);
  EXPECT_EQ(0xFF, hfe[kHfeWriteAllowedAt]);
  EXPECT_EQ(0xFF, hfe[511]);
  const Bytes imd = testimg::ReadFile(temp.Path("a.imd"));
  const std::string head = "IMD 1.18: 01/02/2024 03:04:05\r\nzelvo convert\x1A";
  EXPECT_EQ(head, std::string(imd.begin(), imd.begin() + static_cast<long>(head.size())));
}

// A small IMD written by hand: compressed, deleted, erroneous and unavailable sectors, sector
// IDs through the cylinder and head maps.
Bytes HandImd(const std::string& comment = "hand made") {
  const std::string head = "IMD 1.18: 01/02/2024 03:04:05\r\n" + comment + "\x1A";
  Bytes b(head.begin(), head.end());
  auto add = [&b](std::initializer_list<int> values) {
    for (int value : values) b.push_back(static_cast<uint8_t>(value));
  };
  add({5, 0, 0xC0, 4, 1});  // track 0 side 0, both maps, 4 sectors of 256 bytes
  add({3, 1, 2, 4});        // numbering
  add({0, 0, 0, 9});        // cylinders
  add({0, 0, 0, 1});        // heads
  add({1});
  for (int i = 0; i < 256; i++) b.push_back(static_cast<uint8_t>(i));
  add({2, 0xAA});              // compressed
  add({4, 0x55});              // deleted, compressed
  add({0});                    // unavailable
  add({5, 0, 1, 1, 1, 1, 5});  // track 0 side 1: one sector, with a data error
  for (int i = 0; i < 256; i++) b.push_back(static_cast<uint8_t>(255 - i));
  return b;
}

TEST_F(Convert, AHandWrittenImdReadsAndConvertsWithItsMarks) {
  const std::string path = Put(HandImd(), "hand.imd");
  ImageTarget target;
  ASSERT_EQ(0, ImageTargetFor(&target, path.c_str(), &kImdContainer, kModePc));
  target.change = testsupport::SpareChange();
  static ModelTrack track;
  ASSERT_EQ(kTrackRead, ImageReadTrack(&target, 0, &track));
  ASSERT_EQ(4, track.count);
  EXPECT_EQ(3, track.sectors[0].r);
  EXPECT_EQ(kSectorDeleted, track.sectors[2].marks);
  EXPECT_EQ(kSectorAbsent, track.sectors[3].marks);
  EXPECT_EQ(9, track.sectors[3].c);
  EXPECT_EQ(1, track.sectors[3].h);
  uint8_t sectors[4 * 256];
  ASSERT_EQ(kImageOk, ReadSectors(&target, sectors, 0, 1, sizeof sectors));
  EXPECT_EQ(Bytes(256, 0xAA), Bytes(sectors, sectors + 256));
  EXPECT_EQ(Bytes(256, 0x55), Bytes(sectors + 256, sectors + 512));
  EXPECT_EQ(0x7F, sectors[512 + 0x7F]);
  EXPECT_EQ(Bytes(256, 0), Bytes(sectors + 768, sectors + 1024)) << "unavailable reads as zero";
  ASSERT_EQ(kImageOk, ReadSectors(&target, sectors, 1, 1, 256));
  EXPECT_EQ(0xFF, sectors[0]) << "a sector with an error is read as it is";

  // Written back as IMD: the same bytes under the writer's own header.
  ASSERT_EQ(0, Run(path, temp.Path("again.imd"), kModePc, kModePc));
  EXPECT_TRUE(BytesEqual(HandImd("zelvo convert"), testimg::ReadFile(temp.Path("again.imd"))));
  // Nothing is lost; the sectors the hand-written disk never had are said to be missing still.
  ASSERT_EQ(1, out.count);
  EXPECT_TRUE(OutcomeHas(&out, kLossMissing));
  // As D88: the deleted flag and the error status travel, the unavailable sector stays absent.
  ASSERT_EQ(0, Run(path, temp.Path("hand.d88"), kModePc, kModePc));
  const Bytes d88 = testimg::ReadFile(temp.Path("hand.d88"));
  const uint32_t first = Le32(d88.data() + 32);
  EXPECT_EQ(3, d88[first + 4]) << "three records on track 0";
  EXPECT_EQ(0x10, d88[first + 2 * 272 + 7]);
  EXPECT_EQ(0xB0, d88[Le32(d88.data() + 36) + 8]);
  // As flat: the marks cannot travel, and the unavailable sector has no place without --fill.
  EXPECT_EQ(-1, Run(path, temp.Path("hand.2d"), kModePc, kModePc));
  EXPECT_TRUE(OutcomeHas(&out, kMsgConvertAbsent));
  EXPECT_FALSE(testimg::FileExists(temp.Path("hand.2d")));
  ASSERT_EQ(0, Run(path, temp.Path("hand.2d"), kModePc, kModePc, Options{.fill = true}));
  EXPECT_EQ(1, losses.deleted);
  EXPECT_EQ(1, losses.errors);
  EXPECT_EQ(0, losses.ids) << "sectors in another order keep their numbers";
  EXPECT_EQ(84 * 16 - 4, losses.filled);
  EXPECT_TRUE(OutcomeHas(&out, kLossDeleted));
  EXPECT_TRUE(OutcomeHas(&out, kLossFilled));
}

// The loss summary per target, --strict, and the refusals that leave nothing behind.
TEST_F(Convert, SaysWhatEachTargetLosesAndStrictRefuses) {
  ImageSpec shape;
  shape.d88 = true;
  shape.machineMode = kModePc;
  shape.d88Name = "NAMED";
  shape.d88WriteProtect = 0x10;
  Bytes image = testimg::BuildImage(PatternVolume(), shape);
  image[testimg::D88DataOffset(image, 4, 3) - 16 + 7] = 0x10;  // deleted data
  image[testimg::D88DataOffset(image, 5, 9) - 16 + 8] = 0xB0;  // a data CRC error
  const std::string source = Put(image, "marks.d88");
  struct Expect {
    const char* to;
    int deleted, errors;
    bool name, protection;
  };
  const Expect rows[] = {{".2d", 1, 1, true, true},
                         {".imd", 0, 0, true, true},
                         {".hfe", 0, 0, true, false},
                         {".d88", 0, 0, false, false}};
  for (const Expect& row : rows) {
    SCOPED_TRACE(row.to);
    const std::string target = temp.Path(std::string("m") + row.to);
    ASSERT_EQ(0, Run(source, target, kModePc, kModePc));
    EXPECT_EQ(row.deleted, losses.deleted);
    EXPECT_EQ(row.errors, losses.errors);
    EXPECT_EQ(row.name, losses.name);
    EXPECT_EQ(row.protection, losses.protection);
    // The marks and protection survive the trip back where the target kept them.
    const std::string back = temp.Path(std::string("back_") + (row.to + 1) + ".d88");
    ASSERT_EQ(0, Run(target, back, kModePc, kModePc));
    const Bytes d88 = testimg::ReadFile(back);
    EXPECT_EQ(row.protection ? 0x00 : 0x10, d88[0x1A]);
    if (std::string(row.to) != ".2d") {
      EXPECT_EQ(0x10, d88[testimg::D88DataOffset(d88, 4, 3) - 16 + 7]);
      EXPECT_EQ(0xB0, d88[testimg::D88DataOffset(d88, 5, 9) - 16 + 8]);
    }
    if (std::string(row.to) == ".hfe") {
      ImageTarget hfe;
      ImageTargetFor(&hfe, target.c_str(), &kHfeContainer, kModePc);
      hfe.change = testsupport::SpareChange();
      // A sector whose CRC fails gives the bytes it holds; its health says it is bad.
      uint8_t sector[256];
      EXPECT_EQ(kImageOk, ReadSectors(&hfe, sector, 5, 9, 256));
      SectorHealth health;
      ASSERT_EQ(0, ReadSectorHealth(&hfe, 5, 9, &health));
      EXPECT_EQ(kSectorBad, health.state);
      EXPECT_EQ(kCauseCrc, health.cause);
      EXPECT_TRUE(ImageWriteProtected(&hfe));
    }
    // --strict: any loss refuses, and nothing is written (an existing file stays as it was).
    const Bytes before = testimg::ReadFile(target);
    const int strict =
        Run(source, target, kModePc, kModePc, Options{.strict = true, .replace = true});
    EXPECT_EQ(row.deleted || row.name || row.protection ? -1 : 0, strict);
    if (strict != 0) {
      EXPECT_TRUE(OutcomeHas(&out, kMsgConvertStrict));
      EXPECT_TRUE(BytesEqual(before, testimg::ReadFile(target)));
    }
    // Never over an existing file without being asked.
    EXPECT_EQ(-1, Run(source, target, kModePc, kModePc));
    EXPECT_TRUE(OutcomeHas(&out, kMsgConvertExists));
  }
}

// Several disks: joined from any containers, kept whole into D88, one chosen for the others.
TEST_F(Convert, JoinsDisksAndConvertsOneOfSeveral) {
  VolumeBuilder second = PatternVolume();
  std::memset(second.Sector(10, 1), 0x42, 256);
  ImageSpec shape;
  shape.d88 = true;
  shape.machineMode = kModePc;
  const std::string a = Put(testimg::BuildImage(PatternVolume(), shape), "a.d88");
  ASSERT_EQ(0, Run(a, temp.Path("a.imd"), kModePc, kModePc));
  shape.d88Name = "SECOND";
  shape.d88WriteProtect = 0x10;
  const std::string b = Put(testimg::BuildImage(second, shape), "b.d88");
  const std::string joined = temp.Path("joined.d88");
  const std::string imdPath = temp.Path("a.imd");
  const char* sources[] = {imdPath.c_str(), b.c_str()};
  OutcomeClear(&out);
  ASSERT_EQ(0, JoinImages(&out, joined.c_str(), sources, 2, false));
  ImageTarget target;
  ImageTargetFor(&target, joined.c_str(), ContainerForFormat(kFormatD88), kModePc);
  target.change = testsupport::SpareChange();
  ImageDisk disks[kMaxImageDisks];
  ASSERT_EQ(2, ImageListDisks(&target, disks, kMaxImageDisks));
  EXPECT_STREQ("", disks[0].name);
  EXPECT_STREQ("SECOND", disks[1].name);
  EXPECT_TRUE(disks[1].writeProtected);
  EXPECT_TRUE(BytesEqual(second.bytes, Volume(joined, kModePc, 1)));
  // Refused over an existing file, and into anything but D88.
  EXPECT_EQ(-1, JoinImages(&out, joined.c_str(), sources, 2, false));
  EXPECT_EQ(-1, JoinImages(&out, temp.Path("j.imd").c_str(), sources, 2, false));
  EXPECT_TRUE(OutcomeHas(&out, kMsgJoinNotD88));

  EXPECT_EQ(-1, Run(joined, temp.Path("one.hfe"), kModePc, kModePc));
  EXPECT_TRUE(OutcomeHas(&out, kMsgConvertPickDisk));
  EXPECT_EQ(-1, Run(joined, temp.Path("one.hfe"), kModePc, kModePc, Options{.disk = 2}));
  EXPECT_TRUE(OutcomeHas(&out, kMsgConvertNoDisk));
  EXPECT_FALSE(testimg::FileExists(temp.Path("one.hfe")));
  ASSERT_EQ(0, Run(joined, temp.Path("one.hfe"), kModePc, kModePc, Options{.disk = 1}));
  EXPECT_TRUE(BytesEqual(second.bytes, Volume(temp.Path("one.hfe"), kModePc)));
  ASSERT_EQ(0, Run(joined, temp.Path("both.d88"), kModePc, kModePc));
  EXPECT_TRUE(BytesEqual(testimg::ReadFile(joined), testimg::ReadFile(temp.Path("both.d88"))));
}

// Malformed files: a clear message, no crash and no output file.
TEST_F(Convert, MalformedFilesAreRefusedCleanly) {
  ImageSpec shape;
  shape.d88 = true;
  const std::string origin = Put(testimg::BuildImage(PatternVolume(), shape), "o.d88");
  ASSERT_EQ(0, Run(origin, temp.Path("good.hfe"), kModeMz, kModeMz));
  const Bytes hfe = testimg::ReadFile(temp.Path("good.hfe"));
  const Bytes imd = HandImd();
  struct Bad {
    const char* name;
    Bytes bytes;
    const char* message;
  };
  auto edited = [](Bytes b, size_t at, std::initializer_list<int> values) {
    for (int value : values) b[at++] = static_cast<uint8_t>(value);
    return b;
  };
  size_t track0 = 0;  // after the 0x1A that ends the comment
  while (imd[track0] != 0x1A) track0++;
  track0++;
  Bytes small(imd.begin(), imd.begin() + static_cast<long>(track0));
  for (int value : {5, 0, 0, 1, 0, 1, 2, 0x33}) small.push_back(static_cast<uint8_t>(value));
  std::vector<Bad> bad = {
      {"header cut.imd", Bytes(imd.begin(), imd.begin() + 20), kMsgConvertMalformed},
      {"records cut.imd", Bytes(imd.begin(), imd.end() - 100), kMsgConvertMalformed},
      {"size code 7.imd", edited(imd, track0 + 4, {7}), kMsgConvertMalformed},
      {"mode 6.imd", edited(imd, track0, {6}), kMsgConvertMalformed},
      {"record type 9.imd", edited(imd, track0 + 17, {9}), kMsgConvertMalformed},
      {"size code 2.imd", edited(imd, track0 + 4, {2}), kMsgConvertMalformed},
      {"128 bytes.imd", small, kMsgConvertOtherSize},
      {"list past end.hfe", edited(hfe, 512, {0xFF, 0x7F}), kMsgConvertMalformed},
      {"cut.hfe", Bytes(hfe.begin(), hfe.begin() + 20000), kMsgConvertMalformed},
      {"short track.hfe", edited(hfe, 512 + 2, {0x10, 0x27}), kMsgConvertMalformed},
      {"version 3.hfe", edited(hfe, 0, {'H', 'X', 'C', 'H', 'F', 'E', 'V', '3'}),
       kMsgConvertVersion},
      {"revision 1.hfe", edited(hfe, 8, {1}), kMsgConvertVersion},
  };
  for (const Bad& b : bad) {
    SCOPED_TRACE(b.name);
    const std::string path = Put(b.bytes, b.name);
    const std::string target = temp.Path(std::string(b.name) + ".d88");
    EXPECT_EQ(-1, Run(path, target, kModeMz, kModeMz));
    EXPECT_TRUE(OutcomeHas(&out, b.message)) << (out.count ? OutcomeTextEn(&out, 0) : "");
    EXPECT_FALSE(testimg::FileExists(target));
    EXPECT_FALSE(testimg::FileExists(target + ".new"));
    ImageTarget image;
    ImageTargetFor(&image, path.c_str(), ContainerForFormat(FormatForPath(path.c_str())), kModeMz);
    image.change = testsupport::SpareChange();
    static uint8_t volume[84 * 16 * 256];
    ReadSectors(&image, volume, 0, 1, sizeof volume);  // fails or not, never crashes
  }
}

}  // namespace
