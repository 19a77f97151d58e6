#include "app/settings.h"

#include <commctrl.h>
#include <shlobj.h>

#include <cstdio>
#include <cwchar>
#include <vector>

#include "flows/app_state.h"
#include "platform/win32/win32_controls.h"
#include "platform/win32/win32_text.h"

namespace {

std::wstring chosenFile;

constexpr wchar_t kWindowSection[] = L"Window";
constexpr wchar_t kColumnSection[] = L"Columns";
constexpr wchar_t kFolderSection[] = L"Folders";
constexpr int kLargestWidth = 4000;

int ReadInt(const wchar_t* section, const wchar_t* key, int fallback) {
  return static_cast<int>(GetPrivateProfileIntW(section, key, fallback, SettingsFile().c_str()));
}

void WriteInt(const wchar_t* section, const wchar_t* key, long value) {
  wchar_t text[32];
  std::swprintf(text, 32, L"%ld", value);
  WritePrivateProfileStringW(section, key, text, SettingsFile().c_str());
}

}  // namespace

std::wstring SettingsFile() {
  if (!chosenFile.empty()) return chosenFile;
  wchar_t folder[MAX_PATH] = {};
  if (FAILED(SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, 0, folder))) return L"";
  return std::wstring(folder) + L"\\Zelvo Explorer\\settings.ini";
}

void SetSettingsFile(const std::wstring& path) { chosenFile = path; }

void LoadSettings(WindowSettings* settings) {
  *settings = WindowSettings{};
  const std::wstring file = SettingsFile();
  if (file.empty() || GetFileAttributesW(file.c_str()) == INVALID_FILE_ATTRIBUTES) return;

  RECT rect{ReadInt(kWindowSection, L"Left", 0), ReadInt(kWindowSection, L"Top", 0),
            ReadInt(kWindowSection, L"Right", 0), ReadInt(kWindowSection, L"Bottom", 0)};
  // Only a place that some screen still shows.
  if (rect.right - rect.left >= 100 && rect.bottom - rect.top >= 100 &&
      MonitorFromRect(&rect, MONITOR_DEFAULTTONULL)) {
    settings->placed = true;
    settings->rect = rect;
    settings->maximized = ReadInt(kWindowSection, L"Maximized", 0) != 0;
  }
  settings->english = ReadInt(kWindowSection, L"English", 0) != 0;
  for (int i = 0; i < kSettingsColumns; ++i) {
    wchar_t key[16];
    std::swprintf(key, 16, L"Width%d", i);
    const int width = ReadInt(kColumnSection, key, 0);
    if (width > 0 && width <= kLargestWidth) settings->columnWidths[i] = width;
  }

  // The folders: "title=folder" lines, the title in UTF-16 for the program's code page 932.
  std::vector<wchar_t> lines(32768, L'\0');
  const DWORD got = GetPrivateProfileSectionW(kFolderSection, lines.data(),
                                              static_cast<DWORD>(lines.size()), file.c_str());
  for (const wchar_t* line = lines.data(); line < lines.data() + got && *line;
       line += wcslen(line) + 1) {
    const wchar_t* equals = wcschr(line, L'=');
    if (!equals || equals == line || !equals[1]) continue;
    FileDialogFolders()[ProgramTextFromWide(std::wstring(line, equals))] =
        AnsiFromWide(std::wstring(equals + 1));
  }
}

void SaveSettings(HWND window, HWND list) {
  const std::wstring file = SettingsFile();
  if (file.empty()) return;
  const size_t slash = file.find_last_of(L'\\');
  if (slash != std::wstring::npos) CreateDirectoryW(file.substr(0, slash).c_str(), nullptr);
  // A new file starts with the UTF-16 byte order mark, so the profile calls keep Japanese
  // dialog titles and folder names whatever the system's code page.
  HANDLE created = CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
  if (created != INVALID_HANDLE_VALUE) {
    const unsigned char mark[2] = {0xFF, 0xFE};
    DWORD written = 0;
    WriteFile(created, mark, sizeof mark, &written, nullptr);
    CloseHandle(created);
  }

  WINDOWPLACEMENT place{};
  place.length = sizeof place;
  if (window && GetWindowPlacement(window, &place)) {
    WriteInt(kWindowSection, L"Left", place.rcNormalPosition.left);
    WriteInt(kWindowSection, L"Top", place.rcNormalPosition.top);
    WriteInt(kWindowSection, L"Right", place.rcNormalPosition.right);
    WriteInt(kWindowSection, L"Bottom", place.rcNormalPosition.bottom);
    WriteInt(kWindowSection, L"Maximized", place.showCmd == SW_SHOWMAXIMIZED ? 1 : 0);
  }
  WriteInt(kWindowSection, L"English", App.English ? 1 : 0);
  for (int i = 0; list && i < kSettingsColumns; ++i) {
    const LRESULT width = SendMessageW(list, LVM_GETCOLUMNWIDTH, i, 0);
    if (width <= 0) continue;
    wchar_t key[16];
    std::swprintf(key, 16, L"Width%d", i);
    WriteInt(kColumnSection, key, static_cast<long>(width));
  }
  for (const auto& [title, folder] : FileDialogFolders()) {
    if (title.empty() || folder.empty()) continue;
    WritePrivateProfileStringW(kFolderSection, WideFromProgramText(title).c_str(),
                               WideFromAnsi(folder.c_str()).c_str(), file.c_str());
  }
}
