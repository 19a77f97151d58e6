// The main window's commands come from one table: every menu item and key has its row, and the
// menus' greying follows the window's state through it.
#include "app/command_table.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <functional>
#include <set>
#include <vector>

#include "gui_fixture.h"
#include "resources/resource.h"

namespace gui {
namespace {

class CommandTableTest : public GuiTest {};

// The ids of a menu's items, its submenus' included.
void CollectItems(HMENU menu, std::set<int>* ids) {
  for (int i = 0; i < GetMenuItemCount(menu); ++i) {
    if (HMENU sub = GetSubMenu(menu, i)) {
      CollectItems(sub, ids);
    } else if (!(GetMenuState(menu, i, MF_BYPOSITION) & MF_SEPARATOR)) {
      ids->insert(static_cast<int>(GetMenuItemID(menu, i)));
    }
  }
}

std::set<int> MenuItems(HINSTANCE instance, int menuId) {
  std::set<int> ids;
  HMENU menu = LoadMenuW(instance, MAKEINTRESOURCEW(menuId));
  CollectItems(menu, &ids);
  DestroyMenu(menu);
  return ids;
}

TEST_F(CommandTableTest, EveryMenuItemAndKeyHasItsRowAndOnlyMenuItemsAreGreyed) {
  const std::set<int> mainItems = MenuItems(instance_, IDR_MAIN_MENU);
  ASSERT_EQ(mainItems.size(), 25u);
  std::set<int> ids = mainItems;
  const std::set<int> contextItems = MenuItems(instance_, IDR_CONTEXT_MENU);
  ASSERT_EQ(contextItems.size(), 4u);
  ids.insert(contextItems.begin(), contextItems.end());
  HACCEL keys = LoadAcceleratorsW(instance_, MAKEINTRESOURCEW(IDR_ACCEL));
  ACCEL accel[32];
  const int keyCount = CopyAcceleratorTableW(keys, accel, 32);
  ASSERT_EQ(keyCount, 10);
  for (int i = 0; i < keyCount; ++i) ids.insert(accel[i].cmd);

  for (int id : ids) {
    const WindowCommand* command = FindWindowCommand(id);
    ASSERT_NE(command, nullptr) << id;
    EXPECT_EQ(command->id, id);
    EXPECT_NE(command->run, nullptr) << id;
    if (command->enabled) {
      EXPECT_EQ(mainItems.count(id), 1u) << id << " is greyed but no item";
    }
  }
  EXPECT_EQ(FindWindowCommand(40001), nullptr);
}

TEST_F(CommandTableTest, GreyingFollowsTheStateOfTheWindow) {
  StartProgram();
  const std::string image = WriteImage(SampleVolume(), "disk.d88");
  testimg::ImageSpec shape;
  shape.d88 = true;
  shape.d88WriteProtect = 0x10;
  const std::string protectedImage = scratch_.Path("protected.d88");
  testimg::WriteFile(protectedImage, testimg::BuildImage(SampleVolume(), shape));
  const int kAll[] = {IDM_NEW,        IDM_OPEN,  IDM_EXPORT, IDM_EXPORT_FOLDER, IDM_IMPORT,
                      IDM_CHECK,      IDM_QUIT,  IDM_UNDO,   IDM_REDO,          IDM_DELETE,
                      IDM_ATTRIBUTES, IDM_MZ,    IDM_PC,     IDM_IDENTIFY,      IDM_BINARY,
                      IDM_ASCII,      IDM_ABOUT, IDM_RELOAD, IDM_IMPORT_MANY,   IDM_SECTOR_VIEW};
  struct Step {
    const char* what;
    std::function<void()> act;
    std::set<int> greyed;
  };
  const Step steps[] = {
      {"started",
       [] {},
       {IDM_EXPORT, IDM_EXPORT_FOLDER, IDM_IMPORT, IDM_CHECK, IDM_UNDO, IDM_REDO, IDM_DELETE,
        IDM_ATTRIBUTES, IDM_RELOAD, IDM_IMPORT_MANY, IDM_SECTOR_VIEW}},
      {"opened: the first row selected", [&] { OpenImage(image); }, {IDM_UNDO, IDM_REDO}},
      {"no row selected",
       [&] { SelectRows({}); },
       {IDM_UNDO, IDM_REDO, IDM_DELETE, IDM_ATTRIBUTES}},
      {"a row deleted",
       [&] {
         SelectRows({1});
         driver_.AnswerBox(IDYES);
         Command(IDM_DELETE);
       },
       {IDM_REDO}},
      {"the delete undone", [&] { Command(IDM_UNDO); }, {IDM_UNDO}},
      {"the image gone and read again",
       [&] {
         DeleteFileA(image.c_str());
         driver_.AnswerBox(IDOK);
         Command(IDM_RELOAD);
       },
       {IDM_EXPORT, IDM_EXPORT_FOLDER, IDM_IMPORT, IDM_CHECK, IDM_UNDO, IDM_DELETE, IDM_ATTRIBUTES,
        IDM_IMPORT_MANY, IDM_SECTOR_VIEW}},
      {"a write-protected disk: nothing that writes",
       [&] { OpenImage(protectedImage); },
       {IDM_UNDO, IDM_REDO, IDM_IMPORT, IDM_IMPORT_MANY, IDM_DELETE, IDM_ATTRIBUTES}},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.what);
    step.act();
    for (int id : kAll) EXPECT_EQ(MenuEnabled(id), step.greyed.count(id) == 0) << id;
    // The File menu shown anew greys nothing else.
    SendMessageW(main_, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(GetSubMenu(GetMenu(main_), 0)),
                 0);
    for (int id : kAll) EXPECT_EQ(MenuEnabled(id), step.greyed.count(id) == 0) << id;
  }
}

}  // namespace
}  // namespace gui
