// The page's C API over images made in code: what the page relies on beyond the operations
// themselves (which have their own tests): host file names, the JSON it parses, conversion into
// every container that writes images, refusals that leave the image as it was.
#include "web_api.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "image/container.h"
#include "image/host_files.h"
#include "support/image_builder.h"
#include "web_paths.h"

namespace {

namespace fs = std::filesystem;
using nlohmann::json;

// A result's strings hold code page 932 bytes as \u00XX: parsed here as the page parses them.
json Call(const char* result) { return json::parse(result); }

class WebApiTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() / ("zelvo-web-" + std::to_string(getpid()));
    fs::create_directories(dir);
    ASSERT_TRUE(Call(zw_load_codes(ZELVO_SOURCE_DIR "/src/codes/CodeChg.txt"))["ok"]);
    testimg::VolumeBuilder volume;
    volume.SetDiskName("WEB");
    testimg::FileSpec text;
    text.name = "NOTE.TXT";
    text.type = 2;
    text.data.assign(300, 'a');
    volume.AddFile(text);
    testimg::FileSpec locked;
    locked.name = "KEEP";
    locked.lock = 1;
    locked.data.assign(10, 7);
    volume.AddFile(locked);
    testimg::ImageSpec shape;
    shape.d88 = true;
    image = Path("vol.d88");
    testimg::WriteFile(image, testimg::BuildImage(volume, shape));
  }
  void TearDown() override { fs::remove_all(dir); }
  std::string Path(const char* name) const { return (dir / name).string(); }

  fs::path dir;
  std::string image;
};

TEST(WebHostFileName, KeepsDoubleByteCharactersWholeAndReplacesSeparators) {
  struct Case {
    const char* name;
    const char* want;  // null: refused
    int capacity;
  } cases[] = {
      {"NOTE.TXT", "NOTE.TXT", 64},
      {"A/B:C*D", "A_B_C_D", 64},
      {"\x83\x5C\x95\x5C.TXT", "\x83\x5C\x95\x5C.TXT", 64},  // trail bytes 0x5C stay
      {"\x83\x7C|", "\x83\x7C_", 64},
      {"\x01\x7F", "__", 64},
      {"TOOLONG", nullptr, 7},
  };
  for (const Case& c : cases) {
    char out[64];
    const int result = PlatformHostFileName(c.name, out, c.capacity);
    if (!c.want) {
      EXPECT_EQ(result, -1) << c.name;
      continue;
    }
    ASSERT_EQ(result, 0) << c.name;
    EXPECT_STREQ(out, c.want);
  }
}

TEST_F(WebApiTest, HostFilesAreFoundUnderTheirStoredNames) {
  const std::string shown = Path("\x95\x5C%.txt");
  testimg::WriteFile(web::StoredPath(shown.c_str()), {1, 2, 3});
  EXPECT_NE(web::StoredPath(shown.c_str()).find("%95\\%25"), std::string::npos);
  std::FILE* file = PlatformOpenHostFile(shown.c_str(), "rb");
  ASSERT_NE(file, nullptr);
  std::fclose(file);
}

TEST_F(WebApiTest, ListingCarriesRowsPanelAndNamesAsBytes) {
  const json open = Call(zw_open(image.c_str(), 0, 0, 0));
  ASSERT_TRUE(open["ok"]) << open.dump();
  ASSERT_EQ(open["rows"].size(), 2u);
  EXPECT_EQ(open["columns"].size(), 9u);
  EXPECT_EQ(open["format"], "D88");
  // The name through the code table: full-width characters of code page 932, one byte per \u00XX.
  const std::string name = open["rows"][0]["cells"][0];
  EXPECT_EQ(name.substr(0, 2), "\xC2\x82");  // 0x82 read back as U+0082 by the parser
  EXPECT_NE(std::string(open["panel"]).find("(2 files)"), std::string::npos);
}

TEST_F(WebApiTest, RefusalsSayTheirTextAndLeaveTheImageAsItWas) {
  const auto before = testimg::ReadFile(image);
  ASSERT_TRUE(Call(zw_open(image.c_str(), 0, 0, 0))["ok"]);
  const json locked = Call(zw_delete_check("1"));
  EXPECT_FALSE(locked["ok"]);
  EXPECT_EQ(locked["messages"][0]["id"], "kMsgDeleteLocked");
  const json attr = Call(zw_attr_check(0, "NOTE.TXT", "TEX", "ZZZZ", "0000", "03", "01", "15", 0));
  EXPECT_FALSE(attr["ok"]);
  EXPECT_EQ(attr["messages"][0]["id"], "kMsgBadStart");
  EXPECT_FALSE(Call(zw_attr_write())["ok"]);  // nothing pending after a refusal
  EXPECT_FALSE(Call(zw_delete_write())["ok"]);
  EXPECT_EQ(testimg::ReadFile(image), before);
  const json bad = Call(zw_open(Path("vol.txt").c_str(), 0, 0, 0));
  EXPECT_EQ(bad["messages"][0]["id"], "kMsgBadExtension");
}

