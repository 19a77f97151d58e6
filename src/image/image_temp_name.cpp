// The temporary name of a file written whole and then renamed into place; the same for image
// files on the disk and in memory, since it asks only whether a name is taken.
#include <cstdio>
#include <cstring>

#include "image/image_file.h"

int ImageFileTemporaryName(const char* path, char temp[kPathCapacity]) {
  constexpr int kTries = 10;
  for (int i = 0; i < kTries; i++) {
    char suffix[8] = ".new";
    if (i > 0) std::snprintf(suffix, sizeof suffix, ".new%d", i);
    const size_t pathLength = std::strlen(path), suffixLength = std::strlen(suffix);
    if (pathLength + suffixLength >= kPathCapacity) return -1;
    std::memcpy(temp, path, pathLength);
    std::memcpy(temp + pathLength, suffix, suffixLength + 1);
    if (ImageFileExists(temp) == 0) return 0;
  }
  return -1;
}
