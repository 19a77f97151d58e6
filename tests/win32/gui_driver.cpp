#include "gui_driver.h"

#include <cstdio>

namespace gui {

namespace {

constexpr UINT kConsider = WM_APP + 1;  // wParam: a window that was activated
constexpr UINT kLater = WM_APP + 2;
constexpr UINT_PTR kPollTimer = 1;
constexpr UINT kPollMilliseconds = 50;
constexpr DWORD kStepTimeoutMilliseconds = 20000;
constexpr int kFileNameField = 0x47C;  // cmb13 of the common file dialog
constexpr int kFileTypeList = 0x470;   // cmb1
constexpr int kBoxText = 0xFFFF;
constexpr int kBoxIcon = 0x440;

Driver* current = nullptr;
DWORD lastProgress = 0;

std::wstring ClassOf(HWND window) {
  wchar_t name[64] = {};
  GetClassNameW(window, name, 64);
  return name;
}

BOOL CALLBACK CollectWindow(HWND window, LPARAM list) {
  reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
  return TRUE;
}

}  // namespace

std::string Narrow(const std::wstring& text) {
  std::string out;
  for (wchar_t c : text) {
    if (c >= 0x20 && c < 0x7F) {
      out.push_back(static_cast<char>(c));
    } else {
      char escape[16];
      std::snprintf(escape, sizeof escape, "\\u%04X", static_cast<unsigned>(c));
      out += escape;
    }
  }
  return out;
}

std::wstring Driver::Text(HWND window) {
  int length = GetWindowTextLengthW(window);
  std::wstring text(static_cast<size_t>(length > 0 ? length : 0) + 1, L'\0');
  int got = GetWindowTextW(window, text.data(), static_cast<int>(text.size()));
  text.resize(got > 0 ? static_cast<size_t>(got) : 0);
  return text;
}

std::wstring Driver::ItemText(HWND dialog, int id) {
  HWND item = GetDlgItem(dialog, id);
  return item ? Text(item) : std::wstring();
}

void Driver::Press(HWND dialog, int id) {
  PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

Driver::Driver() {
  static bool registered = false;
  HINSTANCE instance = GetModuleHandleW(nullptr);
  if (!registered) {
    WNDCLASSW helperClass{};
    helperClass.lpfnWndProc = HelperProc;
    helperClass.hInstance = instance;
    helperClass.lpszClassName = L"ZelvoTestDriver";
    RegisterClassW(&helperClass);
    registered = true;
  }
  helper_ = CreateWindowExW(0, L"ZelvoTestDriver", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                            instance, nullptr);
  current = this;
  hook_ = SetWindowsHookExW(WH_CBT, HookProc, nullptr, GetCurrentThreadId());
  SetTimer(helper_, kPollTimer, kPollMilliseconds, nullptr);
  lastProgress = GetTickCount();
}

Driver::~Driver() {
  if (hook_) UnhookWindowsHookEx(hook_);
  KillTimer(helper_, kPollTimer);
  DestroyWindow(helper_);
  if (current == this) current = nullptr;
}

void Driver::Expect(Kind kind, Action action) {
  if (steps_.empty()) lastProgress = GetTickCount();
  steps_.push_back({kind, std::move(action)});
}

void Driver::AnswerBox(int buttonId) {
  Expect(Kind::kBox, [buttonId](HWND box) { Press(box, buttonId); });
}

void Driver::ChooseFile(const std::string& path) {
  Expect(Kind::kFileDialog, [path](HWND dialog) {
    SetWindowTextA(GetDlgItem(dialog, kFileNameField), path.c_str());
    Press(dialog, IDOK);
  });
}

void Driver::ChooseFileOfType(const std::string& path, int row) {
  Expect(Kind::kFileDialog, [path, row](HWND dialog) {
    HWND types = GetDlgItem(dialog, kFileTypeList);
    SendMessageW(types, CB_SETCURSEL, static_cast<WPARAM>(row - 1), 0);
    // As a click in the list: the dialog takes the type at CBN_SELENDOK, then CBN_SELCHANGE.
    for (const WORD code : {CBN_SELENDOK, CBN_SELCHANGE})
      SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(kFileTypeList, code),
                   reinterpret_cast<LPARAM>(types));
    SetWindowTextA(GetDlgItem(dialog, kFileNameField), path.c_str());
    Press(dialog, IDOK);
  });
}

void Driver::CancelFileDialog() {
  Expect(Kind::kFileDialog, [](HWND dialog) { Press(dialog, IDCANCEL); });
}

void Driver::Later(std::function<void()> action) {
  later_.push_back(std::move(action));
  PostMessageW(helper_, kLater, 0, 0);
}

bool Driver::KindOf(HWND window, Kind* kind) {
  const std::wstring name = ClassOf(window);
  if (name == L"ZelvoExp") {
    *kind = Kind::kMainWindow;
    return true;
  }
  if (name != L"#32770") return false;
  if (GetDlgItem(window, kFileNameField)) {
    *kind = Kind::kFileDialog;
  } else if (GetDlgItem(window, 1000) && GetDlgItem(window, 1012)) {
    *kind = Kind::kAttributes;
  } else if (GetDlgItem(window, 40356)) {
    *kind = Kind::kSectorView;
  } else if (GetDlgItem(window, 40301)) {
    *kind = Kind::kRestoreDeleted;
  } else if (GetDlgItem(window, 1200)) {
    *kind = Kind::kDiskChooser;
  } else if (GetDlgItem(window, 1100) && GetDlgItem(window, 1105)) {
    *kind = Kind::kNewImage;
  } else if (FindWindowExW(window, nullptr, L"SysTreeView32", nullptr)) {
    *kind = Kind::kFolderDialog;
  } else if (Text(window) == L"Zelvo Explorer") {
    *kind = Kind::kAbout;
  } else {
    *kind = Kind::kBox;
  }
  return true;
}

void Driver::Consider(HWND window) {
  if (!IsWindow(window) || !IsWindowVisible(window) || !IsWindowEnabled(window)) return;
  Kind kind;
  if (!KindOf(window, &kind)) return;
  const bool seen = answered_.count(window) != 0;
  if (seen && kind != Kind::kAttributes) return;
  if (!seen && kind == Kind::kBox) {
    HWND icon = GetDlgItem(window, kBoxIcon);
    boxes_.push_back({ItemText(window, kBoxText), Text(window),
                      GetDlgItem(window, IDYES) != nullptr && GetDlgItem(window, IDNO) != nullptr,
                      icon != nullptr && IsWindowVisible(icon), GetWindow(window, GW_OWNER)});
  }
  if (!seen && kind == Kind::kFileDialog) {
    ShownFileDialog shown{Text(window), ItemText(window, kFileNameField), {}};
    HWND types = GetDlgItem(window, kFileTypeList);
    const int count = types ? static_cast<int>(SendMessageW(types, CB_GETCOUNT, 0, 0)) : 0;
    for (int i = 0; i < count; ++i) {
      const LRESULT length = SendMessageW(types, CB_GETLBTEXTLEN, i, 0);
      std::wstring item(static_cast<size_t>(length > 0 ? length : 0) + 1, L'\0');
      SendMessageW(types, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(item.data()));
      item.resize(wcslen(item.c_str()));
      shown.filters.push_back(item);
    }
    fileDialogs_.push_back(shown);
  }
  if (!steps_.empty() && steps_.front().kind == kind) {
    Action action = std::move(steps_.front().action);
    steps_.erase(steps_.begin());
    answered_.insert(window);
    lastProgress = GetTickCount();
    action(window);
    return;
  }
  if (seen || kind == Kind::kMainWindow) return;
  answered_.insert(window);
  if (kind == Kind::kBox) {
    failures_.push_back("unexpected message box: " + Narrow(boxes_.back().text) + " / " +
                        Narrow(boxes_.back().caption));
    Press(window, GetDlgItem(window, IDNO) ? IDNO : IDOK);
  } else {
    failures_.push_back("unexpected dialog: " + Narrow(Text(window)));
    Press(window, IDCANCEL);
  }
}

void Driver::OnTimeout() {
  failures_.push_back("timed out waiting for a window; steps left: " +
                      std::to_string(steps_.size()));
  steps_.clear();
  std::vector<HWND> windows;
  EnumThreadWindows(GetCurrentThreadId(), CollectWindow, reinterpret_cast<LPARAM>(&windows));
  for (HWND window : windows) {
    if (ClassOf(window) != L"#32770" || !IsWindowVisible(window)) continue;
    Press(window, GetDlgItem(window, IDNO) ? IDNO : IDCANCEL);
    if (Text(window) == L"Zelvo Explorer") Press(window, IDOK);
  }
}

LRESULT CALLBACK Driver::HookProc(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HCBT_ACTIVATE && current) {
    PostMessageW(current->helper_, kConsider, wParam, 0);
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

LRESULT CALLBACK Driver::HelperProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  Driver* driver = current;
  if (!driver || driver->helper_ != window) {
    return DefWindowProcW(window, message, wParam, lParam);
  }
  switch (message) {
    case kConsider: driver->Consider(reinterpret_cast<HWND>(wParam)); return 0;
    case kLater:
      if (!driver->later_.empty()) {
        std::function<void()> action = std::move(driver->later_.front());
        driver->later_.erase(driver->later_.begin());
        action();
      }
      return 0;
    case WM_TIMER: {
      for (auto it = driver->answered_.begin(); it != driver->answered_.end();) {
        it = IsWindow(*it) ? std::next(it) : driver->answered_.erase(it);
      }
      std::vector<HWND> windows;
      EnumThreadWindows(GetCurrentThreadId(), CollectWindow, reinterpret_cast<LPARAM>(&windows));
      for (HWND candidate : windows) driver->Consider(candidate);
      if (!driver->steps_.empty() && GetTickCount() - lastProgress > kStepTimeoutMilliseconds) {
        driver->OnTimeout();
      }
      return 0;
    }
    default: return DefWindowProcW(window, message, wParam, lParam);
  }
}

}  // namespace gui
