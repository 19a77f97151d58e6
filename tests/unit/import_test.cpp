#include "flows/import.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "flows/app_image.h"
#include "flows/app_state.h"
#include "flows/attribute_dialog.h"
#include "flows/export.h"
#include "flows/volume_load.h"
#include "image/container.h"
#include "image/image_file.h"
#include "image/image_select.h"
#include "image/journal.h"
#include "image/sector_transfer.h"
#include "support/image_builder.h"
#include "support/test_support.h"
#include "texts/texts.h"
#include "transfer/export.h"
#include "transfer/import.h"
#include "volume/layout.h"

namespace {

using testsupport::Bytes;
using testsupport::Pattern;

using testimg::FileSpec;
using testimg::ImageSpec;
using testimg::VolumeBuilder;

ImageSpec Shape(bool d88, int machineMode) {
  ImageSpec shape;
  shape.d88 = d88;
  shape.machineMode = machineMode;
  return shape;
}

std::string Format(const char* format, long value) {
  char text[256];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

// ---- The pure steps --------------------------------------------------------------------------

struct ConvertCase {
  const char* what;
  std::vector<uint8_t> input;
  std::vector<uint8_t> expected;
};

TEST(ConvertImportText, Cases) {
  // TBL3 maps every byte to itself except these, so a lookup shows in the output.
  uint8_t tbl3[256];
  for (int i = 0; i < 256; i++) tbl3[i] = static_cast<uint8_t>(i);
  tbl3[static_cast<unsigned char>('A')] = 'a';
  tbl3[0x00] = 0x77;
  tbl3[0x0A] = 0x8A;
  tbl3[0x0D] = 0x8D;
  const std::vector<ConvertCase> cases = {
      {"CR LF, then the terminator", Bytes({'A', 'B', 0x0D, 0x0A}),
       Bytes({'a', 'B', 0x0D, 0x0D, 0x00})},
      {"already terminated", Bytes({'A', 0x0D, 0x0A, 0x00}), Bytes({'a', 0x0D, 0x00})},
      {"one byte", Bytes({'A'}), Bytes({'a', 0x0D, 0x00})},
      {"zero is not looked up", Bytes({0x00, 'B'}), Bytes({0x00, 'B', 0x0D, 0x00})},
      {"a lone LF", Bytes({0x0A}), Bytes({0x8A, 0x0D, 0x00})},
      {"a CR at the end", Bytes({'B', 0x0D}), Bytes({'B', 0x8D, 0x0D, 0x00})},
      {"CR CR LF", Bytes({0x0D, 0x0D, 0x0A}), Bytes({0x8D, 0x0D, 0x0D, 0x00})},
      {"LF CR", Bytes({0x0A, 0x0D}), Bytes({0x8A, 0x8D, 0x0D, 0x00})},
      {"empty", {}, Bytes({0x0D, 0x00})},
  };
  for (const ConvertCase& c : cases) {
    std::vector<uint8_t> out(c.input.size() + 2, 0xEE);
    const long n =
        ConvertImportText(c.input.data(), static_cast<long>(c.input.size()), tbl3, out.data());
    out.resize(static_cast<size_t>(n));
    EXPECT_EQ(out, c.expected) << c.what;
  }
}

class StorePendingEntryTest : public testsupport::AppTest {};

TEST_F(StorePendingEntryTest, FirstFreeSlotOfTheFirstEntryCount) {
  for (int i = 0; i < 32; i++) App.PendingEntry[i] = static_cast<uint8_t>(0x40 + i);
  App.EntryCount = 64;
  App.DirectoryBuffer[0] = 1;
  App.DirectoryBuffer[32] = 200;  // an unnamed type is a used slot too
  const std::vector<uint8_t> before(App.DirectoryBuffer, App.DirectoryBuffer + 4096);
  ASSERT_EQ(StorePendingEntry(&App, App.PendingEntry), 0);
  EXPECT_EQ(std::memcmp(App.DirectoryBuffer + 64, App.PendingEntry, 32), 0);
  EXPECT_EQ(std::memcmp(App.DirectoryBuffer, before.data(), 64), 0);
  EXPECT_EQ(std::memcmp(App.DirectoryBuffer + 96, before.data() + 96, 4096 - 96), 0);
}

TEST_F(StorePendingEntryTest, NoFreeSlot) {
  App.PendingEntry[0] = 1;
  App.EntryCount = 0;
  EXPECT_EQ(StorePendingEntry(&App, App.PendingEntry), -1);
  App.EntryCount = -5;
  EXPECT_EQ(StorePendingEntry(&App, App.PendingEntry), -1);
  App.EntryCount = 64;
  for (int k = 0; k < 64; k++) App.DirectoryBuffer[k * 32] = 1;
  const std::vector<uint8_t> before(App.DirectoryBuffer, App.DirectoryBuffer + 4096);
  EXPECT_EQ(StorePendingEntry(&App, App.PendingEntry),
            -1);  // slot 64 is free but beyond the entry count
  EXPECT_EQ(std::vector<uint8_t>(App.DirectoryBuffer, App.DirectoryBuffer + 4096), before);
  App.EntryCount = 128;
  EXPECT_EQ(StorePendingEntry(&App, App.PendingEntry), 0);
  EXPECT_EQ(App.DirectoryBuffer[64 * 32], 1);
}

// ---- The command -----------------------------------------------------------------------------

class ImportTest : public testsupport::AppTest {
 protected:
  void TearDown() override { ImageWriteFaults = ImageWriteFault{0, 0}; }

  // Makes the volume the loaded image.
  void Load(const VolumeBuilder& v, const ImageSpec& shape) {
    volume = v;
    spec_ = shape;
    image = testimg::BuildImage(v, shape);
    imagePath =
        UseImage(image, shape.d88 ? "disk.d88" : "disk.2d", shape.d88 ? kFormatD88 : kFormat2D);
    App.MachineMode = shape.machineMode;
    LoadVolume(scripted::kMainWindow);
    ASSERT_EQ(App.VolumeLoaded, 1);
    scripted::ClearBoxes();
  }
  std::string Host(const std::string& name, const std::vector<uint8_t>& bytes) {
    const std::string path = temp.Path(name);
    testimg::WriteFile(path, bytes);
    return path;
  }
  // Chooses the host file, presses OK in the attribute dialog and answers the confirmation.
  void Import(const std::string& hostPath, int answer = kIdYes) {
    scripted::ChooseFile(hostPath);
    scripted::DialogCommand(1);
    scripted::AnswerBox(answer);
    ImportHostFile(scripted::kMainWindow);
  }
  ::testing::AssertionResult Unchanged() {
    return testsupport::BytesEqual(image, testimg::ReadFile(imagePath));
  }
  // The image after `stored` (volume bytes) became a new file of that name with the defaults.
  std::vector<uint8_t> Expected(const std::vector<uint8_t>& stored, const std::string& name) {
    VolumeBuilder v = volume;
    FileSpec f;
    f.name = name;
    f.start = 0x1500;
    f.exec = 0;
    f.date[0] = 0x03;  // the scripted date 01/05/03
    f.date[1] = 0x01;
    f.date[2] = 0x05;
    f.data = stored;
    // The writer pads the last sector with 0xFF as stored, which under MZ reads back as 0x00.
    f.data.resize((stored.size() + 255) / 256 * 256, spec_.machineMode == kModeMz ? 0x00 : 0xFF);
    f.length = static_cast<int>(stored.size());
    EXPECT_GE(v.AddFile(f), 0);
    return testimg::BuildImage(v, spec_);
  }
  void ExpectOnlyBox(const std::string& text, const char* caption = kCaptionError) {
    ASSERT_EQ(scripted::Boxes().size(), 1u);
    EXPECT_EQ(scripted::Boxes()[0].text, text);
    EXPECT_EQ(scripted::Boxes()[0].caption, caption);
    EXPECT_EQ(scripted::Boxes()[0].flags, kMbOk);
    EXPECT_EQ(scripted::Boxes()[0].owner, scripted::kMainWindow);
  }
  void ExpectSucceeded() {
    ASSERT_FALSE(scripted::Boxes().empty());
    const scripted::Box& last = scripted::Boxes().back();
    EXPECT_EQ(last.text, kMsgImportSucceeded);
    EXPECT_EQ(last.caption, kCaptionSuccess);
    EXPECT_EQ(last.flags, kMbOk);
  }

  VolumeBuilder volume;
  ImageSpec spec_;
  std::vector<uint8_t> image;
  std::string imagePath;
};

struct KindCase {
  bool d88;
  int machineMode;
  int transferMode;
};

class ImportKindsTest : public ImportTest, public ::testing::WithParamInterface<KindCase> {};

TEST_P(ImportKindsTest, WritesDataEntryAndBitTable) {
  const KindCase& k = GetParam();
  VolumeBuilder v;
  v.AddFile(FileSpec{.name = "OLD", .data = Pattern(700, 1)});
  Load(v, Shape(k.d88, k.machineMode));
  App.TransferMode = k.transferMode;
  App.Tables.TBL3[static_cast<unsigned char>('A')] = 'a';
  App.Tables.TBL3[0x0A] = 0x8A;

  const std::vector<uint8_t> host = Bytes({'A', 'B', 0x0D, 0x0A, 'C', 0x0A, 0x00, 'D'});
  const std::vector<uint8_t> stored =
      k.transferMode == kTransferAscii ? Bytes({'a', 'B', 0x0D, 'C', 0x8A, 0x00, 'D', 0x0D, 0x00})
                                       : host;
  Import(Host("data.bin", host));

  EXPECT_TRUE(testsupport::BytesEqual(Expected(stored, "data.bin"), testimg::ReadFile(imagePath)));
  ASSERT_EQ(scripted::Boxes().size(), 2u);
  EXPECT_EQ(scripted::Boxes()[0].text, kMsgImportConfirm);
  EXPECT_EQ(scripted::Boxes()[0].caption, kCaptionConfirm);
  EXPECT_EQ(scripted::Boxes()[0].flags, kMbYesNo | kMbIconQuestion);
  ExpectSucceeded();
  // Reloaded: two rows; the title still names the image, not the imported host file, while
  // the next file dialog starts from the bare host name.
  EXPECT_EQ(scripted::Rows().size(), 2u);
  EXPECT_EQ(scripted::WindowText(scripted::kMainWindow),
            std::string(kProgramTitle) + " - " + imagePath);
  EXPECT_STREQ(App.ChosenPath, "data.bin");
  EXPECT_EQ(scripted::LastDialogResource(), kAttributeDialogId);
}

INSTANTIATE_TEST_SUITE_P(Kinds, ImportKindsTest,
                         ::testing::Values(KindCase{false, kModeMz, kTransferBinary},
                                           KindCase{false, kModePc, kTransferAscii},
                                           KindCase{true, kModeMz, kTransferAscii},
                                           KindCase{true, kModePc, kTransferBinary},
                                           KindCase{false, kModeMz, kTransferAscii},
                                           KindCase{true, kModeMz, kTransferBinary}));

TEST_F(ImportTest, OpenDialogAndDialogDefaults) {
  VolumeBuilder v;
  Load(v, Shape(false, kModePc));
  scripted::SetLocalDate("12/31/99");
  scripted::ChooseFile(Host("verylongfilename.txt", Pattern(0x1234, 2)));
  ImportHostFile(scripted::kMainWindow);  // no steps: the dialog is cancelled

  ASSERT_EQ(scripted::FileDialogs().size(), 1u);
  const scripted::FileDialogRecord& d = scripted::FileDialogs()[0];
  EXPECT_FALSE(d.save);
  EXPECT_EQ(d.initialFile, imagePath);
  EXPECT_EQ(d.title, kImportDialogTitle);
  EXPECT_EQ(d.filter, std::string(kFilterAllFilesJa) + '\0' + "*.*" + '\0' + '\0');
  EXPECT_EQ(d.defExt, "*");
  EXPECT_EQ(d.request.structSize, 76u);
  EXPECT_EQ(d.request.flags, 4100u);
  EXPECT_EQ(d.request.fileCapacity, 260u);
  EXPECT_EQ(d.request.fileTitle, nullptr);

  const std::map<int, std::string> expected = {
      {kCtlName, "verylongfilename"},
      {kCtlStart, "1500"},
      {kCtlExec, "0000"},
      {kCtlLength, "1234"},
      {kCtlYear, "99"},
      {kCtlMonth, "12"},
      {kCtlDay, "31"},
      {kCtlTrk, "02"},
      {kCtlSct, "01"},
  };
  EXPECT_EQ(scripted::DialogInitialTexts(), expected);
  EXPECT_TRUE(scripted::DialogChecked(kCtlUnlock));
  EXPECT_EQ(scripted::DialogComboSelected(kCtlType), 0);
  const uint8_t head[4] = {1, 'v', 'e', 'r'};
  EXPECT_EQ(std::memcmp(App.PendingEntry, head, 4), 0);
  EXPECT_EQ(App.PendingEntry[17], 0x0D);
  EXPECT_EQ(App.PendingEntry[26], 0x99);
  EXPECT_EQ(App.PendingEntry[27], 0x12);
  EXPECT_EQ(App.PendingEntry[28], 0x31);
  // Cancelled: silent, the image as it was, the bare name kept.
  EXPECT_TRUE(scripted::Boxes().empty());
  EXPECT_TRUE(Unchanged());
  EXPECT_STREQ(App.ChosenPath, "verylongfilename.txt");
}

TEST_F(ImportTest, ShortNameLeavesZeroBytes) {
  VolumeBuilder v;
  Load(v, Shape(false, kModePc));
  scripted::ChooseFile(Host("a.b.c", Pattern(3, 3)));
  ImportHostFile(scripted::kMainWindow);
  const uint8_t expected[17] = {1, 'a', '.', 'b', '.', 'c'};
  EXPECT_EQ(std::memcmp(App.PendingEntry, expected, 17), 0);
  EXPECT_EQ(scripted::DialogInitialTexts().at(kCtlName), "a.b.c");
}

TEST_F(ImportTest, MainDirectoryFullGoesToTheExtendedDirectory) {
  VolumeBuilder v;
  v.SetExdir(10, 1);
  for (int k = 0; k < 64; k++) {
    char name[8];
    std::snprintf(name, sizeof name, "F%02d", k);
    v.AddFile(FileSpec{.name = name, .data = {}});
  }
  Load(v, Shape(true, kModeMz));
  const std::vector<uint8_t> host = Pattern(1000, 4);
  Import(Host("EXTRA", host));
  ExpectSucceeded();
  EXPECT_TRUE(testsupport::BytesEqual(Expected(host, "EXTRA"), testimg::ReadFile(imagePath)));
  EXPECT_EQ(scripted::Rows().size(), 65u);
}

TEST_F(ImportTest, LargestFileAndTheFirstTooLarge) {
  VolumeBuilder v;
  Load(v, Shape(false, kModeMz));
  scripted::ChooseFile(Host("big", std::vector<uint8_t>(65536, 1)));
  ImportHostFile(scripted::kMainWindow);
  ExpectOnlyBox(Format(kMsgFileTooBig, 65536));
  EXPECT_EQ(scripted::DialogRuns(), 0);
  EXPECT_TRUE(Unchanged());

  scripted::ClearBoxes();
  const std::vector<uint8_t> host = Pattern(65535, 5);
  Import(Host("max", host));
  ExpectSucceeded();
  EXPECT_EQ(scripted::DialogInitialTexts().at(kCtlLength), "FFFF");
  EXPECT_TRUE(testsupport::BytesEqual(Expected(host, "max"), testimg::ReadFile(imagePath)));
}

TEST_F(ImportTest, AsciiConversionPastTheLimitIsRefused) {
  VolumeBuilder v;
  Load(v, Shape(false, kModePc));
  App.TransferMode = kTransferAscii;
  // 65534 bytes give 65536 with the terminator; 65533 give exactly 65535.
  scripted::ChooseFile(Host("long.txt", std::vector<uint8_t>(65534, 'x')));
  ImportHostFile(scripted::kMainWindow);
  ExpectOnlyBox(Format(kMsgFileTooBig, 65536));
  EXPECT_EQ(scripted::DialogRuns(), 0);
  EXPECT_TRUE(Unchanged());

  scripted::ClearBoxes();
  std::vector<uint8_t> stored(65533, 'x');
  Import(Host("fits.txt", stored));
  ExpectSucceeded();
  stored.push_back(0x0D);
  stored.push_back(0x00);
  EXPECT_TRUE(testsupport::BytesEqual(Expected(stored, "fits.txt"), testimg::ReadFile(imagePath)));
}

TEST_F(ImportTest, Refusals) {
  VolumeBuilder v;
  Load(v, Shape(true, kModePc));

  scripted::ChooseFile(Host("empty", {}));
  ImportHostFile(scripted::kMainWindow);
  ExpectOnlyBox(kMsgFileEmpty);

  scripted::ClearBoxes();
  const std::string missing = temp.Path("no-such-file");
  scripted::ChooseFile(missing);
  ImportHostFile(scripted::kMainWindow);
  char text[512];
  std::snprintf(text, sizeof text, kMsgHostOpenFailed, missing.c_str());
  ExpectOnlyBox(text);

  scripted::ClearBoxes();
  scripted::CancelFileDialog();
  ImportHostFile(scripted::kMainWindow);
  EXPECT_TRUE(scripted::Boxes().empty());

  App.VolumeLoaded = 0;
  const size_t dialogs = scripted::FileDialogs().size();
  Import(Host("x", Pattern(10, 6)));
  ExpectOnlyBox(kMsgImportNotReady);
  EXPECT_EQ(scripted::FileDialogs().size(), dialogs);

  EXPECT_EQ(scripted::DialogRuns(), 0);
  EXPECT_TRUE(Unchanged());
}

TEST_F(ImportTest, CancelAndNoLeaveTheImage) {
  VolumeBuilder v;
  v.AddFile(FileSpec{.name = "OLD", .data = Pattern(300, 7)});
  Load(v, Shape(false, kModeMz));
  const std::string host = Host("new", Pattern(300, 8));

  scripted::ChooseFile(host);
  scripted::DialogCommand(2);
  ImportHostFile(scripted::kMainWindow);
  EXPECT_TRUE(scripted::Boxes().empty());
  EXPECT_TRUE(Unchanged());

  Import(host, kIdNo);
  ASSERT_EQ(scripted::Boxes().size(), 1u);
  EXPECT_EQ(scripted::Boxes()[0].text, kMsgImportConfirm);
  EXPECT_TRUE(Unchanged());
  EXPECT_EQ(scripted::Rows().size(), 1u);  // no reload
}

// A host path that does not fit the 260-byte ChosenPath is refused with a message; the image and
// ChosenPath stay as they were.
TEST_F(ImportTest, HostPathTooLongIsRefused) {
  VolumeBuilder v;
  v.AddFile(FileSpec{.name = "OLD", .data = Pattern(300, 7)});
  Load(v, Shape(true, kModePc));
  const std::string chosenBefore = App.ChosenPath;
  scripted::ChooseFile("/" + std::string(300, 'x'));
  ImportHostFile(scripted::kMainWindow);
  ExpectOnlyBox(kMsgPathTooLong);
  EXPECT_EQ(chosenBefore, App.ChosenPath);
  EXPECT_TRUE(Unchanged());
  EXPECT_EQ(0, scripted::DialogRuns());
}

TEST_F(ImportTest, FullDisk) {
  VolumeBuilder v;
  v.MarkUsed(32, 1280 - 32);  // the sectors after track 79 cannot begin a run
  Load(v, Shape(true, kModeMz));
  Import(Host("f", Pattern(1, 9)));
  ExpectOnlyBox(kMsgDiskFull);
  EXPECT_EQ(scripted::DialogRuns(), 0);
  EXPECT_TRUE(Unchanged());
}

TEST_F(ImportTest, FullDirectoryIsFoundAfterTheDialog) {
  VolumeBuilder v;
  for (int k = 0; k < 64; k++) {
    char name[8];
    std::snprintf(name, sizeof name, "F%02d", k);
    v.AddFile(FileSpec{.name = name, .data = {}});
  }
  Load(v, Shape(false, kModePc));
  Import(Host("f", Pattern(100, 10)));
  EXPECT_EQ(scripted::DialogRuns(), 1);
  ExpectOnlyBox(kMsgDirectoryFull);
  EXPECT_TRUE(Unchanged());
}

TEST_F(ImportTest, DuplicateNameKeepsTheDialogOpen) {
  VolumeBuilder v;
  v.AddFile(FileSpec{.name = "readme.txt", .data = Pattern(10, 11)});
  Load(v, Shape(false, kModePc));
  scripted::ChooseFile(Host("README.TXT", Pattern(10, 12)));
  scripted::DialogCommand(1);
  scripted::DialogSetText(kCtlName, "README2.TXT");
  scripted::DialogCommand(1);
  scripted::AnswerBox(kIdOk);
  scripted::AnswerBox(kIdYes);
  ImportHostFile(scripted::kMainWindow);
  ASSERT_EQ(scripted::Boxes().size(), 3u);
  EXPECT_EQ(scripted::Boxes()[0].text, kMsgNameDuplicate);
  EXPECT_EQ(scripted::Boxes()[0].owner, scripted::kDialogWindow);
  ExpectSucceeded();
  EXPECT_TRUE(testsupport::BytesEqual(Expected(Pattern(10, 12), "README2.TXT"),
                                      testimg::ReadFile(imagePath)));
}

// Volumes on which an import would lose data: each is refused before the confirmation.
struct DamageCase {
  const char* what;
  bool d88;
  int machineMode;
  int exdirTrack, exdirSector;
  bool exdirMarked;
  int missingPhysicalTrack, missingSector;  // a sector the D88 image does not carry
  size_t hostBytes;
};

class ImportDamageTest : public ImportTest, public ::testing::WithParamInterface<DamageCase> {};

TEST_P(ImportDamageTest, RefusedBeforeTheConfirmation) {
  const DamageCase& c = GetParam();
  VolumeBuilder v;
  if (c.exdirTrack >= 0) v.SetExdir(c.exdirTrack, c.exdirSector, c.exdirMarked);
  ImageSpec shape = Shape(c.d88, c.machineMode);
  if (c.missingPhysicalTrack >= 0) {
    std::vector<int>& order = shape.sectorOrder[c.missingPhysicalTrack];
    for (int s = 1; s <= 16; s++)
      if (s != c.missingSector) order.push_back(s);
  }
  Load(v, shape);
  Import(Host("victim", Pattern(c.hostBytes, 13)));
  EXPECT_EQ(scripted::DialogRuns(), 1) << c.what;
  ExpectOnlyBox(kMsgVolumeDamaged);
  EXPECT_TRUE(Unchanged()) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ImportDamageTest,
    ::testing::Values(
        DamageCase{"extended directory on the directory", false, kModeMz, 1, 1, true, -1, 0, 10},
        DamageCase{"extended directory reaching into track 1", true, kModePc, 1, 10, true, -1, 0,
                   10},
        DamageCase{"extended directory on free sectors", false, kModePc, 2, 1, false, -1, 0, 10},
        DamageCase{"extended directory over the run's last sector", false, kModeMz, 2, 2, false, -1,
                   0, 512},
        DamageCase{"data sector missing from the image", true, kModePc, -1, 0, false, 2, 2, 300},
        DamageCase{"data sector missing under MZ", true, kModeMz, -1, 0, false, 3, 1, 10},
        DamageCase{"directory sector missing", true, kModePc, -1, 0, false, 1, 8, 10},
        DamageCase{"system area sector missing", true, kModeMz, -1, 0, false, 1, 3, 10},
        DamageCase{"extended directory sector missing", true, kModePc, 40, 12, true, 41, 3, 10}));

TEST_F(ImportTest, HealthyExtendedDirectoryBesideTheRun) {
  // The extended directory right after a run of free sectors, its bits set: nothing overlaps.
  VolumeBuilder v;
  v.SetExdir(2, 3);
  Load(v, Shape(true, kModeMz));
  const std::vector<uint8_t> host = Pattern(512, 14);
  Import(Host("beside", host));
  ExpectSucceeded();
  EXPECT_TRUE(testsupport::BytesEqual(Expected(host, "beside"), testimg::ReadFile(imagePath)));
}

TEST_F(ImportTest, RoundTripIsByteIdentical) {
  VolumeBuilder v;
  v.AddFile(FileSpec{.name = "OLD", .data = Pattern(100, 15)});
  Load(v, Shape(true, kModeMz));
  const std::vector<uint8_t> host = Pattern(4097, 16);
  Import(Host("trip.bin", host));
  ExpectSucceeded();
  ASSERT_EQ(scripted::Rows().size(), 2u);
  const std::string out = temp.Path("back.bin");
  scripted::ChooseFile(out);
  ExportSelectedFile(scripted::kMainWindow, 1);
  EXPECT_TRUE(testsupport::BytesEqual(host, testimg::ReadFile(out)));
}

// Every used entry of the image lies on sectors that its bit table marks used.
::testing::AssertionResult EntriesOnUsedSectors() {
  uint8_t system[512];
  uint8_t directory[4096] = {};
  if (ZLV_ReadZelvoFile(scripted::kMainWindow, system, 0, 2, 512) != 0)
    return ::testing::AssertionFailure() << "system area unreadable";
  if (ZLV_ReadZelvoFile(scripted::kMainWindow, directory, 1, 1, 2048) != 0)
    return ::testing::AssertionFailure() << "directory unreadable";
  int slots = 64;
  const int t = system[174], s = system[175];
  if (t >= 1 && t <= 83 && s >= 1 && s <= 16) {
    slots = 128;
    if (ZLV_ReadZelvoFile(scripted::kMainWindow, directory + 2048, t, s, 2048) != 0)
      return ::testing::AssertionFailure() << "extended directory unreadable";
  }
  for (int k = 0; k < slots; k++) {
    const uint8_t* e = directory + k * 32;
    if (e[0] == 0) continue;
    const int first = SectorIndex(e[30], e[31]);
    for (int i = first; i < first + SectorsFor(EntryLength(e)); i++)
      if (!((system[i / 8] >> (i % 8)) & 1))
        return ::testing::AssertionFailure() << "slot " << k << " owns free sector " << i;
  }
  return ::testing::AssertionSuccess();
}

struct FaultCase {
  bool d88;
  int machineMode;
  bool mainFull;  // the entry goes to the extended directory
};

class ImportFaultTest : public ImportTest, public ::testing::WithParamInterface<FaultCase> {};

TEST_P(ImportFaultTest, NoEntryOnFreeSectorsWhicheverWriteFails) {
  const FaultCase& c = GetParam();
  VolumeBuilder v;
  v.SetExdir(20, 9);
  v.AddFile(FileSpec{.name = "OLD", .data = Pattern(600, 17)});
  for (int k = 1; c.mainFull && k < 64; k++) {
    char name[8];
    std::snprintf(name, sizeof name, "F%02d", k);
    v.AddFile(FileSpec{.name = name, .data = {}});
  }
  const std::vector<uint8_t> host = Pattern(700, 18);

  // A clean run counts the writes.
  Load(v, Shape(c.d88, c.machineMode));
  ImageWriteFaults = ImageWriteFault{0, 0};
  Import(Host("new", host));
  ExpectSucceeded();
  const int writes = ImageWriteFaults.writesDone;
  ASSERT_GE(writes, 3 + 2 + 8 + 8);
  ASSERT_TRUE(EntriesOnUsedSectors());

  for (int n = 1; n <= writes; n++) {
    SCOPED_TRACE(::testing::Message() << "write " << n << " of " << writes << " fails");
    AppTest::SetUp();
    Load(v, Shape(c.d88, c.machineMode));
    ImageWriteFaults = ImageWriteFault{n, 0};
    Import(Host("new", host));
    ImageWriteFaults = ImageWriteFault{0, 0};
    ASSERT_EQ(scripted::Boxes().size(), 2u);
    EXPECT_EQ(scripted::Boxes()[1].text, kMsgWriteFailed);
    EXPECT_EQ(scripted::Boxes()[1].caption, kCaptionWrite);
    EXPECT_TRUE(EntriesOnUsedSectors());
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, ImportFaultTest,
                         ::testing::Values(FaultCase{false, kModeMz, false},
                                           FaultCase{true, kModePc, true},
                                           FaultCase{true, kModeMz, false}));

}  // namespace

// ---- The operation, without a window ---------------------------------------------------------

class ImportOperationTest : public ImportTest {
 protected:
  // The steps on a volume of their own (App untouched), the texts as typed; the outcome's formats.
  int Run(const std::string& hostPath, const AttributeTexts* typed, ReplacePolicy policy,
          std::vector<const char*>* formats) {
    ImageTarget target;
    AppImageTarget(&target);
    Outcome out;
    OutcomeClear(&out);
    int result = -1;
    const long length = ReadImportFile(hostPath.c_str(), kTransferBinary, nullptr, &out);
    uint8_t entry[kEntryBytes];
    ImportPlan plan;
    int replaced = -1;
    AttributeTexts texts;
    if (length >= 0 && PlanImport(&target, &own, hostPath.c_str(), length, policy != kReplaceNever,
                                  "01/05/03", entry, &plan, &out) == 0) {
      DefaultAttributeTexts(entry, &texts);
      if (CheckImportAttributes(typed ? *typed : texts, policy, &own, entry, &replaced, &out) ==
              0 &&
          PlaceImport(&target, &own, replaced, entry, &plan, &out) == 0)
        result = WriteImport(&target, &own, plan, &out);
    }
    for (int i = 0; i < out.count; i++) formats->push_back(out.messages[i].format);
    return result;
  }
  VolumeState own = {};
};

TEST_F(ImportOperationTest, StepsWriteWhatTheCommandWritesAndTellRefusalsByTheirText) {
  VolumeBuilder v;
  v.AddFile(FileSpec{.name = "OLD", .data = Pattern(700, 1)});
  v.AddFile(FileSpec{.name = "KEPT", .lock = 1, .data = Pattern(300, 2)});
  Load(v, Shape(true, kModeMz));
  const AppState before = App;
  const std::vector<uint8_t> host = Pattern(1000, 3);
  const std::string path = Host("new.bin", host);
  std::vector<const char*> formats;

  // A locked file of the same name is refused under every replace policy; nothing is written.
  AttributeTexts texts;
  uint8_t entry[kEntryBytes];
  BuildPendingEntry(entry, "new.bin", 1000, 2, 1, "01/05/03");
  DefaultAttributeTexts(entry, &texts);
  EXPECT_STREQ(texts.name, "new.bin");
  EXPECT_STREQ(texts.start, "1500");
  EXPECT_STREQ(texts.exec, "0000");
  EXPECT_STREQ(texts.year, "03");
  EXPECT_STREQ(texts.typeItem, "OBJ");
  std::snprintf(texts.name, sizeof texts.name, "KEPT");
  EXPECT_EQ(Run(path, &texts, kReplaceNever, &formats), -1);
  EXPECT_EQ(Run(path, &texts, kReplaceAlways, &formats), -1);
  EXPECT_EQ(formats, (std::vector<const char*>{kMsgNameDuplicate, kMsgReplaceLocked}));
  EXPECT_TRUE(Unchanged());

  // The defaults: the same image as the window's import writes, and no message.
  formats.clear();
  EXPECT_EQ(Run(path, nullptr, kReplaceNever, &formats), 0);
  EXPECT_TRUE(formats.empty());
  EXPECT_TRUE(testsupport::BytesEqual(Expected(host, "new.bin"), testimg::ReadFile(imagePath)));
  EXPECT_EQ(std::memcmp(&before, &App, sizeof App), 0);  // the window's record is untouched
}

// Another program changes the image while the window plans an import: a change made before the
// import read the volume is kept under the import; one made while its dialog and question were
// open refuses the import and stays as that program left it, even when this process has changed
// another image meanwhile (its own commits excuse only changes of the same image).
TEST_F(ImportTest, AnotherProgramsChangeIsNeverOverwritten) {
  VolumeBuilder v;
  v.AddFile(FileSpec{.name = "GAME", .data = Pattern(700, 1)});
  VolumeBuilder renamed;
  renamed.AddFile(FileSpec{.name = "RENAMED", .data = Pattern(700, 1)});
  const std::string host = Host("new.bin", Pattern(300, 2));
  for (const bool otherImage : {false, true}) {
    SCOPED_TRACE(otherImage ? "this process wrote another image meanwhile" : "nothing else");
    Load(v, Shape(true, kModeMz));
    const std::vector<uint8_t> theirs = testimg::BuildImage(renamed, spec_);
    const std::string elsewhere = Host("elsewhere.2d", testimg::BuildImage(v, Shape(false, 0)));
    scripted::OnNextBox([&] {
      testimg::WriteFile(imagePath, theirs);
      if (!otherImage) return;
      ImageTarget target;
      ImageTargetFor(&target, elsewhere.c_str(), ContainerForFormat(kFormat2D), kModeMz);
      target.change = testsupport::SpareChange();
      Outcome out;
      OutcomeClear(&out);
      std::vector<uint8_t> sector(256, 0x55);
      ASSERT_EQ(BeginImageChange(&out, &target), 0);
      ASSERT_EQ(QueueSectorRun(&target, sector.data(), 40, 1, 256), kImageOk);
      ASSERT_EQ(CommitImageChange(&out, target.change), 0);
    });
    Import(host);
    ASSERT_GE(scripted::Boxes().size(), 2u);
    EXPECT_EQ(scripted::Boxes()[1].text, kMsgVolumeChanged);
    EXPECT_TRUE(testsupport::BytesEqual(theirs, testimg::ReadFile(imagePath)));
    EXPECT_EQ(scripted::Rows().size(), 1u);  // read again, as the message says
  }

  // Changed before the import read it: the import is planned on what that program left.
  Load(v, Shape(true, kModeMz));
  testimg::WriteFile(imagePath, testimg::BuildImage(renamed, spec_));
  Import(host);
  ExpectSucceeded();
  EXPECT_EQ(scripted::Rows().size(), 2u);
  volume = renamed;
  EXPECT_TRUE(
      testsupport::BytesEqual(Expected(Pattern(300, 2), "new.bin"), testimg::ReadFile(imagePath)));
}
