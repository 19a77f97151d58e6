// Many files at once: export into a folder, import in one transaction.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "flows/app_state.h"
#include "flows/attribute_dialog.h"
#include "flows/batch_export.h"
#include "flows/batch_import.h"
#include "flows/export.h"
#include "flows/import.h"
#include "flows/volume_load.h"
#include "support/image_builder.h"
#include "support/test_support.h"
#include "texts/texts.h"
#include "transfer/batch_export.h"
#include "transfer/batch_import.h"
#include "transfer/export.h"
#include "transfer/import.h"

namespace {

using testimg::FileSpec;
using testimg::ImageSpec;
using testimg::VolumeBuilder;
using testsupport::Pattern;

ImageSpec Shape(bool d88, int machineMode) {
  ImageSpec shape;
  shape.d88 = d88;
  shape.machineMode = machineMode;
  return shape;
}

// Where the batch puts the default name of a row: the plain host name in the folder.
std::string Planned(const std::string& folder, int row) {
  char shown[kHostNameBytes];
  DefaultExportName(row, shown);
  char name[kHostNameBytes];
  PlatformHostFileName(shown, name, sizeof name);
  const bool backslash =
      folder.find('\\') != std::string::npos && folder.find('/') == std::string::npos;
  return folder + (backslash ? "\\" : "/") + name;
}

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

class BatchTest : public testsupport::AppTest {
 protected:
  std::string Load(const VolumeBuilder& volume, const ImageSpec& shape, const std::string& name) {
    const std::string path =
        UseImage(testimg::BuildImage(volume, shape), name, shape.d88 ? kFormatD88 : kFormat2D);
    App.MachineMode = shape.machineMode;
    LoadVolume(scripted::kMainWindow);
    EXPECT_EQ(App.VolumeLoaded, 1);
    scripted::ClearBoxes();
    return path;
  }
  std::string Folder(const std::string& name) {
    const std::string folder = temp.Path(name);
    std::filesystem::create_directory(folder);
    return folder;
  }
  std::vector<int> AllRows() {
    std::vector<int> rows;
    for (int row = 0; row < ListRowCount(App.ListWindow); row++) rows.push_back(row);
    return rows;
  }
  std::string Host(const std::string& name, const std::vector<uint8_t>& bytes) {
    const std::string path = temp.Path(name);
    testimg::WriteFile(path, bytes);
    return path;
  }
};

VolumeBuilder FourFiles() {
  VolumeBuilder volume;
  volume.AddFile(FileSpec{.name = "HELLO", .data = Pattern(0x123, 1)});
  volume.AddFile(FileSpec{.name = "TEXT", .type = 2, .data = {'A', 0x0D, 'B', 0x00}});
  volume.AddFile(FileSpec{.name = "HELLO", .lock = 1, .data = Pattern(600, 2)});  // same name
  volume.AddFile(FileSpec{.name = "EMPTY", .type = 7, .data = {}});
  return volume;
}

// Exporting every file at once gives each file exactly the bytes a single export of it gives,
// under its default name; a second file of the same name gets a suffix instead of overwriting.
TEST_F(BatchTest, ExportOfAWholeVolumeMatchesSingleExports) {
  for (const bool d88 : {false, true}) {
    for (const int transfer : {kTransferBinary, kTransferAscii}) {
      SCOPED_TRACE(std::string(d88 ? "D88" : "2D") + (transfer ? " Ascii" : " Binary"));
      Load(FourFiles(), Shape(d88, d88 ? kModePc : kModeMz), d88 ? "disk.d88" : "disk.2d");
      App.TransferMode = transfer;
      const std::string folder =
          Folder(std::string("out") + (d88 ? "d" : "f") + char('0' + transfer));
      std::vector<std::string> written;
      static std::vector<std::string>* sink;
      sink = &written;
      const std::vector<int> rows = AllRows();
      ASSERT_EQ(ExportRowsToFolder(scripted::kMainWindow, rows.data(), 4, folder.c_str(),
                                   HostReplacePolicy::kRefuse,
                                   [](const char* path) { sink->push_back(path); }),
                0);
      ASSERT_EQ(written.size(), 4u);
      for (int row = 0; row < 4; row++) {
        std::string expected = Planned(folder, row);
        if (row == 2) expected.insert(expected.rfind('.'), "_2");
        EXPECT_EQ(written[row], expected);
        const std::string single = temp.Path("single.bin");
        scripted::ChooseFile(single);
        ExportSelectedFile(scripted::kMainWindow, row);
        EXPECT_TRUE(testsupport::BytesEqual(testimg::ReadFile(single), testimg::ReadFile(expected)))
            << "row " << row;
      }
      EXPECT_TRUE(scripted::Boxes().empty());
    }
  }
}

// A file that cannot be read does not stop the others: they are written, then one box names it.
TEST_F(BatchTest, AnUnreadableFileGivesOneSummaryBoxAfterTheOthers) {
  VolumeBuilder volume = FourFiles();
  volume.AddFile(FileSpec{
      .name = "BAD", .data = {}, .length = 0x100, .track = 84, .sector = 1, .markUsed = false});
  const std::string image = Load(volume, Shape(true, kModeMz), "bad.d88");
  const std::vector<uint8_t> before = testimg::ReadFile(image);
  const std::string folder = Folder("rescue");
  const std::vector<int> rows = AllRows();
  ASSERT_EQ(rows.size(), 5u);
  EXPECT_EQ(ExportRowsToFolder(scripted::kMainWindow, rows.data(), 5, folder.c_str(),
                               HostReplacePolicy::kRefuse, nullptr),
            -1);
  ASSERT_EQ(scripted::Boxes().size(), 1u);
  EXPECT_EQ(scripted::Boxes()[0].caption, kCaptionError);
  char shown[kHostNameBytes];
  DefaultExportName(4, shown);
  EXPECT_TRUE(Contains(scripted::Boxes()[0].text, shown)) << scripted::Boxes()[0].text;
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder),
                          std::filesystem::directory_iterator()),
            4);
  EXPECT_FALSE(testimg::FileExists(Planned(folder, 4)));
  EXPECT_TRUE(testsupport::BytesEqual(before, testimg::ReadFile(image)));
}

