// Sector transfers over flat and D88 images, under both conventions.
#include <gtest/gtest.h>

#include <cstring>

#include "image/image_file.h"
#include "support/test_support.h"
#include "texts/texts.h"
#include "volume/app_image.h"
#include "volume/layout.h"

using testimg::BuildImage;
using testimg::ImageSpec;
using testimg::VolumeBuilder;
using testsupport::BytesEqual;

namespace {

// A volume whose every sector is filled with a pattern naming its track and sector.
VolumeBuilder PatternVolume() {
  VolumeBuilder v;
  for (int t = 0; t < 84; t++)
    for (int s = 1; s <= 16; s++)
      for (int i = 0; i < 256; i++) v.Sector(t, s)[i] = static_cast<uint8_t>(t * 3 + s * 7 + i);
  return v;
}

struct Layout {
  const char* name;
  bool d88;
  int format;
  int mode;
};

class TransferTest : public testsupport::AppTest, public ::testing::WithParamInterface<Layout> {
 protected:
  std::string MakeImage(const VolumeBuilder& v, ImageSpec shape = {}) {
    shape.d88 = GetParam().d88;
    shape.machineMode = GetParam().mode;
    App.MachineMode = GetParam().mode;
    return UseImage(BuildImage(v, shape), GetParam().d88 ? "disk.d88" : "disk.2d",
                    GetParam().format);
  }
};

TEST_P(TransferTest, ReadsRunAcrossTrackBoundaryInVolumeTerms) {
  VolumeBuilder v = PatternVolume();
  MakeImage(v);
  uint8_t buffer[512];
  ASSERT_EQ(0, ZLV_ReadZelvoFile(scripted::kMainWindow, buffer, 5, 16, 512));
  EXPECT_EQ(0, std::memcmp(buffer, v.Sector(5, 16), 256));
  EXPECT_EQ(0, std::memcmp(buffer + 256, v.Sector(6, 1), 256));
  EXPECT_TRUE(scripted::Boxes().empty());
}

TEST_P(TransferTest, PartialReadConvertsOnlyRequestedBytes) {
  VolumeBuilder v = PatternVolume();
  MakeImage(v);
  uint8_t buffer[256];
  ASSERT_EQ(0, ZLV_ReadZelvoFile(scripted::kMainWindow, buffer, 3, 4, 100));
  EXPECT_EQ(0, std::memcmp(buffer, v.Sector(3, 4), 100));
  for (int i = 100; i < 256; i++) {
    const uint8_t want =
        GetParam().mode == kModeMz ? static_cast<uint8_t>(~v.Sector(3, 4)[i]) : v.Sector(3, 4)[i];
    ASSERT_EQ(want, buffer[i]) << "byte " << i << " keeps its stored form";
  }
}

TEST_P(TransferTest, WriteThenReadRoundTripsAndFillsTailWithFF) {
  VolumeBuilder v = PatternVolume();
  const std::string path = MakeImage(v);
  uint8_t data[512];
  for (int i = 0; i < 512; i++) data[i] = static_cast<uint8_t>(i * 5);
  uint8_t buffer[512];
  std::memcpy(buffer, data, sizeof data);
  ASSERT_EQ(0, ZLV_WriteZelvoFile(scripted::kMainWindow, buffer, 7, 16, 300));
  // The caller's buffer holds what went to the image.
  for (int i = 300; i < 512; i++) ASSERT_EQ(0xFF, buffer[i]);
  if (GetParam().mode == kModeMz) {
    EXPECT_EQ(static_cast<uint8_t>(~data[0]), buffer[0]);
  }
  // What the image now holds, in volume terms.
  VolumeBuilder expected = v;
  std::memcpy(expected.Sector(7, 16), data, 256);
  std::memcpy(expected.Sector(8, 1), data + 256, 44);
  std::memset(expected.Sector(8, 1) + 44, GetParam().mode == kModeMz ? 0x00 : 0xFF, 212);
  ImageSpec shape;
  shape.d88 = GetParam().d88;
  shape.machineMode = GetParam().mode;
  EXPECT_TRUE(BytesEqual(BuildImage(expected, shape), testimg::ReadFile(path)));
}

TEST_P(TransferTest, OutOfBoundsAddressesFailBeforeAnyFileAccess) {
  App.MachineMode = GetParam().mode;
  App.ImageFormat = GetParam().format;
  const std::string missing = temp.Path("missing.img");
  std::snprintf(App.ImagePath, sizeof App.ImagePath, "%s", missing.c_str());
  const int bad[][2] = {{84, 1}, {-1, 1}, {0, 0}, {0, 17}};
  for (const auto& [track, sector] : bad) {
    scripted::ClearBoxes();
    uint8_t buffer[256];
    std::memset(buffer, 0x5A, sizeof buffer);
    EXPECT_EQ(-1, ZLV_ReadZelvoFile(scripted::kMainWindow, buffer, track, sector, 256));
    EXPECT_EQ(-1, ZLV_WriteZelvoFile(scripted::kMainWindow, buffer, track, sector, 100));
    ASSERT_EQ(2u, scripted::Boxes().size());
    EXPECT_EQ(kMsgBadTrackSector, scripted::Boxes()[0].text);
    EXPECT_EQ(kCaptionRead, scripted::Boxes()[0].caption);
    EXPECT_EQ(kCaptionWrite, scripted::Boxes()[1].caption);
    EXPECT_EQ(0x5A, buffer[200]) << "the buffer is untouched";
  }
  EXPECT_FALSE(testimg::FileExists(missing));
}

TEST_P(TransferTest, MissingImageFailsAndIsNeverCreated) {
  App.MachineMode = GetParam().mode;
  App.ImageFormat = GetParam().format;
  const std::string missing = temp.Path("missing.img");
  std::snprintf(App.ImagePath, sizeof App.ImagePath, "%s", missing.c_str());
  uint8_t buffer[512] = {};
  EXPECT_EQ(-1, ZLV_ReadZelvoFile(scripted::kMainWindow, buffer, 0, 2, 512));
  EXPECT_EQ(-1, ZLV_ReadZelvoFile(scripted::kMainWindow, buffer, 0, 2, 0));
  EXPECT_EQ(-1, ZLV_WriteZelvoFile(scripted::kMainWindow, buffer, 0, 2, 0));
  ASSERT_EQ(3u, scripted::Boxes().size());
  EXPECT_EQ(kMsgReadFailed, scripted::Boxes()[0].text);
  EXPECT_EQ(kCaptionRead, scripted::Boxes()[0].caption);
  EXPECT_EQ(kMsgWriteOpenFailed, scripted::Boxes()[2].text);
  EXPECT_EQ(kCaptionWrite, scripted::Boxes()[2].caption);
  EXPECT_FALSE(testimg::FileExists(missing));
}

TEST_P(TransferTest, ImageHeldByAnotherOpenFailsBothWays) {
  VolumeBuilder v = PatternVolume();
  const std::string path = MakeImage(v);
  const auto before = testimg::ReadFile(path);
  ImageFile holder;
  ASSERT_EQ(0, ImageFileOpenUpdate(path.c_str(), &holder));
  uint8_t buffer[256] = {};
  EXPECT_EQ(-1, ZLV_ReadZelvoFile(scripted::kMainWindow, buffer, 2, 1, 256));
  EXPECT_EQ(-1, ZLV_WriteZelvoFile(scripted::kMainWindow, buffer, 2, 1, 256));
  ImageFileClose(&holder);
  ASSERT_EQ(2u, scripted::Boxes().size());
  EXPECT_EQ(kMsgReadFailed, scripted::Boxes()[0].text);
  EXPECT_EQ(kMsgWriteOpenFailed, scripted::Boxes()[1].text);
  EXPECT_TRUE(BytesEqual(before, testimg::ReadFile(path)));
}

TEST_P(TransferTest, ZeroByteCountTransfersNothing) {
  VolumeBuilder v = PatternVolume();
  const std::string path = MakeImage(v);
  const auto before = testimg::ReadFile(path);
  uint8_t buffer[256];
  std::memset(buffer, 0x11, sizeof buffer);
  EXPECT_EQ(0, ZLV_ReadZelvoFile(scripted::kMainWindow, buffer, 2, 1, 0));
  EXPECT_EQ(0, ZLV_WriteZelvoFile(scripted::kMainWindow, buffer, 2, 1, 0));
  EXPECT_EQ(0x11, buffer[0]);
  EXPECT_TRUE(BytesEqual(before, testimg::ReadFile(path)));
}

// A write is a change of its own: the sector written before the failing one is put back.
TEST_P(TransferTest, InjectedWriteFailureReportsAndPutsEarlierSectorsBack) {
  VolumeBuilder v = PatternVolume();
  const std::string path = MakeImage(v);
  const std::vector<uint8_t> before = testimg::ReadFile(path);
  uint8_t buffer[768];
  std::memset(buffer, 0x42, sizeof buffer);
  ImageWriteFaults = {2, 0};
  EXPECT_EQ(-1, ZLV_WriteZelvoFile(scripted::kMainWindow, buffer, 10, 1, 768));
  ImageWriteFaults = {0, 0};
  ASSERT_EQ(1u, scripted::Boxes().size());
  EXPECT_EQ(kMsgWriteFailed, scripted::Boxes()[0].text);
  EXPECT_EQ(kCaptionWrite, scripted::Boxes()[0].caption);
  EXPECT_TRUE(BytesEqual(before, testimg::ReadFile(path)));
  EXPECT_FALSE(testimg::FileExists(path + "-journal"));
}

// A read failing on the second sector of a run: the first chunk stays in stored form, the second
// keeps what the buffer held before, and nothing is inverted.
TEST_P(TransferTest, InjectedReadFailureKeepsTheFailingChunkAsItWas) {
  VolumeBuilder v = PatternVolume();
  MakeImage(v);
  uint8_t buffer[512];
  ImageReadFaults = {0, 0, 0};
  ASSERT_EQ(0, ZLV_ReadZelvoFile(scripted::kMainWindow, buffer, 7, 16, 256));
  const int readsOfOneSector = ImageReadFaults.readsDone;
  std::memset(buffer, 0x42, sizeof buffer);
  ImageReadFaults = {readsOfOneSector + 1, 0, 0};
  EXPECT_EQ(-1, ZLV_ReadZelvoFile(scripted::kMainWindow, buffer, 7, 16, 512));
  ImageReadFaults = {0, 0, 0};
  ASSERT_EQ(1u, scripted::Boxes().size());
  EXPECT_EQ(kMsgReadFailed, scripted::Boxes()[0].text);
  EXPECT_EQ(kCaptionRead, scripted::Boxes()[0].caption);
  for (int i = 0; i < 256; i++) {
    const uint8_t stored =
        GetParam().mode == kModeMz ? static_cast<uint8_t>(~v.Sector(7, 16)[i]) : v.Sector(7, 16)[i];
    ASSERT_EQ(stored, buffer[i]) << i;
  }
  for (int i = 256; i < 512; i++) ASSERT_EQ(0x42, buffer[i]) << i;
}

INSTANTIATE_TEST_SUITE_P(Layouts, TransferTest,
                         ::testing::Values(Layout{"FlatMz", false, kFormat2D, kModeMz},
                                           Layout{"FlatPc", false, kFormat2D, kModePc},
                                           Layout{"D88Mz", true, kFormatD88, kModeMz},
                                           Layout{"D88Pc", true, kFormatD88, kModePc},
                                           Layout{"D20Mz", true, kFormatD20, kModeMz}),
                         [](const auto& info) { return std::string(info.param.name); });

class RawLayoutTest : public testsupport::AppTest {};

TEST_F(RawLayoutTest, MzSwapsSidesAndInvertsInTheFlatFile) {
  std::vector<uint8_t> image(84 * 16 * 256, 0);
  image[(1 * 16 + 1) * 256] = 0xF0;    // physical track 1, sector 2
  image[(82 * 16 + 15) * 256] = 0x0F;  // physical track 82, sector 16
  UseImage(image, "raw.2d", kFormat2D);
  uint8_t buffer[256];
  App.MachineMode = kModeMz;
  ASSERT_EQ(0, ZLV_ReadZelvoFile(scripted::kMainWindow, buffer, 0, 2, 256));
  EXPECT_EQ(0x0F, buffer[0]);
  EXPECT_EQ(0xFF, buffer[1]);
  ASSERT_EQ(0, ZLV_ReadZelvoFile(scripted::kMainWindow, buffer, 83, 16, 256));
  EXPECT_EQ(0xF0, buffer[0]);
  App.MachineMode = kModePc;
  ASSERT_EQ(0, ZLV_ReadZelvoFile(scripted::kMainWindow, buffer, 1, 2, 1));
  EXPECT_EQ(0xF0, buffer[0]);
}

TEST_F(RawLayoutTest, FlatImageShorterThanRunReadsZeros) {
  VolumeBuilder v = PatternVolume();
  ImageSpec shape;
  shape.machineMode = kModePc;
  shape.flatBytes = (2 * 16) * 256 + 100;  // ends 100 bytes into track 2 sector 1
  UseImage(BuildImage(v, shape), "short.2d", kFormat2D);
  App.MachineMode = kModePc;
  uint8_t buffer[512];
  std::memset(buffer, 0x77, sizeof buffer);
  ASSERT_EQ(0, ZLV_ReadZelvoFile(scripted::kMainWindow, buffer, 2, 1, 512));
  EXPECT_EQ(0, std::memcmp(buffer, v.Sector(2, 1), 100));
  for (int i = 100; i < 512; i++) ASSERT_EQ(0, buffer[i]) << i;
  // Under MZ the zeros are stored form, so they read inverted.
  App.MachineMode = kModeMz;
  ASSERT_EQ(0, ZLV_ReadZelvoFile(scripted::kMainWindow, buffer, 20, 1, 200));
  for (int i = 0; i < 200; i++) ASSERT_EQ(0xFF, buffer[i]) << i;
  for (int i = 200; i < 256; i++) ASSERT_EQ(0, buffer[i]) << i;
}

TEST_F(RawLayoutTest, FlatWriteBeyondTheEndExtendsTheFile) {
  VolumeBuilder v;
  ImageSpec shape;
  shape.machineMode = kModePc;
  shape.flatBytes = 4096;
  const std::string path = UseImage(BuildImage(v, shape), "grow.2d", kFormat2D);
  App.MachineMode = kModePc;
  uint8_t buffer[256];
  std::memset(buffer, 0xAB, sizeof buffer);
  ASSERT_EQ(0, ZLV_WriteZelvoFile(scripted::kMainWindow, buffer, 3, 1, 256));
  const auto after = testimg::ReadFile(path);
  ASSERT_EQ(static_cast<size_t>(4 * 16 * 256 - 15 * 256), after.size());
  EXPECT_EQ(0xAB, after[3 * 16 * 256]);
}

// D88 containers with unusual track layouts.
class D88LayoutTest : public testsupport::AppTest {
 protected:
  std::string Make(const VolumeBuilder& v, ImageSpec shape) {
    shape.d88 = true;
    shape.machineMode = kModePc;
    App.MachineMode = kModePc;
    return UseImage(BuildImage(v, shape), "disk.d88", kFormatD88);
  }
};

TEST_F(D88LayoutTest, SectorsInAnyOrderAreFound) {
  VolumeBuilder v = PatternVolume();
  ImageSpec shape;
  shape.sectorOrder[4] = {16, 3, 1, 2, 15, 14, 13, 12, 11, 10, 9, 8, 7, 6, 5, 4};
  Make(v, shape);
  uint8_t buffer[4096];
  ASSERT_EQ(0, ZLV_ReadZelvoFile(scripted::kMainWindow, buffer, 4, 1, 4096));
  EXPECT_EQ(0, std::memcmp(buffer, v.Sector(4, 1), 4096));
}

TEST_F(D88LayoutTest, AbsentSectorsReadAsZerosAndAreNeverWritten) {
  VolumeBuilder v = PatternVolume();
  struct Case {
    const char* what;
    ImageSpec shape;
  };
  std::vector<Case> cases;
  {
    ImageSpec s;
    s.sectorOrder[6] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};  // no sector 16
    cases.push_back({"missing sector", s});
  }
  {
    ImageSpec s;
    s.sectorCountField[6] = 0;
    cases.push_back({"sector count 0", s});
  }
  {
    ImageSpec s;
    s.absentTracks.insert(6);
    cases.push_back({"track offset 0", s});
  }
  {
    ImageSpec s;
    s.trackOffset[6] = 100;  // inside the header
    cases.push_back({"offset into the header", s});
  }
  {
    ImageSpec s;
    s.trackOffset[6] = 0x7FFFFFF0;  // past the end
    cases.push_back({"offset past the end", s});
  }
  {
    ImageSpec s;
    s.sectorCountField[6] = 15;  // the 16th record is never examined
    cases.push_back({"count smaller than the records", s});
  }
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    scripted::ClearBoxes();
    const std::string path = Make(v, c.shape);
    const auto before = testimg::ReadFile(path);
    uint8_t buffer[512];
    std::memset(buffer, 0x66, sizeof buffer);
    ASSERT_EQ(0, ZLV_ReadZelvoFile(scripted::kMainWindow, buffer, 6, 16, 512));
    for (int i = 0; i < 256; i++) ASSERT_EQ(0, buffer[i]) << i;
    EXPECT_EQ(0, std::memcmp(buffer + 256, v.Sector(7, 1), 256));
    std::memset(buffer, 0x99, 256);
    ASSERT_EQ(0, ZLV_WriteZelvoFile(scripted::kMainWindow, buffer, 6, 16, 256));
    EXPECT_TRUE(BytesEqual(before, testimg::ReadFile(path)));
    EXPECT_EQ(0, ImageCarriesRun(6, 16, 1));
    EXPECT_EQ(1, ImageCarriesRun(7, 1, 4096));
    EXPECT_TRUE(scripted::Boxes().empty());
  }
}

