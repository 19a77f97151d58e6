// The dialog templates and the icon as they are stored in the program's resources.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "resources/resource.h"
#include "zelvo_version.h"

namespace gui {
namespace {

constexpr WORD kButtonClass = 0x80, kEditClass = 0x81, kStaticClass = 0x82, kComboClass = 0x85;

struct Item {
  DWORD style;
  WORD id;
  WORD classAtom;
  std::wstring text;
  short x, y, cx, cy;
};

struct Template {
  DWORD style;
  short cx, cy;
  std::wstring caption;
  WORD pointSize;
  std::wstring font;
  std::vector<Item> items;
};

// Reads a name-or-ordinal field; an ordinal comes back in *ordinal and as an empty text.
std::wstring NameOrOrdinal(const WORD*& at, WORD* ordinal = nullptr) {
  if (*at == 0xFFFF) {
    if (ordinal) *ordinal = at[1];
    at += 2;
    return std::wstring();
  }
  std::wstring text(reinterpret_cast<const wchar_t*>(at));
  at += text.size() + 1;
  return text;
}

const WORD* AlignDword(const WORD* at) {
  return reinterpret_cast<const WORD*>((reinterpret_cast<uintptr_t>(at) + 3) & ~uintptr_t{3});
}

bool LoadTemplate(int id, Template* out) {
  HRSRC found = FindResourceW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id),
                              reinterpret_cast<LPCWSTR>(RT_DIALOG));
  if (!found) return false;
  const auto* header =
      static_cast<const DLGTEMPLATE*>(LockResource(LoadResource(GetModuleHandleW(nullptr), found)));
  if (!header || HIWORD(header->style) == 0xFFFF) return false;  // not an extended template
  out->style = header->style;
  out->cx = header->cx;
  out->cy = header->cy;
  const WORD* at = reinterpret_cast<const WORD*>(header + 1);
  NameOrOrdinal(at);  // menu
  NameOrOrdinal(at);  // class
  out->caption = NameOrOrdinal(at);
  if (header->style & DS_SETFONT) {
    out->pointSize = *at++;
    out->font = NameOrOrdinal(at);
  }
  for (int i = 0; i < header->cdit; ++i) {
    at = AlignDword(at);
    const auto* item = reinterpret_cast<const DLGITEMTEMPLATE*>(at);
    Item parsed{item->style, item->id, 0, {}, item->x, item->y, item->cx, item->cy};
    at = reinterpret_cast<const WORD*>(item + 1);
    NameOrOrdinal(at, &parsed.classAtom);
    parsed.text = NameOrOrdinal(at);
    const WORD extra = *at++;
    at = reinterpret_cast<const WORD*>(reinterpret_cast<const BYTE*>(at) + extra);
    out->items.push_back(parsed);
  }
  return true;
}

const wchar_t kDialogFont[] = L"\uFF2D\uFF33 \uFF30\u30B4\u30B7\u30C3\u30AF";

struct Expected {
  WORD classAtom;
  WORD id;
  const wchar_t* text;
  short x, y, cx, cy;
  DWORD kindStyle;  // BS_ type, SS_ type, CBS_ type or ES_READONLY for an edit
  bool tabStop;
};

void ExpectItems(const std::vector<Item>& items, const std::vector<Expected>& expected) {
  ASSERT_EQ(items.size(), expected.size());
  for (size_t i = 0; i < items.size(); ++i) {
    SCOPED_TRACE("control " + std::to_string(i) + ", id " + std::to_string(expected[i].id));
    const Item& item = items[i];
    const Expected& want = expected[i];
    EXPECT_EQ(item.classAtom, want.classAtom);
    EXPECT_EQ(item.id, want.id);
    EXPECT_EQ(item.text, want.text);
    EXPECT_EQ(item.x, want.x);
    EXPECT_EQ(item.y, want.y);
    EXPECT_EQ(item.cx, want.cx);
    EXPECT_EQ(item.cy, want.cy);
    EXPECT_EQ((item.style & WS_TABSTOP) != 0, want.tabStop);
    EXPECT_EQ(item.style & (WS_CHILD | WS_VISIBLE | WS_DISABLED),
              static_cast<DWORD>(WS_CHILD | WS_VISIBLE));
    switch (want.classAtom) {
      case kButtonClass: EXPECT_EQ(item.style & 0xF, want.kindStyle); break;
      case kStaticClass: EXPECT_EQ(item.style & 0x1F, want.kindStyle); break;
      case kComboClass:
        EXPECT_EQ(item.style & 0x3, want.kindStyle);
        EXPECT_TRUE(item.style & WS_VSCROLL);
        EXPECT_FALSE(item.style & CBS_SORT);
        break;
      case kEditClass:
        EXPECT_TRUE(item.style & WS_BORDER);
        // Text longer than the field scrolls instead of being refused.
        EXPECT_TRUE(item.style & ES_AUTOHSCROLL);
        EXPECT_EQ(item.style & ES_READONLY, want.kindStyle);
        break;
    }
  }
}

