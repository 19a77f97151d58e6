// zelvo identify, --mode auto, --disk and JSON Lines over several images; write protection.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "cli_fixture.h"
#include "texts/texts.h"

namespace clitest {
namespace {

using nlohmann::json;
using testsupport::Pattern;

testimg::VolumeBuilder WithFile(const std::string& name) {
  testimg::VolumeBuilder volume;
  testimg::FileSpec file;
  file.name = name;
  file.data = Pattern(600, static_cast<int>(name.size()));
  volume.AddFile(file);
  return volume;
}

std::vector<uint8_t> D88(const std::string& fileName, const std::string& diskName,
                         uint8_t protect = 0) {
  testimg::ImageSpec shape;
  shape.d88 = true;
  shape.d88Name = diskName;
  shape.d88WriteProtect = protect;
  return testimg::BuildImage(WithFile(fileName), shape);
}

std::vector<json> Lines(const std::string& out) {
  std::vector<json> lines;
  std::istringstream in(out);
  std::string line;
  while (std::getline(in, line)) lines.push_back(json::parse(line, nullptr, false));
  return lines;
}

bool Has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

using IdentifyCliTest = CliTest;

TEST_F(IdentifyCliTest, VerdictForEveryLayoutAndConventionAsTextAndJsonLines) {
  std::vector<std::string> images;
  for (const Layout& layout : kLayouts)
    for (int mode = 0; mode < 2; mode++) {
      const std::string name = std::string(mode ? "pc" : "mz") + layout.extension;
      WriteImage(WithFile("HELLO"), name, layout.d88, mode);
      const Result r = Zelvo({"identify", name});
      EXPECT_EQ(r.code, 0) << r.err;
      EXPECT_EQ(r.out.substr(0, r.out.find('\n')), name + (mode ? ": PC" : ": MZ"));
      images.push_back(name);
    }
  testimg::WriteFile(Path("junk.2d"), std::vector<uint8_t>(344064, 0xE5));
  images.push_back("junk.2d");
  images.push_back("missing.d88");
  const Result r = Zelvo([&] {
    std::vector<std::string> args{"identify", "--json"};
    args.insert(args.end(), images.begin(), images.end());
    return args;
  }());
  EXPECT_EQ(r.code, 1);  // the missing image failed, the others were reported
  const std::vector<json> lines = Lines(r.out);
  ASSERT_EQ(lines.size(), images.size());
  for (size_t i = 0; i + 2 < images.size(); i++) {
    EXPECT_EQ(lines[i]["image"], images[i]);
    EXPECT_EQ(lines[i]["verdict"], images[i].substr(0, 2) == "pc" ? "PC" : "MZ");
    EXPECT_EQ(lines[i]["files"], 1);
    EXPECT_TRUE(lines[i]["layout"]["agrees"]);
  }
  EXPECT_TRUE(lines[8]["verdict"].is_null());
  EXPECT_EQ(lines[8]["verdict_text"], "not a Zelvo volume");
  EXPECT_FALSE(lines[8]["reasons"].empty());
  EXPECT_TRUE(lines[9].contains("error"));
}

TEST_F(IdentifyCliTest, ModeAutoReadsAsTheVerdictOrRefusesWithTheReasons) {
  WriteImage(WithFile("HELLO"), "pc.d88", true, 1);
  const Result pc = Zelvo({"ls", "--mode", "pc", "--codes", codes, "pc.d88"});
  const Result autoMode = Zelvo({"ls", "--mode", "auto", "--codes", codes, "pc.d88"});
  EXPECT_EQ(autoMode.code, 0);
  EXPECT_EQ(autoMode.out, pc.out);
  testimg::WriteFile(Path("junk.d88"), testimg::WrapInD88(std::vector<uint8_t>(344064, 0)));
  const std::vector<uint8_t> before = testimg::ReadFile(Path("junk.d88"));
  const Result refused = Zelvo({"ls", "--mode", "AUTO", "--codes", codes, "junk.d88"});
  EXPECT_EQ(refused.code, 1);
  EXPECT_TRUE(refused.out.empty());
  EXPECT_TRUE(Has(refused.err, "not a Zelvo volume")) << refused.err;
  EXPECT_TRUE(Has(refused.err, "bit table")) << refused.err;
  testimg::WriteFile(Path("host.bin"), Pattern(10, 1));
  EXPECT_EQ(Zelvo({"import", "--yes", "--mode", "auto", "junk.d88", "host.bin"}).code, 1);
  EXPECT_EQ(testimg::ReadFile(Path("junk.d88")), before);
}

TEST_F(IdentifyCliTest, DiskChoosesOneDiskOfSeveral) {
  std::vector<uint8_t> a = D88("AAA", "FIRST"), b = D88("BBB", "SECOND");
  std::vector<uint8_t> both = a;
  both.insert(both.end(), b.begin(), b.end());
  testimg::WriteFile(Path("two.d88"), both);

  const Result first = Zelvo({"ls", "--codes", codes, "two.d88"});
  EXPECT_EQ(first.code, 0);
  EXPECT_TRUE(Has(first.out, FullWidth("AAA")));
  EXPECT_TRUE(Has(first.err, "2 disks")) << first.err;
  const Result second = Zelvo({"ls", "--disk", "1", "--codes", codes, "two.d88"});
  EXPECT_EQ(second.code, 0);
  EXPECT_TRUE(Has(second.out, FullWidth("BBB")));
  EXPECT_TRUE(second.err.empty()) << second.err;
  EXPECT_EQ(Zelvo({"ls", "--disk", "2", "two.d88"}).code, 1);
  WriteImage(WithFile("FLAT"), "flat.2d", false, 0);
  EXPECT_EQ(Zelvo({"ls", "--disk", "1", "flat.2d"}).code, 1);  // a flat image is one disk

  const json id = json::parse(Zelvo({"identify", "--json", "--disk", "1", "two.d88"}).out);
  EXPECT_EQ(id["disk_count"], 2);
  EXPECT_EQ(id["disk"], 1);
  EXPECT_EQ(id["disks"][1]["name"], "SECOND");
  EXPECT_EQ(id["verdict"], "MZ");

  // An import into disk 1 leaves disk 0 byte for byte.
  testimg::WriteFile(Path("host.bin"), Pattern(900, 4));
  const Result r = Zelvo({"import", "--yes", "--disk", "1", "two.d88", "host.bin"});
  EXPECT_EQ(r.code, 0) << r.err;
  const std::vector<uint8_t> after = testimg::ReadFile(Path("two.d88"));
  ASSERT_EQ(after.size(), both.size());
  EXPECT_TRUE(
      testsupport::BytesEqual(a, std::vector<uint8_t>(after.begin(), after.begin() + a.size())));
  EXPECT_NE(std::vector<uint8_t>(after.begin() + a.size(), after.end()), b);
  EXPECT_EQ(json::parse(Zelvo({"ls", "--json", "--disk", "1", "two.d88"}).out)["rows"].size(), 2u);
}

TEST_F(IdentifyCliTest, WriteProtectedImageIsNeverWritten) {
  testimg::WriteFile(Path("locked.d88"), D88("AAA", "LOCKED", 0x10));
  const std::vector<uint8_t> before = testimg::ReadFile(Path("locked.d88"));
  testimg::WriteFile(Path("host.bin"), Pattern(100, 2));
  const Result r = Zelvo({"import", "--yes", "locked.d88", "host.bin"});
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.err, Utf8(kCaptionError) + ": " + Utf8(kMsgWriteProtected) + "\n");
  EXPECT_EQ(testimg::ReadFile(Path("locked.d88")), before);
  const json id = json::parse(Zelvo({"identify", "--json", "locked.d88"}).out);
  EXPECT_TRUE(id["disks"][0]["write_protected"]);
  EXPECT_EQ(Zelvo({"ls", "locked.d88"}).code, 0);  // reading is unaffected
}

TEST_F(IdentifyCliTest, LsJsonLinesGoOnPastABadImage) {
  WriteImage(WithFile("AAA"), "a.2d", false, 0);
  WriteImage(WithFile("BBB"), "b.d88", true, 0);
  testimg::WriteFile(Path("short.d88"), std::vector<uint8_t>(10, 0));
  testimg::WriteFile(Path("bad.txt"), std::vector<uint8_t>(10, 0));
  const Result r =
      Zelvo({"ls", "--json", "--codes", codes, "a.2d", "bad.txt", "b.d88", "short.d88"});
  EXPECT_EQ(r.code, 1);
  const std::vector<json> lines = Lines(r.out);
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[0]["rows"][0][0], FullWidth("AAA"));
  EXPECT_TRUE(lines[1].contains("error"));
  EXPECT_EQ(lines[2]["rows"][0][0], FullWidth("BBB"));
  EXPECT_EQ(lines[3]["format"], "D88");  // a short D88 reads as an empty volume
  EXPECT_EQ(Zelvo({"ls", "--json", "--codes", codes, "a.2d", "b.d88"}).code, 0);
}

