// Sector transfers over layouts of one kind: the flat file's sides and inversion, flat files cut
// short or lengthened, and D88 containers with unusual track layouts. What every kind does alike
// is in the container sweep.
#include <gtest/gtest.h>

#include <cstring>

#include "flows/app_image.h"
#include "image/image_file.h"
#include "support/test_support.h"
#include "texts/texts.h"
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
