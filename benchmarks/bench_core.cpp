// The core's work on a volume of 40 files, flat and D88: load it (the Open command), export every
// file, import one, run the volume check. Each benchmark verifies what it did, so a fast wrong
// result does not pass for a speed-up.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <vector>

#include "flows/app_image.h"
#include "flows/app_state.h"
#include "flows/export.h"
#include "flows/import.h"
#include "flows/open_image.h"
#include "flows/volume_load.h"
#include "platform/scripted/scripted.h"
#include "support/image_builder.h"
#include "support/test_support.h"
#include "texts/texts.h"
#include "transfer/import.h"
#include "volume/volume_check.h"

namespace {

constexpr int kFiles = 40;

struct Setup {
  testsupport::TempDir temp;
  std::string flat, d88, host;
  std::vector<uint8_t> flatBytes, d88Bytes;
};

Setup& Images() {
  static Setup* setup = [] {
    auto* s = new Setup;
    testimg::VolumeBuilder volume;
    volume.SetDiskName("BENCH DISK");
    for (int i = 0; i < kFiles; i++) {
      testimg::FileSpec file;
      char name[17];
      std::snprintf(name, sizeof name, "FILE%02d.BIN", i);
      file.name = name;
      file.data = testsupport::Pattern(300 + 37 * static_cast<size_t>(i), i);
      volume.AddFile(file);
    }
    testimg::ImageSpec flat;
    testimg::ImageSpec d88;
    d88.d88 = true;
    s->flatBytes = testimg::BuildImage(volume, flat);
    s->d88Bytes = testimg::BuildImage(volume, d88);
    s->flat = s->temp.Path("bench.2d");
    s->d88 = s->temp.Path("bench.d88");
    s->host = s->temp.Path("host.bin");
    testimg::WriteFile(s->flat, s->flatBytes);
    testimg::WriteFile(s->d88, s->d88Bytes);
    testimg::WriteFile(s->host, testsupport::Pattern(2000, 99));
    return s;
  }();
  return *setup;
}

const std::string& PathOf(int d88) { return d88 ? Images().d88 : Images().flat; }

void Fresh() {
  ResetAppState();
  scripted::Reset();
  App.ListWindow = scripted::kListWindow;
  App.PanelWindow = scripted::kPanelWindow;
  App.Tables = testsupport::IdentityTables();
}

bool Open(const std::string& path) {
  Fresh();
  scripted::ChooseFile(path);
  OpenImageCommand(scripted::kMainWindow);
  return App.VolumeLoaded == 1 && scripted::Rows().size() == kFiles;
}

void BM_Load(benchmark::State& state) {
  const std::string& path = PathOf(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    if (!Open(path)) state.SkipWithError("the volume did not load");
  }
}
BENCHMARK(BM_Load)->ArgName("d88")->Arg(0)->Arg(1);

void BM_ExportEvery(benchmark::State& state) {
  const std::string& path = PathOf(static_cast<int>(state.range(0)));
  const std::string out = Images().temp.Path("out.bin");
  if (!Open(path)) state.SkipWithError("the volume did not load");
  for (auto _ : state) {
    for (int row = 0; row < kFiles; row++) {
      // A new file each time: replacing one by truncation makes some file systems flush it.
      std::remove(out.c_str());
      scripted::ChooseFile(out);
      ExportSelectedFile(scripted::kMainWindow, row);
    }
    if (!scripted::Boxes().empty()) state.SkipWithError("an export failed");
  }
  std::remove(out.c_str());
  state.SetItemsProcessed(state.iterations() * kFiles);
}
BENCHMARK(BM_ExportEvery)->ArgName("d88")->Arg(0)->Arg(1);

// One import into a fresh copy of the image each time (the copy is not timed).
void BM_Import(benchmark::State& state) {
  const int d88 = static_cast<int>(state.range(0));
  const std::string& path = PathOf(d88);
  const std::vector<uint8_t>& original = d88 ? Images().d88Bytes : Images().flatBytes;
  for (auto _ : state) {
    state.PauseTiming();
    testimg::WriteFile(path, original);
    Fresh();
    state.ResumeTiming();
    scripted::ChooseFile(path);
    OpenImageCommand(scripted::kMainWindow);
    scripted::ChooseFile(Images().host);
    scripted::DialogCommand(kIdOk);
    scripted::AnswerBox(kIdYes);
    ImportHostFile(scripted::kMainWindow);
    const auto& boxes = scripted::Boxes();
    if (boxes.empty() || boxes.back().text != kMsgImportSucceeded)
      state.SkipWithError("the import failed");
  }
  testimg::WriteFile(path, original);
}
BENCHMARK(BM_Import)->ArgName("d88")->Arg(0)->Arg(1);

void BM_Check(benchmark::State& state) {
  const std::string& path = PathOf(static_cast<int>(state.range(0)));
  if (!Open(path)) state.SkipWithError("the volume did not load");
  std::vector<CheckFinding> items(1024);
  for (auto _ : state) {
    CheckFindings findings{items.data(), static_cast<int>(items.size()), 0};
    if (CheckLoadedVolume(&findings) != 0 || findings.count != 0)
      state.SkipWithError("the check found something in a sound volume");
  }
}
BENCHMARK(BM_Check)->ArgName("d88")->Arg(0)->Arg(1);

}  // namespace
