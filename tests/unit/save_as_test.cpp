// File > Save As on the scripted platform: the convention question, the loss summary's question
// and its No (nothing written), and the copy that reads as the open image.
#include "flows/save_as.h"

#include <gtest/gtest.h>
#include <utime.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "flows/app_state.h"
#include "flows/open_image.h"
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
    target.change = testsupport::SpareChange();
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
  // The question speaks of what the copy will not keep.
  EXPECT_NE(std::string::npos, scripted::Boxes()[1].text.find(kSaveLossName));
  EXPECT_EQ(std::string::npos, scripted::Boxes()[1].text.find(kLossName));
  EXPECT_FALSE(testimg::FileExists(copy));

  // Converted to PC, the losses accepted: the copy reads as the image under PC.
  scripted::ClearBoxes();
  const std::string other = temp.Path("other.2d");
  scripted::ChooseFile(other);
  scripted::AnswerBox(kIdNo);   // convert to PC
  scripted::AnswerBox(kIdYes);  // the losses are fine
  SaveAsCommand(scripted::kMainWindow);
  EXPECT_EQ(3u, scripted::Boxes().size());  // then whether to open the copy: No
  EXPECT_TRUE(testsupport::BytesEqual(v.bytes, VolumeOf(other, kModePc)));
  EXPECT_EQ(kModeMz, App.MachineMode) << "the open image stays as it was";
}

// Cancel on the convention question, and No to the losses, leave every file as it was.
TEST_F(SaveAs, CancelAndNoWriteNothing) {
  testimg::ImageSpec shape;
  shape.d88 = true;
  App.MachineMode = kModeMz;
  const std::string open =
      UseImage(testimg::BuildImage(testimg::VolumeBuilder(), shape), "open.d88", kFormatD88);
  const Bytes before = testimg::ReadFile(open);
  App.VolumeLoaded = 1;
  const struct {
    const char* what;
    std::vector<int> answers;
    size_t boxes;
  } cases[] = {{"cancel", {kIdCancel}, 1}, {"no to the losses", {kIdYes, kIdNo}, 2}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    scripted::ClearBoxes();
    const std::string copy = temp.Path("copy.imd");
    scripted::ChooseFile(copy);
    for (int answer : c.answers) scripted::AnswerBox(answer);
    SaveAsCommand(scripted::kMainWindow);
    ASSERT_EQ(c.boxes, scripted::Boxes().size());
    EXPECT_EQ(kMbYesNoCancel | kMbIconQuestion, scripted::Boxes()[0].flags);
    EXPECT_FALSE(testimg::FileExists(copy));
    EXPECT_TRUE(testsupport::BytesEqual(before, testimg::ReadFile(open)));
    EXPECT_EQ(scripted::StatusText(kStatusOutcome), "");
  }
}

// After the copy the status line says where it went and the window offers to open it: No stays
// on the open image, Yes opens the copy. An IMD copy carries the source's last change in UTC.
TEST_F(SaveAs, TheCopyIsNamedAndOfferedAndStampedWithTheSourceTime) {
  App.MachineMode = kModeMz;
  const std::string open =
      UseImage(testimg::BuildImage(testimg::VolumeBuilder(), {}), "open.2d", kFormat2D);
  utimbuf times{981173106, 981173106};  // 2001-02-03 04:05:06 UTC
  ASSERT_EQ(0, utime(open.c_str(), &times));
  App.VolumeLoaded = 1;
  for (const int answer : {kIdNo, kIdYes}) {
    SCOPED_TRACE(answer);
    scripted::ClearBoxes();
    const std::string copy = temp.Path(answer == kIdYes ? "yes.imd" : "no.imd");
    scripted::ChooseFile(copy);
    scripted::AnswerBox(kIdYes);  // keep MZ
    scripted::AnswerBox(answer);  // open the copy?
    SaveAsCommand(scripted::kMainWindow);
    ASSERT_EQ(2u, scripted::Boxes().size());
    EXPECT_EQ(testsupport::Formatted(kSaveAsOpenCopy, copy.c_str()), scripted::Boxes()[1].text);
    EXPECT_EQ(testsupport::Formatted(kStatusSaved, copy.c_str()),
              scripted::StatusText(kStatusOutcome));
    EXPECT_EQ(answer == kIdYes ? copy : open, std::string(App.ImagePath));
    const Bytes bytes = testimg::ReadFile(copy);
    const std::string head(bytes.begin(), bytes.begin() + 29);
    EXPECT_EQ("IMD 1.18: 03/02/2001 04:05:06", head);
  }
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
