// Several disks in one D88 file (listing, choosing, reading and writing one disk alone) and the
// write-protect flag (every change refused before any dialog, the image left byte for byte).
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "flows/app_image.h"
#include "flows/app_state.h"
#include "flows/batch_import.h"
#include "flows/delete_files.h"
#include "flows/disk_chooser.h"
#include "flows/edit_attributes.h"
#include "flows/import.h"
#include "flows/open_image.h"
#include "flows/volume_load.h"
#include "image/container_d88.h"
#include "image/image_file.h"
#include "image/journal.h"
#include "support/image_builder.h"
#include "support/test_support.h"
#include "texts/texts.h"
#include "transfer/batch_import.h"
#include "transfer/delete_files.h"
#include "transfer/edit_attributes.h"
#include "transfer/import.h"
#include "volume/layout.h"

namespace {

using testimg::FileSpec;
using testimg::ImageSpec;
using testimg::VolumeBuilder;

std::vector<uint8_t> Disk(const std::string& fileName, const std::string& diskName,
                          uint8_t protect = 0) {
  VolumeBuilder v;
  FileSpec f;
  f.name = fileName;
  f.data = testsupport::Pattern(700, static_cast<int>(fileName.size()));
  EXPECT_GE(v.AddFile(f), 0);
  ImageSpec shape;
  shape.d88 = true;
  shape.d88Name = diskName;
  shape.d88WriteProtect = protect;
  return testimg::BuildImage(v, shape);
}

std::vector<uint8_t> Join(const std::vector<std::vector<uint8_t>>& disks) {
  std::vector<uint8_t> out;
  for (const auto& d : disks) out.insert(out.end(), d.begin(), d.end());
  return out;
}

class DisksTest : public testsupport::AppTest {
 protected:
  int List(const std::vector<uint8_t>& bytes, ImageDisk* disks) {
    const std::string path = temp.Path("list.d88");
    testimg::WriteFile(path, bytes);
    ImageTarget target;
    ImageTargetFor(&target, path.c_str(), &kD88Container, kModeMz);
    target.change = testsupport::SpareChange();
    return ImageListDisks(&target, disks, kMaxImageDisks);
  }
  // The Open command on the file, choosing `disk` in the chooser (-1: cancel it).
  void Open(const std::string& path, int disk) {
    scripted::ChooseFile(path);
    if (disk >= 0) {
      scripted::DialogSelectCombo(kDiskComboId, disk);
      scripted::DialogCommand(kIdOk);
    }
    OpenImageCommand(scripted::kMainWindow);
  }
  std::string FirstName() { return scripted::Rows().empty() ? "" : scripted::Rows()[0][0]; }
};

TEST_F(DisksTest, ListingFollowsTheSizeFieldsOnlyToSoundHeaders) {
  const std::vector<uint8_t> a = Disk("A", "DISK A"), b = Disk("B", "DISK B"),
                             c = Disk("C", "DISK C", 0x10);
  ImageDisk disks[kMaxImageDisks];
  ASSERT_EQ(List(a, disks), 1);
  EXPECT_EQ(disks[0].base, 0u);
  EXPECT_EQ(disks[0].end, a.size());
  EXPECT_STREQ(disks[0].name, "DISK A");

  ASSERT_EQ(List(Join({a, b, c}), disks), 3);
  EXPECT_EQ(disks[1].base, a.size());
  EXPECT_EQ(disks[2].base, a.size() + b.size());
  EXPECT_EQ(disks[2].end, a.size() + b.size() + c.size());
  EXPECT_STREQ(disks[2].name, "DISK C");
  EXPECT_TRUE(disks[2].writeProtected);

  // Bytes after the first disk that are no sound header: one disk over the whole file.
  std::vector<uint8_t> junk = a;
  junk.resize(a.size() + 5000, 0xE5);
  ASSERT_EQ(List(junk, disks), 1);
  EXPECT_EQ(disks[0].end, junk.size());
  // A second header whose size reaches past the file, or with an unknown media type.
  std::vector<uint8_t> bad = Join({a, b});
  bad[a.size() + 0x1C] = 0xFF;
  EXPECT_EQ(List(bad, disks), 1);
  bad = Join({a, b});
  bad[a.size() + 0x1B] = 0x99;
  EXPECT_EQ(List(bad, disks), 1);
  // A first size field below 688 or not smaller than the file: one disk.
  bad = Join({a, b});
  bad[0x1C] = bad[0x1D] = bad[0x1E] = bad[0x1F] = 0;
  EXPECT_EQ(List(bad, disks), 1);
}

TEST_F(DisksTest, EachDiskIsReadAndWrittenAlone) {
  const std::vector<uint8_t> a = Disk("AAA", "DISK A"), b = Disk("BBB", "DISK B");
  const std::string path = temp.Path("two.d88");
  testimg::WriteFile(path, Join({a, b}));
  App.Tables = testsupport::IdentityTables();

  Open(path, 0);
  ASSERT_EQ(App.VolumeLoaded, 1);
  EXPECT_EQ(FirstName(), testsupport::ShownName("AAA", App.Tables));
  EXPECT_EQ(scripted::LastDialogResource(), kDiskDialogId);
  EXPECT_EQ(scripted::DialogComboItems(kDiskComboId).size(), 2u);

  Open(path, 1);
  ASSERT_EQ(App.VolumeLoaded, 1);
  EXPECT_EQ(FirstName(), testsupport::ShownName("BBB", App.Tables));
  EXPECT_NE(scripted::WindowText(scripted::kMainWindow).find("DISK B"), std::string::npos);

  // Import into disk 1: disk 0 stays byte for byte, disk 1 gains the file.
  const std::string host = temp.Path("NEW");
  testimg::WriteFile(host, testsupport::Pattern(1000, 3));
  scripted::ChooseFile(host);
  scripted::DialogCommand(kIdOk);
  scripted::AnswerBox(kIdYes);
  ImportHostFile(scripted::kMainWindow);
  const std::vector<uint8_t> after = testimg::ReadFile(path);
  ASSERT_EQ(after.size(), a.size() + b.size());
  EXPECT_TRUE(
      testsupport::BytesEqual(a, std::vector<uint8_t>(after.begin(), after.begin() + a.size())));
  EXPECT_FALSE(
      testsupport::BytesEqual(b, std::vector<uint8_t>(after.begin() + a.size(), after.end())));
  EXPECT_EQ(scripted::Rows().size(), 2u);

  // Cancelling the chooser changes nothing: disk 1 stays open.
  Open(path, -1);
  EXPECT_EQ(App.DiskIndex, 1);
  EXPECT_EQ(scripted::Rows().size(), 2u);
}

TEST_F(DisksTest, RecordsOutsideTheDiskAreAbsent) {
  // Disk 1's physical track 1 (logical 0 under MZ) starts at its last record, whose count lets
  // the lookup walk on into disk 2, whose header byte 2 reads as sector number 2.
  const std::vector<uint8_t> a = Disk("AAA", "A"), b = Disk("BBB", "B"),
                             c = Disk("CCC", std::string("CC\x02"));
  std::vector<uint8_t> file = Join({a, b, c});
  const uint32_t last = static_cast<uint32_t>(b.size() - 272);
  for (int i = 0; i < 4; i++) file[a.size() + 32 + 4 + i] = static_cast<uint8_t>(last >> (8 * i));
  UseImage(file, "three.d88", kFormatD88);
  ImageDisk disks[kMaxImageDisks];
  ImageTarget target;
  AppImageTarget(&target);
  ASSERT_EQ(ImageListDisks(&target, disks, kMaxImageDisks), 3);
  SelectImageDisk(disks, 3, 1);
  uint8_t sector[256];
  std::memset(sector, 0x55, sizeof sector);
  EXPECT_EQ(ZLV_ReadZelvoFile(scripted::kMainWindow, sector, 0, 2, 256), 0);
  EXPECT_EQ(sector[0], 0xFF);  // absent: zero, inverted
  EXPECT_EQ(ImageCarriesRun(0, 2, 256), 0);
  // A write to it lands nowhere.
  std::memset(sector, 0x11, sizeof sector);
  EXPECT_EQ(ZLV_WriteZelvoFile(scripted::kMainWindow, sector, 0, 2, 256), 0);
  EXPECT_TRUE(testsupport::BytesEqual(file, testimg::ReadFile(App.ImagePath)));
}

TEST_F(DisksTest, OneDiskFileReadsRecordsPastItsSizeField) {
  // A file of one disk whose size field is smaller than the file: records beyond it still count.
  std::vector<uint8_t> a = Disk("AAA", "A");
  a[0x1C] = 0xB0;
  a[0x1D] = 0x02;
  a[0x1E] = a[0x1F] = 0;  // 688
  UseImage(a, "one.d88", kFormatD88);
  App.MachineMode = kModeMz;
  LoadVolume(scripted::kMainWindow);
  EXPECT_EQ(App.VolumeLoaded, 1);
  EXPECT_EQ(scripted::Rows().size(), 1u);
  EXPECT_EQ(App.DiskCount, 0);  // not opened through the chooser
}

TEST_F(DisksTest, WriteProtectedDiskRefusesEveryChangeFirst) {
  for (bool several : {false, true}) {
    SCOPED_TRACE(several ? "disk 1 of 2" : "one disk");
    const std::vector<uint8_t> file =
        several ? Join({Disk("AAA", "A"), Disk("BBB", "B", 0x10)}) : Disk("AAA", "A", 0x10);
    const std::string path = temp.Path(several ? "p2.d88" : "p1.d88");
    testimg::WriteFile(path, file);
    Open(path, several ? 1 : -1);
    ASSERT_EQ(App.VolumeLoaded, 1);
    EXPECT_TRUE(ImageWriteProtected());
    // Every writing command refuses with one box, before any dialog or question.
    const std::string host = temp.Path("host.bin");
    testimg::WriteFile(host, testsupport::Pattern(100, 3));
    const char* hosts[] = {host.c_str()};
    const int slot = 0;
    const struct {
      const char* name;
      void (*run)(const char* const* hosts, const int* slot);
    } commands[] = {
        {"import", [](const char* const*, const int*) { ImportHostFile(scripted::kMainWindow); }},
        {"import many", [](const char* const* h,
                           const int*) { ImportHostFiles(scripted::kMainWindow, h, 1, nullptr); }},
        {"delete",
         [](const char* const*, const int* s) { DeleteFiles(scripted::kMainWindow, s, 1); }},
        {"attributes", [](const char* const*,
                          const int* s) { EditFileAttributes(scripted::kMainWindow, *s, true); }},
    };
    for (const auto& command : commands) {
      SCOPED_TRACE(command.name);
      scripted::ClearBoxes();
      const size_t dialogsBefore = scripted::FileDialogs().size();
      const int runsBefore = scripted::DialogRuns();
      command.run(hosts, &slot);
      ASSERT_EQ(scripted::Boxes().size(), 1u);
      EXPECT_EQ(scripted::Boxes()[0].text, kMsgWriteProtected);
      EXPECT_EQ(scripted::FileDialogs().size(), dialogsBefore);  // no dialog was shown
      EXPECT_EQ(scripted::DialogRuns(), runsBefore);
    }
    scripted::ClearBoxes();
    EXPECT_EQ(ImageBeginChange(scripted::kMainWindow), -1);
    EXPECT_FALSE(ImageChangeActive(App.Change));
    EXPECT_EQ(scripted::Boxes().size(), 1u);
    EXPECT_TRUE(testsupport::BytesEqual(file, testimg::ReadFile(path)));
  }
  // Disk 0 of the same file is not protected (a flat image never is: the container sweep).
  const std::string path = temp.Path("p2.d88");
  Open(path, 0);
  EXPECT_FALSE(ImageWriteProtected());
}

}  // namespace
