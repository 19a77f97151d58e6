// An import whose N-th write to the image fails, for every N until the import gets through: the
// change is rolled back from its journal at once, so the image is byte for byte as before and no
// journal is left. The import that gets through leaves a sound volume on which every file that
// was there before exports byte for byte as before. (A process stopped at any write is the crash
// sweep's part, from outside the process.)
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "flows/app_image.h"
#include "flows/app_state.h"
#include "flows/export.h"
#include "flows/import.h"
#include "flows/volume_load.h"
#include "image/image_file.h"
#include "support/image_builder.h"
#include "support/test_support.h"
#include "texts/texts.h"
#include "transfer/import.h"
#include "volume/volume_check.h"

namespace {

using testsupport::Pattern;

using testimg::FileSpec;
using testimg::VolumeBuilder;
using Bytes = std::vector<uint8_t>;

struct Scenario {
  const char* what;
  bool d88;
  int mode;
  bool mainDirectoryFull;  // the new entry goes into the extended directory
};

VolumeBuilder Volume(bool mainDirectoryFull) {
  VolumeBuilder v;
  v.SetExdir(5, 1);
  int files = 0;
  auto add = [&](size_t bytes) {
    FileSpec f;
    f.name = "FILE" + std::to_string(files);
    f.data = Pattern(bytes, files++);
    v.AddFile(f);
  };
  add(300);
  add(100);
  add(513);
  while (mainDirectoryFull && files < 64) add(files % 3 == 0 ? 20 : 0);
  return v;
}

void PrintTo(const Scenario& s, std::ostream* os) { *os << s.what; }

class CrashConsistencyTest : public testsupport::AppTest,
                             public ::testing::WithParamInterface<Scenario> {
 protected:
  void Use(const Bytes& image) {
    SetUp();
    App.MachineMode = GetParam().mode;
    path = UseImage(image, GetParam().d88 ? "image.d88" : "image.2d",
                    GetParam().d88 ? kFormatD88 : kFormat2D);
  }

  // Every row of the loaded volume exported in Binary mode, by its name cell.
  std::map<std::string, Bytes> ExportAll() {
    LoadVolume(scripted::kMainWindow);
    EXPECT_EQ(1, App.VolumeLoaded);
    std::map<std::string, Bytes> files;
    App.TransferMode = kTransferBinary;
    const std::vector<std::vector<std::string>> rows = scripted::Rows();
    for (size_t row = 0; row < rows.size(); row++) {
      const std::string out = temp.Path("exported");
      std::remove(out.c_str());
      scripted::ChooseFile(out);
      ExportSelectedFile(scripted::kMainWindow, static_cast<int>(row));
      files[rows[row][0]] = testimg::ReadFile(out);
    }
    return files;
  }

  std::vector<CheckFinding> Check() {
    LoadVolume(scripted::kMainWindow);
    std::vector<CheckFinding> items(256);
    CheckFindings findings{items.data(), static_cast<int>(items.size()), 0};
    EXPECT_EQ(0, CheckLoadedVolume(&findings));
    items.resize(static_cast<size_t>(std::min(findings.count, findings.capacity)));
    return items;
  }

  std::string path;
};

TEST_P(CrashConsistencyTest, EveryInterruptedImportLeavesASoundVolume) {
  const Scenario& s = GetParam();
  testimg::ImageSpec shape;
  shape.d88 = s.d88;
  shape.machineMode = s.mode;
  const Bytes original = testimg::BuildImage(Volume(s.mainDirectoryFull), shape);
  const std::string host = temp.Path("NEWFILE.BIN");
  const Bytes hostData = Pattern(700, 77);

  Use(original);
  testimg::WriteFile(host, hostData);
  const std::map<std::string, Bytes> files = ExportAll();
  ASSERT_GE(files.size(), 3u);

  bool completed = false;
  int n = 0;
  while (!completed && n < 100) {
    n++;
    SCOPED_TRACE("write " + std::to_string(n) + " fails");
    Use(original);
    testimg::WriteFile(host, hostData);
    LoadVolume(scripted::kMainWindow);
    scripted::ClearBoxes();
    ImageWriteFaults = ImageWriteFault{n, 0};
    scripted::ChooseFile(host);
    scripted::DialogCommand(kIdOk);
    scripted::AnswerBox(kIdYes);
    ImportHostFile(scripted::kMainWindow);
    const int writes = ImageWriteFaults.writesDone;
    ImageWriteFaults = ImageWriteFault{0, 0};
    ASSERT_FALSE(scripted::Boxes().empty());
    completed = writes < n;
    if (completed) {
      EXPECT_EQ(kMsgImportSucceeded, scripted::Boxes().back().text);
    } else {
      EXPECT_EQ(kMsgWriteFailed, scripted::Boxes().back().text);
      EXPECT_EQ(n, writes) << "a write followed the failed one";
      EXPECT_TRUE(testsupport::BytesEqual(original, testimg::ReadFile(path)));
    }
    EXPECT_FALSE(testimg::FileExists(path + "-journal"));

    const Bytes after = testimg::ReadFile(path);
    if (after != original) {
      for (const CheckFinding& f : Check())
        ADD_FAILURE() << "volume check finding kind " << f.kind << " slot " << f.slot << " other "
                      << f.otherSlot << " at " << f.track << "/" << f.sector;
    }
    std::map<std::string, Bytes> now = ExportAll();
    for (const auto& [name, bytes] : files) {
      ASSERT_TRUE(now.count(name)) << "lost " << name;
      EXPECT_TRUE(testsupport::BytesEqual(bytes, now[name])) << name;
    }
    const std::string added = testsupport::ShownName("NEWFILE.BIN", App.Tables);
    EXPECT_EQ(completed ? 1u : 0u, now.count(added));
    if (now.count(added)) {
      EXPECT_TRUE(testsupport::BytesEqual(hostData, now[added]));
    }
  }
  EXPECT_TRUE(completed);
  // 3 data sectors, 2 of the system area, 8 of the directory and 8 of the extended directory:
  // the import goes through when the 22nd write would fail.
  EXPECT_EQ(3 + 2 + 8 + 8 + 1, n);
}

INSTANTIATE_TEST_SUITE_P(Layouts, CrashConsistencyTest,
                         ::testing::Values(Scenario{"FlatMz", false, kModeMz, false},
                                           Scenario{"FlatPc", false, kModePc, false},
                                           Scenario{"D88Mz", true, kModeMz, false},
                                           Scenario{"D88Pc", true, kModePc, false},
                                           Scenario{"FlatMzExdir", false, kModeMz, true},
                                           Scenario{"D88PcExdir", true, kModePc, true}),
                         [](const auto& info) { return std::string(info.param.what); });

}  // namespace