// Existing host files: refused (nothing written, the file named), one question for all (No
// writes nothing, Yes replaces), or replaced.
TEST_F(BatchTest, ExistingHostFilesAreReplacedOnlyWhenAllowed) {
  Load(FourFiles(), Shape(false, kModeMz), "disk.2d");
  const std::string folder = Folder("out");
  const std::vector<int> rows = AllRows();
  const std::string existing = Planned(folder, 1);
  const std::vector<uint8_t> old = Pattern(10, 5);
  testimg::WriteFile(existing, old);
  auto folderFiles = [&] {
    int n = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) n += entry.exists();
    return n;
  };

  EXPECT_EQ(ExportRowsToFolder(scripted::kMainWindow, rows.data(), 4, folder.c_str(),
                               HostReplacePolicy::kRefuse, nullptr),
            -1);
  ASSERT_EQ(scripted::Boxes().size(), 1u);
  char shown[kHostNameBytes];
  DefaultExportName(1, shown);
  EXPECT_TRUE(Contains(scripted::Boxes()[0].text, std::string("(") + shown + ")"));
  EXPECT_EQ(folderFiles(), 1);

  scripted::ClearBoxes();
  scripted::AnswerBox(kIdNo);
  EXPECT_EQ(ExportRowsToFolder(scripted::kMainWindow, rows.data(), 4, folder.c_str(),
                               HostReplacePolicy::kAsk, nullptr),
            -1);
  ASSERT_EQ(scripted::Boxes().size(), 1u);
  EXPECT_EQ(scripted::Boxes()[0].flags, kMbYesNo | kMbIconQuestion);
  EXPECT_EQ(folderFiles(), 1);
  EXPECT_TRUE(testsupport::BytesEqual(old, testimg::ReadFile(existing)));

  scripted::ClearBoxes();
  scripted::AnswerBox(kIdYes);
  EXPECT_EQ(ExportRowsToFolder(scripted::kMainWindow, rows.data(), 4, folder.c_str(),
                               HostReplacePolicy::kAsk, nullptr),
            0);
  EXPECT_EQ(scripted::Boxes().size(), 1u);  // one question for all of them
  EXPECT_EQ(folderFiles(), 4);
  EXPECT_EQ(testimg::ReadFile(existing).size(), 4u);
}

