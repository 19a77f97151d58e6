// Changes written into HFE and IMD images in place: the same writes on the D88 of the same disk
// give the same volume; the reference MFM reader finds every cell of the HFE file outside the
// rewritten data fields as it was, and every IMD record of a sector not written stays as it was.
// A failed write leaves the file as it was.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "image/container.h"
#include "image/container_hfe.h"
#include "image/image_file.h"
#include "image/image_select.h"
#include "image/journal.h"
#include "image/sector_transfer.h"
#include "support/image_builder.h"
#include "support/mfm_reference.h"
#include "support/test_support.h"
#include "texts/texts.h"
#include "transfer/convert_image.h"

namespace {

using testimg::ImageSpec;
using testimg::VolumeBuilder;
using testsupport::BytesEqual;
using Bytes = std::vector<uint8_t>;

// A write of the change: a run of bytes from a logical sector, uniform or a pattern.
struct Write {
  int track, sector, bytes;
  int seed;
  bool uniform = false;
};
// Within a track, across sectors, across a track's end, one sector twice in one change, and a
// uniform sector (which an IMD file keeps compressed).
const Write kWrites[] = {
    {3, 5, 700, 1}, {10, 16, 300, 2}, {40, 1, 256, 3}, {3, 6, 100, 4}, {50, 2, 256, 0x5A, true}};
constexpr int kSectorsWritten = 3 + 2 + 1 + 0 + 1;

ImageTarget TargetOf(const std::string& path, int mode) {
  ImageTarget target;
  EXPECT_EQ(0, ImageTargetFor(&target, path.c_str(),
                              ContainerForFormat(FormatForPath(path.c_str())), mode));
  target.change = testsupport::SpareChange();
  return target;
}

// The cells of one side of a cylinder of an HFE file, as text.
std::string SideCells(const Bytes& hfe, int cylinder, int face) {
  const uint8_t* entry = hfe.data() + (hfe[kHfeListAt] | hfe[kHfeListAt + 1] << 8) * kHfeBlock;
  const size_t at =
      static_cast<size_t>(entry[4 * cylinder] | entry[4 * cylinder + 1] << 8) * kHfeBlock;
  const size_t length = entry[4 * cylinder + 2] | entry[4 * cylinder + 3] << 8;
  std::vector<uint8_t> side;
  for (size_t i = 0; i < length / 2; i++)
    side.push_back(hfe[at + (i / 256) * kHfeBlock + face * 256 + i % 256]);
  return mfmref::CellText(side.data(), static_cast<int>(side.size()));
}

// A pattern, with uniform sectors (which IMD compresses) where some of the writes go.
VolumeBuilder Pattern() {
  VolumeBuilder v;
  for (int t = 0; t < 84; t++)
    for (int s = 1; s <= 16; s++)
      for (int i = 0; i < 256; i++) v.Sector(t, s)[i] = static_cast<uint8_t>(t * 3 + s * 17 + i);
  for (int s = 5; s <= 16; s++) std::memset(v.Sector(3, s), 0xE5, 256);
  std::memset(v.Sector(11, 1), 0x00, 256);
  for (int s = 1; s <= 16; s++) std::memset(v.Sector(50, s), 0xE5, 256);
  return v;
}

class DecodedChange : public testsupport::AppTest {
 protected:
  std::string Convert(const std::string& from, const std::string& name, int mode) {
    const std::string to = temp.Path(name);
    ConvertRequest request{};
    request.sourcePath = from.c_str();
    request.targetPath = to.c_str();
    request.machineMode = mode;
    request.toMode = mode;
    request.disk = -1;
    request.replace = true;
    request.stamp = ContainerStamp{2024, 2, 1, 3, 4, 5};
    ConvertLosses losses;
    OutcomeClear(&out);
    EXPECT_EQ(0, ConvertImage(&out, request, &losses));
    return to;
  }
  // The pattern volume as a D88 image under `mode`.
  std::string PatternD88(int mode) {
    ImageSpec shape;
    shape.d88 = true;
    shape.machineMode = mode;
    const std::string d88 = temp.Path("disk.d88");
    testimg::WriteFile(d88, testimg::BuildImage(Pattern(), shape));
    return d88;
  }
  // The writes of kWrites as one change. 0, or -1 as the change answered.
  int Change(const std::string& path, int mode) {
    ImageTarget target = TargetOf(path, mode);
    OutcomeClear(&out);
    if (BeginImageChange(&out, &target) != 0) return -1;
    for (const Write& w : kWrites) {
      Bytes data(static_cast<size_t>((w.bytes + 255) / 256 * 256));
      for (size_t i = 0; i < data.size(); i++)
        data[i] = static_cast<uint8_t>(w.uniform ? w.seed : i * 13 + w.seed);
      if (WriteSectors(&target, data.data(), w.track, w.sector, w.bytes) != kImageOk) {
        ImageAbortChange(target.change);
        return -1;
      }
    }
    return CommitImageChange(&out, target.change);
  }
  Bytes Volume(const std::string& path, int mode) {
    ImageTarget target = TargetOf(path, mode);
    Bytes bytes(testimg::kVolumeSectors * 256);
    EXPECT_EQ(kImageOk, ReadSectors(&target, bytes.data(), 0, 1, static_cast<int>(bytes.size())));
    return bytes;
  }
  Outcome out;
};

// The records of an IMD file, read apart from the container under test: the header and comment,
// then for each track its head and maps, and each sector record (type and data) by its number.
struct ImdTrack {
  Bytes head;
  std::map<int, Bytes> records;
};
struct ImdFile {
  Bytes header;
  std::map<int, ImdTrack> tracks;  // by physical track
};
ImdFile ParseImd(const Bytes& file) {
  ImdFile imd;
  size_t at = std::find(file.begin(), file.end(), 0x1A) - file.begin() + 1;
  imd.header.assign(file.begin(), file.begin() + static_cast<long>(at));
  while (at + 5 <= file.size()) {
    const int n = file[at + 3];
    const int maps = 1 + !!(file[at + 2] & 0x80) + !!(file[at + 2] & 0x40);
    ImdTrack& track = imd.tracks[file[at + 1] * 2 + (file[at + 2] & 1)];
    track.head.assign(file.begin() + static_cast<long>(at),
                      file.begin() + static_cast<long>(at + 5 + n * maps));
    const size_t numbers = at + 5;
    at += 5 + static_cast<size_t>(n * maps);
    for (int i = 0; i < n; i++) {
      const int type = file[at];
      const size_t length = 1 + (type == 0 ? 0 : type % 2 == 0 ? 1 : 256);
      track.records[file[numbers + i]].assign(file.begin() + static_cast<long>(at),
                                              file.begin() + static_cast<long>(at + length));
      at += length;
    }
  }
  return imd;
}

TEST_F(DecodedChange, HfeTakesTheSameWritesAsD88InItsOwnCells) {
  for (int mode : {kModeMz, kModePc}) {
    SCOPED_TRACE(mode);
    const std::string d88 = PatternD88(mode);
    const std::string hfe = Convert(d88, "disk.hfe", mode);
    const Bytes before = testimg::ReadFile(hfe);

    ASSERT_EQ(0, Change(d88, mode));
    ASSERT_EQ(0, Change(hfe, mode)) << (out.count ? OutcomeTextEn(&out, 0) : "");
    EXPECT_FALSE(testimg::FileExists(hfe + "-journal"));
    EXPECT_TRUE(BytesEqual(Volume(d88, mode), Volume(hfe, mode)));

    // Header and track list as they were, the file as long; every cell outside the data fields
    // rewritten as it was, and every field read by the reference reader sound.
    const Bytes after = testimg::ReadFile(hfe);
    ASSERT_EQ(before.size(), after.size());
    EXPECT_TRUE(BytesEqual(Bytes(before.begin(), before.begin() + 2 * kHfeBlock),
                           Bytes(after.begin(), after.begin() + 2 * kHfeBlock)));
    int rewritten = 0;
    for (int cylinder = 0; cylinder < before[kHfeTracksAt]; cylinder++)
      for (int face = 0; face < 2; face++) {
        const std::string was = SideCells(before, cylinder, face);
        std::string now = SideCells(after, cylinder, face);
        const std::vector<mfmref::Field> fields = mfmref::Fields(now);
        ASSERT_EQ(32u, fields.size());
        for (const mfmref::Field& field : fields) {
          EXPECT_TRUE(mfmref::FieldCrcGood(field));
          const size_t span = 258 * 16 + 1;
          if (field.mark != 0xFE && now.compare(field.at, span, was, field.at, span) != 0) {
            now.replace(field.at, span, was, field.at, span);
            rewritten++;
          }
        }
        EXPECT_EQ(was, now) << "cylinder " << cylinder << " side " << face;
      }
    EXPECT_EQ(kSectorsWritten, rewritten);
  }
}

// An IMD file takes the same writes: the header, the comment, every track's head and maps and
// every record of a sector not written stay as they were; a written normal record keeps its type,
// a compressed one becomes normal (the file grows) unless the new data is uniform.
TEST_F(DecodedChange, ImdTakesTheSameWritesAsD88InItsRecords) {
  for (int mode : {kModeMz, kModePc}) {
    SCOPED_TRACE(mode);
    const std::string d88 = PatternD88(mode);
    const std::string imd = Convert(d88, "disk.imd", mode);
    const ImdFile before = ParseImd(testimg::ReadFile(imd));

    ASSERT_EQ(0, Change(d88, mode));
    ASSERT_EQ(0, Change(imd, mode)) << (out.count ? OutcomeTextEn(&out, 0) : "");
    EXPECT_FALSE(testimg::FileExists(imd + "-journal"));
    EXPECT_TRUE(BytesEqual(Volume(d88, mode), Volume(imd, mode)));

    const ImdFile after = ParseImd(testimg::ReadFile(imd));
    EXPECT_EQ(before.header, after.header);
    ASSERT_EQ(before.tracks.size(), after.tracks.size());
    int rewritten = 0, grown = 0;
    for (const auto& [physical, was] : before.tracks) {
      const ImdTrack& now = after.tracks.at(physical);
      EXPECT_EQ(was.head, now.head);
      for (const auto& [number, record] : was.records) {
        const Bytes& written = now.records.at(number);
        if (record == written) continue;
        rewritten++;
        const bool compressed = record[0] % 2 == 0;
        const bool uniform = written.size() == 2;
        EXPECT_EQ(compressed && !uniform ? record[0] - 1 : record[0], written[0]);
        grown += compressed && !uniform;
      }
    }
    EXPECT_EQ(kSectorsWritten, rewritten);
    EXPECT_EQ(3 + 1, grown);  // track 3 sectors 5-7 and track 11 sector 1
  }
}

// A write that fails at any point of the commit leaves the file byte for byte as it was and no
// journal (an IMD file that grows is cut back to its length); so does a disk marked
// write-protected.
TEST_F(DecodedChange, FailuresAndRefusalsLeaveTheFileAsItWas) {
  const std::string d88 = PatternD88(kModeMz);
  for (const char* name : {"disk.hfe", "disk.imd"}) {
    SCOPED_TRACE(name);
    const std::string image = Convert(d88, name, kModeMz);
    const Bytes before = testimg::ReadFile(image);
    // The writes of the whole change counted once; then a failure at the first, second, middle,
    // last but one and last of them (a grown IMD file is rewritten in some thousand writes).
    ImageWriteFaults = ImageWriteFault{};
    ASSERT_EQ(0, Change(image, kModeMz));
    const int writes = ImageWriteFaults.writesDone;
    ASSERT_GT(writes, 3);
    for (int failAt : {1, 2, writes / 2, writes - 1, writes}) {
      SCOPED_TRACE(failAt);
      testimg::WriteFile(image, before);
      ImageWriteFaults = ImageWriteFault{failAt, 0};
      EXPECT_EQ(-1, Change(image, kModeMz));
      ImageWriteFaults = ImageWriteFault{};
      EXPECT_TRUE(BytesEqual(before, testimg::ReadFile(image)));
      EXPECT_FALSE(testimg::FileExists(image + "-journal"));
    }
  }

  const std::string hfe = temp.Path("disk.hfe");
  Bytes locked = testimg::ReadFile(hfe);
  locked[kHfeWriteAllowedAt] = 0x00;
  testimg::WriteFile(hfe, locked);
  EXPECT_EQ(-1, Change(hfe, kModeMz));
  EXPECT_TRUE(OutcomeHas(&out, kMsgWriteProtected));
  EXPECT_TRUE(BytesEqual(locked, testimg::ReadFile(hfe)));
}

}  // namespace
