// zelvo new, and export and import of many files at once.
#include <algorithm>
#include <cstring>
#include <filesystem>

#include "cli_fixture.h"
#include "support/test_support.h"
#include "texts/texts.h"

namespace clitest {
namespace {

using testimg::FileSpec;
using testimg::VolumeBuilder;
using testsupport::Pattern;

class NewAndBatchTest : public CliTest {};

// A new image of every layout and convention reads back clean and empty, takes an import, and
// is exactly the builder's blank volume with the given fields.
TEST_F(NewAndBatchTest, NewImageIsCleanEmptyAndTakesAnImport) {
  testimg::WriteFile(Path("data.bin"), Pattern(300, 3));
  for (const Layout& layout : kLayouts) {
    for (const char* mode : {"mz", "pc"}) {
      const std::string image = std::string("new") + layout.extension;
      SCOPED_TRACE(image + " " + mode);
      Result r = Zelvo({"new", "--mode", mode, "--name", "WORK DISK", "--volume", "12", "--date",
                        "24/02/29", "--exdir", image});
      ASSERT_EQ(r.code, 0) << r.err;
      EXPECT_EQ(r.out, image + "\n");
      VolumeBuilder expected;
      expected.SetDiskName("WORK DISK")
          .SetVolumeNumber(12)
          .SetDate(0x24, 0x02, 0x29)
          .SetExdir(2, 1);
      testimg::ImageSpec shape;
      shape.d88 = layout.d88;
      shape.machineMode = std::string(mode) == "pc";
      shape.d88Name = "WORK DISK";
      EXPECT_TRUE(testsupport::BytesEqual(testimg::BuildImage(expected, shape),
                                          testimg::ReadFile(Path(image))));
      r = Zelvo({"check", "--mode", mode, image});
      EXPECT_EQ(r.code, 0) << r.out << r.err;
      r = Zelvo({"ls", "--json", "--mode", mode, "--codes", codes, image});
      EXPECT_NE(r.out.find("\"rows\":[]"), std::string::npos) << r.out;
      r = Zelvo({"import", "--yes", "--mode", mode, "--codes", codes, image, "data.bin"});
      EXPECT_EQ(r.code, 0) << r.err;
      r = Zelvo({"check", "--mode", mode, image});
      EXPECT_EQ(r.code, 0) << r.out << r.err;
      std::filesystem::remove(Path(image));
    }
  }
}

TEST_F(NewAndBatchTest, NewNeverReplacesAFileUnlessForcedAndChecksItsOptions) {
  testimg::WriteFile(Path("old.2d"), Pattern(100, 1));
  Result r = Zelvo({"new", "old.2d"});
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find("--force"), std::string::npos) << r.err;
  EXPECT_TRUE(testsupport::BytesEqual(Pattern(100, 1), testimg::ReadFile(Path("old.2d"))));
  r = Zelvo({"new", "--force", "old.2d"});
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(testimg::ReadFile(Path("old.2d")).size(), 344064u);

