// Cataloguing a collection in one process: for each of 1,000 generated images (flat and D88, MZ
// and PC, a few files each), identify it, load its volume under the convention found and read
// the list, as `zelvo ls --json --mode auto IMAGE...` does. Reports the time of the 1,000 (one
// iteration; the goal is under 30 ms in a Release build) and the time per image. Each image is
// opened once to identify it and once to load it, and read in a few reads each time.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "flows/app_image.h"
#include "platform/scripted/scripted.h"
#include "support/image_builder.h"
#include "support/test_support.h"
#include "volume/app_state.h"
#include "volume/identify.h"
#include "flows/volume_load.h"

namespace {

constexpr int kImages = 1000;

struct Collection {
  std::filesystem::path folder;
  std::vector<std::string> paths;
  std::vector<int> formats;

  Collection() {
    folder = std::filesystem::temp_directory_path() / "zelvo_bench_catalogue";
    std::filesystem::create_directories(folder);
    for (int i = 0; i < kImages; i++) {
      testimg::VolumeBuilder volume;
      for (int f = 0; f < 1 + i % 8; f++) {
        testimg::FileSpec file;
        file.name = "FILE" + std::to_string(f);
        file.type = static_cast<uint8_t>(1 + f % 6);
        file.data = testsupport::Pattern(200 + 97 * ((i + f) % 40), i + f);
        volume.AddFile(file);
      }
      testimg::ImageSpec shape;
      shape.d88 = i % 2 == 0;
      shape.machineMode = (i / 2) % 2;
      const std::string path =
          (folder / ("image" + std::to_string(i) + (shape.d88 ? ".d88" : ".2d"))).string();
      testimg::WriteFile(path, testimg::BuildImage(volume, shape));
      paths.push_back(path);
      formats.push_back(shape.d88 ? kFormatD88 : kFormat2D);
    }
  }
  ~Collection() { std::filesystem::remove_all(folder); }
};

void BM_CatalogueOneProcess(benchmark::State& state) {
  static Collection collection;
  static Identification id;
  int volumes = 0;
  for (auto _ : state) {
    volumes = 0;
    for (int i = 0; i < kImages; i++) {
      ResetAppState();
      scripted::Reset();
      App.ListWindow = scripted::kListWindow;
      App.PanelWindow = scripted::kPanelWindow;
      std::snprintf(App.ImagePath, sizeof App.ImagePath, "%s", collection.paths[i].c_str());
      std::snprintf(App.ChosenPath, sizeof App.ChosenPath, "%s", collection.paths[i].c_str());
      App.ImageFormat = collection.formats[i];
      if (IdentifyCurrentImage(scripted::kMainWindow, &id) != 0 || id.verdict == kVerdictNone)
        continue;
      App.MachineMode = id.verdict;
      LoadVolume(scripted::kMainWindow);
      volumes += static_cast<int>(scripted::Rows().size()) > 0;
    }
  }
  if (volumes != kImages) state.SkipWithError("an image was not catalogued");
  state.SetItemsProcessed(state.iterations() * kImages);
  state.counters["per_image"] =
      benchmark::Counter(static_cast<double>(state.iterations() * kImages),
                         benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_CatalogueOneProcess)->Unit(benchmark::kMillisecond);

}  // namespace