// The MZ image opened under a chosen PC: the open says what it looks like, and a change is refused
// with the guard's text. Under MZ or Auto it says nothing.
TEST_F(WebApiTest, ChosenConventionThatIdentifyContradicts) {
  const auto before = testimg::ReadFile(image);
  for (const int mode : {0, 1, 2}) {
    const json open = Call(zw_open(image.c_str(), 0, mode, 0));
    ASSERT_TRUE(open["ok"]) << mode;
    EXPECT_EQ(open["looks"], mode == 1 ? 0 : -1) << mode;
  }
  ASSERT_TRUE(Call(zw_open(image.c_str(), 0, 1, 0))["ok"]);
  const json refused = Call(zw_delete_check("0"));
  EXPECT_FALSE(refused["ok"]);
  EXPECT_EQ(refused["messages"][0]["id"], "kMsgRecordedMz");
  // The import is refused before its form: not after planning a run in a directory of noise.
  const std::string host = Path("host.bin");
  testimg::WriteFile(host, std::vector<uint8_t>(100, 1));
  const json defaults = Call(zw_import_defaults(host.c_str()));
  EXPECT_FALSE(defaults["ok"]);
  EXPECT_EQ(defaults["messages"][0]["id"], "kMsgRecordedMz");
  EXPECT_EQ(testimg::ReadFile(image), before);
}

// Every container that writes images, under both conventions: the converted image reads as the
// original volume.
TEST_F(WebApiTest, ConvertsIntoEveryWritingContainerUnderBothConventions) {
  const json original = Call(zw_open(image.c_str(), 0, 0, 0));
  ASSERT_TRUE(original["ok"]);
  for (int k = 0; k < kContainerKindCount; k++) {
    const ContainerKind* kind = kContainerKinds[k];
    if (!kind->writeBlank) continue;
    for (int mode = 0; mode < 2; mode++) {
      ASSERT_TRUE(Call(zw_open(image.c_str(), 0, 0, 0))["ok"]);
      const std::string target = Path("converted") + kind->extensions[0].extension;
      const json converted = Call(zw_convert(target.c_str(), mode, 0));
      ASSERT_TRUE(converted["ok"]) << kind->name << " " << converted.dump();
      const json reopened = Call(zw_open(target.c_str(), 0, mode, 0));
      ASSERT_TRUE(reopened["ok"]) << kind->name;
      EXPECT_EQ(reopened["rows"], original["rows"]) << kind->name << " mode " << mode;
      EXPECT_EQ(reopened["panel"], original["panel"]) << kind->name << " mode " << mode;
      EXPECT_EQ(reopened["mode"], mode == 1 ? "PC" : "MZ");
    }
  }
}

// Every container that writes images takes an import in place: the same files as the D88 of the
// same disk, read back from the container itself.
TEST_F(WebApiTest, ImportsIntoEveryWritingContainerInPlace) {
  const std::string host = Path("GAME.BIN");
  testimg::WriteFile(host, std::vector<uint8_t>(700, 0x5A));
  json expected;
  for (int k = 0; k < kContainerKindCount; k++) {
    const ContainerKind* kind = kContainerKinds[k];
    if (!kind->writeBlank) continue;
    ASSERT_TRUE(Call(zw_open(image.c_str(), 0, 0, 0))["ok"]);
    const std::string target = Path("copy") + std::string(kind->extensions[0].extension);
    ASSERT_TRUE(Call(zw_convert(target.c_str(), 0, 0))["ok"]) << kind->name;
    ASSERT_TRUE(Call(zw_open(target.c_str(), 0, 0, 0))["ok"]) << kind->name;
    const json imported = Call(zw_import_many(host.c_str(), 1));
    ASSERT_TRUE(imported["ok"]) << kind->name << " " << imported.dump();
    const json reopened = Call(zw_open(target.c_str(), 0, 0, 0));
    ASSERT_EQ(3u, reopened["rows"].size()) << kind->name;
    // The date column is the import's day, the same for every kind within the test.
    if (expected.is_null()) expected = reopened["rows"];
    EXPECT_EQ(expected, reopened["rows"]) << kind->name;
  }
}