TEST_F(D88LayoutTest, RecordCutShortByTheEndIsAbsent) {
  VolumeBuilder v = PatternVolume();
  ImageSpec shape;
  shape.d88Tracks = 3;
  const auto full = BuildImage(v, [&] {
    ImageSpec s = shape;
    s.d88 = true;
    s.machineMode = kModePc;
    return s;
  }());
  shape.d88CutBytes = static_cast<long>(full.size()) - 100;  // the last record of track 2 is cut
  const std::string path = Make(v, shape);
  const auto before = testimg::ReadFile(path);
  uint8_t buffer[512];
  ASSERT_EQ(0, ZLV_ReadZelvoFile(scripted::kMainWindow, buffer, 2, 15, 512));
  EXPECT_EQ(0, std::memcmp(buffer, v.Sector(2, 15), 256));
  for (int i = 256; i < 512; i++) ASSERT_EQ(0, buffer[i]) << i;
  ASSERT_EQ(0, ZLV_WriteZelvoFile(scripted::kMainWindow, buffer, 2, 16, 256));
  EXPECT_TRUE(BytesEqual(before, testimg::ReadFile(path))) << "a D88 write never extends the file";
}

TEST_F(D88LayoutTest, HeaderCutShortMakesEveryTrackAbsent) {
  std::vector<uint8_t> image(300, 0);
  image[32] = 0x10;  // a partial track table: the missing bytes must not be read as stale data
  const std::string path = UseImage(image, "cut.d88", kFormatD88);
  App.MachineMode = kModeMz;
  uint8_t buffer[512];
  std::memset(buffer, 0x33, sizeof buffer);
  ASSERT_EQ(0, ZLV_ReadZelvoFile(scripted::kMainWindow, buffer, 0, 2, 512));
  for (int i = 0; i < 512; i++) ASSERT_EQ(0xFF, buffer[i]) << i;
  ASSERT_EQ(0, ZLV_WriteZelvoFile(scripted::kMainWindow, buffer, 0, 2, 512));
  EXPECT_TRUE(BytesEqual(image, testimg::ReadFile(path)));
}

