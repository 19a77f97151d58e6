#include "cli/import_support.h"

#include <sys/stat.h>

#include <cstring>
#include <string>

#include "platform/console/console.h"

namespace cli {
bool IsRegularHostFile(const std::string& path) {
#ifdef _WIN32
  return console::HostPathKindOf(path) == console::HostPathKind::kFile;
#else
  struct stat st;
  return stat(path.c_str(), &st) == 0 && (st.st_mode & S_IFMT) == S_IFREG;
#endif
}

}  // namespace cli
