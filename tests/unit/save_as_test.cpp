// File > Save As on the scripted platform: the convention question, the loss summary's question
// and its No (nothing written), and the copy that reads as the open image.
#include "flows/save_as.h"

#include <gtest/gtest.h>

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

}  // namespace
