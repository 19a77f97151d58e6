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

// folder + separator + name (the name with "_n" before its extension when n > 1) into `out` of
// `capacity` bytes. 0 or -1.
int JoinPath(const char* folder, const char* name, int n, char* out, int capacity) {
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
  const int written = std::snprintf(out, static_cast<size_t>(capacity), "%s%s%.*s%s%s", folder,
                                    separator, stem, name, suffix, name + stem);
  return written < 0 || written >= capacity ? -1 : 0;
}

void SayNamed(Outcome* out, const char* format, const char* path) {
  Say(out, kCaptionError, format, path);
}

}  // namespace

int PlanBatchExport(const ExportFile* files, int count, const char* folder, BatchExportPlan* plan,
                    Outcome* out) {
  if (count > kMaxBatchRows) count = kMaxBatchRows;
  char names[kMaxBatchRows][kHostNameBytes];  // 32 KiB, for this call only
  for (int i = 0; i < count; i++) DefaultExportName(&files[i], names[i]);
  return PlanBatchExportNamed(names, count, folder, plan, out);
}

int PlanBatchExportNamed(const char (*names)[kHostNameBytes], int count, const char* folder,
                         BatchExportPlan* plan, Outcome* out) {
  if (count > kMaxBatchRows) count = kMaxBatchRows;
  plan->count = 0;
  for (int i = 0; i < count; i++) {
    const char* shown = names[i];
    char name[kHostNameBytes * 3];
    if (PlatformHostFileName(shown, name, sizeof name) != 0) {
      SayText(out, kCaptionError, kMsgHostPathTooLong, kMsgHostPathTooLong);
      return -1;
    }
    // The first of "NAME.EXT", "NAME_2.EXT", ... that no earlier file of the batch took (at most
    // i names are taken).
    for (int n = 1;; n++) {
      if (JoinPath(folder, name, n, plan->path[i], kBatchPathBytes) != 0 ||
          JoinPath("", shown, n, plan->shown[i], kBatchShownBytes) != 0) {
        SayText(out, kCaptionError, kMsgHostPathTooLong, kMsgHostPathTooLong);
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

namespace {

// The summary's lines take at most 1 KiB in each language; the rest are counted as "N more".
constexpr size_t kSummaryBytes = 1024;

// The summary of the files that failed, in both languages, built up one line at a time.
struct FailureSummary {
  int failed;
  int omitted;  // lines that did not fit
  char lines[kSummaryBytes];
  char linesEn[kSummaryBytes];
};

// Appends the line "name: reason" (the first message of `why`) when both forms fit with room
// left for the closing "(and N more)".
void AddFailureLine(FailureSummary* summary, const char* name, const Outcome* why) {
  summary->failed++;
  const char* reason = why->count > 0 ? OutcomeText(why, 0) : "";
  const char* reasonEn = why->count > 0 ? OutcomeTextEn(why, 0) : "";
  char line[3 * kSummaryBytes], lineEn[3 * kSummaryBytes];
  std::snprintf(line, sizeof line, kMsgBatchExportLine, name, reason);
  std::snprintf(lineEn, sizeof lineEn, TextEn(TextId::kMsgBatchExportLine), name, reasonEn);
  constexpr size_t kReserve = 160;  // the header and the closing line
  const size_t used = std::strlen(summary->lines), usedEn = std::strlen(summary->linesEn);
  if (summary->omitted > 0 || used + std::strlen(line) + kReserve >= kSummaryBytes ||
      usedEn + std::strlen(lineEn) + kReserve >= kSummaryBytes) {
    summary->omitted++;
    return;
  }
  std::memcpy(summary->lines + used, line, std::strlen(line) + 1);
  std::memcpy(summary->linesEn + usedEn, lineEn, std::strlen(lineEn) + 1);
}

void SaySummary(const FailureSummary& summary, int total, Outcome* out) {
  char more[64] = "", moreEn[64] = "";
  if (summary.omitted > 0) {
    std::snprintf(more, sizeof more, kMsgBatchExportMore, summary.omitted);
    std::snprintf(moreEn, sizeof moreEn, TextEn(TextId::kMsgBatchExportMore), summary.omitted);
  }
  char text[3 * kSummaryBytes], textEn[3 * kSummaryBytes];
  std::snprintf(text, sizeof text, kMsgBatchExportSummary, summary.failed, total, summary.lines,
                more);
  std::snprintf(textEn, sizeof textEn, TextEn(TextId::kMsgBatchExportSummary), summary.failed,
                total, summary.linesEn, moreEn);
  SayText(out, kCaptionError, kMsgBatchExportSummary, text, textEn);
}

}  // namespace

int WriteBatchExport(const ImageTarget* target, const ExportFile* files,
                     const BatchExportPlan* plan, bool ascii, const uint8_t* tbl2,
                     void (*written)(const char* path),
                     void (*failed)(int index, const Outcome* why), Outcome* out,
                     HostTextShaper shape) {
  FailureSummary summary;
  summary.failed = summary.omitted = 0;
  summary.lines[0] = summary.linesEn[0] = '\0';
  for (int i = 0; i < plan->count; i++) {
    Outcome why;
    OutcomeClear(&why);
    const uint8_t* data = nullptr;
    long length = 0;
    const bool read = ReadFileData(target, &files[i], ascii, tbl2, &data, &length, &why) == 0;
    if (read && ascii && shape) data = shape(data, &length);
    if (!read) {
      SayNamed(&why, kMsgBatchExportReadFailed, plan->shown[i]);
    } else if (WriteHostFile(plan->path[i], data, length) != 0) {
      SayNamed(&why, kMsgBatchExportWriteFailed, plan->shown[i]);
    } else {
      if (written) written(plan->path[i]);
      continue;
    }
    if (failed) failed(i, &why);
    AddFailureLine(&summary, plan->shown[i], &why);
  }
  if (summary.failed == 0) return 0;
  SaySummary(summary, plan->count, out);
  return -1;
}