// The command exports the selected rows only, into the chosen folder.
TEST_F(BatchTest, SelectedFilesGoToTheChosenFolder) {
  Load(FourFiles(), Shape(true, kModeMz), "disk.d88");
  const std::string folder = Folder("chosen");
  ExportSelectedToFolder(scripted::kMainWindow);  // nothing selected: nothing happens
  EXPECT_TRUE(scripted::FolderDialogTitles().empty());
  scripted::SelectRows({0, 3});
  ExportSelectedToFolder(scripted::kMainWindow);  // the chooser is cancelled
  EXPECT_TRUE(std::filesystem::is_empty(folder));
  scripted::ChooseFolder(folder);
  ExportSelectedToFolder(scripted::kMainWindow);
  ASSERT_EQ(scripted::FolderDialogTitles().size(), 2u);
  EXPECT_EQ(scripted::FolderDialogTitles()[1], kFolderDialogTitle);
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  std::vector<std::string> expected = {
      std::filesystem::path(Planned(folder, 0)).filename().string(),
      std::filesystem::path(Planned(folder, 3)).filename().string()};
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(names, expected);
}

// A volume with an extended directory whose main directory is nearly full: the batch spills into
// the extended directory exactly as imports one by one do.
VolumeBuilder NearlyFull() {
  VolumeBuilder volume;
  volume.SetExdir(2, 1);
  for (int i = 0; i < 62; i++) {
    char name[8];
    std::snprintf(name, sizeof name, "F%d", i);
    volume.AddFile(FileSpec{.name = name, .data = Pattern(10, i)});
  }
  return volume;
}

TEST_F(BatchTest, ImportOfManyFilesMatchesImportsOneByOne) {
  const std::vector<std::vector<uint8_t>> data = {
      Pattern(300, 1), Pattern(1000, 2), {'x', 0x0D, 0x0A, 'y'}, Pattern(5000, 3)};
  std::vector<std::string> hosts;
  for (size_t i = 0; i < data.size(); i++)
    hosts.push_back(Host("host" + std::to_string(i) + ".txt", data[i]));
  for (const bool d88 : {false, true}) {
    for (const int transfer : {kTransferBinary, kTransferAscii}) {
      SCOPED_TRACE(std::string(d88 ? "D88 PC" : "2D MZ") + (transfer ? " Ascii" : " Binary"));
      const ImageSpec shape = Shape(d88, d88 ? kModePc : kModeMz);
      const std::string ext = d88 ? ".d88" : ".2d";
      const std::string one = Load(NearlyFull(), shape, "one" + ext);
      App.TransferMode = transfer;
      for (const std::string& host : hosts) {
        scripted::ChooseFile(host);
        scripted::DialogCommand(kIdOk);
        scripted::AnswerBox(kIdYes);
        ImportHostFile(scripted::kMainWindow);
      }
      const std::string many = Load(NearlyFull(), shape, "many" + ext);
      App.TransferMode = transfer;
      std::vector<const char*> paths;
      for (const std::string& host : hosts) {
        paths.push_back(host.c_str());
        scripted::DialogCommand(kIdOk);
      }
      scripted::AnswerBox(kIdYes);
      int failed = 0;
      ASSERT_EQ(ImportHostFiles(scripted::kMainWindow, paths.data(), 4, &failed), 0);
      EXPECT_EQ(failed, -1);
      EXPECT_EQ(scripted::DialogRuns() > 0, true);
      ASSERT_EQ(scripted::Boxes().size(), 2u);  // one confirmation, one success
      EXPECT_EQ(scripted::Boxes()[0].text, kMsgImportConfirm);
      EXPECT_EQ(App.ExdirPresent, 1);
      EXPECT_TRUE(testsupport::BytesEqual(testimg::ReadFile(one), testimg::ReadFile(many)));
    }
  }
}

