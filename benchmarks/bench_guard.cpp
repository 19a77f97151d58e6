// What the convention guard adds to a change: one identify of the open disk (RefuseChange on a
// volume of 40 files, flat and D88, read under its own convention, so the check passes).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>

#include "image/container.h"
#include "image/image_target.h"
#include "support/image_builder.h"
#include "support/test_support.h"
#include "transfer/convention_guard.h"

namespace {

struct Setup {
  testsupport::TempDir temp;
  std::string paths[2];

  Setup() {
    testimg::VolumeBuilder volume;
    for (int i = 0; i < 40; i++) {
      testimg::FileSpec file;
      char name[17];
      std::snprintf(name, sizeof name, "FILE%02d.BIN", i);
      file.name = name;
      file.data = testsupport::Pattern(300 + 37 * static_cast<size_t>(i), i);
      volume.AddFile(file);
    }
    for (int d88 = 0; d88 < 2; d88++) {
      testimg::ImageSpec shape;
      shape.d88 = d88 == 1;
      paths[d88] = temp.Path(d88 ? "guard.d88" : "guard.2d");
      testimg::WriteFile(paths[d88], testimg::BuildImage(volume, shape));
    }
  }
};

void BM_ConventionGuard(benchmark::State& state) {
  static Setup setup;
  const int d88 = static_cast<int>(state.range(0));
  ImageTarget target;
  ImageTargetFor(&target, setup.paths[d88].c_str(),
                 ContainerForFormat(d88 ? kFormatD88 : kFormat2D), kModeMz);
  for (auto _ : state) {
    Outcome out;
    OutcomeClear(&out);
    if (RefuseChange(&out, &target) != 0)
      state.SkipWithError("refused a disk of its own convention");
  }
}
BENCHMARK(BM_ConventionGuard)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

}  // namespace