TEST_F(D88LayoutTest, TracksSharingAnOffsetWriteThroughTheSharedRecords) {
  VolumeBuilder v = PatternVolume();
  ImageSpec shape;
  const std::string path = Make(v, shape);
  auto image = testimg::ReadFile(path);
  // Point physical track 9 at track 8's records.
  for (int i = 0; i < 4; i++) image[32 + 4 * 9 + i] = image[32 + 4 * 8 + i];
  testimg::WriteFile(path, image);
  uint8_t a[256], b[256];
  ASSERT_EQ(0, ZLV_ReadZelvoFile(scripted::kMainWindow, a, 8, 3, 256));
  ASSERT_EQ(0, ZLV_ReadZelvoFile(scripted::kMainWindow, b, 9, 3, 256));
  EXPECT_EQ(0, std::memcmp(a, b, 256));
  EXPECT_EQ(0, std::memcmp(a, v.Sector(8, 3), 256));
}

TEST_F(D88LayoutTest, D20AndD88GiveIdenticalResults) {
  VolumeBuilder v = PatternVolume();
  ImageSpec shape;
  shape.d88 = true;
  shape.machineMode = kModeMz;
  const auto image = BuildImage(v, shape);
  App.MachineMode = kModeMz;
  uint8_t d88[2048], d20[2048];
  UseImage(image, "a.d88", kFormatD88);
  ASSERT_EQ(0, ZLV_ReadZelvoFile(scripted::kMainWindow, d88, 1, 1, 2048));
  UseImage(image, "a.d20", kFormatD20);
  ASSERT_EQ(0, ZLV_ReadZelvoFile(scripted::kMainWindow, d20, 1, 1, 2048));
  EXPECT_EQ(0, std::memcmp(d88, d20, 2048));
  EXPECT_EQ(0, std::memcmp(d88, v.Sector(1, 1), 2048));
}

}  // namespace
