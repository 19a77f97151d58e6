// Bad and missing sectors told with what they belong to: the check's findings in each container
// that records a bad sector, the damage of each file, a flat image cut short (its free sectors a
// note, a file's sectors a problem), the conversion of a cut image, and identify's counts and its
// refusal to read a remnant as a volume.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "image/container.h"
#include "image/image_select.h"
#include "image/sector_transfer.h"
#include "support/image_builder.h"
#include "support/test_support.h"
#include "texts/texts.h"
#include "transfer/convert_image.h"
#include "view/check_report.h"
#include "view/sector_owner.h"
#include "volume/identify.h"
#include "volume/layout.h"
#include "volume/volume_check.h"

namespace {

using Bytes = std::vector<uint8_t>;

constexpr int Index(int track, int sector) { return track * kSectorsPerTrack + sector - 1; }

class BadSectorReportTest : public ::testing::Test {
 protected:
  // A volume with GAME (3 sectors from track 2, sector 1) under `mode`.
  static testimg::VolumeBuilder Volume() {
    testimg::VolumeBuilder volume;
    testimg::FileSpec game;
    game.name = "GAME";
    game.data.assign(600, 0x41);
    game.track = 2;
    game.sector = 1;
    volume.AddFile(game);
    return volume;
  }
  std::string Put(const Bytes& bytes, const std::string& name) {
    const std::string path = temp.Path(name);
    testimg::WriteFile(path, bytes);
    return path;
  }
  // A D88 of Volume() with the status bytes given (by sector index).
  std::string D88(int mode, const std::vector<std::pair<int, uint8_t>>& statuses) {
    testimg::ImageSpec shape;
    shape.d88 = true;
    shape.machineMode = mode;
    Bytes image = testimg::BuildImage(Volume(), shape);
    for (const auto& [index, status] : statuses) {
      const int physical = PhysicalTrack(index / kSectorsPerTrack, mode);
      image[testimg::D88DataOffset(image, physical, index % kSectorsPerTrack + 1) - 16 + 8] =
          status;
    }
    return Put(image, "disk.d88");
  }
  std::string Convert(const std::string& from, const std::string& to, int mode, bool fill,
                      ConvertLosses* losses, int expect = 0) {
    ConvertRequest request{};
    request.sourcePath = from.c_str();
    const std::string path = temp.Path(to);
    request.targetPath = path.c_str();
    request.machineMode = mode;
    request.toMode = mode;
    request.disk = -1;
    request.replace = true;
    request.fill = fill;
    Outcome out;
    OutcomeClear(&out);
    EXPECT_EQ(expect, ConvertImage(&out, request, losses));
    return path;
  }
  ImageTarget Target(const std::string& path, int mode) {
    ImageTarget target;
    EXPECT_EQ(0, ImageTargetFor(&target, path.c_str(),
                                ContainerForFormat(FormatForPath(path.c_str())), mode));
    target.change = testsupport::SpareChange();
    return target;
  }
  // Both checks of the image's volume.
  std::vector<CheckFinding> Check(const std::string& path, int mode) {
    const ImageTarget target = Target(path, mode);
    EXPECT_EQ(kImageOk,
              ReadSectors(&target, system, kSystemAreaTrack, kSystemAreaSector, kSystemAreaBytes));
    EXPECT_EQ(kImageOk, ReadSectors(&target, directory, kDirectoryTrack, kDirectorySector,
                                    kDirectoryHalfBytes));
    std::vector<CheckFinding> items(256);
    CheckFindings findings{items.data(), 256, 0};
    CheckVolumeStructure(View(), &findings);
    EXPECT_EQ(0, CheckImageContainer(&target, View(), &findings));
    items.resize(static_cast<size_t>(findings.count));
    return items;
  }
  VolumeView View() const { return VolumeView{system, directory, 64, 0, 0xFF, 0xFF}; }