// Converting makes a copy: the dry run says what the target loses and writes nothing; the
// conversion leaves the open image, its bytes and its history of changes as they were.
TEST_F(WebApiTest, ConvertMakesACopyAfterSayingWhatIsLost) {
  ASSERT_TRUE(Call(zw_open(image.c_str(), 0, 0, 0))["ok"]);
  ASSERT_TRUE(Call(zw_delete_check("0"))["ok"]);
  ASSERT_TRUE(Call(zw_delete_write())["ok"]);
  const auto changed = testimg::ReadFile(image);
  const std::string flat = Path("copy.2d");
  const json dry = Call(zw_convert(flat.c_str(), 0, 1));
  ASSERT_TRUE(dry["ok"]) << dry.dump();
  EXPECT_TRUE(dry["losses"]);  // a flat image has no place for the disk name
  EXPECT_NE(std::string(dry["questionEn"]).find("Save anyway?"), std::string::npos);
  EXPECT_FALSE(testimg::FileExists(flat));
  const json kept = Call(zw_convert(Path("copy.d88").c_str(), 0, 1));
  EXPECT_FALSE(kept["losses"]) << kept.dump();
  ASSERT_TRUE(Call(zw_convert(flat.c_str(), 0, 0))["ok"]);
  EXPECT_TRUE(testimg::FileExists(flat));
  EXPECT_EQ(testimg::ReadFile(image), changed);
  const json listing = Call(zw_listing());
  EXPECT_TRUE(listing["loaded"]);
  EXPECT_TRUE(listing["canUndo"]);
  ASSERT_TRUE(Call(zw_undo(1))["ok"]);
  EXPECT_EQ(Call(zw_listing())["rows"].size(), 2u);
}

// OK in the attribute form without an edit: nothing to write, the image as it was.
TEST_F(WebApiTest, AttributesWithoutAnEditWriteNothing) {
  const auto before = testimg::ReadFile(image);
  ASSERT_TRUE(Call(zw_open(image.c_str(), 0, 0, 0))["ok"]);
  const json texts = Call(zw_attr_texts(0));
  const std::string name = texts["name"], type = texts["type"], start = texts["start"],
                    exec = texts["exec"], year = texts["year"], month = texts["month"],
                    day = texts["day"];
  const json same = Call(zw_attr_check(0, name.c_str(), type.c_str(), start.c_str(), exec.c_str(),
                                       year.c_str(), month.c_str(), day.c_str(), 0));
  EXPECT_TRUE(same["ok"]);
  EXPECT_TRUE(same["unchanged"]);
  EXPECT_FALSE(Call(zw_attr_write())["ok"]);
  EXPECT_EQ(testimg::ReadFile(image), before);
  EXPECT_FALSE(Call(zw_listing())["canUndo"]);
  const json edited = Call(zw_attr_check(0, name.c_str(), type.c_str(), start.c_str(), exec.c_str(),
                                         year.c_str(), month.c_str(), day.c_str(), 1));
  EXPECT_FALSE(edited.contains("unchanged"));
  EXPECT_TRUE(edited.contains("question"));
}

// The status line as the window's: the largest file that fits, and the mark of a protected disk;
// the date's sort key puts 70-99 before 00-69.
TEST_F(WebApiTest, StatusLineAndDateSortKey) {
  testimg::VolumeBuilder volume;
  testimg::FileSpec old;
  old.name = "OLD";
  old.date[0] = 0x85;
  volume.AddFile(old);
  testimg::ImageSpec shape;
  shape.d88 = true;
  shape.d88WriteProtect = 0x10;
  const std::string locked = Path("locked.d88");
  testimg::WriteFile(locked, testimg::BuildImage(volume, shape));
  const json listing = Call(zw_open(locked.c_str(), 0, 0, 0));
  ASSERT_TRUE(listing["ok"]);
  const std::string status = listing["status"][1];
  // Bytes from 0x80 up come back as \u00XX: 、 (0x81 0x41), 最 (0x8D 0xC5), 書 (0x8F 0x91).
  EXPECT_NE(status.find("\xC2\x81"
                        "A\xC2\x8D\xC3\x85"),
            std::string::npos)
      << status;
  EXPECT_NE(status.find("\xC2\x81"
                        "A\xC2\x8F"),
            std::string::npos)
      << status;
  // The same line in English, for a page shown in English.
  const std::string english = listing["status"][2];
  EXPECT_NE(english.find(", largest file "), std::string::npos) << english;
  EXPECT_NE(english.find(", write-protected"), std::string::npos) << english;
  EXPECT_EQ(std::string(listing["rows"][0]["dateKey"]).substr(0, 4), "1985");
  ASSERT_TRUE(Call(zw_open(image.c_str(), 0, 0, 0))["ok"]);
  EXPECT_EQ(std::string(Call(zw_listing())["rows"][0]["dateKey"]).substr(0, 4), "2003");
}