TEST(Resources, AboutBoxTemplate) {
  Template about;
  ASSERT_TRUE(LoadTemplate(IDD_ABOUT, &about));
  EXPECT_EQ(about.cx, 123);
  EXPECT_EQ(about.cy, 71);
  EXPECT_EQ(about.caption, L"Zelvo Explorer");
  EXPECT_TRUE(about.style & DS_MODALFRAME);
  EXPECT_EQ(about.style & WS_CAPTION, static_cast<DWORD>(WS_CAPTION));
  EXPECT_FALSE(about.style & WS_SYSMENU);
  EXPECT_EQ(about.pointSize, 9);
  EXPECT_EQ(about.font, kDialogFont);
  ASSERT_EQ(about.items.size(), 4u);
  const std::wstring secondLine = about.items[2].text;
  EXPECT_FALSE(secondLine.empty());
  ExpectItems(
      about.items,
      {
          {kButtonClass, IDOK, L"OK", 33, 42, 50, 14, BS_DEFPUSHBUTTON, true},
          {kStaticClass, 0xFFFF, L"Zelvo Explorer Ver. 0.9", 23, 11, 82, 11, SS_LEFT, false},
          {kStaticClass, 0xFFFF, secondLine.c_str(), 22, 24, 82, 11, SS_LEFT, false},
          {kStaticClass, 0xFFFF, L"2003. 1. 1", 88, 56, 28, 8, SS_LEFT, false},
      });
}

TEST(Resources, AttributeDialogTemplate) {
  Template dialog;
  ASSERT_TRUE(LoadTemplate(IDD_ATTRIBUTES, &dialog));
  EXPECT_EQ(dialog.cx, 195);
  EXPECT_EQ(dialog.cy, 154);
  EXPECT_EQ(dialog.caption, L"Zelvo\u30D5\u30A1\u30A4\u30EB\u306E\u5C5E\u6027\u8A2D\u5B9A");
  EXPECT_EQ(dialog.style & (WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT),
            static_cast<DWORD>(WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT));
  EXPECT_EQ(dialog.pointSize, 9);
  EXPECT_EQ(dialog.font, kDialogFont);
  const wchar_t* slash = L"\uFF0F";
  ExpectItems(dialog.items,
              {
                  {kButtonClass, IDOK, L"OK", 39, 116, 50, 14, BS_DEFPUSHBUTTON, true},
                  {kButtonClass, IDCANCEL, L"\uFF77\uFF6C\uFF9D\uFF7E\uFF99", 107, 116, 50, 14,
                   BS_PUSHBUTTON, true},
                  {kStaticClass, 0xFFFF, L"File name", 18, 19, 30, 8, SS_LEFT, false},
                  {kEditClass, 1000, L"", 50, 17, 96, 14, 0, true},
                  {kStaticClass, 0xFFFF, L"Type", 32, 37, 16, 8, SS_LEFT, false},
                  {kComboClass, 1001, L"", 50, 35, 30, 55, CBS_DROPDOWN, true},
                  {kButtonClass, 1002, L"lock", 103, 47, 28, 10, BS_AUTORADIOBUTTON, false},
                  {kButtonClass, 1003, L"unlock", 133, 47, 35, 10, BS_AUTORADIOBUTTON, false},
                  {kButtonClass, 0xFFFF, L"Lock/Unlock", 99, 35, 73, 26, BS_GROUPBOX, false},
                  {kStaticClass, 0xFFFF, L"Start", 28, 57, 18, 8, SS_LEFT, false},
                  {kEditClass, 1004, L"", 50, 54, 40, 14, 0, true},
                  {kStaticClass, 0xFFFF, L"Length", 28, 91, 20, 8, SS_LEFT, false},
                  {kEditClass, 1006, L"", 50, 88, 40, 14, ES_READONLY, false},
                  {kStaticClass, 0xFFFF, L"Exec", 28, 74, 20, 8, SS_LEFT, false},
                  {kEditClass, 1007, L"", 50, 71, 40, 14, 0, true},
                  {kStaticClass, 0xFFFF, L"Date", 100, 69, 15, 8, SS_LEFT, false},
                  // The date fields are wide enough for two digits in a Japanese Gothic.
                  {kEditClass, 1008, L"", 117, 67, 16, 14, 0, true},
                  {kStaticClass, 0xFFFF, slash, 134, 70, 8, 8, SS_LEFT, false},
                  {kEditClass, 1009, L"", 142, 67, 16, 14, 0, true},
                  {kStaticClass, 0xFFFF, slash, 159, 70, 8, 8, SS_LEFT, false},
                  {kEditClass, 1010, L"", 167, 67, 16, 14, 0, true},
                  {kStaticClass, 0xFFFF, L"Trk", 100, 90, 12, 8, SS_LEFT, false},
                  {kEditClass, 1011, L"", 113, 88, 17, 14, ES_READONLY, false},
                  {kStaticClass, 0xFFFF, L"Sct", 141, 89, 12, 8, SS_LEFT, false},
                  {kEditClass, 1012, L"", 154, 87, 17, 14, ES_READONLY, false},
              });
  // The two radio buttons form one group that starts at "lock"; the next group starts after.
  ASSERT_EQ(dialog.items.size(), 25u);
  EXPECT_TRUE(dialog.items[6].style & WS_GROUP);
  EXPECT_FALSE(dialog.items[7].style & WS_GROUP);
  EXPECT_TRUE(dialog.items[9].style & WS_GROUP);
}

