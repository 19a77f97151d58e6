// Writes the images that scripts/compare_zelvo.py runs two builds of zelvo over: one volume of a
// few files of every kind under both conventions, flat and in D88, a D88 with bad sectors, a
// blank volume, a full one, one of other names, and a flux dump (SCP) of the volume.
// Usage: zelvo_compare_images FOLDER
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "image/disk_model.h"
#include "support/flux_writer.h"
#include "support/image_builder.h"
#include "support/test_support.h"

namespace {

using Bytes = std::vector<uint8_t>;
using testimg::FileSpec;
using testimg::ImageSpec;
using testimg::VolumeBuilder;

FileSpec File(const std::string& name, uint8_t type, Bytes data) {
  FileSpec file;
  file.name = name;
  file.type = type;
  file.data = std::move(data);
  file.date[0] = 0x24;
  file.date[1] = 0x05;
  file.date[2] = 0x01;
  return file;
}

Bytes Text(const std::string& text) {
  Bytes bytes(text.begin(), text.end());
  bytes.push_back(0x00);
  return bytes;
}

// Files of each type and size class: a text, a locked command file, one stored high byte first,
// an empty one, one of several tracks and names that need the code tables.
VolumeBuilder Files() {
  VolumeBuilder volume;
  volume.SetDiskName("COMPARE DISK").SetDate(0x24, 0x05, 0x01).SetFmMark(true);
  volume.SetAutoStart("DEMO").SetVolumeNumber(3);
  volume.AddFile(File("README.TXT", 2, Text("FIRST LINE\rSECOND LINE\r")));
  FileSpec demo = File("DEMO", 1, testsupport::Pattern(300, 1));
  demo.exec = 0x1210;
  volume.AddFile(demo);
  FileSpec tool = File("TOOL.CMD", 3, testsupport::Pattern(40, 2));
  tool.lock = 1;
  tool.start = 0x3000;
  tool.exec = 0x3010;
  volume.AddFile(tool);
  FileSpec order = File("ORDER1", 4, testsupport::Pattern(256, 3));
  order.order = 1;
  volume.AddFile(order);
  volume.AddFile(File("EMPTY", 5, {}));
  volume.AddFile(File("BIG.BIN", 1, testsupport::Pattern(9000, 4)));
  volume.AddFile(File("\x81\x82kana", 6, testsupport::Pattern(100, 5)));
  return volume;
}

// Files under names the other images do not use, to copy into them.
VolumeBuilder Others() {
  VolumeBuilder volume;
  volume.SetDiskName("OTHERS").SetDate(0x24, 0x05, 0x01);
  volume.AddFile(File("OTHER.TXT", 2, Text("ANOTHER TEXT\r")));
  volume.AddFile(File("OTHER.BIN", 1, testsupport::Pattern(2000, 6)));
  FileSpec locked = File("OTHER.CMD", 3, testsupport::Pattern(500, 7));
  locked.lock = 1;
  volume.AddFile(locked);
  return volume;
}

// A volume whose free sectors are almost all taken.
VolumeBuilder Full() {
  VolumeBuilder volume;
  volume.SetDiskName("FULL").SetDate(0x24, 0x05, 0x01);
  for (int i = 0; i < 20; ++i) {
    char name[17];
    std::snprintf(name, sizeof name, "PART%02d", i);
    if (volume.AddFile(File(name, 1, testsupport::Pattern(16000, i))) < 0) break;
  }
  return volume;
}

void Write(const std::filesystem::path& folder, const char* name, const Bytes& bytes) {
  testimg::WriteFile((folder / name).string(), bytes);
  std::printf("%s\n", name);
}

Bytes Image(const VolumeBuilder& volume, bool d88, int mode) {
  ImageSpec shape;
  shape.d88 = d88;
  shape.machineMode = mode;
  shape.d88Name = "COMPARE";
  return testimg::BuildImage(volume, shape);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: zelvo_compare_images FOLDER\n");
    return 2;
  }
  const std::filesystem::path folder(argv[1]);
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  if (error) {
    std::fprintf(stderr, "zelvo_compare_images: cannot create %s\n", argv[1]);
    return 1;
  }
  const VolumeBuilder files = Files();
  Write(folder, "mz.d88", Image(files, true, 0));
  Write(folder, "pc.d88", Image(files, true, 1));
  Write(folder, "mz.2d", Image(files, false, 0));
  Write(folder, "pc.2d", Image(files, false, 1));
  Write(folder, "blank.2d", Image(VolumeBuilder(), false, 0));
  Write(folder, "full.d88", Image(Full(), true, 0));
  Write(folder, "other.d88", Image(Others(), true, 0));

  // Bad sectors: one inside DEMO's data (a CRC error), one in a free sector (no data mark).
  Bytes bad = Image(files, true, 1);
  bad[testimg::D88DataOffset(bad, 2, 2) - 16 + 8] = 0xB0;
  bad[testimg::D88DataOffset(bad, 50, 7) - 16 + 8] = 0xF0;
  Write(folder, "bad.d88", bad);

  // The PC D88 laid out as flux, two revolutions of light jitter.
  const std::string from = (folder / "flux-source.d88").string();
  testimg::WriteFile(from, Image(files, true, 1));
  auto model = std::make_unique<DiskModel>();
  fluxw::LoadModel(from, 1, model.get());
  std::filesystem::remove(from, error);
  fluxw::FluxOptions options;
  options.jitter = 0.03;
  Write(folder, "pc.scp", fluxw::WriteScp(*model, options));
  return 0;
}
