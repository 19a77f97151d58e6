// What the rollback journal costs an import: the whole Import command (its writes queued, the
// journal written and synced, the image written and synced, the journal deleted) against the
// same sector writes made straight into the image, as they were made before the journal.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <vector>

#include "flows/app_state.h"
#include "flows/import.h"
#include "flows/volume_load.h"
#include "image/image_file.h"
#include "image/sector_transfer.h"
#include "platform/scripted/scripted.h"
#include "support/image_builder.h"
#include "support/test_support.h"
#include "transfer/import.h"
#include "volume/layout.h"

namespace {

struct Setup {
  testsupport::TempDir temp;
  std::string image;
  std::string host;
  std::vector<uint8_t> original;

  explicit Setup(long hostBytes) {
    testimg::ImageSpec shape;
    shape.machineMode = kModePc;
    original = testimg::BuildImage(testimg::VolumeBuilder(), shape);
    image = temp.Path("bench.2d");
    host = temp.Path("HOST.BIN");
    testimg::WriteFile(host, testsupport::Pattern(static_cast<size_t>(hostBytes), 1));
  }

  void Reset() {
    testimg::WriteFile(image, original);
    ResetAppState();
    scripted::Reset();
    App.ListWindow = scripted::kListWindow;
    App.PanelWindow = scripted::kPanelWindow;
    App.Tables = testsupport::IdentityTables();
    App.MachineMode = kModePc;
    App.ImageFormat = kFormat2D;
    std::snprintf(App.ImagePath, sizeof App.ImagePath, "%s", image.c_str());
    LoadVolume(scripted::kMainWindow);
  }
};

void BM_ImportThroughTheJournal(benchmark::State& state) {
  Setup setup(state.range(0));
  for (auto _ : state) {
    state.PauseTiming();
    setup.Reset();
    scripted::ChooseFile(setup.host);
    scripted::DialogCommand(kIdOk);
    scripted::AnswerBox(kIdYes);
    state.ResumeTiming();
    ImportHostFile(scripted::kMainWindow);
  }
  if (!App.VolumeLoaded) state.SkipWithError("the import failed");
}

// The writes of the same import (data from track 2, the system area, the directory), each
// sector straight into the image, opened and closed per run as before the journal.
void BM_SameWritesStraightIntoTheImage(benchmark::State& state) {
  Setup setup(state.range(0));
  const std::vector<uint8_t> sector(kSectorBytes, 0x5A);
  const int dataSectors = static_cast<int>((state.range(0) + kSectorBytes - 1) / kSectorBytes);
  struct Run {
    int first;
    int count;
  };
  const Run runs[] = {{2 * kSectorsPerTrack, dataSectors}, {1, 2}, {kSectorsPerTrack, 8}};
  for (auto _ : state) {
    state.PauseTiming();
    setup.Reset();
    state.ResumeTiming();
    for (const Run& run : runs) {
      ImageFile file;
      if (ImageFileOpenUpdate(setup.image.c_str(), &file) != 0) state.SkipWithError("open");
      for (int k = 0; k < run.count; k++)
        ImageFileWriteAt(&file, static_cast<uint32_t>((run.first + k) * kSectorBytes),
                         sector.data(), kSectorBytes);
      ImageFileClose(&file);
    }
  }
}

BENCHMARK(BM_ImportThroughTheJournal)
    ->Arg(256)
    ->Arg(16384)
    ->Arg(65535)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SameWritesStraightIntoTheImage)
    ->Arg(256)
    ->Arg(16384)
    ->Arg(65535)
    ->Unit(benchmark::kMillisecond);

}  // namespace
