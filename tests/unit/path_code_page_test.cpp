// PathCodePage: the Windows program's paths are walked in code page 932 and opened with the A
// functions; zelvo's are UTF-8, walked byte by byte and opened through the wide API on Windows.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "image/image_file.h"
#include "image/image_select.h"
#include "support/image_builder.h"
#include "support/test_support.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

// Writes a file at a UTF-8 path (through the wide API on Windows).
void WriteUtf8Path(const std::string& path, const std::vector<uint8_t>& bytes) {
#ifdef _WIN32
  wchar_t wide[1024];
  ASSERT_GT(MultiByteToWideChar(CP_UTF8, 0, path.c_str(), -1, wide, 1024), 0);
  std::FILE* file = _wfopen(wide, L"wb");
  ASSERT_NE(file, nullptr);
  std::fwrite(bytes.data(), 1, bytes.size(), file);
  std::fclose(file);
#else
  testimg::WriteFile(path, bytes);
#endif
}

class PathCodePageTest : public ::testing::Test {
 protected:
  void TearDown() override { PathCodePage = 0; }
  testsupport::TempDir temp;
};

TEST_F(PathCodePageTest, TheSplitterStepsOverLeadBytesOnlyInCodePage932) {
  // "Ж" is D0 96 in UTF-8; 0x96 is a lead byte of code page 932 and takes the byte after it.
  const std::string path = "dir\xD0\x96/disk\xD0\x96.d88";
  struct {
    unsigned codePage;
    const char* extension;
    const char* name;
  } const cases[] = {{0, "", "dir\xD0\x96/disk\xD0\x96.d88"},
                     {kPathCodePageUtf8, ".d88", "disk\xD0\x96.d88"}};
  for (const auto& c : cases) {
    PathCodePage = c.codePage;
    char extension[256], name[256];
    SplitExtension(path.c_str(), extension, sizeof extension);
    SplitFileName(path.c_str(), name, sizeof name);
    EXPECT_STREQ(extension, c.extension) << c.codePage;
    EXPECT_STREQ(name, c.name) << c.codePage;
  }
}

// "é" is in neither code page 932 nor the ANSI code page of every system: only a UTF-8 path
// reaches the file on Windows. A path that is no UTF-8 opens nothing.
TEST_F(PathCodePageTest, AUtf8PathOpensTheImageItNames) {
  const std::string path = temp.Path("d\xC3\xA9j\xC3\xA0.d88");
  WriteUtf8Path(path, testsupport::Pattern(512, 3));
  PathCodePage = kPathCodePageUtf8;
  ImageFile file;
  ASSERT_EQ(ImageFileOpenRead(path.c_str(), &file), 0);
  EXPECT_EQ(ImageFileSize(&file), 512);
  ImageFileClose(&file);
#ifdef _WIN32
  EXPECT_EQ(ImageFileOpenRead(temp.Path("d\xC3.d88").c_str(), &file), -1);
#endif
}

}  // namespace
