// Host and image paths are UTF-8 in zelvo. The path splitter walks them byte by byte: a character
// whose UTF-8 bytes end in what would be a lead byte of code page 932 ("Ж" ends in 0x96, "ｋ" in
// 0x8B) hides neither the separator nor the dot after it.
#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "cli_fixture.h"
#include "support/test_support.h"
#include "texts/texts.h"

namespace clitest {
namespace {

using HostPathTest = CliTest;

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

}  // namespace
}  // namespace clitest
