// Host and image paths are UTF-8 in zelvo. The path splitter walks them byte by byte: a character
// whose UTF-8 bytes end in what would be a lead byte of code page 932 ("Ж" ends in 0x96, "ｋ" in
// 0x8B) hides neither the separator nor the dot after it.
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "cli_fixture.h"
#include "support/test_support.h"
#include "texts/texts.h"

namespace clitest {
namespace {

class HostPathTest : public CliTest {
 protected:
  // Makes a tree of folders named in 3-byte characters in the temporary folder, nested until a
  // file `name` in the innermost one has an absolute path of at least `length` bytes; that path.
  std::string NestedPath(const std::string& top, const std::string& name, size_t length) {
    std::string folder = top;
    while (Path(folder + "/" + name).size() < length) folder += "/資料フォルダ";
    std::error_code error;
    std::filesystem::create_directories(Path(folder), error);
    EXPECT_FALSE(error) << error.message();
    return Path(folder + "/" + name);
  }
};

TEST_F(HostPathTest, Utf8NamesBeforeSeparatorsAndDotsSplitAsWritten) {
  const std::string folder = "Папка Ж ｋ";
  ASSERT_EQ(mkdir(Path(folder).c_str(), 0755), 0);
  testimg::VolumeBuilder volume;
  testimg::FileSpec hello;
  hello.name = "HELLO";
  hello.data = testsupport::Pattern(40, 5);
  volume.AddFile(hello);
  const std::string image = folder + "/диск Ж.d88";
  const std::string path = WriteImage(volume, image, true, 0);
  const std::vector<uint8_t> data = testsupport::Pattern(50, 7);
  testimg::WriteFile(Path(folder + "/DATA.BIN"), data);

  Result r = Zelvo({"ls", "--codes", codes, image});
  ASSERT_EQ(r.code, 0) << r.err;
  // The import's default name is the host file's name without its folder.
  r = Zelvo({"import", "--yes", "--codes", codes, image, folder + "/DATA.BIN"});
  ASSERT_EQ(r.code, 0) << r.err;
  r = Zelvo({"export", "--codes", codes, image, "data.bin", folder + "/back Ж.bin"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_TRUE(testsupport::BytesEqual(data, testimg::ReadFile(Path(folder + "/back Ж.bin"))));

  // A missing image whose name ends in .d88 after such characters is a failed read, not a wrong
  // extension.
  r = Zelvo({"ls", "--codes", codes, folder + "/нет Ж.d88"});
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.err, Utf8(kCaptionRead) + ": " + Utf8(kMsgReadFailed) + "\nzelvo: " + folder +
                       "/нет Ж.d88: " + std::strerror(ENOENT) + "\n");
}

TEST_F(HostPathTest, HostFilesOnPathsOf600BytesGoInAndComeOut) {
  testimg::VolumeBuilder volume;
  WriteImage(volume, "disk.d88", true, 0);
  const std::vector<uint8_t> data = testsupport::Pattern(300, 9);
  const std::string from = NestedPath("in", "DATA.BIN", 600);
  testimg::WriteFile(from, data);
  const std::string back = NestedPath("out", "back.bin", 600);
  const std::string folder = back.substr(0, back.rfind('/'));

  Result r = Zelvo({"import", "--yes", "--codes", codes, "disk.d88", from});
  ASSERT_EQ(r.code, 0) << r.err;
  r = Zelvo({"export", "--codes", codes, "disk.d88", "data.bin", back});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_TRUE(testsupport::BytesEqual(data, testimg::ReadFile(back)));
  // Every file into the same folder: beside back.bin, the file under its default name.
  r = Zelvo({"export", "--codes", codes, "--to", folder, "--all", "disk.d88"});
  ASSERT_EQ(r.code, 0) << r.err;
  int files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    files++;
    EXPECT_TRUE(testsupport::BytesEqual(data, testimg::ReadFile(entry.path().string())));
  }
  EXPECT_EQ(files, 2);
}

// The image itself on such a path: made, filled, listed and read back.
TEST_F(HostPathTest, AnImageOnAPathOf600BytesIsMadeListedAndChanged) {
  const std::string image = NestedPath("images", "disk.d88", 600);
  const std::string from = NestedPath("in", "DATA.BIN", 600);
  const std::vector<uint8_t> data = testsupport::Pattern(300, 9);
  testimg::WriteFile(from, data);
  const std::string back = NestedPath("out", "back.bin", 600);

  Result r = Zelvo({"new", image});
  ASSERT_EQ(r.code, 0) << r.err;
  r = Zelvo({"import", "--yes", "--codes", codes, image, from});
  ASSERT_EQ(r.code, 0) << r.err;
  r = Zelvo({"ls", "--codes", codes, image});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.out.find(FullWidth("DATA.BIN")), std::string::npos) << r.out;
  r = Zelvo({"export", "--codes", codes, image, "data.bin", back});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_TRUE(testsupport::BytesEqual(data, testimg::ReadFile(back)));
}

}  // namespace
}  // namespace clitest