// What a file is, said in one line by the page: empty, not a disk image, or a container's; the
// identification's report in both languages.
TEST_F(WebApiTest, DisksSayWhatTheBytesAreAndIdentifySpeaksBothLanguages) {
  const std::string empty = Path("empty.d88"), junk = Path("junk.2d");
  testimg::WriteFile(empty, {});
  testimg::WriteFile(junk, std::vector<uint8_t>(1000, 0x01));
  struct Case {
    std::string path;
    const char* recognised;
    bool empty;
  } cases[] = {{image, "D88", false}, {empty, "", true}, {junk, "", false}};
  for (const Case& c : cases) {
    const json disks = Call(zw_disks(c.path.c_str()));
    EXPECT_EQ(disks["recognised"], c.recognised) << c.path;
    EXPECT_EQ(disks["empty"], c.empty) << c.path;
  }
  const json open = Call(zw_open(image.c_str(), 0, 2, 0));
  ASSERT_TRUE(open["ok"]);
  const std::string en = open["identify"]["textEn"];
  EXPECT_EQ(en.rfind("Verdict: MZ\nLayout: D88 (extension: agrees)\n", 0), 0u) << en;
  EXPECT_NE(en.find("Files: 2  free sectors: "), std::string::npos) << en;
  EXPECT_EQ(Call(zw_identify())["textEn"], en);
}

// A volume whose bit table lacks a file's sectors, with one recoverable deleted entry.
std::vector<uint8_t> Unmended(bool writeProtected) {
  testimg::VolumeBuilder volume;
  testimg::FileSpec loose;
  loose.name = "LOOSE";
  loose.data.assign(600, 3);
  loose.markUsed = false;
  volume.AddFile(loose);
  testimg::FileSpec gone;
  gone.name = "GONE";
  gone.type = 0;
  gone.data.assign(200, 4);
  gone.track = 10;
  gone.sector = 1;
  gone.markUsed = false;
  volume.AddFile(gone);
  testimg::ImageSpec shape;
  shape.d88 = true;
  shape.d88WriteProtect = writeProtected ? 0x10 : 0x00;
  return testimg::BuildImage(volume, shape);
}

// Check, repair and restore write nothing without their check first, nor on a protected disk
// (no repair offered there); the sector view reads only.
TEST_F(WebApiTest, CheckRepairAndRestoreWriteOnlyAfterTheirCheck) {
  const std::string locked = Path("locked.d88");
  testimg::WriteFile(locked, Unmended(true));
  testimg::WriteFile(image, Unmended(false));
  const auto before = testimg::ReadFile(image);

  ASSERT_TRUE(Call(zw_open(locked.c_str(), 0, 0, 0))["ok"]);
  const json shown = Call(zw_check());
  EXPECT_EQ(shown["count"], 1);
  EXPECT_FALSE(shown.contains("repair"));  // no offer on a protected disk
  EXPECT_FALSE(Call(zw_repair())["ok"]);
  EXPECT_FALSE(Call(zw_undelete_texts(0))["ok"]);
  EXPECT_EQ(testimg::ReadFile(locked), Unmended(true));

  ASSERT_TRUE(Call(zw_open(image.c_str(), 0, 0, 0))["ok"]);
  EXPECT_EQ(Call(zw_listing())["deleted"], 1);
  EXPECT_FALSE(Call(zw_undelete_write())["ok"]);  // nothing pending
  EXPECT_EQ(Call(zw_undelete_texts(3))["messages"][0]["id"], "kMsgUndeleteNoEntry");
  const json taken =
      Call(zw_undelete_check(0, "LOOSE", "OBJ", "1200", "1200", "03", "01", "15", 0));
  EXPECT_FALSE(taken["ok"]);
  EXPECT_FALSE(Call(zw_undelete_write())["ok"]);  // nothing pending after a refusal
  EXPECT_EQ(testimg::ReadFile(image), before);
  // The sector view read-only, its texts composed under the sanitizers.
  EXPECT_EQ(Call(zw_sector("0x53", "16", 1))["lines"].size(), 16u);
  EXPECT_EQ(testimg::ReadFile(image), before);
}

}  // namespace
