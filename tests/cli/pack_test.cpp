// zelvo unpack, pack and copy: a disk as a folder and back, and files between images.
#include <cstdlib>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>

#include "cli_fixture.h"
#include "support/test_support.h"

namespace clitest {
namespace {

using testimg::FileSpec;
using testimg::VolumeBuilder;
using testsupport::BytesEqual;
using testsupport::Pattern;

// A file of the builder: name, type, lock, byte order, addresses.
FileSpec Described(const char* name, uint8_t type, uint8_t lock = 0, uint8_t order = 0,
                   unsigned start = 0, unsigned exec = 0) {
  FileSpec file;
  file.name = name;
  file.type = type;
  file.lock = lock;
  file.order = order;
  file.start = start;
  file.exec = exec;
  return file;
}

class PackTest : public CliTest {
 protected:
  void SetUp() override {
    CliTest::SetUp();
    setenv("ZELVO_LANG", "en", 1);  // the refusals are compared in English
  }
  // A volume that uses every field the manifest keeps: the volume's fields, boot code, an
  // extended directory, files of odd types, byte orders and locks, a deleted entry, a file in
  // the extended directory and a last sector whose tail holds bytes.
  static VolumeBuilder RichVolume(bool exdir) {
    VolumeBuilder v;
    v.SetDiskName("GAMES DISK").SetVolumeNumber(513).SetDate(0x86, 0x04, 0x01);
    v.SetFmMark(true).SetAutoStart("RUN MENU");
    if (exdir) v.SetExdir(40, 3);
    const std::vector<uint8_t> boot = Pattern(256, 9);
    std::copy(boot.begin(), boot.end(), v.Sector(0, 1));
    std::copy(boot.begin(), boot.end(), v.Sector(1, 12));
    FileSpec menu = Described("MENU", 1, 0, 0, 0x1200, 0x1234);
    menu.data = Pattern(700, 1);
    menu.slot = 2;
    v.AddFile(menu);
    FileSpec text = Described("README.TXT", 2, 1, 1, 0x0000, 0x0000);
    text.data = Pattern(300, 2);
    text.track = 20;
    text.sector = 5;
    v.AddFile(text);
    v.Sector(20, 6)[100] = 0xAB;  // the tail after 300 bytes
    FileSpec odd = Described("ODD", 0x21, 7, 0, 0xC000, 0xC003);
    odd.data = Pattern(256, 3);
    v.AddFile(odd);
    FileSpec empty = Described("EMPTY", 1);
    v.AddFile(empty);
    uint8_t* deleted = v.Entry(9);
    deleted[0] = 0;
    std::memcpy(deleted + 1, "GONE\r\r\r\r\r\r\r\r\r\r\r\r\r", 17);
    deleted[30] = 30;
    deleted[31] = 1;
    if (exdir) {
      FileSpec far = Described("FAR", 3, 0, 0, 0x2000, 0x2000);
      far.data = Pattern(5000, 4);
      far.slot = 70;
      v.AddFile(far);
    }
    return v;
  }

  std::string Manifest(const std::string& folder) {
    const auto bytes = testimg::ReadFile(Path(folder + "/zelvo-disk.json"));
    return std::string(bytes.begin(), bytes.end());
  }

