#include "transfer/batch_export.h"

#include <cstdio>
#include <cstring>

#include "image/host_files.h"
#include "texts/texts.h"

namespace {

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// Host names compared as a case-insensitive file system would compare them.
bool SameHostName(const char* a, const char* b) {
  while (*a && Lower(*a) == Lower(*b)) ++a, ++b;
  return *a == '\0' && *b == '\0';
}

bool Exists(const char* path) {
  std::FILE* file = PlatformOpenHostFile(path, "rb");
  if (!file) return false;
  std::fclose(file);
  return true;
}

// folder + separator + name (the name with "_n" before its extension when n > 1). 0 or -1.
int JoinPath(const char* folder, const char* name, int n, char* out) {
  const size_t length = std::strlen(folder);
  const char last = length > 0 ? folder[length - 1] : '/';
  const bool hasSeparator = last == '/' || last == '\\';
  // The separator the folder uses already; '/' serves every host.
  const char* separator = hasSeparator                                             ? ""
                          : std::strchr(folder, '\\') && !std::strchr(folder, '/') ? "\\"
                                                                                   : "/";
  const char* dot = std::strrchr(name, '.');
  const int stem =
      dot && dot != name ? static_cast<int>(dot - name) : static_cast<int>(std::strlen(name));
  char suffix[16] = "";
  if (n > 1) std::snprintf(suffix, sizeof suffix, "_%d", n);
  const int written = std::snprintf(out, kBatchPathBytes, "%s%s%.*s%s%s", folder, separator, stem,
                                    name, suffix, name + stem);
  return written < 0 || written >= kBatchPathBytes ? -1 : 0;
}

void SayNamed(Outcome* out, const char* format, const char* path) {
  Say(out, kCaptionError, format, path);
}

}  // namespace

int PlanBatchExport(const ExportFile* files, int count, const char* folder, BatchExportPlan* plan,
                    Outcome* out) {
  if (count > kMaxBatchRows) count = kMaxBatchRows;
  plan->count = 0;
  for (int i = 0; i < count; i++) {
    char shown[kHostNameBytes];
    DefaultExportName(&files[i], shown);
    char name[kHostNameBytes * 3];
    if (PlatformHostFileName(shown, name, sizeof name) != 0) {
      SayText(out, kCaptionError, kMsgPathTooLong, kMsgPathTooLong);
      return -1;
    }
    // The first of "NAME.EXT", "NAME_2.EXT", ... that no earlier file of the batch took (at most
    // i names are taken).
    for (int n = 1;; n++) {
      if (JoinPath(folder, name, n, plan->path[i]) != 0 ||
          JoinPath("", shown, n, plan->shown[i]) != 0) {
        SayText(out, kCaptionError, kMsgPathTooLong, kMsgPathTooLong);
        return -1;
      }
      bool taken = false;
      for (int j = 0; j < i && !taken; j++) taken = SameHostName(plan->path[j], plan->path[i]);
      if (!taken) break;
    }
  }
  plan->count = count;
  return 0;
}

int FirstExistingBatchTarget(const BatchExportPlan* plan) {
  for (int i = 0; i < plan->count; i++)
    if (Exists(plan->path[i])) return i;
  return -1;
}

void SayBatchTargetExists(const BatchExportPlan* plan, int index, Outcome* out) {
  SayNamed(out, kMsgBatchTargetExists, plan->shown[index]);
}

int WriteBatchExport(const ImageTarget* target, const ExportFile* files,
                     const BatchExportPlan* plan, bool ascii, const uint8_t* tbl2,
                     void (*written)(const char* path), Outcome* out) {
  for (int i = 0; i < plan->count; i++) {
    const uint8_t* data = nullptr;
    long length = 0;
    if (ReadFileData(target, &files[i], ascii, tbl2, &data, &length, out) != 0) {
      SayNamed(out, kMsgBatchExportReadFailed, plan->shown[i]);
      return -1;
    }
    if (WriteHostFile(plan->path[i], data, length) != 0) {
      SayNamed(out, kMsgBatchExportWriteFailed, plan->shown[i]);
      return -1;
    }
    if (written) written(plan->path[i]);
  }
  return 0;
}
