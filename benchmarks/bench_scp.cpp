// What decoding a flux dump costs and how much of it survives: an 84-track SCP image of two
// revolutions (about 15 MB) decoded whole, and the share of sectors sound from one revolution and
// from two at Gaussian jitter of 6, 10 and 14 % of a cell (independent in each revolution).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "support/flux_writer.h"
#include "support/image_builder.h"
#include "support/test_support.h"
#include "view/flux_report.h"

namespace {

struct Setup {
  testsupport::TempDir temp;
  std::unique_ptr<DiskModel> model = std::make_unique<DiskModel>();

  Setup() {
    testimg::VolumeBuilder volume;
    for (int t = 0; t < 84; t++)
      for (int s = 1; s <= 16; s++)
        for (int i = 0; i < 256; i++)
          volume.Sector(t, s)[i] = static_cast<uint8_t>((t * 16 + s) * 7 + i * (t % 3));
    testimg::ImageSpec shape;
    shape.d88 = true;
    const std::string d88 = temp.Path("source.d88");
    testimg::WriteFile(d88, testimg::BuildImage(volume, shape));
    fluxw::LoadModel(d88, kModeMz, model.get());
  }
  std::string Scp(double jitter, unsigned seed) {
    fluxw::FluxOptions options;
    options.jitter = jitter;
    options.seed = seed;
    const std::string path = temp.Path("disk.scp");
    testimg::WriteFile(path, fluxw::WriteScp(*model, options));
    return path;
  }
};

void BM_DecodeScp84Tracks2Revolutions(benchmark::State& state) {
  Setup setup;
  const std::string path = setup.Scp(0.05, 1);
  static FluxReport report;
  for (auto _ : state) {
    if (ReadFluxReport(path.c_str(), &report) != 0) std::abort();
    benchmark::DoNotOptimize(report.total.found);
  }
  state.counters["MB"] = static_cast<double>(testimg::ReadFile(path).size()) / 1e6;
  state.counters["found"] = report.total.found;
}
BENCHMARK(BM_DecodeScp84Tracks2Revolutions)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_RecoveryUnderJitter(benchmark::State& state) {
  Setup setup;
  const double jitter = state.range(0) / 100.0;
  static FluxReport report;
  double one = 0, two = 0;
  for (auto _ : state) {
    const std::string path = setup.Scp(jitter, 7);
    if (ReadFluxReport(path.c_str(), &report) != 0) std::abort();
    const double total = 84 * 16;
    one = report.total.goodFirst / total;
    two = (report.total.goodFirst + report.total.recovered) / total;
  }
  state.counters["one_revolution_%"] = 100 * one;
  state.counters["two_revolutions_%"] = 100 * two;
  std::printf(
      "jitter %d %% of a cell: %.1f %% of sectors sound from one revolution, %.1f %% from "
      "two\n",
      static_cast<int>(state.range(0)), 100 * one, 100 * two);
}
BENCHMARK(BM_RecoveryUnderJitter)
    ->Arg(6)
    ->Arg(10)
    ->Arg(14)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

}  // namespace