// Every way a batch ends without writing leaves the image byte for byte as it was; a refusal names
// the file.
TEST_F(BatchTest, ARefusedBatchWritesNothing) {
  const std::string small = Host("small.bin", Pattern(100, 1));
  const std::string other = Host("other.bin", Pattern(100, 3));
  std::vector<std::string> big;
  for (int i = 0; i < 6; i++) big.push_back(Host("big" + std::to_string(i), Pattern(65000, i)));
  const std::string empty = Host("empty.bin", {});
  const std::string missing = temp.Path("missing.bin");
  struct Case {
    const char* what;
    std::vector<std::string> files;
    int oks;          // OK presses queued for the attribute dialogs
    int answer;       // answer to the confirmation
    int failed;       // index reported, -1 for none
    const char* why;  // text the message holds, or null for no message
    std::string names;
  };
  const std::vector<Case> cases = {
      {"disk full on the sixth file",
       {big[0], big[1], big[2], big[3], big[4], big[5]},
       6,
       kIdYes,
       5,
       kMsgDiskFull,
       big[5]},
      // A file that cannot go in is named with its reason before any dialog; No to importing the
      // others writes nothing.
      {"an empty file", {small, empty}, 0, kIdNo, 1, kMsgFileEmpty, empty},
      {"a missing file", {small, missing}, 0, kIdNo, 1, nullptr, missing},
      {"second dialog cancelled", {small, other}, 1, kIdYes, 1, nullptr, ""},
      {"same name twice", {small, small}, 2, kIdYes, 1, kMsgNameDuplicate, ""},
      {"the answer No", {small, other}, 2, kIdNo, -1, nullptr, ""},
  };
  VolumeBuilder volume;
  volume.AddFile(FileSpec{.name = "KEEP", .data = Pattern(700, 4)});
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string image = Load(volume, Shape(true, kModeMz), "disk.d88");
    const std::vector<uint8_t> before = testimg::ReadFile(image);
    std::vector<const char*> paths;
    for (const std::string& file : c.files) paths.push_back(file.c_str());
    for (int i = 0; i < c.oks; i++) scripted::DialogCommand(kIdOk);
    scripted::AnswerBox(c.answer);
    int failed = 0;
    EXPECT_EQ(ImportHostFiles(scripted::kMainWindow, paths.data(), static_cast<int>(paths.size()),
                              &failed),
              -1);
    EXPECT_EQ(failed, c.failed);
    EXPECT_TRUE(testsupport::BytesEqual(before, testimg::ReadFile(image)));
    if (c.why) {
      ASSERT_FALSE(scripted::Boxes().empty());
      EXPECT_TRUE(Contains(scripted::Boxes().back().text, c.why) ||
                  Contains(scripted::Boxes().front().text, c.why));
    }
    if (!c.names.empty()) {
      ASSERT_FALSE(scripted::Boxes().empty());
      EXPECT_TRUE(Contains(scripted::Boxes().back().text, c.names));
    }
    // Drain what the case left queued.
    scripted::Reset();
    App.ListWindow = scripted::kListWindow;
    App.PanelWindow = scripted::kPanelWindow;
  }
}

