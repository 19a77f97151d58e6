// Malformed images, each with what the program must do with it: the messages an Open shows, the
// rows it lists, and whether an import (dialog OK, Yes) writes or is refused with the image left
// byte for byte as it was.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "flows/app_state.h"
#include "flows/export.h"
#include "flows/import.h"
#include "flows/volume_load.h"
#include "image/sector_transfer.h"
#include "support/image_builder.h"
#include "support/test_support.h"
#include "texts/texts.h"
#include "transfer/import.h"
#include "volume/layout.h"

namespace {

using testsupport::Pattern;

using testimg::FileSpec;
using testimg::ImageSpec;
using testimg::VolumeBuilder;
using Bytes = std::vector<uint8_t>;

constexpr long kFlatBytes = 84L * 16 * 256;

FileSpec File(const std::string& name, size_t bytes, int track = -1, int sector = -1) {
  FileSpec f;
  f.name = name;
  f.data = Pattern(bytes, static_cast<int>(name.size()));
  f.track = track;
  f.sector = sector;
  return f;
}

// Two files in track 2 (sector indexes 32-34); the import's first fit is then index 35.
VolumeBuilder TwoFiles() {
  VolumeBuilder v;
  v.AddFile(File("HELLO", 300));
  v.AddFile(File("DATA", 100));
  return v;
}

Bytes Build(const VolumeBuilder& v, bool d88, int mode, ImageSpec shape = {}) {
  shape.d88 = d88;
  shape.machineMode = mode;
  return testimg::BuildImage(v, shape);
}

uint32_t TrackOffset(const Bytes& image, int physicalTrack) {
  const uint8_t* p = image.data() + 32 + 4 * physicalTrack;
  return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

void SetTrackOffset(Bytes& image, int physicalTrack, uint32_t offset) {
  for (int i = 0; i < 4; i++)
    image[32 + 4 * physicalTrack + i] = static_cast<uint8_t>(offset >> (8 * i));
}

enum Outcome { kWritten, kRefused };

struct BadImage {
  const char* what;
  const char* extension;  // ".2d" or ".d88"
  int mode;
  std::function<Bytes()> image;  // empty function: no file at all
  bool loaded;
  std::vector<std::string> openMessages;
  int rows;
  Outcome import;
  const char* importMessage;  // the one message of a refused import
  // Further checks on the image after the import.
  std::function<void(const Bytes& before, const Bytes& after)> check = nullptr;
};

std::vector<BadImage> Cases() {
  const Bytes files = Build(TwoFiles(), true, kModePc);
  return {
      {"missing image file",
       ".d88",
       kModePc,
       nullptr,
       false,
       {kMsgReadFailed},
       0,
       kRefused,
       kMsgImportNotReady},
      // An empty or headerless D88 file carries no sector: under PC everything reads as zero
      // (an empty directory, no free run that the image could hold), under MZ as 0xFF.
      {"empty .d88 file, PC",
       ".d88",
       kModePc,
       [] { return Bytes(); },
       true,
       {},
       0,
       kRefused,
       kMsgVolumeDamaged},
      {"empty .d88 file, MZ",
       ".d88",
       kModeMz,
       [] { return Bytes(); },
       true,
       {},
       64,
       kRefused,
       kMsgDiskFull},
      {"empty .2d file, MZ",
       ".2d",
       kModeMz,
       [] { return Bytes(); },
       true,
       {},
       64,
       kRefused,
       kMsgDiskFull},
      {"1-byte D88 file",
       ".d88",
       kModePc,
       [=] { return Bytes(files.begin(), files.begin() + 1); },
       true,
       {},
       0,
       kRefused,
       kMsgVolumeDamaged},
      {"687-byte D88 file",
       ".d88",
       kModePc,
       [=] { return Bytes(files.begin(), files.begin() + 687); },
       true,
       {},
       0,
       kRefused,
       kMsgVolumeDamaged},
      {"688-byte D88 file (header only)",
       ".d88",
       kModePc,
       [=] { return Bytes(files.begin(), files.begin() + 688); },
       true,
       {},
       0,
       kRefused,
       kMsgVolumeDamaged},
      {"directory track offset inside the header",
       ".d88",
       kModePc,
       [=] {
         Bytes b = files;
         SetTrackOffset(b, 1, 100);
         return b;
       },
       true,
       {},
       0,
       kRefused,
       kMsgVolumeDamaged},
      {"directory track offset past the end",
       ".d88",
       kModePc,
       [=] {
         Bytes b = files;
         SetTrackOffset(b, 1, static_cast<uint32_t>(b.size() + 4096));
         return b;
       },
       true,
       {},
       0,
       kRefused,
       kMsgVolumeDamaged},
      // Records 0 and 1 of the directory track are whole: directory sectors 1 and 2.
      {"directory records cut short",
       ".d88",
       kModePc,
       [=] { return Bytes(files.begin(), files.begin() + TrackOffset(files, 1) + 2 * 272 + 100); },
       true,
       {},
       2,
       kRefused,
       kMsgVolumeDamaged},
      // Physical track 2 lies on the directory's records: the import's first fit (track 2,
      // sector 1) would overwrite the directory that every read of track 1 shows.
      {"two tracks sharing an offset",
       ".d88",
       kModePc,
       [] {
         VolumeBuilder v;
         v.AddFile(File("HELLO", 300, 3, 1));
         Bytes b = Build(v, true, kModePc);
         SetTrackOffset(b, 2, TrackOffset(b, 1));
         return b;
       },
       true,
       {},
       1,
       kRefused,
       kMsgVolumeDamaged},
      {"sector count 0 on the directory track",
       ".d88",
       kModePc,
       [] {
         ImageSpec s;
         s.sectorCountField[1] = 0;
         return Build(TwoFiles(), true, kModePc, s);
       },
       true,
       {},
       0,
       kRefused,
       kMsgVolumeDamaged},
      // The lookups of track 1 find all sixteen sectors among its own records before they reach
      // track 2's: nothing is shared, and the import writes.
      {"sector count larger than the track's records",
       ".d88",
       kModePc,
       [] {
         ImageSpec s;
         s.sectorCountField[1] = 40;
         return Build(TwoFiles(), true, kModePc, s);
       },
       true,
       {},
       2,
       kWritten,
       nullptr},
      // The first record numbered 3 is the one read and written; the second is never reached.
      {"duplicate sector numbers in the directory track",
       ".d88",
       kModePc,
       [] {
         ImageSpec s;
         s.sectorOrder[1] = {1, 2, 3, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};
         return Build(TwoFiles(), true, kModePc, s);
       },
       true,
       {},
       2,
       kWritten,
       nullptr,
       [](const Bytes& before, const Bytes& after) {
         const size_t second = TrackOffset(before, 1) + 3 * 272;
         EXPECT_EQ(0, std::memcmp(before.data() + second, after.data() + second, 272))
             << "the unreachable duplicate changed";
       }},
      {"flat image 100 bytes longer than 84 tracks",
       ".2d",
       kModePc,
       [] {
         Bytes b = Build(TwoFiles(), false, kModePc);
         b.resize(b.size() + 100, 0x5A);
         return b;
       },
       true,
       {},
       2,
       kWritten,
       nullptr,
       [](const Bytes& before, const Bytes& after) {
         ASSERT_EQ(before.size(), after.size());
         EXPECT_EQ(0, std::memcmp(before.data() + kFlatBytes, after.data() + kFlatBytes, 100));
       }},
      // Under MZ the directory is physical track 0: sectors 1-3 whole, 100 bytes of sector 4;
      // the rest, and the system area of physical track 1, read as zero, that is 0xFF: the
      // bit table is full and every slot from byte 100 of sector 4 on is used. Under neither
      // convention does the image hold its system area and directory whole, so identify places
      // it under none, and the import finds no free sector.
      {"flat image cut inside the directory, MZ",
       ".2d",
       kModeMz,
       [] {
         ImageSpec s;
         s.flatBytes = 3 * 256 + 100;
         return Build(TwoFiles(), false, kModeMz, s);
       },
       true,
       {},
       2 + 4 + 32,
       kRefused,
       kMsgDiskFull},
      {"directory entries whose runs leave the disk",
       ".2d",
       kModePc,
       [] {
         VolumeBuilder v = TwoFiles();
         FileSpec outside = File("OUTSIDE", 0, 83, 16);
         outside.length = 0x4000;
         outside.markUsed = false;
         v.AddFile(outside);
         FileSpec nowhere = File("NOWHERE", 0, 0, 0);
         nowhere.length = 0x100;
         nowhere.markUsed = false;
         const int slot = v.AddFile(nowhere);
         v.Entry(slot)[30] = 0xFF;
         return Build(v, false, kModePc);
       },
       true,
       {},
       4,
       kWritten,
       nullptr},
      {"EXDIR pair pointing at the directory",
       ".d88",
       kModeMz,
       [] {
         VolumeBuilder v = TwoFiles();
         v.SetExdir(1, 1, false);
         return Build(v, true, kModeMz);
       },
       true,
       {},
       4,
       kRefused,
       kMsgVolumeDamaged},
      // The bit table shows the files' sectors free: the first fit would land on HELLO.
      {"files on sectors the bit table shows free",
       ".2d",
       kModeMz,
       [] {
         VolumeBuilder v = TwoFiles();
         v.MarkFree(32, 3);
         return Build(v, false, kModeMz);
       },
       true,
       {},
       2,
       kRefused,
       kMsgVolumeDamaged},
      // The main directory is full, so the new entry would go into the extended directory,
      // which lies on the zero bytes of a file: storing it there would change that file.
      {"extended directory on a file's sectors",
       ".d88",
       kModePc,
       [] {
         VolumeBuilder v;
         v.SetExdir(2, 1);
         FileSpec shared = File("SHARED", 0, 2, 1);
         shared.data.assign(600, 0);
         shared.markUsed = false;
         v.AddFile(shared);
         for (int i = 1; i < 64; i++) v.AddFile(File("E" + std::to_string(i), 0, 40, 1));
         return Build(v, true, kModePc);
       },
       true,
       {},
       64,
       kRefused,
       kMsgVolumeDamaged},
      // The allocator starts at track 2 whatever the bits of tracks 0 and 1 say; the import
      // leaves those bits as they were.
      {"bit table marking the system area free",
       ".2d",
       kModeMz,
       [] {
         VolumeBuilder v = TwoFiles();
         v.MarkFree(0, 32);
         return Build(v, false, kModeMz);
       },
       true,
       {},
       2,
       kWritten,
       nullptr,
       [](const Bytes&, const Bytes&) {
         EXPECT_EQ(0, App.SystemArea[0]);
         EXPECT_EQ(0, App.SystemArea[1]);
         EXPECT_EQ(0, App.SystemArea[2]);
         EXPECT_EQ(0, App.SystemArea[3]);
         EXPECT_EQ(0x1F, App.SystemArea[4]);  // the two files and the new one: indexes 32-36
       }},
  };
}

class BadInputsTest : public testsupport::AppTest {};

std::vector<std::string> Texts(const std::vector<scripted::Box>& boxes) {
  std::vector<std::string> texts;
  for (const scripted::Box& b : boxes) texts.push_back(b.text);
  return texts;
}

TEST_F(BadInputsTest, EachImageWithItsOutcome) {
  const std::string host = temp.Path("NEWFILE.BIN");
  const Bytes hostData = Pattern(300, 9);
  testimg::WriteFile(host, hostData);
  for (const BadImage& c : Cases()) {
    SCOPED_TRACE(c.what);
    SetUp();
    App.MachineMode = c.mode;
    const std::string name = std::string("bad") + c.extension;
    const int format = std::string(c.extension) == ".2d" ? kFormat2D : kFormatD88;
    std::string path = temp.Path(name);
    std::remove(path.c_str());
    if (c.image) {
      path = UseImage(c.image(), name, format);
    } else {
      std::snprintf(App.ImagePath, sizeof App.ImagePath, "%s", path.c_str());
      App.ImageFormat = format;
    }

    LoadVolume(scripted::kMainWindow);
    EXPECT_EQ(c.loaded ? 1 : 0, App.VolumeLoaded);
    EXPECT_EQ(c.openMessages, Texts(scripted::Boxes()));
    EXPECT_EQ(c.rows, static_cast<int>(scripted::Rows().size()));

    const Bytes before = testimg::ReadFile(path);
    scripted::ClearBoxes();
    scripted::ChooseFile(host);
    scripted::DialogCommand(kIdOk);
    scripted::AnswerBox(kIdYes);
    ImportHostFile(scripted::kMainWindow);
    const Bytes after = testimg::ReadFile(path);
    if (c.import == kRefused) {
      EXPECT_EQ(std::vector<std::string>{c.importMessage}, Texts(scripted::Boxes()));
      EXPECT_TRUE(testsupport::BytesEqual(before, after));
      EXPECT_EQ(c.image != nullptr, testimg::FileExists(path));
    } else {
      ASSERT_FALSE(scripted::Boxes().empty());
      EXPECT_EQ(kMsgImportSucceeded, scripted::Boxes().back().text);
      ASSERT_EQ(c.rows + 1, static_cast<int>(scripted::Rows().size()));
      // The new file exports as imported.
      const std::string exported = temp.Path("exported");
      scripted::ChooseFile(exported);
      int row = -1;
      for (size_t r = 0; r < scripted::Rows().size(); r++)
        if (scripted::Rows()[r][0] == testsupport::ShownName("NEWFILE.BIN", App.Tables))
          row = static_cast<int>(r);
      ASSERT_GE(row, 0);
      App.TransferMode = kTransferBinary;
      ExportSelectedFile(scripted::kMainWindow, row);
      EXPECT_TRUE(testsupport::BytesEqual(hostData, testimg::ReadFile(exported)));
    }
    if (c.check) c.check(before, after);
  }
}

// A row whose run starts nowhere reports the reader's bounds message and writes no file.
TEST_F(BadInputsTest, ExportOfARunOutsideTheDiskFails) {
  VolumeBuilder v;
  FileSpec nowhere = File("NOWHERE", 0, 0, 0);
  nowhere.length = 0x100;
  nowhere.markUsed = false;
  v.Entry(v.AddFile(nowhere))[30] = 0xFF;
  UseImage(Build(v, false, kModePc), "bad.2d", kFormat2D);
  App.MachineMode = kModePc;
  LoadVolume(scripted::kMainWindow);
  ASSERT_EQ(1u, scripted::Rows().size());
  const std::string exported = temp.Path("exported");
  scripted::ChooseFile(exported);
  ExportSelectedFile(scripted::kMainWindow, 0);
  EXPECT_EQ((std::vector<std::string>{kMsgBadTrackSector, kMsgExportReadFailed}),
            Texts(scripted::Boxes()));
  EXPECT_FALSE(testimg::FileExists(exported));
}

}  // namespace
