// Flux dumps (SCP): volumes written as flux by the test writer decode to the same sectors under
// the faults of real drives; a sector lost in one revolution is recovered from another, one lost
// in all of them (or read differently by two) is bad and kept as a recorded error; malformed
// files are refused; a change is refused and leaves the file as it was.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "image/container.h"
#include "image/container_scp.h"
#include "image/image_source.h"
#include "image/journal.h"
#include "image/scp_decode.h"
#include "image/sector_health.h"
#include "image/sector_transfer.h"
#include "support/flux_writer.h"
#include "support/image_builder.h"
#include "support/test_support.h"
#include "texts/texts.h"
#include "transfer/convert_image.h"
#include "transfer/new_image.h"
#include "view/flux_report.h"

namespace {

using Bytes = std::vector<uint8_t>;
using fluxw::FluxOptions;
using testsupport::BytesEqual;

testimg::VolumeBuilder Volume() {
  testimg::VolumeBuilder v;
  v.SetDate(0x24, 0x05, 0x01).SetDiskName("FLUX");
  for (int i = 0; i < 4; i++) {
    testimg::FileSpec f;
    f.name = "FILE" + std::to_string(i);
    f.data = testsupport::Pattern(700 + 900 * i, i);
    EXPECT_GE(v.AddFile(f), 0);
  }
  return v;
}

class ScpTest : public ::testing::Test {
 protected:
  // The model of the volume as a D88 image under `mode` holds it.
  DiskModel* Model(const testimg::VolumeBuilder& v, int mode) {
    testimg::ImageSpec shape;
    shape.d88 = true;
    shape.machineMode = mode;
    const std::string path = temp.Path("model.d88");
    testimg::WriteFile(path, testimg::BuildImage(v, shape));
    auto* model = new DiskModel;
    models.emplace_back(model);
    fluxw::LoadModel(path, mode, model);
    return model;
  }
  std::string Put(const Bytes& bytes, const std::string& name = "disk.scp") {
    const std::string path = temp.Path(name);
    testimg::WriteFile(path, bytes);
    return path;
  }
  ImageTarget Target(const std::string& path, int mode) {
    ImageTarget target;
    EXPECT_EQ(0, ImageTargetFor(&target, path.c_str(), &kScpContainer, mode));
    target.change = testsupport::SpareChange();
    return target;
  }
  Bytes VolumeOf(const std::string& path, int mode) {
    ImageTarget target = Target(path, mode);
    Bytes bytes(testimg::kVolumeSectors * 256);
    EXPECT_EQ(kImageOk, ReadSectors(&target, bytes.data(), 0, 1, static_cast<int>(bytes.size())));
    return bytes;
  }
  int ReadTrack(const std::string& path, int p, ModelTrack* track) {
    ImageTarget target = Target(path, kModePc);
    return ImageReadTrack(&target, p, track);
  }
  testsupport::TempDir temp;
  std::vector<std::unique_ptr<DiskModel>> models;
};

// Every track decodes to the sectors written, with their IDs, marks and bytes, whatever the
// drive did to the flux.
TEST_F(ScpTest, EveryVolumeDecodesToTheSectorsWritten) {
  struct Row {
    const char* name;
    FluxOptions options;
  };
  std::vector<Row> rows(7);
  rows[0].name = "clean";
  rows[1].name = "jitter 6 %";
  rows[1].options.jitter = 0.06;
  rows[2].name = "slow drive, drift";
  rows[2].options.speed = 0.97;
  rows[2].options.drift = 0.04;
  rows[3].name = "fast drive, drift down";
  rows[3].options.speed = 1.03;
  rows[3].options.drift = -0.04;
  rows[4].name = "360 rpm, one revolution";
  rows[4].options.rpm = 360;
  rows[4].options.revolutions = 1;
  rows[5].name = "96 tpi drive";
  rows[5].options.doubleStep = true;
  rows[5].options.flags = 0x03;
  rows[6].name = "50 ns ticks, five revolutions, jitter";
  rows[6].options.resolution = 1;
  rows[6].options.revolutions = 5;
  rows[6].options.jitter = 0.05;
  // Past the first row, the tracks of the files and a few far ones keep the decodes few.
  const std::vector<int> some = {0, 1, 2, 3, 4, 5, 40, 41, 82, 83};
  for (size_t r = 1; r < rows.size(); r++) rows[r].options.only = some;
  const testimg::VolumeBuilder v = Volume();
  for (int mode : {kModeMz, kModePc}) {
    const DiskModel* model = Model(v, mode);
    for (const Row& row : rows) {
      SCOPED_TRACE(std::string(row.name) + (mode == kModeMz ? " MZ" : " PC"));
      const std::string path = Put(fluxw::WriteScp(*model, row.options));
      static ModelTrack track;
      for (int p = 0; p < kTrackCount; p++) {
        const bool recorded = row.options.only.empty() ||
                              std::find(row.options.only.begin(), row.options.only.end(), p) !=
                                  row.options.only.end();
        if (!recorded) continue;
        ASSERT_EQ(kTrackRead, ReadTrack(path, p, &track)) << p;
        const ModelTrack& want = model->tracks[p];
        ASSERT_EQ(want.count, track.count) << p;
        for (int i = 0; i < want.count; i++) {
          const ModelSector& a = want.sectors[i];
          const ModelSector& b = track.sectors[i];
          ASSERT_EQ(0, std::memcmp(&a, &b, 5)) << p << "/" << i;  // ID and marks
          ASSERT_EQ(0, std::memcmp(a.data, b.data, 256)) << p << "/" << i;
        }
      }
      // The volume as the files' reads see it: whole, or its first six tracks.
      const size_t reach = row.options.only.empty() ? v.bytes.size() : 6 * 16 * 256;
      const Bytes volume = VolumeOf(path, mode);
      EXPECT_TRUE(BytesEqual(Bytes(v.bytes.begin(), v.bytes.begin() + static_cast<long>(reach)),
                             Bytes(volume.begin(), volume.begin() + static_cast<long>(reach))));
    }
  }
}

// A sector whose data is lost in one revolution comes from the other and is reported recovered;
// one lost in every revolution is bad, kept as a recorded error, and so converted to D88.
TEST_F(ScpTest, ADamagedSectorIsRecoveredOrReportedBad) {
  const testimg::VolumeBuilder v = Volume();
  const DiskModel* model = Model(v, kModePc);
  FluxOptions options;
  options.jitter = 0.04;
  options.damages = {{5, 3, 0}, {6, 9, 1}, {7, 2, -1}};
  const std::string path = Put(fluxw::WriteScp(*model, options));
  static ModelTrack track;
  ASSERT_EQ(kTrackRead, ReadTrack(path, 7, &track));
  const ModelSector* lost = ModelFindSector(&track, 2);
  ASSERT_NE(nullptr, lost);
  EXPECT_EQ(kSectorError, lost->marks & (kSectorError | kSectorCrcBad));
  static FluxReport report;
  ASSERT_EQ(0, ReadFluxReport(path.c_str(), &report));
  EXPECT_TRUE(report.checksumGood);
  EXPECT_EQ(2, report.revolutions);
  const ScpTrackReport& five = report.tracks[5];
  EXPECT_EQ(16, five.found);
  EXPECT_EQ(15, five.goodFirst);
  EXPECT_EQ(1, five.recovered);
  EXPECT_EQ(0, five.bad);
  EXPECT_EQ(16, report.tracks[6].goodFirst);  // the second revolution's loss changes nothing
  EXPECT_EQ(1, report.tracks[7].bad);
  EXPECT_EQ(15, report.tracks[7].goodFirst);
  EXPECT_EQ(kTrackCount * 16, report.total.found);
  EXPECT_EQ(1, report.total.recovered);
  EXPECT_EQ(1, report.total.bad);
  EXPECT_EQ(0, report.total.outside);
  EXPECT_FALSE(report.tracks[kTrackCount].recorded);
  // The volume reads whole but for the bad sector's damaged bytes; its health says bad.
  Bytes want = v.bytes;
  Bytes got = VolumeOf(path, kModePc);
  const size_t bad = static_cast<size_t>(7 * 16 + 1) * 256;
  EXPECT_TRUE(
      BytesEqual(Bytes(want.begin(), want.begin() + bad), Bytes(got.begin(), got.begin() + bad)));
  EXPECT_NE(0, std::memcmp(want.data() + bad, got.data() + bad, 256));
  ImageTarget target = Target(path, kModePc);
  static VolumeHealth health;
  ASSERT_EQ(0, ReadVolumeHealth(&target, &health));
  EXPECT_EQ(1, health.bad);
  EXPECT_EQ(kSectorBad, health.sectors[7 * 16 + 1].state);
  // Converted, the D88 keeps it as a recorded error.
  ConvertRequest request{};
  const std::string d88 = temp.Path("out.d88");
  request.sourcePath = path.c_str();
  request.targetPath = d88.c_str();
  request.machineMode = request.toMode = kModePc;
  request.disk = -1;
  ASSERT_EQ(0, ConvertImage(nullptr, request, nullptr));
  ImageTarget converted;
  ASSERT_EQ(0, ImageTargetFor(&converted, d88.c_str(), ContainerForFormat(kFormatD88), kModePc));
  converted.change = testsupport::SpareChange();
  ASSERT_EQ(0, ReadVolumeHealth(&converted, &health));
  EXPECT_EQ(1, health.bad);
  EXPECT_EQ(kSectorBad, health.sectors[7 * 16 + 1].state);
  // The report's text names the tracks.
  static char text[32768];
  ASSERT_GT(FluxReportText(path.c_str(), text, sizeof text), 0);
  EXPECT_NE(nullptr, std::strstr(text,
                                 "physical track 05 (cylinder 2 side 1): 16 found, 15 good "
                                 "on the first revolution, 1 recovered from another, 0 bad"));
  EXPECT_NE(nullptr, std::strstr(text, "1 recovered from another, 1 bad"));
}

// Revolutions whose sound copies differ make the sector bad; the first revolution's copy is kept
// on a tie, the copy most revolutions agree on otherwise.
TEST_F(ScpTest, RevolutionsThatDisagreeMakeTheSectorBad) {
  const testimg::VolumeBuilder v = Volume();
  const DiskModel* model = Model(v, kModePc);
  DiskModel* other = Model(v, kModePc);
  ModelSector* changed = &other->tracks[4].sectors[3];
  changed->data[10] ^= 0xFF;
  for (int revolutions : {2, 3}) {
    SCOPED_TRACE(revolutions);
    FluxOptions options;
    options.revolutions = revolutions;
    options.later = other;
    const std::string path = Put(fluxw::WriteScp(*model, options));
    static ModelTrack track;
    ASSERT_EQ(kTrackRead, ReadTrack(path, 4, &track));
    const ModelSector& s = track.sectors[3];
    EXPECT_TRUE(s.marks & kSectorError);
    const ModelSector& kept = revolutions == 2 ? model->tracks[4].sectors[3] : *changed;
    EXPECT_EQ(0, std::memcmp(kept.data, s.data, 256));
    for (int i = 0; i < track.count; i++)
      if (i != 3) {
        EXPECT_FALSE(track.sectors[i].marks & kSectorError) << i;
      }
  }
}

// Sectors whose IDs lie outside the layout are counted as such, and kept with their IDs.
TEST_F(ScpTest, SectorsOutsideTheLayoutAreReported) {
  DiskModel* model = Model(Volume(), kModePc);
  model->tracks[9].sectors[0].c = 30;
  model->tracks[9].sectors[1].r = 0x41;
  const std::string path = Put(fluxw::WriteScp(*model, FluxOptions{}));
  static FluxReport report;
  ASSERT_EQ(0, ReadFluxReport(path.c_str(), &report));
  EXPECT_EQ(2, report.tracks[9].outside);
  EXPECT_EQ(2, report.total.outside);
  static ModelTrack track;
  ASSERT_EQ(kTrackRead, ReadTrack(path, 9, &track));
  EXPECT_EQ(30, track.sectors[0].c);
  EXPECT_EQ(0x41, track.sectors[1].r);
}

// Malformed files: each refused with the failure its track read gives, none crashing.
TEST_F(ScpTest, MalformedFilesAreRefused) {
  FluxOptions options;
  const Bytes good = fluxw::WriteScp(*Model(Volume(), kModePc), options);
  const uint32_t first = good[fluxw::kScpTableAt] | good[fluxw::kScpTableAt + 1] << 8 |
                         good[fluxw::kScpTableAt + 2] << 16;
  auto edited = [&](size_t at, std::vector<uint8_t> bytes) {
    Bytes b = good;
    std::copy(bytes.begin(), bytes.end(), b.begin() + static_cast<long>(at));
    return b;
  };
  struct Row {
    const char* name;
    Bytes bytes;
    int result;
  };
  const Row rows[] = {
      {"8-bit cells", edited(fluxw::kScpCellWidthAt, {8}), kTrackVersion},
      {"no revolutions", edited(fluxw::kScpRevolutionsAt, {0}), kTrackMalformed},
      {"track past the end", edited(fluxw::kScpTableAt, {0xF0, 0xFF, 0xFF, 0x7F}), kTrackMalformed},
      {"track in the table", edited(fluxw::kScpTableAt, {0x10, 0, 0, 0}), kTrackMalformed},
      {"no TRK", edited(first, {'X'}), kTrackMalformed},
      {"another track's number", edited(first + 3, {7}), kTrackMalformed},
      {"flux past the end", edited(first + 8, {0xFF, 0xFF, 0xFF, 0x00}), kTrackMalformed},
      {"data offset past the end", edited(first + 12, {0xFF, 0xFF, 0xFF, 0x7F}), kTrackMalformed},
      {"cut inside the table", Bytes(good.begin(), good.begin() + 300), kTrackMalformed},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const std::string path = Put(row.bytes, "bad.scp");
    static ModelTrack track;
    EXPECT_EQ(row.result, ReadTrack(path, 0, &track));
    EXPECT_EQ(0, track.count);
    ConvertRequest request{};
    const std::string d88 = temp.Path("bad.d88");
    request.sourcePath = path.c_str();
    request.targetPath = d88.c_str();
    request.disk = -1;
    Outcome out;
    OutcomeClear(&out);
    EXPECT_EQ(-1, ConvertImage(&out, request, nullptr));
    EXPECT_TRUE(
        OutcomeHas(&out, row.result == kTrackVersion ? kMsgConvertVersion : kMsgConvertMalformed));
    EXPECT_FALSE(testimg::FileExists(d88));
  }
  // A checksum that does not match is a note: the tracks read.
  const std::string path = Put(edited(fluxw::kScpChecksumAt, {0x12, 0x34}));
  static FluxReport report;
  ASSERT_EQ(0, ReadFluxReport(path.c_str(), &report));
  EXPECT_FALSE(report.checksumGood);
  EXPECT_EQ(kTrackCount * 16, report.total.goodFirst);
  static char text[32768];
  ASSERT_GT(FluxReportText(path.c_str(), text, sizeof text), 0);
  EXPECT_NE(nullptr, std::strstr(text, "checksum does not match"));
  EXPECT_EQ(1, ReadFluxReport(temp.Path("model.d88").c_str(), &report));
}

// A change is refused with the SCP text, and nothing is converted to or made as SCP: the files
// stay as they were.
TEST_F(ScpTest, ChangesAndConversionsToScpAreRefused) {
  const std::string path = Put(fluxw::WriteScp(*Model(Volume(), kModePc), FluxOptions{}));
  const Bytes before = testimg::ReadFile(path);
  ImageTarget target = Target(path, kModePc);
  Outcome out;
  OutcomeClear(&out);
  EXPECT_EQ(-1, BeginImageChange(&out, &target));
  EXPECT_TRUE(OutcomeHas(&out, kMsgScpReadOnly));
  EXPECT_STREQ("SCP images cannot be changed. Convert to D88 first.", kMsgScpReadOnlyEn);
  EXPECT_TRUE(BytesEqual(before, testimg::ReadFile(path)));
  EXPECT_FALSE(testimg::FileExists(path + "-journal"));
  ConvertRequest request{};
  const std::string to = temp.Path("copy.scp");
  const std::string from = temp.Path("model.d88");
  request.sourcePath = from.c_str();
  request.targetPath = to.c_str();
  request.disk = -1;
  OutcomeClear(&out);
  EXPECT_EQ(-1, ConvertImage(&out, request, nullptr));
  EXPECT_TRUE(OutcomeHas(&out, kMsgConvertNoContainer));
  EXPECT_FALSE(testimg::FileExists(to));
  NewImageRequest blank{};
  blank.path = to.c_str();
  blank.imageFormat = kFormatScp;
  OutcomeClear(&out);
  EXPECT_EQ(-1, MakeNewImage(&out, blank));
  EXPECT_TRUE(OutcomeHas(&out, kMsgScpReadOnly));
  EXPECT_FALSE(testimg::FileExists(to));
}

}  // namespace