  struct Bad {
    std::vector<std::string> args;
    const char* message;
  };
  const std::vector<Bad> cases = {
      {{"new", "disk.img"}, kMsgBadExtension},
      {{"new", "--date", "24/13/01", "disk.d88"}, kMsgBadMonth},
      {{"new", "--volume", "70000", "disk.d88"}, kMsgBadVolumeNumber},
      {{"new", "--name", "1234567890123456789012345678", "disk.d88"}, kMsgBadDiskName},
  };
  for (const Bad& c : cases) {
    r = Zelvo(c.args);
    EXPECT_EQ(r.code, 1) << c.args[1];
    EXPECT_NE(r.err.find(Utf8(c.message)), std::string::npos) << r.err;
    EXPECT_FALSE(testimg::FileExists(Path("disk.d88")));
  }
}

TEST_F(NewAndBatchTest, LikeAnotherImageKeepsItsSystemTracks) {
  VolumeBuilder system;
  system.SetFmMark(true).SetAutoStart("AUTO").SetDiskName("SYS");
  std::memcpy(system.Sector(0, 1), Pattern(256, 5).data(), 256);
  system.AddFile(FileSpec{.name = "PROG", .data = Pattern(900, 6)});
  WriteImage(system, "system.d88", true, 0);
  const Result r = Zelvo({"new", "--like", "system.d88", "--date", "01/01/01", "copy.d88"});
  ASSERT_EQ(r.code, 0) << r.err;
  const std::vector<uint8_t> volume = VolumeOf(testimg::ReadFile(Path("copy.d88")), true, 0);
  EXPECT_TRUE(testsupport::BytesEqual(Pattern(256, 5), {volume.begin(), volume.begin() + 256}));
  EXPECT_EQ(volume[256 + 208], 0x46);  // the FM mark
  EXPECT_EQ(volume[256 + 384], 'A');   // the auto start text
  EXPECT_EQ(volume[256 + 181], 0);     // the disk name is the new one (empty)
  EXPECT_EQ(volume[16 * 256], 0);      // no file in the directory
}

VolumeBuilder ThreeFiles() {
  VolumeBuilder volume;
  volume.AddFile(FileSpec{.name = "ALPHA", .data = Pattern(700, 1)});
  volume.AddFile(FileSpec{.name = "BETA", .type = 2, .data = {'A', 0x0D, 'B'}});
  volume.AddFile(FileSpec{.name = "ALPHA", .data = Pattern(20, 2)});
  return volume;
}

// Export of many files: the same bytes as single exports, the later of two equal names with a
// suffix, existing files replaced only with --force.
TEST_F(NewAndBatchTest, ExportToAFolderMatchesSingleExports) {
  WriteImage(ThreeFiles(), "disk.d88", true, 0);
  std::filesystem::create_directory(Path("all"));
  Result r = Zelvo({"export", "--codes", codes, "--ascii", "--to", "all", "--all", "disk.d88"});
  ASSERT_EQ(r.code, 0) << r.err;
  std::vector<std::string> written;
  for (size_t at = 0; at < r.out.size();) {
    const size_t end = r.out.find('\n', at);
    written.push_back(r.out.substr(at, end - at));
    at = end + 1;
  }
  ASSERT_EQ(written.size(), 3u);
  const char* rows[] = {"#0", "#1", "#2"};
  for (int i = 0; i < 3; i++) {
    r = Zelvo(
        {"export", "--codes", codes, "--ascii", "disk.d88", rows[i], "single.bin", "--force"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_TRUE(testsupport::BytesEqual(testimg::ReadFile(Path("single.bin")),
                                        testimg::ReadFile(Path(written[i]))));
  }
  EXPECT_NE(written[2].find("_2."), std::string::npos) << written[2];

  std::filesystem::create_directory(Path("some"));
  r = Zelvo({"export", "--codes", codes, "--to", "some", "disk.d88", "al*", "b?ta"});
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 3);
  const auto before = testimg::ReadFile(Path(written[1]));
  r = Zelvo({"export", "--codes", codes, "--to", "all", "disk.d88", "#1"});
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find("--force"), std::string::npos) << r.err;
  EXPECT_TRUE(testsupport::BytesEqual(before, testimg::ReadFile(Path(written[1]))));
  r = Zelvo({"export", "--codes", codes, "--to", "some", "disk.d88", "GAMMA"});
  EXPECT_EQ(r.code, 1);
  r = Zelvo({"export", "--codes", codes, "--to", "some", "--all", "disk.d88", "al*"});
  EXPECT_EQ(r.code, 2);
  r = Zelvo({"export", "--codes", codes, "--all", "disk.d88", "#0"});
  EXPECT_EQ(r.code, 2);
}

// A rescue saves what it can: two files whose runs lie outside the disk are listed with their
// reasons (exit 1); every other file is written, equal to its single export. An existing host file
// still stops the batch before anything is written.
TEST_F(NewAndBatchTest, ExportOfADamagedVolumeWritesEveryReadableFile) {
  VolumeBuilder volume = ThreeFiles();
  volume.AddFile(FileSpec{
      .name = "OUTSIDE", .data = {}, .length = 0x300, .track = 84, .sector = 1, .markUsed = false});
  volume.AddFile(FileSpec{
      .name = "GONE", .data = {}, .length = 0x300, .track = 200, .sector = 3, .markUsed = false});
  volume.AddFile(FileSpec{.name = "LAST", .data = Pattern(40, 4)});
  testimg::ImageSpec shape;
  shape.machineMode = 1;
  testimg::WriteFile(Path("disk.2d"), testimg::BuildImage(volume, shape));
  std::filesystem::create_directory(Path("out"));
  const std::vector<std::string> args = {"export", "--codes", codes,   "--mode", "pc",
                                         "--to",   "out",     "--all", "disk.2d"};
  Result r = Zelvo(args);
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find("OUTSIDE.OBJ"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("GONE.OBJ"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find(Utf8(kMsgBadTrackSector)), std::string::npos) << r.err;
  std::vector<std::string> written;
  for (size_t at = 0; at < r.out.size();) {
    const size_t end = r.out.find('\n', at);
    written.push_back(r.out.substr(at, end - at));
    at = end + 1;
  }
  ASSERT_EQ(written.size(), 4u) << r.out;
  const char* rows[] = {"#0", "#1", "#2", "#5"};
  for (int i = 0; i < 4; i++) {
    const Result single = Zelvo(
        {"export", "--codes", codes, "--mode", "pc", "disk.2d", rows[i], "one.bin", "--force"});
    ASSERT_EQ(single.code, 0) << single.err;
    EXPECT_TRUE(testsupport::BytesEqual(testimg::ReadFile(Path("one.bin")),
                                        testimg::ReadFile(Path(written[i]))));
  }

  std::filesystem::create_directory(Path("again"));
  const std::string kept = "again/" + std::filesystem::path(written[3]).filename().string();
  testimg::WriteFile(Path(kept), {7});
  std::vector<std::string> again = args;
  again[6] = "again";
  r = Zelvo(again);
  EXPECT_EQ(r.code, 1);
  EXPECT_TRUE(r.out.empty()) << r.out;
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(Path("again")),
                          std::filesystem::directory_iterator()),
            1);
  EXPECT_EQ(testimg::ReadFile(Path(kept)), std::vector<uint8_t>{7});
}