  void WriteText(const std::string& name, const std::string& text) {
    testimg::WriteFile(Path(name), std::vector<uint8_t>(text.begin(), text.end()));
  }
};

// unpack, then pack --keep-places: the very image again, in every layout and both conventions;
// pack twice gives the same bytes, and unpacking the result gives the same manifest and files.
TEST_F(PackTest, UnpackThenPackKeepingPlacesGivesTheSameImage) {
  for (const Layout& layout : kLayouts) {
    for (int mode : {0, 1}) {
      for (bool exdir : {false, true}) {
        const std::string modeName = mode ? "pc" : "mz";
        const std::string image = std::string("disk") + layout.extension;
        SCOPED_TRACE(image + " " + modeName + (exdir ? " exdir" : ""));
        std::filesystem::remove_all(Path("out"));
        std::filesystem::remove_all(Path("again"));
        const std::string source = WriteImage(RichVolume(exdir), image, layout.d88, mode);
        const auto original = testimg::ReadFile(source);
        Result r = Zelvo({"unpack", "--mode", modeName, "--codes", codes, image, "out"});
        ASSERT_EQ(r.code, 0) << r.err;
        EXPECT_EQ(r.out, "out/zelvo-disk.json\n");
        EXPECT_TRUE(BytesEqual(Pattern(700, 1), testimg::ReadFile(Path("out/MENU.OBJ"))));
        const std::string packed = std::string("packed") + layout.extension;
        r = Zelvo({"pack", "--keep-places", "--force", "out", packed});
        ASSERT_EQ(r.code, 0) << r.err;
        EXPECT_TRUE(BytesEqual(original, testimg::ReadFile(Path(packed))));
        // Twice: the same bytes.
        r = Zelvo(
            {"pack", "--keep-places", "--force", "out", "twice" + std::string(layout.extension)});
        ASSERT_EQ(r.code, 0) << r.err;
        EXPECT_TRUE(BytesEqual(testimg::ReadFile(Path(packed)),
                               testimg::ReadFile(Path("twice" + std::string(layout.extension)))));
        r = Zelvo({"unpack", "--codes", codes, packed, "again"});
        ASSERT_EQ(r.code, 0) << r.err;
        EXPECT_EQ(Manifest("out"), Manifest("again"));
        for (const auto& item : std::filesystem::directory_iterator(Path("out"))) {
          const std::string name = item.path().filename().string();
          EXPECT_TRUE(BytesEqual(testimg::ReadFile(item.path().string()),
                                 testimg::ReadFile(Path("again/" + name))))
              << name;
        }
      }
    }
  }
}

// IMD and HFE: pack twice gives the same bytes, and the volume reads back as unpacked.
TEST_F(PackTest, PackIntoDecodedContainersIsDeterministic) {
  WriteImage(RichVolume(true), "disk.d88", true, 0);
  ASSERT_EQ(Zelvo({"unpack", "--codes", codes, "disk.d88", "out"}).code, 0);
  for (const char* extension : {".imd", ".hfe"}) {
    SCOPED_TRACE(extension);
    const std::string one = std::string("one") + extension;
    const std::string two = std::string("two") + extension;
    ASSERT_EQ(Zelvo({"pack", "--keep-places", "out", one}).code, 0);
    ASSERT_EQ(Zelvo({"pack", "--keep-places", "out", two}).code, 0);
    EXPECT_TRUE(BytesEqual(testimg::ReadFile(Path(one)), testimg::ReadFile(Path(two))));
    std::filesystem::remove_all(Path("back"));
    Result r = Zelvo({"unpack", "--codes", codes, one, "back"});
    ASSERT_EQ(r.code, 0) << r.err;
    // The source's container differs; the rest is the same.
    nlohmann::json a = nlohmann::json::parse(Manifest("out"));
    nlohmann::json b = nlohmann::json::parse(Manifest("back"));
    a.erase("source");
    b.erase("source");
    a.erase("container_name");
    b.erase("container_name");
    EXPECT_EQ(a, b);
  }
}

// A manifest written by hand: names and addresses only. ls lists the files as written, first
// fit from track 2, and the image is checked clean.
TEST_F(PackTest, MinimalManifestBuildsTheListedFiles) {
  std::filesystem::create_directories(Path("src"));
  testimg::WriteFile(Path("src/game.bin"), Pattern(1000, 5));
  testimg::WriteFile(Path("src/loader.bin"), Pattern(10, 6));
  WriteText("src/zelvo-disk.json", R"({"files": [
    {"file": "game.bin", "name": "GAME", "start": "0x1200", "exec": "1200h"},
    {"file": "loader.bin", "name": "LOADER", "type": "cmd", "start": 4096, "exec": "2000"}]})");
  Result r = Zelvo({"pack", "src", "game.d88"});
  ASSERT_EQ(r.code, 0) << r.err;
  r = Zelvo({"ls", "--json", "--codes", codes, "game.d88"});
  ASSERT_EQ(r.code, 0) << r.err;
  const nlohmann::json listing = nlohmann::json::parse(r.out);
  const auto& files = listing["files"];
  ASSERT_EQ(files.size(), 2u) << r.out;
  EXPECT_EQ(files[0]["name"], "GAME");
  EXPECT_EQ(files[0]["type"], "OBJ");
  EXPECT_EQ(files[0]["start"], 0x1200);
  EXPECT_EQ(files[0]["exec"], 0x1200);
  EXPECT_EQ(files[0]["length"], 1000);
  EXPECT_EQ(files[0]["track"], 2);
  EXPECT_EQ(files[0]["sector"], 1);
  EXPECT_EQ(files[1]["name"], "LOADER");
  EXPECT_EQ(files[1]["type"], "CMD");
  EXPECT_EQ(files[1]["start"], 4096);
  EXPECT_EQ(files[1]["exec"], 0x2000);
  EXPECT_EQ(files[1]["sector"], 5);  // after GAME's four sectors
  EXPECT_EQ(Zelvo({"check", "game.d88"}).code, 0);
  // The same inputs, the same bytes.
  ASSERT_EQ(Zelvo({"pack", "src", "game2.d88"}).code, 0);
  EXPECT_TRUE(
      BytesEqual(testimg::ReadFile(Path("game.d88")), testimg::ReadFile(Path("game2.d88"))));
}

