#include "support/test_support.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>

#include "codes/code_tables.h"
#include "image/change_history.h"
#include "image/journal.h"

namespace testsupport {
namespace fs = std::filesystem;

std::string Formatted(const char* format, ...) {
  char text[1024];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  return text;
}

TempDir::TempDir() {
  std::random_device rd;
  for (;;) {
    fs::path candidate = fs::temp_directory_path() / ("zelvo-test-" + std::to_string(rd()));
    std::error_code ec;
    if (fs::create_directory(candidate, ec)) {
      path_ = candidate.string();
      return;
    }
  }
}

TempDir::~TempDir() {
  std::error_code ec;
  fs::remove_all(path_, ec);
}

std::string TempDir::Path(const std::string& name) const {
  return (fs::path(path_) / name).string();
}

CodeTables IdentityTables() {
  CodeTables t;
  for (int c = 0; c < 256; c++) {
    t.TBL1[c] = static_cast<uint16_t>(c * 257);
    t.TBL2[c] = static_cast<uint8_t>(c);
    t.TBL3[c] = static_cast<uint8_t>(c);
  }
  return t;
}

CodeTables ShippedTables() {
  CodeTables t;
  std::memset(&t, 0, sizeof t);
  const std::string path = std::string(ZELVO_SOURCE_DIR) + "/src/codes/CodeChg.txt";
  if (std::FILE* f = std::fopen(path.c_str(), "rb")) {
    ReadCodeTables(f, &t);
    std::fclose(f);
  }
  return t;
}

std::string ShownName(const std::string& name, const CodeTables& tables) {
  std::string out;
  for (unsigned char c : name) {
    if (c == 0x0D || c == 0) break;
    const uint16_t v = tables.TBL1[c];
    if ((v >> 8) == 0) break;
    out.push_back(static_cast<char>(v >> 8));
    if ((v & 0xFF) == 0) break;
    out.push_back(static_cast<char>(v & 0xFF));
  }
  return out;
}

ImageChange* SpareChange() {
  static ImageChange* change = [] {
    auto* made = new ImageChange;
    ImageChangeInit(made);
    return made;
  }();
  return change;
}

void AppTest::SetUp() {
  ImageAbortChange(App.Change);
  ResetAppState();
  scripted::Reset();
  App.ListWindow = scripted::kListWindow;
  App.PanelWindow = scripted::kPanelWindow;
  App.Tables = IdentityTables();
}

std::string AppTest::UseImage(const std::vector<uint8_t>& bytes, const std::string& name,
                              int format) {
  const std::string path = temp.Path(name);
  testimg::WriteFile(path, bytes);
  std::snprintf(App.ImagePath, sizeof App.ImagePath, "%s", path.c_str());
  std::snprintf(App.ChosenPath, sizeof App.ChosenPath, "%s", path.c_str());
  App.ImageFormat = format;
  return path;
}

}  // namespace testsupport
