// The container sweep: every kind of kContainerKinds, under every format its extensions stand for
// and both conventions, through the same cases: sector transfers through an explicit target and
// through the wrappers of the window, a blank image, write protection, files cut short or full of
// noise, and identify's layout. A new kind adds its row to kRows.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "flows/app_image.h"
#include "flows/new_image.h"
#include "flows/volume_load.h"
#include "image/container.h"
#include "image/container_d88.h"
#include "image/container_flat.h"
#include "image/container_hfe.h"
#include "image/container_imd.h"
#include "image/container_scp.h"
#include "image/image_file.h"
#include "image/image_lock.h"
#include "image/journal.h"
#include "image/sector_transfer.h"
#include "support/flux_writer.h"
#include "support/image_builder.h"
#include "support/test_support.h"
#include "texts/texts.h"
#include "transfer/convert_image.h"
#include "volume/identify.h"
#include "volume/layout.h"
#include "volume/volume_check.h"

namespace {

using testimg::FileSpec;
using testimg::ImageSpec;
using testimg::VolumeBuilder;
using testsupport::BytesEqual;
using Bytes = std::vector<uint8_t>;

// What the sweep knows of a kind: how the test image builder makes its images, how many disks
// such an image lists, how its files are marked write-protected (null: they cannot be), and the
// header line a new image of the volume dated 24/12/31 starts with where the builder's differs.
struct Row {
  const ContainerKind* kind;
  Bytes (*build)(const VolumeBuilder& volume, ImageSpec shape);
  int disksOfOne;
  void (*protect)(Bytes* image);
  const char* newHeader = nullptr;
};

Bytes BuildFlat(const VolumeBuilder& volume, ImageSpec shape) {
  shape.d88 = false;
  return testimg::BuildImage(volume, shape);
}
Bytes BuildD88(const VolumeBuilder& volume, ImageSpec shape) {
  shape.d88 = true;
  return testimg::BuildImage(volume, shape);
}
void ProtectD88(Bytes* image) { (*image)[0x1A] = 0x10; }
// IMD and HFE images: the builder's D88 image converted (sectors, IDs and marks as they are).
Bytes Reencode(const VolumeBuilder& volume, ImageSpec shape, const char* extension) {
  shape.d88 = true;
  testsupport::TempDir dir;
  const std::string from = dir.Path("from.d88");
  const std::string to = dir.Path(std::string("to") + extension);
  testimg::WriteFile(from, testimg::BuildImage(volume, shape));
  ConvertRequest request{};
  request.sourcePath = from.c_str();
  request.targetPath = to.c_str();
  request.disk = -1;
  EXPECT_EQ(0, ConvertImage(nullptr, request, nullptr));
  return testimg::ReadFile(to);
}
Bytes BuildImd(const VolumeBuilder& volume, ImageSpec shape) {
  return Reencode(volume, shape, ".imd");
}
Bytes BuildHfe(const VolumeBuilder& volume, ImageSpec shape) {
  return Reencode(volume, shape, ".hfe");
}
void ProtectHfe(Bytes* image) { (*image)[kHfeWriteAllowedAt] = 0x00; }
// SCP images: the builder's D88 image laid out as flux, one revolution of light jitter (the vote
// of several revolutions is scp_container_test's).
Bytes BuildScp(const VolumeBuilder& volume, ImageSpec shape) {
  shape.d88 = true;
  testsupport::TempDir dir;
  const std::string from = dir.Path("from.d88");
  testimg::WriteFile(from, testimg::BuildImage(volume, shape));
  auto model = std::make_unique<DiskModel>();
  fluxw::LoadModel(from, shape.machineMode, model.get());
  fluxw::FluxOptions options;
  options.jitter = 0.03;
  options.revolutions = 1;
  return fluxw::WriteScp(*model, options);
}

const Row kRows[] = {
    {&kFlatContainer, BuildFlat, 0, nullptr},
    {&kD88Container, BuildD88, 1, ProtectD88},
    {&kImdContainer, BuildImd, 0, nullptr, "IMD 1.18: 31/12/2024 00:00:00\r\nzelvo new\x1A"},
    {&kHfeContainer, BuildHfe, 0, ProtectHfe},
    {&kScpContainer, BuildScp, 0, nullptr},
};

TEST(ContainerSweep, EveryKindHasARow) {
  for (int k = 0; k < kContainerKindCount; k++) {
    bool found = false;
    for (const Row& row : kRows) found = found || row.kind == kContainerKinds[k];
    EXPECT_TRUE(found) << kContainerKinds[k]->name;
  }
}

struct Case {
  const Row* row;
  int format;
  const char* extension;  // the first of the kind's extensions for the format
  int mode;
  std::string name;
};
void PrintTo(const Case& c, std::ostream* out) { *out << c.name; }

std::vector<Case> Cases() {
  std::vector<Case> cases;
  for (const Row& row : kRows)
    for (int e = 0; e < row.kind->extensionCount; e++) {
      const ContainerExtension& ext = row.kind->extensions[e];
      bool seen = false;
      for (int f = 0; f < e; f++) seen = seen || row.kind->extensions[f].format == ext.format;
      if (seen) continue;
      for (int mode : {kModeMz, kModePc})
        cases.push_back({&row, ext.format, ext.extension, mode,
                         std::string(ext.formatName) + (mode == kModeMz ? "Mz" : "Pc")});
    }
  return cases;
}

// A volume whose every sector is filled with a pattern naming its track and sector.
VolumeBuilder PatternVolume() {
  VolumeBuilder v;
  for (int t = 0; t < 84; t++)
    for (int s = 1; s <= 16; s++)
      for (int i = 0; i < 256; i++) v.Sector(t, s)[i] = static_cast<uint8_t>(t * 3 + s * 7 + i);
  return v;
}

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

class ContainerSweep : public testsupport::AppTest, public ::testing::WithParamInterface<Case> {
 protected:
  const Row& row() const { return *GetParam().row; }
  int mode() const { return GetParam().mode; }
  Bytes Build(const VolumeBuilder& v, ImageSpec shape = {}) const {
    shape.machineMode = mode();
    return row().build(v, shape);
  }
  std::string Name(const std::string& base) const { return base + GetParam().extension; }
  // Makes the image of `v` the current image of App.
  std::string MakeImage(const VolumeBuilder& v, ImageSpec shape = {}) {
    App.MachineMode = mode();
    return UseImage(Build(v, shape), Name("disk"), GetParam().format);
  }
  // A target for the file at `path`, made without App.
  ImageTarget Target(const std::string& path) const {
    ImageTarget target;
    EXPECT_EQ(0, ImageTargetFor(&target, path.c_str(), row().kind, mode()));
    target.change = testsupport::SpareChange();
    return target;
  }
  std::string Write(const Bytes& bytes, const std::string& base) {
    const std::string path = temp.Path(Name(base));
    testimg::WriteFile(path, bytes);
    return path;
  }
  uint8_t Stored(uint8_t b) const { return mode() == kModeMz ? static_cast<uint8_t>(~b) : b; }
  // A kind that cannot write a sector is only read: its cases of writing, of new and blank
  // images and of files cut short are those of the conversion tests.
  bool ReadOnly() const { return !row().kind->queueSector && row().kind->decoded; }
};
#define SKIP_IF_READ_ONLY() \
  if (ReadOnly()) GTEST_SKIP() << "read only: see convert_test"
// Reads of a kind whose sectors lie at no fixed place decode whole tracks: their reads, files cut
// short and noise are the conversion tests' cases.
#define SKIP_IF_DECODED() \
  if (row().kind->decoded) GTEST_SKIP() << "decoded tracks: see convert_test"

// --- Sector transfers through the window's wrappers (App's image) ---

TEST_P(ContainerSweep, ReadsRunAcrossTrackBoundaryInVolumeTerms) {
  VolumeBuilder v = PatternVolume();
  MakeImage(v);
  uint8_t buffer[512];
  ASSERT_EQ(0, ZLV_ReadZelvoFile(scripted::kMainWindow, buffer, 5, 16, 512));
  EXPECT_EQ(0, std::memcmp(buffer, v.Sector(5, 16), 256));
  EXPECT_EQ(0, std::memcmp(buffer + 256, v.Sector(6, 1), 256));
  EXPECT_TRUE(scripted::Boxes().empty());
}

TEST_P(ContainerSweep, PartialReadConvertsOnlyRequestedBytes) {
  VolumeBuilder v = PatternVolume();
  MakeImage(v);
  uint8_t buffer[256];
  ASSERT_EQ(0, ZLV_ReadZelvoFile(scripted::kMainWindow, buffer, 3, 4, 100));
  EXPECT_EQ(0, std::memcmp(buffer, v.Sector(3, 4), 100));
  for (int i = 100; i < 256; i++)
    ASSERT_EQ(Stored(v.Sector(3, 4)[i]), buffer[i]) << "byte " << i << " keeps its stored form";
}

TEST_P(ContainerSweep, WriteThenReadRoundTripsAndFillsTailWithFF) {
  SKIP_IF_READ_ONLY();
  VolumeBuilder v = PatternVolume();
  const std::string path = MakeImage(v);
  uint8_t data[512];
  for (int i = 0; i < 512; i++) data[i] = static_cast<uint8_t>(i * 5);
  uint8_t buffer[512];
  std::memcpy(buffer, data, sizeof data);
  ASSERT_EQ(0, ZLV_WriteZelvoFile(scripted::kMainWindow, buffer, 7, 16, 300));
  // The caller's buffer holds what went to the image.
  for (int i = 300; i < 512; i++) ASSERT_EQ(0xFF, buffer[i]);
  if (mode() == kModeMz) {
    EXPECT_EQ(static_cast<uint8_t>(~data[0]), buffer[0]);
  }
  // What the image now holds, in volume terms.
  VolumeBuilder expected = v;
  std::memcpy(expected.Sector(7, 16), data, 256);
  std::memcpy(expected.Sector(8, 1), data + 256, 44);
  std::memset(expected.Sector(8, 1) + 44, mode() == kModeMz ? 0x00 : 0xFF, 212);
  EXPECT_TRUE(BytesEqual(Build(expected), testimg::ReadFile(path)));
}

TEST_P(ContainerSweep, OutOfBoundsAddressesFailBeforeAnyFileAccess) {
  App.MachineMode = mode();
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

TEST_P(ContainerSweep, MissingImageFailsAndIsNeverCreated) {
  SKIP_IF_READ_ONLY();
  App.MachineMode = mode();
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

// Another program's writer holds the image past the wait: the read and the write show their
// messages, each followed by the busy line.
TEST_P(ContainerSweep, ImageHeldByAnotherOpenIsBusyBothWays) {
  SKIP_IF_READ_ONLY();
  VolumeBuilder v = PatternVolume();
  const std::string path = MakeImage(v);
  const auto before = testimg::ReadFile(path);
  ImageFile holder;
  ASSERT_EQ(0, ImageFileOpenUpdate(path.c_str(), &holder));
  ImageWaitMs = 0;
  uint8_t buffer[256] = {};
  EXPECT_EQ(-1, ZLV_ReadZelvoFile(scripted::kMainWindow, buffer, 2, 1, 256));
  EXPECT_EQ(-1, ZLV_WriteZelvoFile(scripted::kMainWindow, buffer, 2, 1, 256));
  ImageWaitMs = kImageWaitDefaultMs;
  ImageFileClose(&holder);
  ASSERT_EQ(2u, scripted::Boxes().size());
  EXPECT_EQ(kMsgReadBusy, scripted::Boxes()[0].text);
  EXPECT_EQ(kMsgWriteOpenBusy, scripted::Boxes()[1].text);
  EXPECT_TRUE(BytesEqual(before, testimg::ReadFile(path)));
}

TEST_P(ContainerSweep, ZeroByteCountTransfersNothing) {
  SKIP_IF_READ_ONLY();
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
TEST_P(ContainerSweep, InjectedWriteFailureReportsAndPutsEarlierSectorsBack) {
  SKIP_IF_READ_ONLY();
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
TEST_P(ContainerSweep, InjectedReadFailureKeepsTheFailingChunkAsItWas) {
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
  for (int i = 0; i < 256; i++) ASSERT_EQ(Stored(v.Sector(7, 16)[i]), buffer[i]) << i;
  for (int i = 256; i < 512; i++) ASSERT_EQ(0x42, buffer[i]) << i;
}

// --- The explicit target: App is neither read nor changed ---

TEST_P(ContainerSweep, TheTargetRoundTripsWithoutApp) {
  SKIP_IF_READ_ONLY();
  VolumeBuilder v = PatternVolume();
  const std::string path = Write(Build(v), "target");
  ImageTarget target = Target(path);
  uint8_t buffer[1024];
  ASSERT_EQ(kImageOk, ReadSectors(&target, buffer, 9, 15, 1024));
  EXPECT_EQ(0, std::memcmp(buffer, v.Sector(9, 15), 1024));
  // Writing needs the change in progress; outside one nothing reaches the image.
  const Bytes before = testimg::ReadFile(path);
  std::memset(buffer, 0xA5, sizeof buffer);
  EXPECT_EQ(kImageWriteFailed, WriteSectors(&target, buffer, 9, 15, 1024));
  EXPECT_TRUE(BytesEqual(before, testimg::ReadFile(path)));
  uint8_t data[1024];
  std::memset(data, 0xA5, sizeof data);
  std::memcpy(buffer, data, sizeof data);
  ASSERT_EQ(0, ImageBeginChange(scripted::kMainWindow, &target));
  ASSERT_EQ(kImageOk, WriteSectors(&target, buffer, 9, 15, 1000));
  ASSERT_EQ(0, ImageCommitChange(scripted::kMainWindow, target.change));
  VolumeBuilder expected = v;
  std::memcpy(expected.Sector(9, 15), data, 1000);
  std::memset(expected.Sector(9, 15) + 1000, mode() == kModeMz ? 0x00 : 0xFF, 24);
  if (row().kind->decoded) {  // a rewritten record keeps its form: the volume reads as expected
    Bytes volume(expected.bytes.size());
    ASSERT_EQ(kImageOk, ReadSectors(&target, volume.data(), 0, 1, static_cast<int>(volume.size())));
    EXPECT_TRUE(BytesEqual(expected.bytes, volume));
  } else {
    EXPECT_TRUE(BytesEqual(Build(expected), testimg::ReadFile(path)));
  }
  EXPECT_EQ(kImageOk, ReadSectors(&target, buffer, 9, 15, 1024));
  EXPECT_EQ(0, std::memcmp(buffer, expected.Sector(9, 15), 1024));
  EXPECT_EQ(kImageBadAddress, ReadSectors(&target, buffer, 84, 1, 256));
  EXPECT_EQ('\0', App.ImagePath[0]);
  EXPECT_TRUE(scripted::Boxes().empty());
}

// A load holds the image open once and reads the header and each track it needs whole: a handful
// of reads however many sectors the volume's structures take; a kind that records errors then
// reads each track's records once more, for what it says of each sector.
TEST_P(ContainerSweep, ALoadReadsTheImageInAFewReads) {
  SKIP_IF_DECODED();
  VolumeBuilder v = PatternVolume();
  v.SetExdir(40, 1);
  MakeImage(v);
  ImageReadFaults = {0, 0, 0};
  LoadVolume(scripted::kMainWindow);
  EXPECT_EQ(1, App.VolumeLoaded);
  // A header, the two directory tracks, the EXDIR's; then the header and each track.
  const bool verdicts = row().kind->keeps & kKeepsErrors;
  EXPECT_LE(ImageReadFaults.readsDone, 4 + (verdicts ? 1 + kTrackCount : 0));
  EXPECT_EQ(0, std::memcmp(App.DirectoryBuffer, v.Sector(1, 1), 2048));
  EXPECT_EQ(0, std::memcmp(App.DirectoryBuffer + 2048, v.Sector(40, 1), 2048));
}

// A session keeps a few stretches of the file: however the reads jump about (more tracks than it
// keeps, back and forth), every sector reads as it is, and an identification through the session
// finds what one that opens the image itself finds.
TEST_P(ContainerSweep, ASessionReadsAsTheCallsWithoutOneDo) {
  VolumeBuilder v = VolumeWithFiles(true);
  for (int t = 50; t < 84; t++)  // beyond the files and the extended directory
    for (int s = 1; s <= 16; s++) std::memset(v.Sector(t, s), t * 16 + s, 256);
  const std::string path = Write(Build(v), "session");
  ImageTarget target = Target(path);
  static Identification own, shared;
  ASSERT_EQ(0, IdentifyImage(&target, GetParam().format, &own));
  static ImageSession session;
  ASSERT_EQ(0, ImageSessionOpen(&session, path.c_str()));
  ImageTarget held = target;
  held.session = &session;
  for (int pass = 0; pass < 2; pass++)
    for (int k = 0; k < kTrackCount * kSectorsPerTrack; k++) {
      // The first pass in order, the second striding across the tracks.
      const int index = pass == 0 ? k : (k * 37) % (kTrackCount * kSectorsPerTrack);
      const int t = index / kSectorsPerTrack;
      const int s = index % kSectorsPerTrack + 1;
      uint8_t through[256];
      ASSERT_EQ(kImageOk, ReadSectors(&held, through, t, s, 256));
      ASSERT_EQ(0, std::memcmp(through, v.Sector(t, s), 256)) << t << "/" << s;
    }
  ASSERT_EQ(0, IdentifyImage(&held, GetParam().format, &shared));
  EXPECT_TRUE(session.open);  // the identification left the session to its owner
  ImageSessionClose(&session);
  EXPECT_EQ(mode(), own.verdict);
  EXPECT_EQ(0, std::memcmp(&own, &shared, sizeof own));
}

// --- Blank images ---

TEST_P(ContainerSweep, ABlankImageReadsAsZeroSectorsOfItsOwnKind) {
  SKIP_IF_READ_ONLY();
  const std::string path = temp.Path(Name("blank"));
  ImageFile file;
  ASSERT_EQ(0, ImageFileCreate(path.c_str(), &file));
  const ContainerStamp stamp{2024, 5, 1, 0, 0, 0};
  ASSERT_EQ(0, row().kind->writeBlank(&file, "BLANK", &stamp));
  ImageFileClose(&file);
  ImageTarget target = Target(path);
  uint8_t head[kContainerHeadBytes];
  int64_t size = 0;
  ASSERT_EQ(0, ImageReadHead(&target, head, &size));
  EXPECT_EQ(row().kind, RecogniseContainer(head, size));
  EXPECT_FALSE(ImageWriteProtected(&target));
  static uint8_t volume[kTrackCount * kSectorsPerTrack * kSectorBytes];
  ASSERT_EQ(kImageOk, ReadSectors(&target, volume, 0, 1, sizeof volume));
  for (size_t i = 0; i < sizeof volume; i++) ASSERT_EQ(Stored(0), volume[i]) << i;
  const SectorRun whole{0, 1, static_cast<int>(sizeof volume)};
  EXPECT_EQ(1, ImageCarriesRuns(&target, &whole, 1));
  ImageDisk disks[kMaxImageDisks];
  EXPECT_EQ(row().disksOfOne, ImageListDisks(&target, disks, kMaxImageDisks));
}

// A new image of every format under both conventions, plain and with every option: the file is
// exactly what the test image builder makes of the same blank volume.
TEST_P(ContainerSweep, ANewImageMatchesTheBuilder) {
  SKIP_IF_READ_ONLY();
  for (bool options : {false, true}) {
    SCOPED_TRACE(options ? "with options" : "plain");
    const std::string path = temp.Path(Name("new"));
    NewImageRequest request = {};
    request.path = path.c_str();
    request.imageFormat = GetParam().format;
    request.machineMode = mode();
    request.volume.date[0] = 0x24;
    request.volume.date[1] = 0x12;
    request.volume.date[2] = 0x31;
    VolumeBuilder expected;
    expected.SetDate(0x24, 0x12, 0x31);
    if (options) {
      std::strcpy(request.volume.diskName, "A DISK NAME OF 27 BYTES....");
      request.volume.volumeNumber = 0x1234;
      request.volume.exdir = true;
      expected.SetDiskName("A DISK NAME OF 27 BYTES....").SetVolumeNumber(0x1234).SetExdir(2, 1);
    }
    ASSERT_EQ(CreateNewImage(scripted::kMainWindow, request), 0);
    ImageSpec shape;
    shape.d88Name = std::string(request.volume.diskName).substr(0, 16);
    Bytes built = Build(expected, shape);
    if (row().newHeader) {  // the converter's header line, and the new image's own
      const auto end = std::find(built.begin(), built.end(), 0x1A) + 1;
      built.erase(built.begin(), end);
      built.insert(built.begin(), row().newHeader, row().newHeader + std::strlen(row().newHeader));
    }
    EXPECT_TRUE(BytesEqual(built, testimg::ReadFile(path)));
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(temp.path()))
      names.push_back(entry.path().filename().string());
    EXPECT_EQ(names, std::vector<std::string>{Name("new")});  // no temporary file left
    std::filesystem::remove(path);
  }
  EXPECT_TRUE(scripted::Boxes().empty());
}

// --- Write protection ---

TEST_P(ContainerSweep, AProtectedImageRefusesEveryWriteAndStaysAsItWas) {
  if (!row().protect) {
    // A kind without a mark is never protected, whatever its bytes.
    UseImage(Bytes(kFlatImageBytes, 0x10), Name("flat"), GetParam().format);
    EXPECT_FALSE(ImageWriteProtected());
    return;
  }
  Bytes image = Build(PatternVolume());
  row().protect(&image);
  App.MachineMode = mode();
  const std::string path = UseImage(image, Name("protected"), GetParam().format);
  EXPECT_TRUE(ImageWriteProtected());
  EXPECT_EQ(-1, ImageBeginChange(scripted::kMainWindow));
  EXPECT_FALSE(ImageChangeActive(App.Change));
  uint8_t buffer[256] = {};
  EXPECT_EQ(-1, ZLV_WriteZelvoFile(scripted::kMainWindow, buffer, 2, 1, 256));
  ASSERT_EQ(2u, scripted::Boxes().size());
  EXPECT_EQ(kMsgWriteProtected, scripted::Boxes()[0].text);
  EXPECT_EQ(kMsgWriteProtected, scripted::Boxes()[1].text);
  EXPECT_TRUE(BytesEqual(image, testimg::ReadFile(path)));
  // Reading is not refused.
  EXPECT_EQ(0, ZLV_ReadZelvoFile(scripted::kMainWindow, buffer, 2, 1, 256));
}

// --- Files cut short or full of noise ---

// The first half of an image: every sector reads (the ones the file still carries as they were,
// the others as zero), the check names exactly the ones it lost, and a write of a lost sector
// leaves the half that is there byte for byte.
TEST_P(ContainerSweep, AnImageCutShortReadsWhatItHolds) {
  SKIP_IF_DECODED();
  VolumeBuilder v = PatternVolume();
  const Bytes whole = Build(v);
  const Bytes half(whole.begin(), whole.begin() + static_cast<long>(whole.size() / 2));
  const std::string path = Write(half, "half");
  const ImageTarget target = Target(path);
  int lost = 0;
  for (int t = 0; t < kTrackCount; t++)
    for (int s = 1; s <= kSectorsPerTrack; s++) {
      uint8_t sector[256];
      ASSERT_EQ(kImageOk, ReadSectors(&target, sector, t, s, 256));
      SectorPlace place;
      const int found = LocateSector(&target, PhysicalTrack(t, mode()), s, &place);
      ASSERT_NE(kPlaceError, found);
      const bool carried = found == kPlaceFound &&
                           place.dataOffset + kSectorBytes <= static_cast<int64_t>(half.size());
      if (carried) {
        ASSERT_EQ(0, std::memcmp(sector, v.Sector(t, s), 256)) << t << "/" << s;
      } else {
        lost++;
        for (int i = 0; i < 256; i++) ASSERT_EQ(Stored(0), sector[i]) << t << "/" << s;
      }
    }
  EXPECT_GT(lost, 0);
  // The check: a volume with a file on tracks 40 to 55 reports the sectors the file lost (and
  // only those) as missing.
  VolumeBuilder used;
  FileSpec big;
  big.name = "BIG";
  big.track = 40;
  big.sector = 1;
  big.data = Bytes(0xFFFF, 1);
  ASSERT_GE(used.AddFile(big), 0);
  const VolumeView view{used.SystemArea(), used.Directory(), 64, 0, 0, 0};
  std::vector<CheckFinding> items(256);
  CheckFindings findings{items.data(), 256, 0};
  ASSERT_EQ(0, CheckImageContainer(&target, view, &findings));
  ASSERT_LE(findings.count, 256);
  int missing = 0;
  for (int i = 0; i < findings.count; i++)
    if (items[i].kind == kCheckSectorsMissing) missing += items[i].count;
  int lostUsed = 0;
  auto count = [&](int first, int sectors) {
    for (int index = first; index < first + sectors; index++) {
      SectorPlace place;
      const int found = LocateSector(&target, PhysicalTrack(index / kSectorsPerTrack, mode()),
                                     index % kSectorsPerTrack + 1, &place);
      if (found != kPlaceFound ||
          place.dataOffset + kSectorBytes > static_cast<int64_t>(half.size()))
        lostUsed++;
    }
  };
  count(SectorIndex(0, 2), 2);
  count(SectorIndex(1, 1), 8);
  count(SectorIndex(40, 1), SectorsFor(0xFFFF));
  EXPECT_GT(lostUsed, 0);
  EXPECT_EQ(lostUsed, missing);
  // A write of the last sector: the half that is there stays as it was.
  App.MachineMode = mode();
  App.ImageFormat = GetParam().format;
  std::snprintf(App.ImagePath, sizeof App.ImagePath, "%s", path.c_str());
  uint8_t sector[256];
  std::memset(sector, 0x3C, sizeof sector);
  EXPECT_EQ(0, ZLV_WriteZelvoFile(scripted::kMainWindow, sector, 83, 16, 256));
  const Bytes after = testimg::ReadFile(path);
  ASSERT_GE(after.size(), half.size());
  EXPECT_TRUE(
      BytesEqual(half, Bytes(after.begin(), after.begin() + static_cast<long>(half.size()))));
}

// Noise, a few bytes and nothing at all under the kind's extension: reads never fail, identify
// finds no volume, and the check runs to its end.
TEST_P(ContainerSweep, NoiseAndEmptyFilesReadWithoutFailing) {
  SKIP_IF_DECODED();
  const Bytes files[] = {testsupport::Pattern(Build(VolumeBuilder()).size(), 11),
                         testsupport::Pattern(100, 12), Bytes()};
  for (const Bytes& bytes : files) {
    SCOPED_TRACE(bytes.size());
    App.MachineMode = mode();
    const std::string path = UseImage(bytes, Name("noise"), GetParam().format);
    static uint8_t volume[kTrackCount * kSectorsPerTrack * kSectorBytes];
    EXPECT_EQ(0, ZLV_ReadZelvoFile(scripted::kMainWindow, volume, 0, 1, sizeof volume));
    Identification id;
    ASSERT_EQ(0, IdentifyCurrentImage(scripted::kMainWindow, &id));
    EXPECT_EQ(kVerdictNone, id.verdict);
    CheckFinding items[8];
    CheckFindings findings{items, 8, 0};
    EXPECT_EQ(0, CheckLoadedVolume(&findings));
    EXPECT_TRUE(BytesEqual(bytes, testimg::ReadFile(path)));
    EXPECT_TRUE(scripted::Boxes().empty());
  }
}

// --- Identify's layout ---

// Blank, with files, and with files in an extended directory: the bytes show the kind, the
// extension agrees, and the convention is found.
TEST_P(ContainerSweep, IdentifyFindsTheLayoutAndTheConvention) {
  for (int files : {0, 5, 6}) {  // 6: the same five files, one in the extended directory
    SCOPED_TRACE(files);
    App.MachineMode = 1 - mode();  // left as it was
    const VolumeBuilder v = files ? VolumeWithFiles(files == 6) : VolumeBuilder();
    UseImage(Build(v), Name("x"), GetParam().format);
    Identification id;
    ASSERT_EQ(IdentifyCurrentImage(scripted::kMainWindow, &id), 0);
    EXPECT_EQ(id.verdict, mode());
    EXPECT_FALSE(id.ambiguous);
    EXPECT_EQ(App.MachineMode, 1 - mode());
    EXPECT_EQ(id.layout.shown, row().kind->format);
    EXPECT_EQ(id.readAs, row().kind->format);
    EXPECT_TRUE(id.layout.agrees);
    const ConventionScore& found = id.conventions[mode()];
    EXPECT_EQ(found.score, 100);
    EXPECT_EQ(found.usedSlots, files ? 5 : 0);
    EXPECT_EQ(found.soundSlots, files ? 5 : 0);
    if (!files) {
      EXPECT_EQ(found.freeSectors, 84 * 16 - 32);
    }
    EXPECT_FALSE(id.conventions[1 - mode()].volume);
    EXPECT_EQ(id.layout.diskCount, row().disksOfOne);
  }
}

INSTANTIATE_TEST_SUITE_P(Kinds, ContainerSweep, ::testing::ValuesIn(Cases()),
                         [](const auto& info) { return info.param.name; });

// --- The table ---

TEST(ContainerTable, FormatsNamesAndHelpText) {
  EXPECT_EQ(&kFlatContainer, kContainerKinds[0]);
  EXPECT_EQ(&kD88Container, kContainerKinds[1]);
  EXPECT_EQ(&kFlatContainer, ContainerForFormat(kFormat2D));
  EXPECT_EQ(&kD88Container, ContainerForFormat(kFormatD20));
  EXPECT_EQ(&kD88Container, ContainerForFormat(kFormatD88));
  EXPECT_EQ(nullptr, ContainerForFormat(-1));
  EXPECT_EQ(&kImdContainer, ContainerForFormat(kFormatImd));
  EXPECT_EQ(&kHfeContainer, ContainerForFormat(kFormatHfe));
  EXPECT_EQ(&kScpContainer, ContainerForFormat(kFormatScp));
  EXPECT_EQ(nullptr, ContainerForFormat(kFormatScp + 1));
  EXPECT_STREQ("2D", ContainerFormatName(kFormat2D));
  EXPECT_STREQ("D20", ContainerFormatName(kFormatD20));
  EXPECT_STREQ("D88", ContainerFormatName(kFormatD88));
  char text[64];
  ContainerExtensionList(text, sizeof text);
  EXPECT_STREQ(".2d, .d20, .d88, .d77, .imd, .hfe or .scp", text);
  ContainerExtensionList(text, 8);  // cut, still ended
  EXPECT_STREQ(".2d, .d", text);
}

}  // namespace
