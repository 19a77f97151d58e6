#include "flows/export.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "flows/app_state.h"
#include "flows/volume_load.h"
#include "support/image_builder.h"
#include "support/test_support.h"
#include "texts/texts.h"

namespace {

using testsupport::Bytes;
using testsupport::Pattern;

using testimg::FileSpec;
using testimg::ImageSpec;
using testimg::VolumeBuilder;

ImageSpec Shape(bool d88, int machineMode) {
  ImageSpec shape;
  shape.d88 = d88;
  shape.machineMode = machineMode;
  return shape;
}

// ---- The Ascii conversion -------------------------------------------------------------------

struct ConvertCase {
  const char* what;
  std::vector<uint8_t> input;
  bool zeroTable;  // TBL2 all zero instead of the identity
  std::vector<uint8_t> expected;
};

TEST(ConvertExportText, Cases) {
  const std::vector<ConvertCase> cases = {
      {"CR becomes CR LF, last zero dropped", Bytes({0x41, 0x0D, 0x42, 0x00}), false,
       Bytes({0x41, 0x0D, 0x0A, 0x42})},
      {"only one of two final zeros dropped", Bytes({0x41, 0x00, 0x00}), false,
       Bytes({0x41, 0x00})},
      {"empty", {}, false, {}},
      {"a lone zero", Bytes({0x00}), false, {}},
      {"CR at the end", Bytes({0x0D}), false, Bytes({0x0D, 0x0A})},
      {"a zero table blanks other bytes", Bytes({0x41, 0x0D, 0x42}), true,
       Bytes({0x00, 0x0D, 0x0A})},
      {"zero and CR never looked up", Bytes({0x00, 0x0D, 0x20}), true, Bytes({0x00, 0x0D, 0x0A})},
  };
  for (const ConvertCase& c : cases) {
    uint8_t tbl2[256];
    for (int i = 0; i < 256; i++) tbl2[i] = c.zeroTable ? 0 : static_cast<uint8_t>(i);
    std::vector<uint8_t> out(c.input.size() * 2 + 1, 0xEE);
    const long n =
        ConvertExportText(c.input.data(), static_cast<long>(c.input.size()), tbl2, out.data());
    out.resize(static_cast<size_t>(n));
    EXPECT_EQ(out, c.expected) << c.what;
  }
}

TEST(ConvertExportText, DropTestsTheConvertedByte) {
  uint8_t tbl2[256];
  for (int i = 0; i < 256; i++) tbl2[i] = static_cast<uint8_t>(255 - i);
  const std::vector<uint8_t> in = Bytes({0x01, 0x41, 0xFF});
  uint8_t out[8];
  ASSERT_EQ(ConvertExportText(in.data(), 3, tbl2, out), 2);  // TBL2[0xFF] = 0 is dropped
  EXPECT_EQ(out[0], 0xFE);
  EXPECT_EQ(out[1], 0xBE);
}

TEST(ConvertExportText, LongestOutput) {
  std::vector<uint8_t> in(65535, 0x0D);
  std::vector<uint8_t> out(kExportBufferBytes);
  uint8_t tbl2[256] = {};
  EXPECT_EQ(ConvertExportText(in.data(), 65535, tbl2, out.data()), 131070);
}

// ---- The command ----------------------------------------------------------------------------

class ExportTest : public testsupport::AppTest {
 protected:
  // Loads the volume as an image of the given kind and selects nothing.
  void Load(const VolumeBuilder& volume, const ImageSpec& shape) {
    UseImage(testimg::BuildImage(volume, shape), shape.d88 ? "disk.d88" : "disk.2d",
             shape.d88 ? kFormatD88 : kFormat2D);
    App.MachineMode = shape.machineMode;
    LoadVolume(scripted::kMainWindow);
    ASSERT_EQ(App.VolumeLoaded, 1);
    scripted::ClearBoxes();
  }
  std::vector<uint8_t> Export(int row, const std::string& chosen) {
    scripted::ChooseFile(chosen);
    ExportSelectedFile(scripted::kMainWindow, row);
    return testimg::ReadFile(chosen);
  }
};

TEST_F(ExportTest, BinaryWritesTheRecordedLengthUnderMz) {
  VolumeBuilder volume;
  FileSpec other{.name = "FIRST", .data = Pattern(40, 1)};
  FileSpec hello{.name = "HELLO", .lock = 1, .data = Pattern(0x123, 2)};
  volume.AddFile(other);
  volume.AddFile(hello);
  Load(volume, Shape(false, kModeMz));
  const std::string out = temp.Path("out.bin");
  EXPECT_TRUE(testsupport::BytesEqual(hello.data, Export(1, out)));
  EXPECT_TRUE(scripted::Boxes().empty());

  ASSERT_EQ(scripted::FileDialogs().size(), 1u);
  const scripted::FileDialogRecord& d = scripted::FileDialogs()[0];
  EXPECT_TRUE(d.save);
  // The name cell shows the name through TBL1; the lock mark does not reach the host name.
  EXPECT_EQ(d.initialFile, testsupport::ShownName("HELLO", App.Tables) + ".OBJ");
  EXPECT_EQ(d.title, kExportDialogTitle);
  EXPECT_EQ(d.filter, std::string(kFilterAllFilesEn) + '\0' + "*.*" + '\0' + '\0');
  EXPECT_EQ(d.request.structSize, 76u);
  EXPECT_EQ(d.request.filterIndex, 1u);
  EXPECT_EQ(d.request.fileCapacity, 256u);
  EXPECT_EQ(d.request.fileTitleCapacity, 64u);
  EXPECT_EQ(d.request.flags, kOfnOverwritePrompt | kOfnHideReadOnly);
  EXPECT_EQ(d.defExt, "");
  EXPECT_STREQ(App.FileTitle, "out.bin");
}

TEST_F(ExportTest, AsciiConvertsThroughTheExportTable) {
  VolumeBuilder volume;
  FileSpec text{.name = "NOTE", .type = 2, .data = Bytes({0x41, 0x0D, 0x42, 0x00})};
  volume.AddFile(text);
  Load(volume, Shape(true, kModePc));
  App.Tables.TBL2[0x41] = 0x61;
  App.TransferMode = kTransferAscii;
  EXPECT_EQ(Export(0, temp.Path("note.txt")), Bytes({0x61, 0x0D, 0x0A, 0x42}));
  EXPECT_EQ(scripted::FileDialogs()[0].initialFile,
            testsupport::ShownName("NOTE", App.Tables) + ".TEX");
  // The outcome names the file as the list shows it and the bytes written.
  EXPECT_EQ(scripted::StatusText(kStatusOutcome),
            testsupport::Formatted(kStatusExported,
                                   testsupport::ShownName("NOTE", App.Tables).c_str(), 4L));
}

TEST_F(ExportTest, AsciiEmptyFile) {
  VolumeBuilder volume;
  volume.AddFile(FileSpec{.name = "EMPTY", .data = {}});
  Load(volume, Shape(false, kModeMz));
  App.TransferMode = kTransferAscii;
  const std::string out = temp.Path("empty");
  EXPECT_TRUE(Export(0, out).empty());
  EXPECT_TRUE(testimg::FileExists(out));
  EXPECT_TRUE(scripted::Boxes().empty());
}

TEST_F(ExportTest, UnnamedTypeAndCancel) {
  VolumeBuilder volume;
  volume.AddFile(FileSpec{.name = "ODD", .type = 7, .lock = 1, .data = Pattern(10, 3)});
  Load(volume, Shape(false, kModeMz));
  PlatformSetStatus(scripted::kMainWindow, kStatusOutcome, "");  // as each window command starts
  scripted::CancelFileDialog();
  ExportSelectedFile(scripted::kMainWindow, 0);
  ASSERT_EQ(scripted::FileDialogs().size(), 1u);
  EXPECT_EQ(scripted::FileDialogs()[0].initialFile,
            testsupport::ShownName("ODD", App.Tables) + ".???");
  EXPECT_TRUE(scripted::Boxes().empty());
  EXPECT_STREQ(App.FileTitle, "");
  EXPECT_EQ(scripted::StatusText(kStatusOutcome), "");  // a cancel tells nothing
}

TEST_F(ExportTest, ExistingFileIsReplacedWhole) {
  VolumeBuilder volume;
  FileSpec small{.name = "SMALL", .data = Pattern(10, 4)};
  volume.AddFile(small);
  Load(volume, Shape(false, kModePc));
  const std::string out = temp.Path("old.bin");
  testimg::WriteFile(out, std::vector<uint8_t>(1000, 0x55));
  EXPECT_EQ(Export(0, out), small.data);
}

TEST_F(ExportTest, ReadFailureShowsBothMessagesAndWritesNothing) {
  VolumeBuilder volume;
  volume.AddFile(FileSpec{
      .name = "BAD", .data = {}, .length = 0x100, .track = 84, .sector = 1, .markUsed = false});
  Load(volume, Shape(false, kModeMz));
  scripted::ChooseFile(temp.Path("never"));
  ExportSelectedFile(scripted::kMainWindow, 0);
  ASSERT_EQ(scripted::Boxes().size(), 2u);
  EXPECT_EQ(scripted::Boxes()[0].text, kMsgBadTrackSector);
  EXPECT_EQ(scripted::Boxes()[0].caption, kCaptionRead);
  EXPECT_EQ(scripted::Boxes()[1].text, kMsgExportReadFailed);
  EXPECT_EQ(scripted::Boxes()[1].caption, kCaptionError);
  EXPECT_EQ(scripted::Boxes()[1].flags, kMbOk);
  EXPECT_TRUE(scripted::FileDialogs().empty());
  EXPECT_FALSE(testimg::FileExists(temp.Path("never")));
}

TEST_F(ExportTest, DialogFailureShowsItsCode) {
  VolumeBuilder volume;
  volume.AddFile(FileSpec{.name = "A", .data = Pattern(10, 5)});
  Load(volume, Shape(false, kModeMz));
  scripted::FailFileDialog(0x3003);
  ExportSelectedFile(scripted::kMainWindow, 0);
  ASSERT_EQ(scripted::Boxes().size(), 1u);
  char expected[128];
  std::snprintf(expected, sizeof expected, kMsgSaveDialogFailed, 0x3003u);
  EXPECT_EQ(scripted::Boxes()[0].text, expected);
  EXPECT_NE(scripted::Boxes()[0].text.find("(err=00003003)"), std::string::npos);
  EXPECT_EQ(scripted::Boxes()[0].caption, kCaptionError);
}

TEST_F(ExportTest, UnwritableFileIsReported) {
  VolumeBuilder volume;
  volume.AddFile(FileSpec{.name = "A", .data = Pattern(10, 6)});
  Load(volume, Shape(false, kModeMz));
  Export(0, temp.Path("missing-folder/out.bin"));
  ASSERT_EQ(scripted::Boxes().size(), 1u);
  EXPECT_EQ(scripted::Boxes()[0].text, kMsgExportWriteFailed);
  EXPECT_EQ(scripted::Boxes()[0].caption, kCaptionError);
}

TEST_F(ExportTest, SectorMissingFromD88ExportsAsZeros) {
  // The first export leaves its bytes in the work area; the second file's missing sector must
  // not repeat them.
  VolumeBuilder volume;
  FileSpec full{.name = "FULL", .data = std::vector<uint8_t>(512, 0xAA), .track = 2, .sector = 1};
  FileSpec holed{.name = "HOLED", .data = std::vector<uint8_t>(512, 0x11), .track = 3, .sector = 1};
  volume.AddFile(full);
  volume.AddFile(holed);
  ImageSpec shape = Shape(true, kModePc);
  shape.sectorOrder[3] = {1, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
  Load(volume, shape);
  EXPECT_EQ(Export(0, temp.Path("full")), full.data);
  std::vector<uint8_t> expected(512, 0x11);
  std::fill(expected.begin() + 256, expected.end(), 0x00);
  EXPECT_TRUE(testsupport::BytesEqual(expected, Export(1, temp.Path("holed"))));
}

}  // namespace
