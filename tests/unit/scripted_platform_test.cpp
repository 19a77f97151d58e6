// The scripted platform where it stands in for the list view: the selection through deletions
// and insertions.
#include <gtest/gtest.h>

#include "flows/volume_load.h"
#include "platform/scripted/scripted.h"
#include "support/test_support.h"

namespace {

using testimg::BuildImage;
using testimg::FileSpec;
using testimg::ImageSpec;
using testimg::VolumeBuilder;
using testsupport::AppTest;

const WindowHandle kList = scripted::kListWindow;

class ScriptedListTest : public AppTest {
 protected:
  void AddRows(int count) {
    for (int i = 0; i < count; i++) ListInsertRow(kList, ListRowCount(kList), "row");
  }
};

TEST_F(ScriptedListTest, SelectionFollowsItsRows) {
  AddRows(4);
  scripted::SelectRows({2, 3});
  EXPECT_EQ(2, ListFirstSelected(kList));
  ASSERT_NE(0, ListDeleteRow(kList, 0));  // rows 2 and 3 move up to 1 and 2
  EXPECT_EQ(1, ListFirstSelected(kList));
  ListInsertRow(kList, 0, "new");  // and down again; the new row is not selected
  EXPECT_EQ(2, ListFirstSelected(kList));
  ASSERT_NE(0, ListDeleteRow(kList, 2));  // a deleted row takes its selection along
  EXPECT_EQ(2, ListFirstSelected(kList));
  ASSERT_NE(0, ListDeleteRow(kList, 2));
  EXPECT_EQ(-1, ListFirstSelected(kList));
  AddRows(3);
  EXPECT_EQ(-1, ListFirstSelected(kList));
}

TEST_F(ScriptedListTest, OnlyExistingRowsCanBeSelected) {
  scripted::SelectRows({0});
  AddRows(2);
  EXPECT_EQ(-1, ListFirstSelected(kList));
}

// A reload deletes every row and adds new ones: nothing is selected afterwards, so Export has no
// row to act on until the user selects one again.
TEST_F(ScriptedListTest, ReloadLeavesNoRowSelected) {
  VolumeBuilder v;
  FileSpec f;
  f.data.assign(10, 1);
  f.name = "A";
  v.AddFile(f);
  f.name = "B";
  v.AddFile(f);
  ImageSpec shape;
  shape.machineMode = kModePc;
  App.MachineMode = kModePc;
  UseImage(BuildImage(v, shape), "two.2d", kFormat2D);
  LoadVolume(scripted::kMainWindow);
  ASSERT_EQ(2u, scripted::Rows().size());
  scripted::SelectRows({1});
  ASSERT_EQ(1, ListFirstSelected(kList));
  LoadVolume(scripted::kMainWindow);
  ASSERT_EQ(2u, scripted::Rows().size());
  EXPECT_EQ(-1, ListFirstSelected(kList));
}

}  // namespace
