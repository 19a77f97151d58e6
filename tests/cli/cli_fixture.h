// End-to-end tests of the zelvo tool: images made by the test image builder, the real executable
// run in a temporary folder, its exit code, standard output and standard error captured.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "support/image_builder.h"
#include "support/test_support.h"

namespace clitest {

struct Result {
  int code;
  std::string out;
  std::string err;
};

// Code page 932 text (as in texts.h) in UTF-8, by iconv, for comparing messages.
std::string Utf8(const char* cp932);
// How the test code file shows an ASCII name: digits, letters and '.' as their full-width
// characters, every other byte as a full-width question mark, in UTF-8.
std::string FullWidth(const std::string& name);
// Bytes of a string.
std::vector<uint8_t> Bytes(const std::string& text);

// The image's layout: the extension and the shape.
struct Layout {
  const char* extension;
  bool d88;
  const char* format;  // as ls --json reports it
};
inline const Layout kLayouts[] = {
    {".2d", false, "2D"}, {".d20", true, "D20"}, {".d88", true, "D88"}, {".D77", true, "D88"}};

// The volume of an image in volume terms (undoes the layout and the MZ convention).
std::vector<uint8_t> VolumeOf(const std::vector<uint8_t>& image, bool d88, int machineMode);

class CliTest : public ::testing::Test {
 protected:
  void SetUp() override;

  // Runs zelvo with the arguments in the temporary folder, standard input from `input`.
  Result Zelvo(const std::vector<std::string>& args);
  // The same with another copy of the executable.
  Result ZelvoAt(const std::string& executable, const std::vector<std::string>& args);
  // Runs zelvo on a pseudo terminal (through script(1)) that receives `typed`; standard output
  // and standard error both land in `out`. False when script(1) is not available.
  bool ZelvoOnTerminal(const std::vector<std::string>& args, const std::string& typed,
                       Result* result);
  // Writes the image of `volume` into the temporary folder; returns its path.
  std::string WriteImage(const testimg::VolumeBuilder& volume, const std::string& name, bool d88,
                         int machineMode);
  std::string Path(const std::string& name) const { return temp.Path(name); }

  testsupport::TempDir temp;
  std::string input = "/dev/null";  // what Zelvo's standard input reads
  std::string codes;                // the test code file: pass as --codes
};

}  // namespace clitest