// Files that cannot go in are listed with their reasons; Yes imports the others in one change,
// as a batch of those alone would.
TEST_F(BatchTest, YesImportsTheFilesThatCanGoIn) {
  const std::string small = Host("small.bin", Pattern(100, 1));
  const std::string other = Host("other.bin", Pattern(200, 3));
  const std::string empty = Host("empty.bin", {});
  const std::string big = Host("big.bin", Pattern(65536, 2));
  VolumeBuilder volume;
  volume.AddFile(FileSpec{.name = "KEEP", .data = Pattern(700, 4)});
  const std::string alone = Load(volume, Shape(true, kModeMz), "alone.d88");
  const char* two[] = {small.c_str(), other.c_str()};
  scripted::DialogCommand(kIdOk);
  scripted::DialogCommand(kIdOk);
  scripted::AnswerBox(kIdYes);
  ASSERT_EQ(ImportHostFiles(scripted::kMainWindow, two, 2, nullptr), 0);

  const std::string mixed = Load(volume, Shape(true, kModeMz), "mixed.d88");
  const char* four[] = {empty.c_str(), small.c_str(), big.c_str(), other.c_str()};
  scripted::AnswerBox(kIdYes);  // import the other two
  scripted::DialogCommand(kIdOk);
  scripted::DialogCommand(kIdOk);
  scripted::AnswerBox(kIdYes);
  int failed = 0;
  ASSERT_EQ(ImportHostFiles(scripted::kMainWindow, four, 4, &failed), 0);
  EXPECT_EQ(failed, -1);
  const std::string question = scripted::Boxes()[0].text;
  EXPECT_EQ(question.rfind(testsupport::Formatted(kMsgImportSomeRefused, 2, 2), 0), 0u);
  EXPECT_TRUE(
      Contains(question, testsupport::Formatted(kImportRefusedLine, empty.c_str(), kMsgFileEmpty)));
  std::string tooBig = testsupport::Formatted(kMsgFileTooBig, 65536L);
  tooBig.resize(tooBig.find('\n'));  // the reason's first line
  EXPECT_TRUE(
      Contains(question, testsupport::Formatted(kImportRefusedLine, big.c_str(), tooBig.c_str())));
  EXPECT_FALSE(Contains(question, small));
  EXPECT_TRUE(testsupport::BytesEqual(testimg::ReadFile(alone), testimg::ReadFile(mixed)));
}

// A file whose default name is refused is listed up front with the name check's reason, in the
// window's language; No writes nothing, Yes imports the others.
TEST_F(BatchTest, ARefusedNameIsListedBeforeAnyDialog) {
  const std::string small = Host("small.bin", Pattern(100, 1));
  const std::string badName = Host("bad-name.bin", Pattern(200, 3));
  VolumeBuilder volume;
  volume.AddFile(FileSpec{.name = "KEEP", .data = Pattern(700, 4)});
  const char* paths[] = {small.c_str(), badName.c_str()};
  struct Case {
    int english;
    int answer;
    const char* question;
    const char* reason;
  };
  for (const Case& c : {Case{0, kIdNo, kMsgImportSomeRefused, kMsgNameBadChar},
                        Case{1, kIdNo, kMsgImportSomeRefusedEn, kMsgNameBadCharEn},
                        Case{0, kIdYes, kMsgImportSomeRefused, kMsgNameBadChar}}) {
    SCOPED_TRACE(c.english);
    const std::string image = Load(volume, Shape(true, kModeMz), "disk.d88");
    const std::vector<uint8_t> before = testimg::ReadFile(image);
    App.English = c.english;
    scripted::ClearBoxes();
    scripted::AnswerBox(c.answer);
    if (c.answer == kIdYes) {
      scripted::DialogCommand(kIdOk);
      scripted::AnswerBox(kIdYes);
    }
    int failed = 0;
    const int result = ImportHostFiles(scripted::kMainWindow, paths, 2, &failed);
    App.English = 0;
    ASSERT_FALSE(scripted::Boxes().empty());
    const std::string question = scripted::Boxes()[0].text;
    EXPECT_EQ(question.rfind(testsupport::Formatted(c.question, 1, 1), 0), 0u) << question;
    const std::string reason = testsupport::Formatted(c.reason, '-');
    EXPECT_TRUE(Contains(question, badName + ": " + reason.substr(0, reason.find('\n'))))
        << question;
    if (c.answer == kIdNo) {
      EXPECT_EQ(result, -1);
      EXPECT_EQ(failed, 1);
      EXPECT_TRUE(testsupport::BytesEqual(before, testimg::ReadFile(image)));
    } else {
      EXPECT_EQ(result, 0);
      EXPECT_EQ(scripted::DialogRuns(), 1);  // the small file's dialog only
    }
    scripted::Reset();
    App.ListWindow = scripted::kListWindow;
    App.PanelWindow = scripted::kPanelWindow;
  }
}

