// zelvo check: clean volumes pass, every kind of damage is reported, nothing is changed.
#include <nlohmann/json.hpp>
#include <set>

#include "cli_fixture.h"
#include "support/test_support.h"

namespace clitest {
namespace {

using nlohmann::json;
using testimg::FileSpec;
using testimg::ImageSpec;
using testimg::VolumeBuilder;

FileSpec File(const std::string& name, size_t bytes) {
  FileSpec file;
  file.name = name;
  file.data.assign(bytes, 0x5A);
  return file;
}

VolumeBuilder Healthy() {
  VolumeBuilder volume;
  volume.SetExdir(20, 1);
  volume.AddFile(File("ONE", 600));
  volume.AddFile(File("TWO", 256));
  return volume;
}

using CheckTest = CliTest;

TEST_F(CheckTest, ACleanVolumePassesInEveryLayoutAndMode) {
  for (const Layout& layout : kLayouts) {
    for (int mode = 0; mode < 2; mode++) {
      SCOPED_TRACE(std::string(layout.extension) + (mode ? " PC" : " MZ"));
      const std::string image = std::string("disk") + layout.extension;
      const std::string path = WriteImage(Healthy(), image, layout.d88, mode);
      const auto before = testimg::ReadFile(path);
      const Result r = Zelvo({"check", "--mode", mode ? "pc" : "mz", image});
      EXPECT_EQ(r.code, 0) << r.out << r.err;
      EXPECT_EQ(r.out, "no inconsistencies found\n");
      const Result j = Zelvo({"check", "--json", "--mode", mode ? "pc" : "mz", image});
      EXPECT_EQ(j.code, 0);
      const json out = json::parse(j.out, nullptr, false);
      ASSERT_FALSE(out.is_discarded()) << j.out;
      EXPECT_EQ(out["clean"], true);
      EXPECT_EQ(out["format"], layout.format);
      EXPECT_TRUE(out["findings"].empty());
      EXPECT_TRUE(testsupport::BytesEqual(before, testimg::ReadFile(path)));
    }
  }
}

struct Damage {
  const char* what;
  VolumeBuilder volume;
  ImageSpec shape;
  std::set<std::string> kinds;  // the kinds reported, all of them
};

TEST_F(CheckTest, EveryKindOfDamageIsReportedAndNothingChanges) {
  std::vector<Damage> cases;
  auto add = [&](const char* what, VolumeBuilder volume, ImageSpec shape,
                 std::set<std::string> kinds) {
    cases.push_back({what, std::move(volume), shape, std::move(kinds)});
  };
  ImageSpec flatPc;
  flatPc.machineMode = 1;
  ImageSpec d88Mz;
  d88Mz.d88 = true;

  VolumeBuilder v = Healthy();
  FileSpec unmarked = File("FREE", 512);
  unmarked.markUsed = false;
  v.AddFile(unmarked);
  add("run on free sectors", v, flatPc, {"run-free-sectors"});

  v = Healthy();
  FileSpec late = File("LATE", 512);
  late.track = 83;
  late.sector = 16;
  v.AddFile(late);
  add("run beyond track 83", v, flatPc, {"run-outside"});

  v = Healthy();
  FileSpec low = File("LOW", 100);
  low.track = 1;
  low.sector = 12;
  v.AddFile(low);
  add("run in track 1", v, flatPc, {"run-outside"});

  v = Healthy();
  FileSpec twin = File("TWIN", 256);
  twin.track = 2;
  twin.sector = 2;  // the second sector of ONE
  v.AddFile(twin);
  add("two entries share a sector", v, d88Mz, {"shared-sectors"});

  v = Healthy();
  FileSpec over = File("OVER", 256);
  over.track = 20;
  over.sector = 3;
  over.data.assign(256, 0);  // leaves the extended directory's slots free
  v.AddFile(over);
  add("an entry on the extended directory", v, flatPc, {"shared-sectors"});

  v = VolumeBuilder();
  v.SetExdir(30, 5, false);
  add("extended directory not marked", v, flatPc, {"exdir-free-sectors"});

  v = Healthy();
  v.AddFile(File("one", 100));  // ONE stands in the healthy volume
  add("two files of one name", v, d88Mz, {"same-name"});

  ImageSpec shape = d88Mz;
  shape.trackOffset[100] = 0x100;
  add("offset into the header", Healthy(), shape, {"d88-offset-in-header"});

  shape = d88Mz;
  shape.trackOffset[90] = 0x7FFF0000;
  add("offset outside the file", Healthy(), shape, {"d88-offset-outside"});

  shape = d88Mz;
  shape.sectorCountField[50] = 40;  // 40 records from the offset of the track: past the end
  shape.d88Tracks = 51;
  add("records past the end", Healthy(), shape, {"d88-records-outside"});

  shape = d88Mz;
  shape.absentTracks.insert(3);  // logical track 2 under MZ: the files' data
  add("absent track", Healthy(), shape, {"sectors-missing"});

  shape = d88Mz;
  shape.machineMode = 1;
  shape.sectorOrder[1] = {1, 2, 3, 4, 5, 6, 7};  // directory sector 8 missing
  add("sector missing from a track", Healthy(), shape, {"sectors-missing"});

  shape = flatPc;
  shape.flatBytes = 2 * 16 * 256 + 256;  // the image ends inside the first file
  add("flat image cut short", Healthy(), shape, {"sectors-missing"});

  for (const Damage& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string name = c.shape.d88 ? "bad.d88" : "bad.2d";
    const std::string path = Path(name);
    testimg::WriteFile(path, testimg::BuildImage(c.volume, c.shape));
    const auto before = testimg::ReadFile(path);
    const std::string mode = c.shape.machineMode ? "pc" : "mz";

    const Result r = Zelvo({"check", "--json", "--mode", mode, name});
    EXPECT_EQ(r.code, 1) << r.out << r.err;
    const json out = json::parse(r.out, nullptr, false);
    ASSERT_FALSE(out.is_discarded()) << r.out;
    EXPECT_EQ(out["clean"], false);
    std::set<std::string> kinds;
    for (const json& f : out["findings"]) {
      // Free sectors the image lacks are notes beside the damage itself.
      if (f["note"] == false) kinds.insert(f["kind"].get<std::string>());
      EXPECT_FALSE(f["text"].get<std::string>().empty());
    }
    EXPECT_EQ(kinds, c.kinds) << r.out;

    const Result text = Zelvo({"check", "--mode", mode, name});
    EXPECT_EQ(text.code, 1);
    EXPECT_NE(text.out.find(" found"), std::string::npos);
    EXPECT_TRUE(testsupport::BytesEqual(before, testimg::ReadFile(path)));
  }
}

TEST_F(CheckTest, AFindingNamesTheEntryItsRowAndItsSectors) {
  VolumeBuilder volume = Healthy();
  FileSpec twin = File("TWIN", 256);
  twin.track = 2;
  twin.sector = 3;  // ONE covers sectors 1 to 3 of track 2
  volume.AddFile(twin);
  WriteImage(volume, "disk.2d", false, 1);
  const Result r = Zelvo({"check", "--mode", "pc", "disk.2d"});
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.out,
            "slot 2 (row 2, TWIN): shares 1 sector from Trk02 Sct03 with slot 0 (row 0, ONE)\n"
            "1 inconsistency found\n");
}

}  // namespace
}  // namespace clitest
