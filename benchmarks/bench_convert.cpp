// What a conversion costs: a 2D volume D88 -> IMD -> HFE -> D88, per image, and each step alone.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>

#include "support/image_builder.h"
#include "support/test_support.h"
#include "transfer/convert_image.h"

namespace {

struct Setup {
  testsupport::TempDir temp;
  std::string d88 = temp.Path("source.d88");

  Setup() {
    testimg::VolumeBuilder volume;
    for (int t = 0; t < 84; t++)
      for (int s = 1; s <= 16; s++)
        for (int i = 0; i < 256; i++)
          volume.Sector(t, s)[i] = static_cast<uint8_t>((t * 16 + s) * 7 + i * (t % 3));
    testimg::ImageSpec shape;
    shape.d88 = true;
    testimg::WriteFile(d88, testimg::BuildImage(volume, shape));
  }

  void Convert(const std::string& from, const std::string& to) {
    ConvertRequest request{};
    request.sourcePath = from.c_str();
    request.targetPath = to.c_str();
    request.disk = -1;
    request.replace = true;
    if (ConvertImage(nullptr, request, nullptr) != 0) std::abort();
  }
};

void BM_ChainD88ImdHfeD88(benchmark::State& state) {
  Setup setup;
  const std::string imd = setup.temp.Path("a.imd");
  const std::string hfe = setup.temp.Path("a.hfe");
  const std::string back = setup.temp.Path("back.d88");
  for (auto _ : state) {
    setup.Convert(setup.d88, imd);
    setup.Convert(imd, hfe);
    setup.Convert(hfe, back);
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ChainD88ImdHfeD88)->Unit(benchmark::kMillisecond);

void BM_OneStep(benchmark::State& state, const char* from, const char* to) {
  Setup setup;
  const std::string source = setup.temp.Path(std::string("s") + from);
  if (std::string(from) != ".d88") setup.Convert(setup.d88, source);
  const std::string target = setup.temp.Path(std::string("t") + to);
  for (auto _ : state) setup.Convert(std::string(from) == ".d88" ? setup.d88 : source, target);
}
BENCHMARK_CAPTURE(BM_OneStep, D88ToImd, ".d88", ".imd")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_OneStep, ImdToHfe, ".imd", ".hfe")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_OneStep, HfeToD88, ".hfe", ".d88")->Unit(benchmark::kMillisecond);

}  // namespace