// Import of many files: the same image as imports one by one; a refused batch writes nothing.
TEST_F(NewAndBatchTest, ImportOfManyFilesMatchesImportsOneByOne) {
  testimg::WriteFile(Path("a.bin"), Pattern(300, 1));
  testimg::WriteFile(Path("b.bin"), Pattern(3000, 2));
  testimg::WriteFile(Path("c.bin"), Pattern(5, 3));
  WriteImage(ThreeFiles(), "one.2d", false, 0);
  WriteImage(ThreeFiles(), "many.2d", false, 0);
  for (const char* file : {"a.bin", "b.bin", "c.bin"})
    ASSERT_EQ(Zelvo({"import", "--yes", "--codes", codes, "one.2d", file}).code, 0);
  Result r = Zelvo({"import", "--yes", "--codes", codes, "many.2d", "a.bin", "b.bin", "c.bin"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_TRUE(testsupport::BytesEqual(testimg::ReadFile(Path("one.2d")),
                                      testimg::ReadFile(Path("many.2d"))));

  const std::vector<uint8_t> before = testimg::ReadFile(Path("many.2d"));
  testimg::WriteFile(Path("empty.bin"), {});
  testimg::WriteFile(Path("d.bin"), Pattern(10, 4));
  r = Zelvo({"import", "--yes", "--codes", codes, "many.2d", "d.bin", "empty.bin"});
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find("empty.bin"), std::string::npos) << r.err;
  r = Zelvo({"import", "--yes", "--codes", codes, "many.2d", "d.bin", "a.bin"});  // a.bin again
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find("a.bin"), std::string::npos) << r.err;
  r = Zelvo({"import", "--codes", codes, "many.2d", "d.bin", "c.bin"});  // not confirmed
  EXPECT_EQ(r.code, 1);
  r = Zelvo({"import", "--yes", "--name", "X", "--codes", codes, "many.2d", "d.bin", "c.bin"});
  EXPECT_EQ(r.code, 2);
  EXPECT_TRUE(testsupport::BytesEqual(before, testimg::ReadFile(Path("many.2d"))));
}

}  // namespace
}  // namespace clitest
