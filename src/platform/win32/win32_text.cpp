#include "platform/win32/win32_text.h"

#include <windows.h>

namespace {

std::wstring ToWide(unsigned codePage, const char* text, int length) {
  if (length <= 0) return std::wstring();
  int count = MultiByteToWideChar(codePage, 0, text, length, nullptr, 0);
  if (count <= 0 && codePage != CP_ACP) return ToWide(CP_ACP, text, length);
  if (count <= 0) return std::wstring();
  std::wstring wide(static_cast<size_t>(count), L'\0');
  MultiByteToWideChar(codePage, 0, text, length, wide.data(), count);
  return wide;
}

std::string FromWide(unsigned codePage, const std::wstring& text, bool* lossy) {
  if (lossy) *lossy = false;
  if (text.empty()) return std::string();
  const int length = static_cast<int>(text.size());
  BOOL usedDefault = FALSE;
  int count = WideCharToMultiByte(codePage, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
  if (count <= 0 && codePage != CP_ACP) return FromWide(CP_ACP, text, lossy);
  if (count <= 0) return std::string();
  std::string bytes(static_cast<size_t>(count), '\0');
  WideCharToMultiByte(codePage, 0, text.data(), length, bytes.data(), count, nullptr,
                      lossy ? &usedDefault : nullptr);
  if (lossy) *lossy = usedDefault != FALSE;
  return bytes;
}

}  // namespace

std::wstring WideFromProgramText(const char* text) {
  if (!text) return std::wstring();
  return ToWide(kProgramCodePage, text, lstrlenA(text));
}

std::wstring WideFromProgramText(const std::string& text) {
  return ToWide(kProgramCodePage, text.data(), static_cast<int>(text.size()));
}

std::string ProgramTextFromWide(const std::wstring& text) {
  return FromWide(kProgramCodePage, text, nullptr);
}

std::wstring WideFromAnsi(const char* text) {
  if (!text) return std::wstring();
  return ToWide(CP_ACP, text, lstrlenA(text));
}

std::string AnsiFromWide(const std::wstring& text, bool* lossy) {
  return FromWide(CP_ACP, text, lossy);
}

std::string ReadBackText(const std::wstring& shown, const std::string* original) {
  if (original && WideFromProgramText(*original) == shown) return *original;
  return ProgramTextFromWide(shown);
}
