// File > Save As on the scripted platform: the convention question, the loss summary's question
// and its No (nothing written), and the copy that reads as the open image.
#include "flows/save_as.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "flows/app_state.h"
#include "image/container.h"
#include "image/image_select.h"
#include "image/sector_transfer.h"
#include "support/image_builder.h"
#include "support/test_support.h"
#include "texts/texts.h"

namespace {

using Bytes = std::vector<uint8_t>;

class SaveAs : public testsupport::AppTest {
 protected:
  Bytes VolumeOf(const std::string& path, int mode) {
    ImageTarget target;
    ImageTargetFor(&target, path.c_str(), ContainerForFormat(FormatForPath(path.c_str())), mode);
    Bytes bytes(testimg::kVolumeSectors * 256);
    EXPECT_EQ(kImageOk, ReadSectors(&target, bytes.data(), 0, 1, static_cast<int>(bytes.size())));
    return bytes;
  }
};

TEST_F(SaveAs, AsksTheConventionAndTheLossesThenWritesTheCopy) {
  testimg::VolumeBuilder v;
  for (int t = 0; t < 84; t++) std::memset(v.Sector(t, 1), t, 256);
  testimg::ImageSpec shape;
  shape.d88 = true;  // named: IMD and HFE drop the name
  App.MachineMode = kModeMz;
  UseImage(testimg::BuildImage(v, shape), "open.d88", kFormatD88);
  App.VolumeLoaded = 1;

  // No to the losses: nothing is written.
  const std::string copy = temp.Path("copy.imd");
  scripted::ChooseFile(copy);
  scripted::AnswerBox(kIdYes);  // keep MZ
  scripted::AnswerBox(kIdNo);   // not at that price
  SaveAsCommand(scripted::kMainWindow);
  ASSERT_EQ(2u, scripted::Boxes().size());
  EXPECT_EQ(kCaptionConvertLoss, scripted::Boxes()[1].caption);
  EXPECT_NE(std::string::npos, scripted::Boxes()[1].text.find(kLossName));
  EXPECT_FALSE(testimg::FileExists(copy));

  // Converted to PC, the losses accepted: the copy reads as the image under PC.
  scripted::ClearBoxes();
  const std::string other = temp.Path("other.2d");
  scripted::ChooseFile(other);
  scripted::AnswerBox(kIdNo);   // convert to PC
  scripted::AnswerBox(kIdYes);  // the losses are fine
  SaveAsCommand(scripted::kMainWindow);
  EXPECT_EQ(2u, scripted::Boxes().size());
  EXPECT_TRUE(testsupport::BytesEqual(v.bytes, VolumeOf(other, kModePc)));
  EXPECT_EQ(kModeMz, App.MachineMode) << "the open image stays as it was";
}

class SaveAsNames : public SaveAs {
 protected:
  void SetUp() override {
    SaveAs::SetUp();
    App.MachineMode = kModeMz;
    open_ = testimg::BuildImage(testimg::VolumeBuilder(), testimg::ImageSpec{});
    openPath_ = UseImage(open_, "open.2d", kFormat2D);
    App.VolumeLoaded = 1;
  }
  Bytes open_;
  std::string openPath_;
};

TEST_F(SaveAsNames, TheChosenFileTypeNamesTheContainerOfANameWithoutExtension) {
  struct Case {
    const char* row;
    const char* typed;
    const char* written;
    const char* magic;  // the first bytes of the copy; null: a flat image
  };
  const Case cases[] = {
      {kFilterD88, "a", "a.d88", nullptr},    {kFilterD20, "b", "b.d20", nullptr},
      {kFilterImd, "c", "c.imd", "IMD "},     {kFilterHfe, "d", "d.hfe", "HXCPICFE"},
      {kFilterFlat, "e", "e.2d", nullptr},    {kFilterImd, "f.d88", "f.d88", nullptr},
      {kFilterD88, "g.imd", "g.imd", "IMD "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.written);
    scripted::ClearBoxes();
    const unsigned row = testsupport::FilterRow(SaveAsFilter(), c.row);
    ASSERT_NE(0u, row);
    scripted::ChooseFileOfType(temp.Path(c.typed), row);
    scripted::AnswerBox(kIdYes);  // keep MZ
    scripted::AnswerBox(kIdYes);  // whatever is lost
    SaveAsCommand(scripted::kMainWindow);
    const std::string written = temp.Path(c.written);
    ASSERT_TRUE(testimg::FileExists(written));
    if (std::strcmp(c.written, c.typed) != 0) {
      EXPECT_FALSE(testimg::FileExists(temp.Path(c.typed)));
    }
    const Bytes bytes = testimg::ReadFile(written);
    ASSERT_GT(bytes.size(), 0x2B0u);
    if (c.magic) {
      EXPECT_EQ(0, std::memcmp(bytes.data(), c.magic, std::strlen(c.magic)));
    } else if (FormatForPath(written.c_str()) == kFormat2D) {
      EXPECT_EQ(0u, bytes.size() % 4096);
    } else {  // a D88 header: its size field holds the file's size
      const size_t size = bytes[0x1C] | bytes[0x1D] << 8 | bytes[0x1E] << 16 | bytes[0x1F] << 24;
      EXPECT_EQ(bytes.size(), size);
    }
    EXPECT_TRUE(testsupport::BytesEqual(VolumeOf(openPath_, kModeMz), VolumeOf(written, kModeMz)));
  }
}

TEST_F(SaveAsNames, AnExistingFileTheDialogDidNotSeeIsAskedAboutAndNoWritesNothing) {
  const std::string existing = temp.Path("kept.d88");
  const Bytes before = {1, 2, 3};
  testimg::WriteFile(existing, before);
  scripted::ChooseFileOfType(temp.Path("kept"), testsupport::FilterRow(SaveAsFilter(), kFilterD88));
  scripted::AnswerBox(kIdNo);
  SaveAsCommand(scripted::kMainWindow);
  ASSERT_EQ(1u, scripted::Boxes().size());
  char question[600];
  std::snprintf(question, sizeof question, kMsgSaveAsReplace, existing.c_str());
  EXPECT_EQ(question, scripted::Boxes()[0].text);
  EXPECT_EQ(kCaptionConfirm, scripted::Boxes()[0].caption);
  EXPECT_EQ(before, testimg::ReadFile(existing));

  // Yes replaces it.
  scripted::ClearBoxes();
  scripted::ChooseFileOfType(temp.Path("kept"), testsupport::FilterRow(SaveAsFilter(), kFilterD88));
  scripted::AnswerBox(kIdYes);  // replace
  scripted::AnswerBox(kIdYes);  // keep MZ
  SaveAsCommand(scripted::kMainWindow);
  EXPECT_TRUE(testsupport::BytesEqual(VolumeOf(openPath_, kModeMz), VolumeOf(existing, kModeMz)));
}

TEST_F(SaveAsNames, TheOpenImageIsNeverTheTarget) {
  scripted::ChooseFileOfType(openPath_, testsupport::FilterRow(SaveAsFilter(), kFilterFlat));
  scripted::AnswerBox(kIdYes);
  scripted::AnswerBox(kIdYes);
  SaveAsCommand(scripted::kMainWindow);
  ASSERT_EQ(1u, scripted::Boxes().size());
  EXPECT_EQ(kMsgSaveAsOpenImage, scripted::Boxes()[0].text);
  EXPECT_EQ(open_, testimg::ReadFile(openPath_));
}

}  // namespace
