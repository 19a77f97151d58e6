#include "fuzz/fuzz_support.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "flows/app_image.h"
#include "flows/app_state.h"
#include "flows/volume_load.h"
#include "image/image_file.h"
#include "image/image_memory.h"
#include "image/journal.h"
#include "platform/scripted/scripted.h"

namespace fuzz {

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

std::string HostPath(const std::string& name) { return "/zelvo-memory/host/" + name; }

void WriteHost(const std::string& path, const uint8_t* data, size_t size) {
  scripted::PutHostFile(path, std::vector<uint8_t>(data, data + size));
}

std::vector<uint8_t> ReadHost(const std::string& path) {
  std::vector<uint8_t> bytes;
  scripted::GetHostFile(path, &bytes);
  return bytes;
}

bool HostExists(const std::string& path) {
  std::vector<uint8_t> bytes;
  return scripted::GetHostFile(path, &bytes);
}

void RemoveHost(const std::string& path) { scripted::RemoveHostFile(path); }

void ResetApp() {
  ResetAppState();
  scripted::Reset();
  scripted::UseMemoryHostFiles(true);
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

ImageChange* Change() {
  static ImageChange* change = [] {
    auto* made = new ImageChange;
    ImageChangeInit(made);
    return made;
  }();
  return change;
}

}  // namespace fuzz
