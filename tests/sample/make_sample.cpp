// Writes the sample of the README into a folder: sample.d88, a Zelvo volume in a D88 image under
// the MZ convention (the tool's default) with a few files, and hello.txt, a host file to import.
// Usage: zelvo_make_sample FOLDER [--files N]
// With --files, also files.2d: a flat image (MZ) holding N small files FILE00.BIN..., for timing.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "support/image_builder.h"

namespace {

std::vector<uint8_t> Bytes(const std::string& text) {
  return std::vector<uint8_t>(text.begin(), text.end());
}

testimg::FileSpec Dated(testimg::FileSpec file) {
  file.date[0] = 0x24;
  file.date[1] = 0x05;
  file.date[2] = 0x01;
  return file;
}

testimg::VolumeBuilder SampleVolume() {
  testimg::VolumeBuilder volume;
  volume.SetDiskName("SAMPLE DISK").SetDate(0x24, 0x05, 0x01).SetFmMark(true).SetAutoStart("DEMO");

  // A text file: lines end with 0x0D, the text with a zero byte.
  testimg::FileSpec readme;
  readme.name = "README.TXT";
  readme.type = 2;
  readme.start = 0x1500;
  readme.exec = 0x0000;
  readme.data = Bytes(
      "THIS IS THE SAMPLE DISK OF ZELVO EXPLORER.\r"
      "EXPORT ME WITH --ascii TO READ ME ON THE HOST.\r");
  readme.data.push_back(0x00);
  volume.AddFile(Dated(readme));

  // A machine code file of a little more than one sector.
  testimg::FileSpec demo;
  demo.name = "DEMO";
  demo.type = 1;
  demo.start = 0x1200;
  demo.exec = 0x1200;
  for (int i = 0; i < 300; i++) demo.data.push_back(static_cast<uint8_t>(i * 7 + 3));
  volume.AddFile(Dated(demo));

  // A locked command file.
  testimg::FileSpec tool;
  tool.name = "TOOL.CMD";
  tool.type = 3;
  tool.lock = 1;
  tool.start = 0x3000;
  tool.exec = 0x3010;
  tool.data = Bytes("\xC3\x10\x30 ZELVO TOOL");
  volume.AddFile(Dated(tool));
  return volume;
}

testimg::VolumeBuilder ManyFiles(int count) {
  testimg::VolumeBuilder volume;
  volume.SetDiskName("TIMING DISK").SetDate(0x24, 0x05, 0x01);
  for (int i = 0; i < count; i++) {
    testimg::FileSpec file;
    char name[17];
    std::snprintf(name, sizeof name, "FILE%02d.BIN", i);
    file.name = name;
    for (int b = 0; b < 300 + 37 * i; b++) file.data.push_back(static_cast<uint8_t>(b * 13 + i));
    if (volume.AddFile(Dated(file)) < 0) break;
  }
  return volume;
}

}  // namespace

int main(int argc, char** argv) {
  int files = -1;
  if (argc == 4 && std::string(argv[2]) == "--files") files = std::atoi(argv[3]);
  if ((argc != 2 && files < 0) || files > 64) {
    std::fprintf(stderr, "usage: zelvo_make_sample FOLDER [--files N]\n");
    return 2;
  }
  const std::filesystem::path folder(argv[1]);
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  if (error) {
    std::fprintf(stderr, "zelvo_make_sample: cannot create %s\n", argv[1]);
    return 1;
  }
  testimg::ImageSpec shape;
  shape.d88 = true;
  shape.machineMode = 0;
  testimg::WriteFile((folder / "sample.d88").string(), testimg::BuildImage(SampleVolume(), shape));
  testimg::WriteFile((folder / "hello.txt").string(),
                     Bytes("HELLO FROM THE HOST.\nIMPORT ME WITH --ascii.\n"));
  std::printf("%s\n%s\n", (folder / "sample.d88").string().c_str(),
              (folder / "hello.txt").string().c_str());
  if (files >= 0) {
    testimg::WriteFile((folder / "files.2d").string(),
                       testimg::BuildImage(ManyFiles(files), testimg::ImageSpec{}));
    std::printf("%s\n", (folder / "files.2d").string().c_str());
  }
  return 0;
}
