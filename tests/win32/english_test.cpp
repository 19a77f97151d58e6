// The window in English when asked (View > English, ZELVO_LANG=en): menus, dialogs, boxes and the
// status line from the English column of the table of texts; Japanese again when switched off.
#include <gtest/gtest.h>
#include <windows.h>
// After windows.h:
#include <commctrl.h>

#include <string>

#include "app/main_window.h"
#include "app/settings.h"
#include "flows/app_state.h"
#include "gui_fixture.h"
#include "platform/win32/win32_controls.h"
#include "platform/win32/win32_text.h"
#include "resources/resource.h"
#include "texts/texts.h"

namespace gui {
namespace {

class EnglishTest : public GuiTest {
 protected:
  void TearDown() override {
    App.English = 0;
    SetEnvironmentVariableW(L"ZELVO_LANG", nullptr);
    GuiTest::TearDown();
  }
  std::wstring MenuText(UINT item, UINT flags) const {
    wchar_t text[128] = {};
    GetMenuStringW(GetMenu(main_), item, text, 128, flags);
    return text;
  }
  std::wstring Status(int part) const {
    HWND bar = GetDlgItem(main_, kStatusBarId);
    const int length = LOWORD(SendMessageW(bar, SB_GETTEXTLENGTHW, part, 0));
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    SendMessageW(bar, SB_GETTEXTW, part, reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<size_t>(length));
    return text;
  }
};

// The texts of every child of a dialog and of the dialog itself, its caption first.
std::vector<std::wstring> DialogTexts(HWND dialog) {
  std::vector<std::wstring> texts{Driver::Text(dialog)};
  for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
    texts.push_back(Driver::Text(child));
  return texts;
}

INT_PTR CALLBACK Silent(HWND, UINT, WPARAM, LPARAM) { return FALSE; }

void MenuTexts(HMENU menu, std::vector<std::wstring>* texts) {
  for (int i = 0; i < GetMenuItemCount(menu); ++i) {
    wchar_t text[128] = {};
    GetMenuStringW(menu, static_cast<UINT>(i), text, 128, MF_BYPOSITION);
    if (text[0]) texts->push_back(text);
    if (HMENU sub = GetSubMenu(menu, i)) MenuTexts(sub, texts);
  }
}

// No text of a menu or a dialog exists in one language only: each is a row of the table, and in
// English each shows that row's English form.
TEST_F(EnglishTest, EveryMenuAndDialogTextIsARowOfTheTable) {
  for (const int id : {IDR_MAIN_MENU, IDR_CONTEXT_MENU}) {
    HMENU menu = LoadMenuW(instance_, MAKEINTRESOURCEW(id));
    std::vector<std::wstring> japanese, english;
    MenuTexts(menu, &japanese);
    App.English = 1;
    ShowMenuTexts(menu);
    App.English = 0;
    MenuTexts(menu, &english);
    DestroyMenu(menu);
    ASSERT_EQ(japanese.size(), english.size());
    for (size_t i = 0; i < japanese.size(); ++i) {
      const TextEntry* entry = TextEntryOfShown(japanese[i]);
      ASSERT_NE(entry, nullptr) << ProgramTextFromWide(japanese[i]);
      EXPECT_EQ(english[i], Shown(entry->en));
    }
  }
  for (const int id : {IDD_ABOUT, IDD_ATTRIBUTES, IDD_DISK_CHOOSER, IDD_RESTORE_DELETED,
                       IDD_SECTOR_VIEW, IDD_NEW_IMAGE}) {
    SCOPED_TRACE(id);
    HWND dialog = CreateDialogParamW(instance_, MAKEINTRESOURCEW(id), nullptr, Silent, 0);
    ASSERT_NE(dialog, nullptr);
    const std::vector<std::wstring> japanese = DialogTexts(dialog);
    App.English = 1;
    ShowDialogTexts(dialog);
    App.English = 0;
    const std::vector<std::wstring> english = DialogTexts(dialog);
    DestroyWindow(dialog);
    for (size_t i = 0; i < japanese.size(); ++i) {
      if (japanese[i].empty()) continue;
      const TextEntry* entry = TextEntryOfShown(japanese[i]);
      ASSERT_NE(entry, nullptr) << ProgramTextFromWide(japanese[i]);
      EXPECT_EQ(english[i], Shown(entry->en));
    }
  }
}

// View > English: a menu, a dialog, a box and the status line in English (the delete question
// speaks of Yes); off again, the same texts as before it was on, byte for byte. The choice is
// kept with the settings.
TEST_F(EnglishTest, TheWindowSpeaksEnglishWhenAskedAndJapaneseAgainAfter) {
  StartProgram();
  const std::string image = WriteImage(SampleVolume(), "disk.d88");
  OpenImage(image);
  const std::wstring fileMenu = MenuText(0, MF_BYPOSITION);
  const std::wstring newItem = MenuText(IDM_NEW, MF_BYCOMMAND);
  const std::wstring volumeStatus = Status(1);
  EXPECT_EQ(fileMenu, Shown(kMenuFile));
  EXPECT_FALSE(MenuChecked(IDM_ENGLISH));

  struct Seen {
    std::wstring dialog, box, boxCaption;
  };
  auto look = [&] {
    Seen seen;
    driver_.Expect(Kind::kSectorView, [&](HWND dialog) {
      seen.dialog = Driver::Text(dialog) + L"|" + Driver::ItemText(dialog, IDCANCEL);
      Driver::Press(dialog, IDCANCEL);
    });
    Command(IDM_SECTOR_VIEW);
    SelectRows({1});  // row 0 is locked
    driver_.AnswerBox(IDNO);
    Command(IDM_DELETE);
    if (!driver_.boxes().empty()) {
      seen.box = driver_.boxes().back().text;
      seen.boxCaption = driver_.boxes().back().caption;
    }
    return seen;
  };
  const Seen japanese = look();
  EXPECT_NE(japanese.box.find(L"[はい]"), std::wstring::npos);

  Command(IDM_ENGLISH);
  EXPECT_TRUE(MenuChecked(IDM_ENGLISH));
  EXPECT_EQ(MenuText(0, MF_BYPOSITION), L"&File");
  EXPECT_EQ(MenuText(IDM_NEW, MF_BYCOMMAND), Shown(kMenuNewEn));
  EXPECT_NE(Status(1).find(L"files"), std::wstring::npos);
  EXPECT_NE(Status(1), volumeStatus);
  const Seen english = look();
  const TextEntry* caption =
      TextEntryOfShown(japanese.dialog.substr(0, japanese.dialog.find(L'|')));
  const TextEntry* close = TextEntryOfShown(japanese.dialog.substr(japanese.dialog.find(L'|') + 1));
  ASSERT_TRUE(caption && close);
  EXPECT_EQ(english.dialog, Shown(caption->en) + L"|" + Shown(close->en));
  EXPECT_NE(english.dialog, japanese.dialog);
  EXPECT_EQ(english.boxCaption, Shown(kCaptionConfirmEn));
  EXPECT_NE(english.box.find(L"answer Yes"), std::wstring::npos)
      << ProgramTextFromWide(english.box);
  EXPECT_EQ(english.box.find(L"[はい]"), std::wstring::npos);

  // Kept with the settings.
  SaveSettings(main_, List());
  WindowSettings kept;
  LoadSettings(&kept);
  EXPECT_TRUE(kept.english);

  Command(IDM_ENGLISH);
  EXPECT_FALSE(MenuChecked(IDM_ENGLISH));
  EXPECT_EQ(MenuText(0, MF_BYPOSITION), fileMenu);
  EXPECT_EQ(MenuText(IDM_NEW, MF_BYCOMMAND), newItem);
  EXPECT_EQ(Status(1), volumeStatus);
  const Seen again = look();
  EXPECT_EQ(again.dialog, japanese.dialog);
  EXPECT_EQ(again.box, japanese.box);
  EXPECT_EQ(again.boxCaption, japanese.boxCaption);
  EXPECT_TRUE(driver_.failures().empty());
}

// ZELVO_LANG names the language the window starts in, over the settings; without it the
// settings' choice stands.
TEST_F(EnglishTest, ZelvoLangChoosesTheStartingLanguage) {
  struct Case {
    const wchar_t* lang;  // null: not set
    bool kept;
    bool english;
  };
  for (const Case& c :
       {Case{L"en", false, true}, Case{L"EN", false, true}, Case{L"ja", true, false},
        Case{nullptr, true, true}, Case{nullptr, false, false}, Case{L"fr", false, false}}) {
    SetEnvironmentVariableW(L"ZELVO_LANG", c.lang);
    EXPECT_EQ(StartsInEnglish(c.kept), c.english) << (c.lang ? ProgramTextFromWide(c.lang) : "");
  }
}

}  // namespace
}  // namespace gui
