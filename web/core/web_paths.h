// Host paths of the page. The page names a host file by its name in code page 932, as the
// Windows program would; the in-memory file system wants text, so each byte outside printable
// ASCII (and '%') is stored as %XX. The page applies the same rule when it puts a file there.
#pragma once

#include <string>

namespace web {

inline std::string StoredPath(const char* path) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string stored;
  for (const unsigned char* p = reinterpret_cast<const unsigned char*>(path); *p; ++p) {
    if (*p < 0x20 || *p >= 0x7F || *p == '%') {
      stored += '%';
      stored += kHex[*p >> 4];
      stored += kHex[*p & 15];
    } else {
      stored += static_cast<char>(*p);
    }
  }
  return stored;
}

}  // namespace web
