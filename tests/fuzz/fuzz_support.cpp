#include "fuzz/fuzz_support.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "image/image_file.h"
#include "image/image_memory.h"
#include "platform/scripted/scripted.h"
#include "volume/app_state.h"
#include "volume/volume_load.h"

namespace fuzz {
namespace fs = std::filesystem;

namespace {

std::string& WorkDirPath() {
  static std::string path;
  return path;
}

void RemoveWorkDir() {
  std::error_code ec;
  if (!WorkDirPath().empty()) fs::remove_all(WorkDirPath(), ec);
}

const std::string& WorkDir() {
  std::string& path = WorkDirPath();
  if (path.empty()) {
    std::string pattern = (fs::temp_directory_path() / "zelvo-fuzz-XXXXXX").string();
    if (!mkdtemp(pattern.data())) Fail("cannot create the work folder", pattern);
    path = pattern;
    std::atexit(RemoveWorkDir);
  }
  return path;
}

}  // namespace

std::string WorkPath(const std::string& name) { return (fs::path(WorkDir()) / name).string(); }

std::string LinkedImage(const std::string& name, const std::vector<std::string>& extensions) {
  const std::string target = "/zelvo-memory/" + name;
  for (const std::string& extension : extensions)
    ImageMemoryLink((target + extension).c_str(), target.c_str());
  return target;
}

void WriteImage(const std::string& path, const uint8_t* data, size_t size) {
  if (ImageMemoryPut(path.c_str(), data, size) != 0) Fail("the image is still open", path);
}

std::vector<uint8_t> ReadImage(const std::string& path) {
  std::vector<uint8_t> bytes;
  ImageMemoryGet(path.c_str(), &bytes);
  return bytes;
}

void WriteBytes(const std::string& path, const uint8_t* data, size_t size) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) Fail("cannot write", path);
  if (size > 0 && std::fwrite(data, 1, size, file) != size) Fail("short write", path);
  std::fclose(file);
}

std::vector<uint8_t> ReadBytes(const std::string& path) {
  std::vector<uint8_t> bytes;
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) return bytes;
  uint8_t chunk[65536];
  size_t n = 0;
  while ((n = std::fread(chunk, 1, sizeof chunk, file)) > 0)
    bytes.insert(bytes.end(), chunk, chunk + n);
  std::fclose(file);
  return bytes;
}

bool Exists(const std::string& path) {
  std::error_code ec;
  return fs::exists(path, ec);
}

void ResetApp() {
  ResetAppState();
  scripted::Reset();
  ImageWriteFaults = ImageWriteFault{0, 0};
  App.ListWindow = scripted::kListWindow;
  App.PanelWindow = scripted::kPanelWindow;
  for (int c = 0; c < 256; c++) {
    App.Tables.TBL1[c] = static_cast<uint16_t>(c * 257);
    App.Tables.TBL2[c] = static_cast<uint8_t>(c);
    App.Tables.TBL3[c] = static_cast<uint8_t>(c);
  }
}

std::vector<CheckFinding> LoadAndCheck() {
  LoadVolume(scripted::kMainWindow);
  std::vector<CheckFinding> items(4096);
  CheckFindings findings{items.data(), static_cast<int>(items.size()), 0};
  if (CheckLoadedVolume(&findings) != 0)
    return {CheckFinding{kCheckImageUnreadable, -1, -1, -1, 0, 0, 0}};
  items.resize(
      static_cast<size_t>(findings.count < findings.capacity ? findings.count : findings.capacity));
  return items;
}

void Fail(const char* what, const std::string& detail) {
  std::fprintf(stderr, "invariant broken: %s %s\n", what, detail.c_str());
  std::fflush(stderr);
  std::abort();
}

}  // namespace fuzz
