// What the page provides of the host beside its windows: host files live in the module's
// in-memory file system, where the page puts what the user picks and takes what an export writes.
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>

#include "image/host_files.h"
#include "web_paths.h"

unsigned PlatformExecutablePath(char* buffer, unsigned capacity) {
  // The code file is built in at /codes/CodeChg.txt: the "program" lies beside it.
  static const char kProgram[] = "/codes/zelvo-explorer";
  if (capacity < sizeof kProgram) return 0;
  std::memcpy(buffer, kProgram, sizeof kProgram);
  return sizeof kProgram - 1;
}

void PlatformLocalDate(char out[9]) {
  const std::time_t now = std::time(nullptr);
  std::tm local;
  localtime_r(&now, &local);
  const unsigned month = static_cast<unsigned>(local.tm_mon + 1) % 100u;
  const unsigned day = static_cast<unsigned>(local.tm_mday) % 100u;
  const unsigned year = static_cast<unsigned>(local.tm_year) % 100u;
  std::snprintf(out, 9, "%02u/%02u/%02u", month, day, year);
}

std::FILE* PlatformOpenHostFile(const char* path, const char* mode) {
  if (!path) return nullptr;
  return std::fopen(web::StoredPath(path).c_str(), mode);
}

int PlatformHostFileName(const char* name, char* out, int capacity) {
  // The characters a download's name cannot hold become '_'; a double-byte character of code
  // page 932 is kept whole (its trail byte may look like '\\' or '|').
  std::string plain = name ? name : "";
  for (size_t i = 0; i < plain.size(); ++i) {
    const unsigned char b = static_cast<unsigned char>(plain[i]);
    if ((b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC)) {
      ++i;
      continue;
    }
    if (b < 0x20 || b == 0x7F || std::strchr("/\\:*?\"<>|", b)) plain[i] = '_';
  }
  if (capacity <= 0 || plain.size() + 1 > static_cast<size_t>(capacity)) return -1;
  std::memcpy(out, plain.c_str(), plain.size() + 1);
  return 0;
}