// Every refusal names the entry and writes nothing: no image appears, an existing one stays.
TEST_F(PackTest, MalformedManifestsWriteNothing) {
  std::filesystem::create_directories(Path("m"));
  testimg::WriteFile(Path("m/a.bin"), Pattern(100, 1));
  testimg::WriteFile(Path("m/big.bin"), Pattern(65536, 1));
  testimg::WriteFile(Path("m/half.bin"), Pattern(65000, 1));
  const auto existing = Pattern(1000, 7);
  struct Case {
    const char* manifest;
    const char* expected;  // in the refusal
  } cases[] = {
      {"not json", "manifest"},
      {R"({"volume": {"colour": 1}})", "volume.colour"},
      {R"({"files": [{"file": "a.bin", "name": "A", "colour": 1}]})", "files[0] (a.bin)"},
      {R"({"files": [{"file": "none.bin", "name": "A"}]})", "cannot be read"},
      {R"({"files": [{"file": "a.bin", "name": "SEVENTEEN-LETTERS"}]})", "longer than 16"},
      {R"({"files": [{"file": "a.bin", "name": "A", "type": "EXE"}]})", "type is unknown"},
      {R"({"files": [{"file": "a.bin"}]})", "has no name"},
      {R"({"files": [{"file": "big.bin", "name": "A"}]})", "over 65,535"},
      {R"({"files": [{"file": "a.bin", "name": "A", "start": "12345"}]})", "\"start\""},
      {R"({"files": [{"file": "a.bin", "name": "A", "date": "1/2/3"}]})", "\"date\""},
      {R"({"files": [{"file": "a.bin", "name": "A", "track": 2}]})", "\"sector\""},
      {R"({"files": [{"file": "half.bin", "name": "A"}, {"file": "half.bin", "name": "B"},
          {"file": "half.bin", "name": "C"}, {"file": "half.bin", "name": "D"},
          {"file": "half.bin", "name": "E"}, {"file": "half.bin", "name": "F"}]})",
       "files[5] (half.bin): the disk is full"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.manifest);
    WriteText("m/zelvo-disk.json", c.manifest);
    Result r = Zelvo({"pack", "m", "new.2d"});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find(c.expected), std::string::npos) << r.err;
    EXPECT_FALSE(testimg::FileExists(Path("new.2d")));
    testimg::WriteFile(Path("old.2d"), existing);
    r = Zelvo({"pack", "--force", "m", "old.2d"});
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(BytesEqual(existing, testimg::ReadFile(Path("old.2d"))));
  }
  // Kept places: two files on one sector, one past the last track.
  WriteText("m/zelvo-disk.json", R"({"files": [
    {"file": "a.bin", "name": "A", "track": 5, "sector": 1},
    {"file": "a.bin", "name": "B", "track": 5, "sector": 1}]})");
  Result r = Zelvo({"pack", "--keep-places", "m", "new.2d"});
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find("files[1] (a.bin): it overlaps"), std::string::npos) << r.err;
  WriteText("m/zelvo-disk.json",
            R"({"files": [{"file": "big.bin", "name": "A", "track": 83, "sector": 16}]})");
  r = Zelvo({"pack", "--keep-places", "m", "new.2d"});
  EXPECT_EQ(r.code, 1);
  EXPECT_FALSE(testimg::FileExists(Path("new.2d")));
}

