// 編集 > 削除したファイルの復元: the list of deleted entries, the attribute dialog, one change that
// Undo takes back; Cancel and an overwritten entry leave the image as it was.
#include "flows/restore_deleted.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "flows/app_state.h"
#include "flows/attribute_dialog.h"
#include "flows/undo.h"
#include "flows/volume_load.h"
#include "platform/scripted/scripted.h"
#include "support/image_builder.h"
#include "support/test_support.h"
#include "texts/texts.h"

namespace {

using testimg::FileSpec;
using testimg::VolumeBuilder;
using testsupport::Pattern;

// ONE (Trk02 Sct01-02) and TWO (a TEX file, Sct03-04); `deleted` deletes TWO as rm does.
VolumeBuilder Volume(bool deleted) {
  VolumeBuilder v;
  v.AddFile(FileSpec{.name = "ONE", .data = Pattern(512, 1)});
  v.AddFile(FileSpec{.name = "TWO", .type = 2, .data = Pattern(300, 2)});
  if (deleted) {
    v.Entry(1)[0] = 0;
    v.MarkFree(34, 2);
  }
  return v;
}

class RestoreDeletedTest : public testsupport::AppTest {
 protected:
  std::vector<uint8_t> Built(const VolumeBuilder& v) {
    testimg::ImageSpec shape;
    shape.d88 = true;
    shape.machineMode = kModePc;
    return testimg::BuildImage(v, shape);
  }
  std::vector<uint8_t> Load(const VolumeBuilder& v) {
    const std::vector<uint8_t> image = Built(v);
    path = UseImage(image, "disk.d88", kFormatD88);
    App.MachineMode = kModePc;
    LoadVolume(scripted::kMainWindow);
    EXPECT_EQ(App.VolumeLoaded, 1);
    scripted::ClearBoxes();
    return image;
  }
  std::string path;
};

TEST_F(RestoreDeletedTest, TheChosenEntryRestoredWithItsTypeUndoesTheDelete) {
  const std::vector<uint8_t> deleted = Load(Volume(true));
  EXPECT_TRUE(VolumeHasDeletedEntries());
  scripted::DialogSelectCombo(kRestoreListId, 0);
  scripted::DialogCommand(kIdOk);
  scripted::DialogSelectCombo(kCtlType, 1);  // TEX
  scripted::DialogCommand(kIdOk);
  EXPECT_EQ(RestoreDeletedFile(scripted::kMainWindow), 0);
  EXPECT_TRUE(testsupport::BytesEqual(Built(Volume(false)), testimg::ReadFile(path)));
  EXPECT_FALSE(VolumeHasDeletedEntries());
  UndoLastChange(scripted::kMainWindow);
  EXPECT_TRUE(testsupport::BytesEqual(deleted, testimg::ReadFile(path)));
}

TEST_F(RestoreDeletedTest, CancelAndAnOverwrittenEntryLeaveTheImage) {
  // TWO's first sector taken by a live file.
  VolumeBuilder overwritten = Volume(true);
  overwritten.AddFile(
      FileSpec{.name = "NEW", .data = Pattern(256, 3), .track = 2, .sector = 3, .slot = 2});
  const struct {
    const char* what;
    VolumeBuilder volume;
    std::vector<int> commands;  // the list's button, then the attribute dialog's
    size_t boxes;
  } cases[] = {
      {"list cancelled", Volume(true), {kIdCancel}, 0},
      {"attributes cancelled", Volume(true), {kIdOk, kIdCancel}, 0},
      {"overwritten", overwritten, {kIdOk}, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const std::vector<uint8_t> before = Load(c.volume);
    for (int id : c.commands) scripted::DialogCommand(id);
    EXPECT_EQ(RestoreDeletedFile(scripted::kMainWindow), -1);
    EXPECT_EQ(scripted::Boxes().size(), c.boxes);
    EXPECT_TRUE(testsupport::BytesEqual(before, testimg::ReadFile(path)));
  }
}

}  // namespace