TEST(Resources, IconIsOne32By32ImageOf16Colours) {
  HMODULE module = GetModuleHandleW(nullptr);
  HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(IDI_MAIN_ICON),
                              reinterpret_cast<LPCWSTR>(RT_GROUP_ICON));
  ASSERT_NE(found, nullptr);
  const auto* group = static_cast<const BYTE*>(LockResource(LoadResource(module, found)));
  ASSERT_NE(group, nullptr);
  const WORD count = *reinterpret_cast<const WORD*>(group + 4);
  ASSERT_EQ(count, 1);
  const BYTE* entry = group + 6;
  EXPECT_EQ(entry[0], 32);                                  // width
  EXPECT_EQ(entry[1], 32);                                  // height
  EXPECT_EQ(entry[2], 16);                                  // colours
  EXPECT_EQ(*reinterpret_cast<const WORD*>(entry + 6), 4);  // bits per pixel
}

// The file version resource carries the project's version number, as zelvo --version does.
TEST(Resources, FileVersionIsTheProjectVersion) {
  HRSRC found = FindResourceW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(1),
                              reinterpret_cast<LPCWSTR>(RT_VERSION));
  ASSERT_NE(found, nullptr);
  const auto* data =
      static_cast<const BYTE*>(LockResource(LoadResource(GetModuleHandleW(nullptr), found)));
  const DWORD size = SizeofResource(GetModuleHandleW(nullptr), found);
  const VS_FIXEDFILEINFO* fixed = nullptr;
  for (DWORD at = 0; at + sizeof(VS_FIXEDFILEINFO) <= size; at += 4) {
    if (*reinterpret_cast<const DWORD*>(data + at) == 0xFEEF04BD) {
      fixed = reinterpret_cast<const VS_FIXEDFILEINFO*>(data + at);
      break;
    }
  }
  ASSERT_NE(fixed, nullptr);
  EXPECT_EQ(fixed->dwFileVersionMS, DWORD{ZELVO_VERSION_MAJOR << 16 | ZELVO_VERSION_MINOR});
  EXPECT_EQ(fixed->dwFileVersionLS, DWORD{ZELVO_VERSION_PATCH << 16 | ZELVO_VERSION_TWEAK});
  EXPECT_EQ(fixed->dwProductVersionMS, fixed->dwFileVersionMS);
  // The FileVersion string, in UTF-16, is the same number.
  std::wstring version;
  for (const char* c = ZELVO_VERSION; *c; ++c) version.push_back(static_cast<wchar_t>(*c));
  const std::wstring key = L"FileVersion";
  const wchar_t* text = reinterpret_cast<const wchar_t*>(data);
  const std::wstring all(text, size / sizeof(wchar_t));
  const size_t at = all.find(key);
  ASSERT_NE(at, std::wstring::npos);
  size_t value = at + key.size();
  while (value < all.size() && all[value] == L'\0') value++;
  EXPECT_EQ(all.substr(value, version.size() + 1), version + L'\0');
}

}  // namespace
}  // namespace gui
