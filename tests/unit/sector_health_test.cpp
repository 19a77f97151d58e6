// The health of every sector as each container records it: D88 status bytes (0x10 is deleted
// data, not an error), records and tracks missing or cut off, a flat file cut short, and the
// errors an IMD and an HFE file keep after a conversion, under both conventions.
#include "image/sector_health.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "image/container.h"
#include "image/image_select.h"
#include "support/image_builder.h"
#include "support/test_support.h"
#include "transfer/convert_image.h"

namespace {

using Bytes = std::vector<uint8_t>;

constexpr int Index(int track, int sector) { return track * kSectorsPerTrack + sector - 1; }

class SectorHealthTest : public ::testing::Test {
 protected:
  // A D88 image (physical tracks as stored) with the status bytes given.
  Bytes D88(int mode, const std::vector<std::pair<int, uint8_t>>& statuses,
            testimg::ImageSpec shape = {}) {
    shape.d88 = true;
    shape.machineMode = mode;
    Bytes image = testimg::BuildImage(testimg::VolumeBuilder(), shape);
    for (const auto& [index, status] : statuses) {
      const int physical = PhysicalTrack(index / kSectorsPerTrack, mode);
      image[testimg::D88DataOffset(image, physical, index % kSectorsPerTrack + 1) - 16 + 8] =
          status;
    }
    return image;
  }
  VolumeHealth Read(const std::string& path, int mode) {
    ImageTarget target;
    EXPECT_EQ(0, ImageTargetFor(&target, path.c_str(),
                                ContainerForFormat(FormatForPath(path.c_str())), mode));
    target.change = testsupport::SpareChange();
    static VolumeHealth health;
    EXPECT_EQ(0, ReadVolumeHealth(&target, &health));
    return health;
  }
  std::string Put(const Bytes& bytes, const std::string& name) {
    const std::string path = temp.Path(name);
    testimg::WriteFile(path, bytes);
    return path;
  }
  std::string Convert(const std::string& from, const std::string& to, int mode) {
    ConvertRequest request{};
    request.sourcePath = from.c_str();
    const std::string path = temp.Path(to);
    request.targetPath = path.c_str();
    request.machineMode = mode;
    request.toMode = mode;
    request.disk = -1;
    request.replace = true;
    Outcome out;
    OutcomeClear(&out);
    EXPECT_EQ(0, ConvertImage(&out, request, nullptr)) << (out.count ? OutcomeTextEn(&out, 0) : "");
    return path;
  }
  testsupport::TempDir temp;
};

TEST_F(SectorHealthTest, EachContainerSaysWhichSectorsAreBadOrMissing) {
  for (int mode : {kModeMz, kModePc}) {
    SCOPED_TRACE(mode);
    const std::vector<std::pair<int, uint8_t>> statuses = {
        {Index(2, 3), 0xB0}, {Index(10, 16), 0xA0}, {Index(40, 1), 0x10}};
    const std::string d88 = Put(D88(mode, statuses), "disk.d88");
    VolumeHealth h = Read(d88, mode);
    EXPECT_EQ(2, h.bad);
    EXPECT_EQ(0, h.missing);
    EXPECT_EQ(kSectorBad, h.sectors[Index(2, 3)].state);
    EXPECT_EQ(kCauseD88Status, h.sectors[Index(2, 3)].cause);
    EXPECT_EQ(0xB0, h.sectors[Index(2, 3)].code);
    EXPECT_EQ(0xA0, h.sectors[Index(10, 16)].code);
    EXPECT_EQ(kSectorSound, h.sectors[Index(40, 1)].state) << "deleted data is no error";

    // The error survives a conversion: IMD as its error type, HFE as a bad data CRC.
    h = Read(Convert(d88, "disk.imd", mode), mode);
    EXPECT_EQ(2, h.bad);
    EXPECT_EQ(kCauseImdType, h.sectors[Index(2, 3)].cause);
    EXPECT_EQ(5, h.sectors[Index(2, 3)].code);
    h = Read(Convert(d88, "disk.hfe", mode), mode);
    EXPECT_EQ(2, h.bad);
    EXPECT_EQ(kCauseCrc, h.sectors[Index(10, 16)].cause);
    EXPECT_EQ(kSectorSound, h.sectors[Index(40, 1)].state);

    // A track without records, and a file cut inside a sector's data.
    testimg::ImageSpec shape;
    shape.absentTracks = {PhysicalTrack(5, mode)};
    const Bytes whole = D88(mode, {}, shape);
    shape.d88CutBytes = testimg::D88DataOffset(whole, PhysicalTrack(83, mode), 9) + 100;
    h = Read(Put(D88(mode, {}, shape), "cut.d88"), mode);
    EXPECT_EQ(0, h.bad);
    int missing = 0;
    for (int index = 0; index < kTrackCount * kSectorsPerTrack; index++) {
      const int t = index / kSectorsPerTrack;
      const long at = testimg::D88DataOffset(whole, PhysicalTrack(t, mode), index % 16 + 1);
      const bool there = t != 5 && at >= 0 && at + 256 <= shape.d88CutBytes;
      EXPECT_EQ(there ? kSectorSound : kSectorMissing, h.sectors[index].state) << index;
      missing += !there;
    }
    EXPECT_EQ(missing, h.missing);
    EXPECT_EQ(kSectorMissing, h.sectors[Index(83, 9)].state);
    EXPECT_EQ(kSectorSound, h.sectors[Index(83, 8)].state);
  }
}

TEST_F(SectorHealthTest, AFlatFileCutShortMissesWhatItDoesNotHoldWhole) {
  for (int mode : {kModeMz, kModePc}) {
    testimg::ImageSpec shape;
    shape.machineMode = mode;
    shape.flatBytes = Index(60, 1) * 256L + 255;  // the last byte of sector 60/1 is cut off
    const VolumeHealth h =
        Read(Put(testimg::BuildImage(testimg::VolumeBuilder(), shape), "cut.2d"), mode);
    EXPECT_EQ(0, h.bad);
    // Under MZ the sides are swapped: what is cut off is the physical order's tail.
    int expected = 0;
    for (int index = 0; index < kTrackCount * kSectorsPerTrack; index++) {
      const int t = index / kSectorsPerTrack;
      const long at = (PhysicalTrack(t, mode) * kSectorsPerTrack + index % kSectorsPerTrack) * 256L;
      const bool whole = at + 256 <= shape.flatBytes;
      EXPECT_EQ(whole ? kSectorSound : kSectorMissing, h.sectors[index].state) << index;
      expected += !whole;
    }
    EXPECT_EQ(expected, h.missing);
  }
}

}  // namespace
