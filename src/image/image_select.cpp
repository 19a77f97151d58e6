#include "image/image_select.h"

#include <cstddef>
#include <cstring>

#include "image/container.h"
#include "image/image_file.h"

namespace {

constexpr int kPartMax = 255;  // the path splitter's limit for a file name or an extension

// Lead bytes of a double-byte character in code page 932. A UTF-8 path (see PathCodePage) has
// none: no byte of a multi-byte UTF-8 character is a separator or a dot.
bool IsLeadByte(unsigned char byte) {
  if (PathCodePage == kPathCodePageUtf8) return false;
  return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

// Where the parts of a path begin: the file name (after the drive and the directory), its last
// '.' (or null) and the terminating zero.
struct PathParts {
  const char* name;
  const char* dot;
  const char* end;
};

PathParts WalkPath(const char* path) {
  const char* p = path;
  if (p[0] != '\0' && p[1] == ':') p += 2;  // a drive letter and its colon
  const char* start = p;
  const char* lastSlash = nullptr;
  const char* dot = nullptr;
  while (*p != '\0') {
    if (IsLeadByte(static_cast<unsigned char>(*p))) {
      // The trail byte goes with its lead byte; a lead byte at the very end stands alone.
      if (p[1] == '\0') {
        p++;
        break;
      }
      p += 2;
      continue;
    }
    if (*p == '/' || *p == '\\')
      lastSlash = p + 1;
    else if (*p == '.')
      dot = p;
    p++;
  }
  PathParts parts{lastSlash ? lastSlash : start, nullptr, p};
  if (dot && dot >= parts.name) parts.dot = dot;
  return parts;
}

// Copies at most `limit` bytes of [from, to) and a zero byte, within `capacity` bytes.
void CopyPart(const char* from, const char* to, int limit, char* out, int capacity) {
  if (capacity <= 0) return;
  std::ptrdiff_t n = to - from;
  if (n > limit) n = limit;
  if (n > capacity - 1) n = capacity - 1;
  std::memcpy(out, from, static_cast<size_t>(n));
  out[n] = '\0';
}

}  // namespace

void SplitExtension(const char* path, char* extension, int capacity) {
  const PathParts parts = WalkPath(path);
  if (!parts.dot) {
    CopyPart(parts.end, parts.end, 0, extension, capacity);
    return;
  }
  CopyPart(parts.dot, parts.end, kPartMax, extension, capacity);
}

void SplitFileName(const char* path, char* name, int capacity) {
  if (capacity <= 0) return;
  const PathParts parts = WalkPath(path);
  const char* baseEnd = parts.dot ? parts.dot : parts.end;
  CopyPart(parts.name, baseEnd, kPartMax, name, capacity);
  if (parts.dot) {
    const int used = static_cast<int>(std::strlen(name));
    CopyPart(parts.dot, parts.end, kPartMax, name + used, capacity - used);
  }
}

void SplitDirectory(const char* path, char* directory, int capacity) {
  const PathParts parts = WalkPath(path);
  CopyPart(path, parts.name, capacity, directory, capacity);
}

int FormatForExtension(const char* lowerExtension) {
  for (int k = 0; k < kContainerKindCount; k++)
    for (int e = 0; e < kContainerKinds[k]->extensionCount; e++)
      if (std::strcmp(lowerExtension, kContainerKinds[k]->extensions[e].extension) == 0)
        return kContainerKinds[k]->extensions[e].format;
  return -1;
}

int FormatForPath(const char* path) {
  char extension[kPartMax + 1];
  SplitExtension(path, extension, sizeof extension);
  for (char* p = extension; *p; p++)
    if (*p >= 'A' && *p <= 'Z') *p = static_cast<char>(*p - 'A' + 'a');
  return FormatForExtension(extension);
}