// Disks made by other systems' own tools, holding several files, flat and wrapped in a D88
// container: whatever the weighing of the two conventions, none of them is a Zelvo volume.
TEST_F(IdentifyCliTest, DisksOfOtherSystemsAreNotZelvoVolumes) {
  if (std::system("command -v mkfs.cpm cpmcp mformat mcopy >/dev/null 2>&1") != 0)
    GTEST_SKIP() << "cpmtools or mtools missing (Debian packages cpmtools, mtools)";
  std::filesystem::create_directory(Path("files"));
  std::string names;
  for (int i = 0; i < 6; i++) {
    const std::string name = "f" + std::to_string(i) + ".txt";
    testimg::WriteFile(Path("files/" + name), Pattern(300 + 900 * i, i));
    names += " files/" + name;
  }
  const std::string dir = "cd '" + temp.path() + "' && ";
  ASSERT_EQ(
      std::system((dir +
                   "mkfs.cpm -f ibm-3740 cpm.img >/dev/null && "
                   "cpmcp -f ibm-3740 cpm.img" +
                   names +
                   " 0: && "
                   "mformat -C -f 720 -i fat.img :: && mcopy -i fat.img" +
                   names + " :: && mformat -C -f 160 -i fat160.img :: && mcopy -i fat160.img" +
                   names + " ::")
                      .c_str()),
      0);
  std::vector<std::string> systems = {"cpm", "fat", "fat160"};
  // Other file systems where their tools are at hand (e2fsprogs, util-linux).
  if (std::system((dir + "mke2fs -q -F -t ext2 -d files ext2.img 336 >/dev/null 2>&1").c_str()) ==
      0)
    systems.push_back("ext2");
  if (std::system(
          (dir + "truncate -s 344064 minix.img && mkfs.minix minix.img >/dev/null 2>&1").c_str()) ==
      0)
    systems.push_back("minix");
  for (const std::string& system : systems) {
    const std::vector<uint8_t> raw = testimg::ReadFile(Path(system + ".img"));
    ASSERT_FALSE(raw.empty());
    testimg::WriteFile(Path(system + ".2d"), raw);
    testimg::WriteFile(Path(system + ".d88"), testimg::WrapInD88(raw));
    for (const char* extension : {".2d", ".d88"}) {
      const std::string name = system + extension;
      const Result r = Zelvo({"identify", name});
      EXPECT_EQ(r.code, 0);
      EXPECT_EQ(r.out.substr(0, r.out.find('\n')), name + ": not a Zelvo volume") << r.out;
      EXPECT_EQ(Zelvo({"ls", "--mode", "auto", name}).code, 1);
    }
  }
}

}  // namespace
}  // namespace clitest