// copy between a D88 and a 2D image in different conventions: the target gains the files with
// equal attributes and bytes, the source stays as it was, refusals leave the target as it was.
TEST_F(PackTest, CopyCarriesEveryAttributeBetweenImages) {
  const std::string source = WriteImage(RichVolume(false), "src.d88", true, 0);
  VolumeBuilder target;
  FileSpec kept = Described("KEPT", 1, 1);
  kept.data = Pattern(100, 8);
  target.AddFile(kept);
  FileSpec menu = Described("MENU", 1);
  menu.data = Pattern(10, 9);
  target.AddFile(menu);
  WriteImage(target, "dst.2d", false, 1);
  const auto sourceBytes = testimg::ReadFile(source);
  const auto targetBytes = testimg::ReadFile(Path("dst.2d"));

  // Refusals: a name DST holds, a locked one even with --replace, no such file.
  Result r = Zelvo({"copy", "--codes", codes, "src.d88", "dst.2d", "MENU"});
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find("--replace"), std::string::npos) << r.err;
  EXPECT_TRUE(BytesEqual(targetBytes, testimg::ReadFile(Path("dst.2d"))));
  r = Zelvo({"copy", "--codes", codes, "src.d88", "dst.2d", "NOSUCH"});
  EXPECT_EQ(r.code, 1);
  EXPECT_TRUE(BytesEqual(targetBytes, testimg::ReadFile(Path("dst.2d"))));

  r = Zelvo({"copy", "--codes", codes, "--to-mode", "pc", "--replace", "src.d88", "dst.2d",
             "README.TXT", "ODD", "MENU"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_TRUE(BytesEqual(sourceBytes, testimg::ReadFile(source)));
  const nlohmann::json from =
      nlohmann::json::parse(Zelvo({"ls", "--json", "--codes", codes, "src.d88"}).out)["files"];
  const nlohmann::json to =
      nlohmann::json::parse(Zelvo({"ls", "--json", "--codes", codes, "dst.2d"}).out)["files"];
  ASSERT_EQ(to.size(), 4u);
  EXPECT_EQ(to[0]["name"], "KEPT");
  for (const char* name : {"README.TXT", "ODD", "MENU"}) {
    SCOPED_TRACE(name);
    nlohmann::json a, b;
    for (const auto& f : from)
      if (f["name"] == name) a = f;
    for (const auto& f : to)
      if (f["name"] == name) b = f;
    ASSERT_FALSE(b.is_null());
    for (const char* key : {"type", "locked", "start", "exec", "length", "date"})
      EXPECT_EQ(a[key], b[key]) << key;
    std::filesystem::remove(Path("a.bin"));
    std::filesystem::remove(Path("b.bin"));
    ASSERT_EQ(Zelvo({"export", "--codes", codes, "src.d88", name, "a.bin"}).code, 0);
    ASSERT_EQ(Zelvo({"export", "--codes", codes, "dst.2d", name, "b.bin"}).code, 0);
    EXPECT_TRUE(BytesEqual(testimg::ReadFile(Path("a.bin")), testimg::ReadFile(Path("b.bin"))));
  }
  EXPECT_EQ(Zelvo({"check", "dst.2d"}).code, 0);
  // README.TXT is locked on DST now: --replace does not replace it.
  const auto after = testimg::ReadFile(Path("dst.2d"));
  r = Zelvo({"copy", "--codes", codes, "--replace", "src.d88", "dst.2d", "README.TXT"});
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find("locked"), std::string::npos) << r.err;
  EXPECT_TRUE(BytesEqual(after, testimg::ReadFile(Path("dst.2d"))));
}

}  // namespace
}  // namespace clitest
