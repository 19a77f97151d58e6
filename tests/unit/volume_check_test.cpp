#include "volume/volume_check.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "image/container.h"
#include "image/image_file.h"
#include "support/image_builder.h"
#include "support/test_support.h"

namespace {

using testimg::FileSpec;
using testimg::ImageSpec;
using testimg::VolumeBuilder;

// The volume as the loader holds it: the directory, then the extended directory when present.
struct Loaded {
  std::vector<uint8_t> directory = std::vector<uint8_t>(4096, 0);
  VolumeView view{};
};

Loaded Load(VolumeBuilder& volume) {
  Loaded loaded;
  std::memcpy(loaded.directory.data(), volume.Directory(), 2048);
  const int t = volume.SystemArea()[174];
  const int s = volume.SystemArea()[175];
  const bool exdir = t >= 1 && t <= 83 && s >= 1 && s <= 16;
  if (exdir) {
    const size_t at = static_cast<size_t>(t * 16 + s - 1) * 256;
    const size_t n = std::min<size_t>(2048, volume.bytes.size() - at);
    std::memcpy(loaded.directory.data() + 2048, volume.bytes.data() + at, n);
  }
  loaded.view = {
      volume.SystemArea(), loaded.directory.data(), exdir ? 128 : 64, exdir ? 1 : 0, t, s};
  return loaded;
}

FileSpec File(const std::string& name, size_t bytes, int track = -1, int sector = -1,
              uint8_t fill = 0x33) {
  FileSpec file;
  file.name = name;
  file.data.assign(bytes, fill);
  file.track = track;
  file.sector = sector;
  return file;
}

std::vector<CheckFinding> Structure(VolumeBuilder& volume) {
  Loaded loaded = Load(volume);
  std::vector<CheckFinding> items(64);
  CheckFindings findings{items.data(), 64, 0};
  CheckVolumeStructure(loaded.view, &findings);
  items.resize(static_cast<size_t>(findings.count));
  return items;
}

::testing::AssertionResult Is(const CheckFinding& f, int kind, int slot, int other, int track,
                              int sector, int count) {
  if (f.kind == kind && f.slot == slot && f.otherSlot == other && f.track == track &&
      f.sector == sector && f.count == count)
    return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure()
         << "finding {" << f.kind << ", slot " << f.slot << ", other " << f.otherSlot << ", "
         << f.track << "/" << f.sector << ", count " << f.count << "}";
}

TEST(CheckVolumeStructure, AHealthyVolumeHasNoFindings) {
  VolumeBuilder volume;
  volume.SetExdir(20, 1);
  volume.AddFile(File("A", 600));
  volume.AddFile(File("EMPTY", 0));
  FileSpec ext = File("B", 300);
  ext.slot = 70;
  volume.AddFile(ext);
  EXPECT_TRUE(Structure(volume).empty());
}

TEST(CheckVolumeStructure, RunsOutsideTheDataTracks) {
  struct Case {
    const char* what;
    int track, sector, bytes;
    int wantTrack, wantSector, wantCount;
  };
  const Case cases[] = {
      {"beyond track 83", 83, 15, 600, 83, 15, 3},
      {"in track 1", 1, 16, 512, 1, 16, 2},
      {"sector 0", 5, 0, 10, 5, 0, 1},
      {"sector 17", 5, 17, 10, 5, 17, 1},
      {"track 84", 84, 1, 10, 84, 1, 1},
      {"no sector address, empty", 200, 0, 0, 200, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    VolumeBuilder volume;
    FileSpec file = File("X", static_cast<size_t>(c.bytes), 40, 1);
    file.markUsed = false;
    volume.AddFile(file);
    volume.Entry(0)[30] = static_cast<uint8_t>(c.track);
    volume.Entry(0)[31] = static_cast<uint8_t>(c.sector);
    volume.MarkUsed(0, 1344);  // nothing free: only the run's place is wrong
    const auto findings = Structure(volume);
    ASSERT_EQ(findings.size(), 1u);
    EXPECT_TRUE(Is(findings[0], kCheckRunOutside, 0, -1, c.wantTrack, c.wantSector, c.wantCount));
  }
}

TEST(CheckVolumeStructure, AnEmptyEntryOnAValidSectorIsFine) {
  VolumeBuilder volume;
  volume.AddFile(File("EMPTY", 0, 0, 1));
  EXPECT_TRUE(Structure(volume).empty());
}

TEST(CheckVolumeStructure, FreeSectorsOfARunAreCountedFromTheFirst) {
  VolumeBuilder volume;
  FileSpec file = File("X", 1024, 3, 15);  // sectors 3/15, 3/16, 4/1, 4/2
  file.markUsed = false;
  volume.AddFile(file);
  volume.MarkUsed(3 * 16 + 14);  // 3/15 used, the other three free
  const auto findings = Structure(volume);
  ASSERT_EQ(findings.size(), 1u);
  EXPECT_TRUE(Is(findings[0], kCheckRunFree, 0, -1, 3, 16, 3));
}

TEST(CheckVolumeStructure, SharedSectorsAreReportedPerOwner) {
  VolumeBuilder volume;
  volume.SetExdir(10, 1);
  volume.AddFile(File("A", 512, 5, 1));      // 5/1-2
  volume.AddFile(File("B", 512, 5, 3));      // 5/3-4
  volume.AddFile(File("C", 1024, 5, 2));     // 5/2-5: one of A, two of B
  volume.AddFile(File("D", 256, 10, 8, 0));  // the extended directory's last sector
  const auto findings = Structure(volume);
  ASSERT_EQ(findings.size(), 3u);
  EXPECT_TRUE(Is(findings[0], kCheckSharedSectors, 2, 0, 5, 2, 1));
  EXPECT_TRUE(Is(findings[1], kCheckSharedSectors, 2, 1, 5, 3, 2));
  EXPECT_TRUE(Is(findings[2], kCheckSharedSectors, 3, -1, 10, 8, 1));
}

// Names compare as the import's duplicate check compares them: ASCII case aside, up to 0x0D. Each
// repeat names the first entry of that name; a deleted entry of the name is no repeat.
TEST(CheckVolumeStructure, TwoLiveFilesOfOneNameAreReported) {
  VolumeBuilder volume;
  volume.SetExdir(10, 1);
  volume.AddFile(File("GAME.BIN", 300));
  volume.AddFile(File("OTHER", 300));
  volume.AddFile(File("game.bin", 300));
  FileSpec gone = File("OTHER", 300);
  gone.type = 0;
  volume.AddFile(gone);
  FileSpec third = File("Game.Bin", 300);
  third.slot = 70;  // in the extended directory
  volume.AddFile(third);
  volume.AddFile(File("GAME.BI", 300));
  const auto findings = Structure(volume);
  ASSERT_EQ(findings.size(), 2u);
  EXPECT_TRUE(Is(findings[0], kCheckSameName, 2, 0, findings[0].track, findings[0].sector, 0));
  EXPECT_TRUE(Is(findings[1], kCheckSameName, 70, 0, findings[1].track, findings[1].sector, 0));
}

TEST(CheckVolumeStructure, TheExtendedDirectoryMustBeMarkedAndInside) {
  VolumeBuilder unmarked;
  unmarked.SetExdir(30, 5, false).MarkUsed(30 * 16 + 4, 2);
  auto findings = Structure(unmarked);
  ASSERT_EQ(findings.size(), 1u);
  EXPECT_TRUE(Is(findings[0], kCheckExdirFree, -1, -1, 30, 7, 6));

  VolumeBuilder late;
  late.SetExdir(83, 16);
  findings = Structure(late);
  ASSERT_EQ(findings.size(), 1u);
  EXPECT_TRUE(Is(findings[0], kCheckExdirOutside, -1, -1, 84, 1, 7));
}

TEST(CheckVolumeStructure, OnlyUsedSlotsOfTheLoadedCountAreChecked) {
  VolumeBuilder volume;
  FileSpec file = File("X", 512, 90, 1);
  volume.AddFile(file);
  volume.Entry(0)[0] = 0;  // the slot is free: its fields mean nothing
  EXPECT_TRUE(Structure(volume).empty());
}

TEST(CheckVolumeStructure, CountsFindingsBeyondTheCallersStorage) {
  VolumeBuilder volume;
  for (int i = 0; i < 3; i++) {
    FileSpec file = File("F" + std::to_string(i), 256);
    file.markUsed = false;
    file.track = 4;
    file.sector = 1 + 2 * i;
    volume.AddFile(file);
  }
  Loaded loaded = Load(volume);
  CheckFinding one;
  CheckFindings findings{&one, 1, 0};
  CheckVolumeStructure(loaded.view, &findings);
  EXPECT_EQ(findings.count, 3);
  EXPECT_TRUE(Is(one, kCheckRunFree, 0, -1, 4, 1, 1));
}

class CheckImageContainerTest : public ::testing::Test {
 protected:
  std::vector<CheckFinding> Run(VolumeBuilder& volume, const ImageSpec& shape) {
    const std::string path = temp.Path(shape.d88 ? "disk.d88" : "disk.2d");
    testimg::WriteFile(path, testimg::BuildImage(volume, shape));
    Loaded loaded = Load(volume);
    ImageTarget target;
    ImageTargetFor(&target, path.c_str(), ContainerForFormat(shape.d88 ? kFormatD88 : kFormat2D),
                   shape.machineMode);
    target.change = testsupport::SpareChange();
    std::vector<CheckFinding> items(64);
    CheckFindings findings{items.data(), 64, 0};
    EXPECT_EQ(CheckImageContainer(&target, loaded.view, &findings), 0);
    items.resize(static_cast<size_t>(findings.count));
    return items;
  }
  // The findings that are not notes.
  static std::vector<CheckFinding> Problems(const std::vector<CheckFinding>& all) {
    std::vector<CheckFinding> problems;
    for (const CheckFinding& f : all)
      if (!CheckFindingIsNote(f)) problems.push_back(f);
    return problems;
  }
  testsupport::TempDir temp;
};

VolumeBuilder TwoFiles() {
  VolumeBuilder volume;
  volume.SetExdir(20, 1);
  volume.AddFile(File("A", 600));  // 2/1-3
  volume.AddFile(File("B", 256));  // 2/4
  return volume;
}

TEST_F(CheckImageContainerTest, WholeImagesHaveNoFindings) {
  for (bool d88 : {false, true}) {
    for (int mode : {0, 1}) {
      VolumeBuilder volume = TwoFiles();
      ImageSpec shape;
      shape.d88 = d88;
      shape.machineMode = mode;
      EXPECT_TRUE(Run(volume, shape).empty()) << d88 << mode;
    }
  }
}

TEST_F(CheckImageContainerTest, TrackOffsets) {
  VolumeBuilder volume = TwoFiles();
  ImageSpec shape;
  shape.d88 = true;
  shape.trackOffset[100] = 0x2A0;       // inside the 688-byte header
  shape.trackOffset[101] = 0x7FFF0000;  // outside the file
  shape.sectorCountField[83] = 17;      // one record more than the file holds after the track
  const auto findings = Run(volume, shape);
  ASSERT_EQ(findings.size(), 3u);
  EXPECT_TRUE(Is(findings[0], kCheckD88RecordsOutside, -1, -1, 83, 0, 17));
  EXPECT_TRUE(Is(findings[1], kCheckD88OffsetInHeader, -1, -1, 100, 0, 0));
  EXPECT_EQ(findings[1].offset, 0x2A0u);
  EXPECT_TRUE(Is(findings[2], kCheckD88OffsetOutside, -1, -1, 101, 0, 0));
  EXPECT_EQ(findings[2].offset, 0x7FFF0000u);
}

TEST_F(CheckImageContainerTest, AShortHeader) {
  VolumeBuilder volume = TwoFiles();
  ImageSpec shape;
  shape.d88 = true;
  shape.d88CutBytes = 100;
  const auto findings = Run(volume, shape);
  ASSERT_FALSE(findings.empty());
  EXPECT_EQ(findings[0].kind, kCheckD88ShortHeader);
}

TEST_F(CheckImageContainerTest, MissingSectorsAreNamedInLogicalTerms) {
  VolumeBuilder volume = TwoFiles();
  ImageSpec shape;
  shape.d88 = true;
  shape.machineMode = 0;
  shape.absentTracks.insert(3);                          // logical track 2 under MZ
  shape.sectorOrder[21] = {1, 2, 3, 4, 5, 6, 7, 9, 10};  // logical 20: exdir sector 8 missing
  const auto findings = Problems(Run(volume, shape));
  ASSERT_EQ(findings.size(), 2u);
  EXPECT_TRUE(Is(findings[0], kCheckSectorsMissing, -1, -1, 2, 1, 4));
  EXPECT_TRUE(Is(findings[1], kCheckSectorsMissing, -1, -1, 20, 8, 1));
}

TEST_F(CheckImageContainerTest, AFlatImageCutShort) {
  VolumeBuilder volume = TwoFiles();
  ImageSpec shape;
  shape.machineMode = 1;
  shape.flatBytes = (2 * 16 + 2) * 256 + 10;  // ends inside track 2 sector 3
  const auto all = Run(volume, shape);
  const auto findings = Problems(all);
  ASSERT_EQ(findings.size(), 2u);
  EXPECT_TRUE(Is(findings[0], kCheckSectorsMissing, -1, -1, 2, 3, 2));
  EXPECT_TRUE(Is(findings[1], kCheckSectorsMissing, -1, -1, 20, 1, 8));
  // The free sectors past the cut are a note, as ranges between the needed ones.
  ASSERT_EQ(all.size(), 4u);
  EXPECT_TRUE(Is(all[1], kCheckFreeMissing, -1, -1, 2, 5, 16 * 18 - 4));
  EXPECT_TRUE(Is(all[3], kCheckFreeMissing, -1, -1, 20, 9, 64 * 16 - 8));
}

}  // namespace