// A Yes to the replace question of one file of the batch replaces that file in the batch's one
// change, exactly as the single import replaces it; a No returns to that file's dialog.
TEST_F(BatchTest, AReplacedFileIsReplacedAsTheSingleImportReplacesIt) {
  SetReplacePolicy(kReplaceAsk);
  VolumeBuilder volume;
  volume.AddFile(FileSpec{.name = "KEEP", .data = Pattern(700, 4)});
  volume.AddFile(FileSpec{.name = "GAME.BIN", .data = Pattern(2000, 5)});
  volume.AddFile(FileSpec{.name = "LAST", .data = Pattern(300, 6)});
  const std::string game = Host("game.bin", Pattern(900, 7));
  const std::string other = Host("other.bin", Pattern(400, 8));
  for (const bool d88 : {false, true}) {
    SCOPED_TRACE(d88 ? "D88" : "2D");
    const ImageSpec shape = Shape(d88, kModeMz);
    const std::string ext = d88 ? ".d88" : ".2d";
    const std::string one = Load(volume, shape, "one" + ext);
    for (const std::string& host : {game, other}) {
      scripted::ChooseFile(host);
      scripted::DialogCommand(kIdOk);
      if (host == game) scripted::AnswerBox(kIdYes);  // replace
      scripted::AnswerBox(kIdYes);
      ImportHostFile(scripted::kMainWindow);
    }
    ASSERT_EQ(scripted::Rows().size(), 4u);

    const std::string many = Load(volume, shape, "many" + ext);
    const char* paths[] = {game.c_str(), other.c_str()};
    scripted::DialogCommand(kIdOk);
    scripted::AnswerBox(kIdYes);  // replace GAME.BIN
    scripted::DialogCommand(kIdOk);
    scripted::AnswerBox(kIdYes);  // import both
    ASSERT_EQ(ImportHostFiles(scripted::kMainWindow, paths, 2, nullptr), 0);
    EXPECT_EQ(scripted::Boxes()[0].text, kMsgReplaceQuestion);
    EXPECT_TRUE(testsupport::BytesEqual(testimg::ReadFile(one), testimg::ReadFile(many)));

    // No to the question keeps the dialog open; its Cancel then ends the batch unwritten.
    const std::string no = Load(volume, shape, "no" + ext);
    const std::vector<uint8_t> before = testimg::ReadFile(no);
    const int runs = scripted::DialogRuns();
    scripted::DialogCommand(kIdOk);
    scripted::AnswerBox(kIdNo);
    int failed = -1;
    EXPECT_EQ(ImportHostFiles(scripted::kMainWindow, paths, 2, &failed), -1);
    EXPECT_EQ(failed, 0);
    EXPECT_EQ(scripted::DialogRuns(), runs + 1);  // the first file's dialog only
    EXPECT_TRUE(testsupport::BytesEqual(before, testimg::ReadFile(no)));
  }
  SetReplacePolicy(kReplaceNever);
}

}  // namespace