  testsupport::TempDir temp;
  uint8_t system[kSystemAreaBytes];
  uint8_t directory[kDirectoryBufferBytes];
};

TEST_F(BadSectorReportTest, EachContainerNamesWhatItsBadSectorsBelongTo) {
  const int mode = kModePc;
  const std::string d88 = D88(mode, {{Index(2, 2), 0xB0},     // GAME's second sector
                                     {Index(1, 3), 0xA0},     // the directory
                                     {Index(0, 2), 0xE0},     // the bit table
                                     {Index(50, 7), 0xF0},    // free space
                                     {Index(60, 1), 0x10}});  // deleted data: no error
  // The same disk converted keeps its errors as IMD record types and HFE data CRCs.
  const std::string imd = Convert(d88, "disk.imd", mode, false, nullptr);
  const std::string hfe = Convert(d88, "disk.hfe", mode, false, nullptr);
  // And back: D88 -> IMD -> D88 keeps every error (as a data CRC error).
  const std::string back = Convert(imd, "back.d88", mode, false, nullptr);
  const struct {
    std::string path;
    const char* gameVerdict;
  } cases[] = {{d88, "D88 status B0: data CRC error"},
               {imd, "IMD record type 5: data error"},
               {hfe, "data CRC does not match"},
               {back, "D88 status B0: data CRC error"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    std::vector<CheckFinding> bad;
    for (const CheckFinding& f : Check(c.path, mode))
      if (f.kind == kCheckBadSector) bad.push_back(f);
    ASSERT_EQ(4u, bad.size());
    EXPECT_EQ(kOwnerBitTable, bad[0].otherSlot);
    EXPECT_EQ(kOwnerDirectory, bad[1].otherSlot);
    EXPECT_EQ(kOwnerFile, bad[2].otherSlot);
    EXPECT_EQ(0, bad[2].slot);
    EXPECT_EQ(kOwnerFree, bad[3].otherSlot);
    for (int i = 0; i < 3; ++i) EXPECT_FALSE(CheckFindingIsNote(bad[i])) << i;
    EXPECT_TRUE(CheckFindingIsNote(bad[3])) << "a bad free sector hurts nothing";

    char line[256];
    ComposeCheckLine(bad[2], "GAME", "", line, sizeof line, true);
    EXPECT_EQ(std::string("track 02 sector 02: ") + c.gameVerdict + " (file GAME)", line);

    const ImageTarget target = Target(c.path, mode);
    VolumeHealth health;
    ASSERT_EQ(0, ReadVolumeHealth(&target, &health));
    FileDamage damage;
    CountFileDamage(View(), health, &damage);
    EXPECT_EQ(1, damage.files);
    EXPECT_EQ(1, damage.bad[0]);
    EXPECT_EQ(0, damage.missing[0]);
    char list[512];
    ComposeFileDamage(View(), health, 0, true, list, sizeof list);
    EXPECT_EQ(std::string("track 02 sector 02 (") + c.gameVerdict + ")", list);
  }
  // The window's check says it in Japanese: the container's words, then the owner's.
  char line[256];
  ComposeCheckLine(Check(d88, mode)[0], "", "", line, sizeof line);
  EXPECT_NE(nullptr, std::strstr(line, kVerdictD88NoAddress)) << line;
  EXPECT_NE(nullptr, std::strstr(line, kSectorOwnerBitTable)) << line;
}

TEST_F(BadSectorReportTest, AFlatImageCutShortMissesFreeSectorsAsANoteAndFilesAsAProblem) {
  for (int mode : {kModeMz, kModePc}) {
    SCOPED_TRACE(mode);
    // Cut inside track 83 under PC (its last half under MZ, whose sides are swapped): only free
    // sectors are lost, and the check stays clean but for the note.
    testimg::ImageSpec shape;
    shape.machineMode = mode;
    shape.flatBytes = Index(83, 1) * 256L;
    const std::string cut = Put(testimg::BuildImage(Volume(), shape), "cut.2d");
    std::vector<CheckFinding> findings = Check(cut, mode);
    ASSERT_FALSE(findings.empty());
    for (const CheckFinding& f : findings) {
      EXPECT_EQ(kCheckFreeMissing, f.kind);
      EXPECT_TRUE(CheckFindingIsNote(f));
    }

    // Cut inside GAME's run: its sectors are a problem, the rest a note.
    shape.flatBytes = (PhysicalTrack(2, mode) * kSectorsPerTrack + 1) * 256L;
    const std::string remnant = Put(testimg::BuildImage(Volume(), shape), "remnant.2d");
    int problems = 0, notes = 0;
    for (const CheckFinding& f : Check(remnant, mode)) {
      if (f.kind == kCheckSectorsMissing) {
        EXPECT_EQ(Index(2, 2), Index(f.track, f.sector));
      }
      problems += !CheckFindingIsNote(f);
      notes += CheckFindingIsNote(f);
    }
    EXPECT_EQ(1, problems);
    EXPECT_GE(notes, 1);

    // A conversion says how many sectors the source lacks; a flat target needs them filled, and
    // writes nothing without.
    ConvertLosses losses{};
    Convert(remnant, "remnant.d88", mode, false, &losses);
    const int lacking =
        kTrackCount * kSectorsPerTrack - Index(0, 1) - static_cast<int>(shape.flatBytes / 256);
    EXPECT_EQ(lacking, losses.missing);
    const std::string flat = "whole" + std::to_string(mode) + ".2d";
    EXPECT_FALSE(testimg::FileExists(Convert(remnant, flat, mode, false, nullptr, -1)));
    losses = {};
    Convert(remnant, flat, mode, true, &losses);
    EXPECT_EQ(lacking, losses.filled);
  }
}

TEST_F(BadSectorReportTest, IdentifyCountsSectorsAndReadsNoRemnantAsAVolume) {
  for (int mode : {kModeMz, kModePc}) {
    SCOPED_TRACE(mode);
    testimg::ImageSpec shape;
    shape.machineMode = mode;
    Identification id;
    const ImageTarget whole = Target(Put(testimg::BuildImage(Volume(), shape), "whole.2d"), mode);
    ASSERT_EQ(0, IdentifyImage(&whole, kFormat2D, &id));
    EXPECT_EQ(mode, id.verdict);
    EXPECT_TRUE(id.healthKnown);
    EXPECT_EQ(0, id.badSectors);
    EXPECT_EQ(0, id.missingSectors);

    // The first kilobyte of the disk: no convention reads its directory whole.
    shape.flatBytes = 1024;
    const ImageTarget remnant =
        Target(Put(testimg::BuildImage(Volume(), shape), "remnant.2d"), mode);
    ASSERT_EQ(0, IdentifyImage(&remnant, kFormat2D, &id));
    EXPECT_EQ(kVerdictNone, id.verdict);
    EXPECT_EQ(kTrackCount * kSectorsPerTrack - 4, id.missingSectors);
    for (const ConventionScore& s : id.conventions) {
      EXPECT_TRUE(s.structureMissing);
      EXPECT_FALSE(s.volume);
    }
  }
}

}  // namespace
