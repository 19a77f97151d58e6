#include "transfer/batch_export.h"

#include <cstdio>
#include <cstring>

#include "flows/app_state.h"
#include "texts/texts.h"
#include "transfer/export.h"

namespace {

constexpr int kBatchPathBytes = 2 * kPathCapacity + kHostNameBytes;

// The planned host path of each row, and its name as the program shows it (code page 932, for
// the messages); only one command runs at a time.
char Planned[kMaxBatchRows][kBatchPathBytes];
char PlannedName[kMaxBatchRows][kBatchPathBytes];
int Rows[kMaxBatchRows];

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

void ShowNamed(WindowHandle window, const char* format, const char* path) {
  char message[kBatchPathBytes + 128];
  std::snprintf(message, sizeof message, format, path);
  PlatformMessageBox(window, message, kCaptionError, kMbOk);
}

}  // namespace

int ExportRowsToFolder(WindowHandle window, const int* rows, int count, const char* folder,
                       HostReplacePolicy policy, void (*written)(const char* path)) {
  if (count > kMaxBatchRows) count = kMaxBatchRows;
  // Plan every name first.
  for (int i = 0; i < count; i++) {
    char shown[kHostNameBytes];
    DefaultExportName(rows[i], shown);
    char name[kHostNameBytes * 3];
    if (PlatformHostFileName(shown, name, sizeof name) != 0) {
      PlatformMessageBox(window, kMsgPathTooLong, kCaptionError, kMbOk);
      return -1;
    }
    // The first of "NAME.EXT", "NAME_2.EXT", ... that no earlier file of the batch took (at most
    // i names are taken).
    for (int n = 1;; n++) {
      if (JoinPath(folder, name, n, Planned[i]) != 0 ||
          JoinPath("", shown, n, PlannedName[i]) != 0) {
        PlatformMessageBox(window, kMsgPathTooLong, kCaptionError, kMbOk);
        return -1;
      }
      bool taken = false;
      for (int j = 0; j < i && !taken; j++) taken = SameHostName(Planned[j], Planned[i]);
      if (!taken) break;
    }
  }
  // Then what exists already.
  for (int i = 0; i < count && policy != HostReplacePolicy::kReplace; i++) {
    if (!Exists(Planned[i])) continue;
    if (policy == HostReplacePolicy::kRefuse) {
      ShowNamed(window, kMsgBatchTargetExists, PlannedName[i]);
      return -1;
    }
    char question[kBatchPathBytes + 160];
    std::snprintf(question, sizeof question, kMsgBatchReplaceQuestion, PlannedName[i]);
    if (PlatformMessageBox(window, question, kCaptionConfirm, kMbYesNo | kMbIconQuestion) != kIdYes)
      return -1;
    break;  // one question for all of them
  }
  for (int i = 0; i < count; i++) {
    const uint8_t* data = nullptr;
    long length = 0;
    if (ReadRowData(window, rows[i], &data, &length) != 0) {
      ShowNamed(window, kMsgBatchExportReadFailed, PlannedName[i]);
      return -1;
    }
    if (WriteHostFile(Planned[i], data, length) != 0) {
      ShowNamed(window, kMsgBatchExportWriteFailed, PlannedName[i]);
      return -1;
    }
    if (written) written(Planned[i]);
  }
  return 0;
}

void ExportSelectedToFolder(WindowHandle window) {
  int count = 0;
  for (int row = ListNextSelected(App.ListWindow, -1); row != -1 && count < kMaxBatchRows;
       row = ListNextSelected(App.ListWindow, row))
    Rows[count++] = row;
  if (count == 0) return;
  char folder[kPathCapacity];
  if (!PlatformChooseFolder(window, kFolderDialogTitle, folder, sizeof folder)) return;
  ExportRowsToFolder(window, Rows, count, folder, HostReplacePolicy::kAsk, nullptr);
}
