// The Open command: the file dialog, the extension table, the code page 932 path splitter, the
// refusals that change nothing, and browsing an image from end to end.
#include "flows/open_image.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "flows/volume_load.h"
#include "image/image_select.h"
#include "support/test_support.h"
#include "texts/texts.h"
#include "view/directory_list.h"
#include "volume/layout.h"

namespace {

using testimg::BuildImage;
using testimg::FileSpec;
using testimg::ImageSpec;
using testimg::VolumeBuilder;
using testsupport::AppTest;
using testsupport::BytesEqual;

const WindowHandle kMain = scripted::kMainWindow;

std::string Extension(const char* path) {
  char ext[256];
  SplitExtension(path, ext, sizeof ext);
  return ext;
}

std::string FileName(const char* path) {
  char name[512];
  SplitFileName(path, name, sizeof name);
  return name;
}

TEST(SplitPath, ExtensionIsFromTheLastDotOfTheFileName) {
  struct {
    const char* path;
    const char* extension;
  } const kCases[] = {
      {"C:\\images\\DISK.D88", ".D88"},
      {"disk.d88.bak", ".bak"},
      {"/home/u/disk", ""},
      {"C:\\old.d88\\disk", ""},
      {"old.d88/disk", ""},
      {"C:disk.2d", ".2d"},
      {"C:.d20", ".d20"},
      {"disk.", "."},
      {"", ""},
      // 0x95 0x5C is one character: its 0x5C is no separator.
      {"C:\\a.d88\x95\x5C"
       "disk",
       ".d88\x95\x5C"
       "disk"},
      {"C:\\\x95\x5C\\disk.d77", ".d77"},
      // A lead byte at the very end stands alone.
      {"disk.d88\x81", ".d88\x81"},
  };
  for (const auto& c : kCases) EXPECT_EQ(c.extension, Extension(c.path)) << c.path;
}

TEST(SplitPath, ExtensionIsCutAt255Bytes) {
  const std::string path = "disk." + std::string(300, 'x');
  EXPECT_EQ("." + std::string(254, 'x'), Extension(path.c_str()));
  char small[4];
  SplitExtension("disk.d88", small, sizeof small);
  EXPECT_STREQ(".d8", small);
}

TEST(SplitPath, FileNameDropsDriveAndDirectory) {
  EXPECT_EQ("disk.d88", FileName("C:\\images\\disk.d88"));
  EXPECT_EQ("README", FileName("/home/u/README"));
  EXPECT_EQ("x.txt", FileName("C:x.txt"));
  EXPECT_EQ("\x95\x5Cx.txt", FileName("C:\\dir\\\x95\x5Cx.txt"));
  char small[5];
  SplitFileName("C:\\images\\disk.d88", small, sizeof small);
  EXPECT_STREQ("disk", small);
}

TEST(SplitPath, Directory) {
  char dir[260];
  SplitDirectory("C:\\images\\disk.d88", dir, sizeof dir);
  EXPECT_STREQ("C:\\images\\", dir);
  SplitDirectory("/opt/zelvo/\x95\x5Czelvo", dir, sizeof dir);
  EXPECT_STREQ("/opt/zelvo/", dir);
  SplitDirectory("C:zelvo", dir, sizeof dir);
  EXPECT_STREQ("C:", dir);
}

TEST(ExtensionTable, OnlyTheFourImageExtensions) {
  EXPECT_EQ(kFormat2D, FormatForExtension(".2d"));
  EXPECT_EQ(kFormatD20, FormatForExtension(".d20"));
  EXPECT_EQ(kFormatD88, FormatForExtension(".d88"));
  EXPECT_EQ(kFormatD88, FormatForExtension(".d77"));
  for (const char* other : {"", ".", ".D88", ".d8", ".d888", "d88", ".2dd", ".img"})
    EXPECT_EQ(-1, FormatForExtension(other)) << other;
}

// The volume every end-to-end test opens, and what it shows.
VolumeBuilder WorkVolume() {
  VolumeBuilder v;
  v.SetVolumeNumber(258).SetDate(0x03, 0x12, 0x31).SetDiskName("WORK DISK").SetFmMark(true);
  v.SetAutoStart("HELLO");
  FileSpec hello;
  hello.name = "HELLO";
  hello.data.assign(300, 0x11);
  v.AddFile(hello);
  FileSpec notes;
  notes.name = "NOTES.TXT";
  notes.type = 2;
  notes.lock = 1;
  notes.order = 1;
  notes.start = 0x8000;
  notes.exec = 0;
  notes.data.assign(10, 0x22);
  v.AddFile(notes);
  FileSpec odd;
  odd.name = "ODD";
  odd.type = 9;
  odd.slot = 5;
  odd.data.assign(1, 0x33);
  v.AddFile(odd);
  return v;
}

const std::vector<std::vector<std::string>> kWorkRows = {
    {"HHEELLLLOO", "OBJ ", "1200", "132B", "012C", "1200", "03/01/15", "02", "01"},
    {"NNOOTTEESS..TTXXTT", "TEX*", "8000", "8009", "000A", "0000", "03/01/15", "02", "03"},
    {"OODDDD", "??? ", "1200", "1200", "0001", "1200", "03/01/15", "02", "04"},
};

const char kWorkPanel[] =
    "  information\n"
    "   Volume Number:258     Disk Name:WORK DISK\n"
    "   Date:03/12/31     ID:FM     EXDIR:None   (3 files)\n"
    "   Auto Start:HELLO";

class OpenImageTest : public AppTest {
 protected:
  // Writes the work volume as an image file named `name` under the given convention.
  std::string WriteImage(const std::string& name, bool d88, int mode) {
    ImageSpec shape;
    shape.d88 = d88;
    shape.machineMode = mode;
    const std::string path = temp.Path(name);
    testimg::WriteFile(path, BuildImage(WorkVolume(), shape));
    return path;
  }
  // Opens the path through the command.
  void Open(const std::string& path) {
    scripted::ChooseFile(path);
    OpenImageCommand(kMain);
  }
  void ExpectWorkVolumeShown(const std::string& path) {
    EXPECT_TRUE(scripted::Boxes().empty());
    EXPECT_EQ("Zelvo Explorer - " + path, scripted::WindowText(kMain));
    EXPECT_EQ(kWorkRows, scripted::Rows());
    EXPECT_EQ(kWorkPanel, scripted::WindowText(scripted::kPanelWindow));
    EXPECT_TRUE(scripted::MenuEnabled(kCmdExport));
    EXPECT_TRUE(scripted::MenuEnabled(kCmdImport));
    EXPECT_EQ(1, App.VolumeLoaded);
    EXPECT_STREQ(path.c_str(), App.ImagePath);
  }
  // Everything a refusal must leave as it was.
  struct Snapshot {
    AppState app;
    std::vector<std::vector<std::string>> rows;
    std::string panel, title;
    bool exportEnabled, importEnabled;
  };
  Snapshot Take() {
    return {App,
            scripted::Rows(),
            scripted::WindowText(scripted::kPanelWindow),
            scripted::WindowText(kMain),
            scripted::MenuEnabled(kCmdExport),
            scripted::MenuEnabled(kCmdImport)};
  }
  void ExpectUnchanged(const Snapshot& s, bool chosenPathToo) {
    AppState now = App;
    if (!chosenPathToo) std::memcpy(now.ChosenPath, s.app.ChosenPath, sizeof now.ChosenPath);
    EXPECT_EQ(0, std::memcmp(&s.app, &now, sizeof now));
    EXPECT_EQ(s.rows, scripted::Rows());
    EXPECT_EQ(s.panel, scripted::WindowText(scripted::kPanelWindow));
    EXPECT_EQ(s.title, scripted::WindowText(kMain));
    EXPECT_EQ(s.exportEnabled, scripted::MenuEnabled(kCmdExport));
    EXPECT_EQ(s.importEnabled, scripted::MenuEnabled(kCmdImport));
  }
};

TEST_F(OpenImageTest, DialogRecord) {
  scripted::CancelFileDialog();
  OpenImageCommand(kMain);
  ASSERT_EQ(1u, scripted::FileDialogs().size());
  const auto& d = scripted::FileDialogs()[0];
  EXPECT_FALSE(d.save);
  EXPECT_EQ(76u, d.request.structSize);
  EXPECT_EQ(0u, d.request.filterIndex);
  EXPECT_EQ(App.ChosenPath, d.request.file);
  EXPECT_EQ(260u, d.request.fileCapacity);
  EXPECT_EQ(nullptr, d.request.fileTitle);
  EXPECT_EQ(4100u, d.request.flags);
  EXPECT_EQ(kOpenDialogTitle, d.title);
  EXPECT_EQ("*", d.defExt);
  EXPECT_EQ("", d.initialFile);
  // The rows of the original dialog first, then those the container table adds.
  const char* const patterns = "*.2d;*.d20;*.d88;*.d77;*.imd;*.hfe;*.scp";
  const std::string filter =
      std::string(kFilterAllFilesJa) + '\0' + "*.*" + '\0' + kFilterFlat + '\0' + "*.2d" + '\0' +
      kFilterD88 + '\0' + "*.d88" + '\0' + kFilterD20 + '\0' + "*.d20" + '\0' + kFilterD77 + '\0' +
      "*.d77" + '\0' + kFilterImd + '\0' + "*.imd" + '\0' + kFilterHfe + '\0' + "*.hfe" + '\0' +
      kFilterScp + '\0' + "*.scp" + '\0' + testsupport::Formatted(kFilterAllImages, patterns) +
      '\0' + patterns + '\0' + '\0';
  EXPECT_EQ(filter, d.filter);
}

TEST_F(OpenImageTest, CancelOrFailedDialogChangesNothing) {
  const std::string path = WriteImage("work.d88", true, kModeMz);
  Open(path);
  const Snapshot before = Take();
  scripted::ClearBoxes();
  scripted::CancelFileDialog();
  OpenImageCommand(kMain);
  scripted::FailFileDialog(0x3002);
  OpenImageCommand(kMain);
  EXPECT_TRUE(scripted::Boxes().empty());
  ExpectUnchanged(before, true);
  EXPECT_EQ(path, scripted::FileDialogs()[1].initialFile);
}

struct Layout {
  const char* name;
  const char* file;
  bool d88;
  int mode;
  int format;
};

void PrintTo(const Layout& layout, std::ostream* out) { *out << layout.name; }

class OpenLayoutTest : public OpenImageTest, public ::testing::WithParamInterface<Layout> {};

TEST_P(OpenLayoutTest, ShowsTheVolume) {
  App.MachineMode = GetParam().mode;
  const std::string path = WriteImage(GetParam().file, GetParam().d88, GetParam().mode);
  const auto before = testimg::ReadFile(path);
  Open(path);
  EXPECT_EQ(GetParam().format, App.ImageFormat);
  ExpectWorkVolumeShown(path);
  EXPECT_TRUE(BytesEqual(before, testimg::ReadFile(path)));
  // Choosing the same file again reloads it.
  Open(path);
  ExpectWorkVolumeShown(path);
  EXPECT_EQ(2u, scripted::FileDialogs().size());
  EXPECT_EQ(path, scripted::FileDialogs()[1].initialFile);
}

INSTANTIATE_TEST_SUITE_P(
    Images, OpenLayoutTest,
    ::testing::Values(Layout{"FlatMz", "work.2d", false, kModeMz, kFormat2D},
                      Layout{"FlatPcUpperCase", "WORK.2D", false, kModePc, kFormat2D},
                      Layout{"D88Mz", "work.D88", true, kModeMz, kFormatD88},
                      Layout{"D88Pc", "work.d88", true, kModePc, kFormatD88},
                      Layout{"D77", "work.D77", true, kModePc, kFormatD88},
                      Layout{"D20", "work.d20", true, kModeMz, kFormatD20},
                      Layout{"KanjiFileName", "\x95\x5C.d88", true, kModeMz, kFormatD88}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(OpenImageTest, RejectedExtensionChangesNothingButTheChosenPath) {
  const std::string path = WriteImage("work.2d", false, kModeMz);
  Open(path);
  const auto image = testimg::ReadFile(path);
  const Snapshot before = Take();
  scripted::ClearBoxes();
  for (const char* name : {"work.2d.bak", "work", "old.d88/disk", "work.img"}) {
    const std::string rejected = temp.Path(name);
    Open(rejected);
    ASSERT_EQ(1u, scripted::Boxes().size()) << name;
    EXPECT_EQ(kMsgBadExtension, scripted::Boxes()[0].text);
    EXPECT_EQ(kCaptionExtension, scripted::Boxes()[0].caption);
    EXPECT_EQ(kMbOk, scripted::Boxes()[0].flags);
    EXPECT_EQ(kMain, scripted::Boxes()[0].owner);
    EXPECT_STREQ(rejected.c_str(), App.ChosenPath);
    ExpectUnchanged(before, false);
    scripted::ClearBoxes();
  }
  EXPECT_TRUE(BytesEqual(image, testimg::ReadFile(path)));
  // The image that stayed current is still usable with its own layout.
  LoadVolume(kMain);
  EXPECT_EQ(kWorkRows, scripted::Rows());
}

TEST_F(OpenImageTest, PathTooLongIsRefusedAndChangesNothing) {
  const std::string path = WriteImage("work.d88", true, kModeMz);
  Open(path);
  const Snapshot before = Take();
  scripted::ClearBoxes();
  for (size_t length : {260u, 400u}) {
    std::string longPath = "/" + std::string(length - 5, 'p') + ".d88";
    ASSERT_EQ(length, longPath.size());
    Open(longPath);
    ASSERT_EQ(1u, scripted::Boxes().size());
    EXPECT_EQ(kMsgPathTooLong, scripted::Boxes()[0].text);
    EXPECT_EQ(kCaptionError, scripted::Boxes()[0].caption);
    EXPECT_EQ(kMbOk, scripted::Boxes()[0].flags);
    ExpectUnchanged(before, true);
    scripted::ClearBoxes();
  }
}

TEST_F(OpenImageTest, PathOf259CharactersIsTaken) {
  const std::string path = temp.Path("x/") + std::string(252 - temp.path().size(), 'q') + ".d88";
  ASSERT_EQ(259u, path.size());
  Open(path);  // the file does not exist: the load fails after the path has been taken
  EXPECT_STREQ(path.c_str(), App.ImagePath);
  EXPECT_EQ(kFormatD88, App.ImageFormat);
  ASSERT_EQ(1u, scripted::Boxes().size());
  EXPECT_EQ(kMsgReadFailed, scripted::Boxes()[0].text);
}

TEST_F(OpenImageTest, FailingLoadEndsInTheEmptyState) {
  Open(WriteImage("work.2d", false, kModeMz));
  scripted::ClearBoxes();
  const std::string missing = temp.Path("missing.d20");
  Open(missing);
  ASSERT_EQ(1u, scripted::Boxes().size());
  EXPECT_EQ(kMsgReadFailed, scripted::Boxes()[0].text);
  EXPECT_EQ(kCaptionRead, scripted::Boxes()[0].caption);
  EXPECT_STREQ(missing.c_str(), App.ImagePath);
  EXPECT_EQ(kFormatD20, App.ImageFormat);
  EXPECT_EQ(kProgramTitle, scripted::WindowText(kMain));
  EXPECT_TRUE(scripted::Rows().empty());
  EXPECT_FALSE(scripted::MenuEnabled(kCmdExport));
  EXPECT_FALSE(scripted::MenuEnabled(kCmdImport));
  EXPECT_EQ(0, App.VolumeLoaded);
  // The panel shows the system area that stayed from the previous volume, with no files.
  std::string panel = kWorkPanel;
  panel.replace(panel.find("(3 files)"), 9, "(0 files)");
  EXPECT_EQ(panel, scripted::WindowText(scripted::kPanelWindow));
}

}  // namespace

namespace {

// A path named on the command line or dropped on the window: the same checks and the same
// outcome as the dialog's choice, with no dialog.
TEST_F(OpenImageTest, APathGivenDirectlyOpensAsTheDialogsChoiceWould) {
  const std::string path = WriteImage("work.d88", true, kModeMz);
  OpenImagePath(kMain, path.c_str());
  EXPECT_TRUE(scripted::FileDialogs().empty());
  ExpectWorkVolumeShown(path);
  EXPECT_STREQ(path.c_str(), App.ChosenPath);
  // Each load shows the rows once and tells the counts in the status line.
  EXPECT_EQ(1, scripted::ListFills());
  EXPECT_EQ(testsupport::Formatted(kStatusFiles, 3) +
                testsupport::Formatted(kStatusSectorsFree, 82 * 16 - 4) +
                testsupport::Formatted(kStatusLargestFile, 65535L),
            scripted::StatusText(kStatusVolume));

  const Snapshot before = Take();
  const std::string longPath = "/" + std::string(300, 'p') + ".d88";
  OpenImagePath(kMain, longPath.c_str());
  ASSERT_EQ(1u, scripted::Boxes().size());
  EXPECT_EQ(kMsgPathTooLong, scripted::Boxes()[0].text);
  ExpectUnchanged(before, true);
  scripted::ClearBoxes();

  OpenImagePath(kMain, temp.Path("notes.txt").c_str());
  ASSERT_EQ(1u, scripted::Boxes().size());
  EXPECT_EQ(kMsgBadExtension, scripted::Boxes()[0].text);
  EXPECT_EQ(kCaptionExtension, scripted::Boxes()[0].caption);
  ExpectUnchanged(before, false);
  EXPECT_EQ(1, scripted::ListFills());
}

}  // namespace
