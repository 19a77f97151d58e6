#include "app/import_many.h"

#include <commdlg.h>

#include <cstring>
#include <cwchar>

#include "platform/filter_list.h"
#include "platform/win32/win32_text.h"
#include "texts/texts.h"

namespace {

constexpr auto kFilter = JoinFilter(kFilterAllFilesJa, "*.*");
constexpr DWORD kBufferChars = 64 * 1024;

}  // namespace

std::vector<std::wstring> SplitMultiSelection(const wchar_t* buffer) {
  std::vector<std::wstring> paths;
  if (!buffer || !buffer[0]) return paths;
  const std::wstring first(buffer);
  const wchar_t* name = buffer + first.size() + 1;
  if (!*name) {
    paths.push_back(first);
    return paths;
  }
  std::wstring folder = first;
  if (folder.back() != L'\\' && folder.back() != L'/') folder += L'\\';
  for (; *name; name += std::wcslen(name) + 1) paths.push_back(folder + name);
  return paths;
}

bool ChooseHostFiles(HWND window, std::vector<std::string>* paths) {
  paths->clear();
  std::wstring filter;
  for (const char* item = kFilter.data(); *item; item += std::strlen(item) + 1) {
    filter += WideFromProgramText(item);
    filter.push_back(L'\0');
  }
  filter.push_back(L'\0');
  const std::wstring title = WideFromProgramText(kImportManyDialogTitle);
  std::vector<wchar_t> buffer(kBufferChars, L'\0');
  OPENFILENAMEW record{};
  record.lStructSize = sizeof record;
  record.hwndOwner = window;
  record.lpstrFilter = filter.c_str();
  record.nFilterIndex = 1;
  record.lpstrFile = buffer.data();
  record.nMaxFile = kBufferChars;
  record.lpstrTitle = title.c_str();
  record.Flags = OFN_ALLOWMULTISELECT | OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_HIDEREADONLY;
  if (!GetOpenFileNameW(&record)) return false;
  for (const std::wstring& path : SplitMultiSelection(buffer.data()))
    paths->push_back(AnsiFromWide(path));
  return !paths->empty();
}
