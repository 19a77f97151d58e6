#include "flows/save_as.h"

#include <cstdio>
#include <cstring>

#include "flows/app_state.h"
#include "flows/open_image.h"
#include "flows/show_outcome.h"
#include "flows/volume_view.h"
#include "image/container.h"
#include "image/image_file.h"
#include "image/image_select.h"
#include "texts/texts.h"
#include "transfer/convert_image.h"
#include "view/status_bar.h"

namespace {

constexpr int kFilterCapacity = 1024;
constexpr int kLossesCapacity = 2048;

// The kind and the row of each filter of the save dialog, in order (filter index 1 is the first).
const ContainerKind* FilterKinds[32];
const ContainerFilter* FilterRows[32];
int FilterKindCount = 0;

const char* ModeName(int mode) { return mode == kModeMz ? kStatusMz : kStatusPc; }

// The path as typed when its extension names a container, else with the first extension of the
// chosen file type's pattern appended ("*.d88" gives ".d88"). Whether it was appended.
bool EnsureExtension(char* path, const ContainerFilter* row) {
  if (ContainerForFormat(FormatForPath(path))) return false;
  const char* from = std::strchr(row->pattern, '.');
  if (!from) return false;
  const size_t extension = std::strcspn(from, ";");
  const size_t length = std::strlen(path);
  if (length + extension >= kWindowPathCapacity) return false;
  std::memcpy(path + length, from, extension);
  path[length + extension] = '\0';
  return true;
}

// Whether two host paths name the same file as Windows compares them: case and the kind of
// separator do not count.
bool SamePath(const char* a, const char* b) {
  auto fold = [](char c) {
    if (c == '/') return '\\';
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
  };
  for (; *a && *b; a++, b++)
    if (fold(*a) != fold(*b)) return false;
  return *a == *b;
}

// What the copy will not keep, one line each, in the question's own words (the report after a
// conversion speaks of what was lost).
void LossLines(const ConvertLosses& losses, const char* kindName, char* text, int capacity) {
  text[0] = '\0';
  auto line = [&](const char* format, auto... values) {
    const size_t used = std::strlen(text);
    if (used + 1 >= static_cast<size_t>(capacity)) return;
    if (used) text[used] = '\n';
    std::snprintf(text + used + (used ? 1 : 0), static_cast<size_t>(capacity) - used - 1, format,
                  values...);
  };
  if (losses.deleted > 0) line(kSaveLossDeleted, losses.deleted, kindName);
  if (losses.errors > 0) line(kSaveLossErrors, losses.errors, kindName);
  if (losses.ids > 0) line(kSaveLossIds, losses.ids, kindName);
  if (losses.tracks > 0) line(kSaveLossTracks, losses.tracks, kindName);
  if (losses.filled > 0) line(kSaveLossFilled, losses.filled);
  if (losses.name) line("%s", kSaveLossName);
  if (losses.protection) line("%s", kSaveLossProtection);
}

// The source's last change in UTC, as `zelvo convert` stamps it (1980-01-01 when unknown).
ContainerStamp SourceStamp(const char* path) {
  int fields[6];
  if (!PlatformFileWriteTimeUtc(path, fields)) return ContainerStamp{1980, 1, 1, 0, 0, 0};
  return ContainerStamp{fields[0], fields[1], fields[2], fields[3], fields[4], fields[5]};
}

// Everything of an outcome but the loss lines, already shown.
void ShowRefusals(WindowHandle owner, const Outcome& out) {
  Outcome rest;
  OutcomeClear(&rest);
  for (int i = 0; i < out.count; i++)
    if (out.messages[i].caption != kCaptionConvertLoss)
      SayText(&rest, out.messages[i].caption, out.messages[i].format, OutcomeText(&out, i),
              OutcomeTextEn(&out, i));
  ShowOutcome(owner, &rest);
}

}  // namespace

const char* SaveAsFilter() {
  static char filter[kFilterCapacity];
  int at = 0;
  FilterKindCount = 0;
  for (int k = 0; k < kContainerKindCount; k++)
    for (int f = 0; kContainerKinds[k]->writeDisk && f < kContainerKinds[k]->filterCount; f++) {
      const ContainerFilter& row = kContainerKinds[k]->filters[f];
      const int need =
          static_cast<int>(std::strlen(row.description) + std::strlen(row.pattern)) + 2;
      if (at + need + 1 > kFilterCapacity || FilterKindCount == 32) break;
      std::memcpy(filter + at, row.description, std::strlen(row.description) + 1);
      at += static_cast<int>(std::strlen(row.description)) + 1;
      std::memcpy(filter + at, row.pattern, std::strlen(row.pattern) + 1);
      at += static_cast<int>(std::strlen(row.pattern)) + 1;
      FilterRows[FilterKindCount] = &row;
      FilterKinds[FilterKindCount++] = kContainerKinds[k];
    }
  filter[at] = '\0';
  return filter;
}

void SaveAsCommand(WindowHandle owner) {
  if (App.ImagePath[0] == '\0') return;
  static char path[kWindowPathCapacity];
  path[0] = '\0';
  FileDialogRequest request = {};
  request.structSize = 76;
  request.filter = SaveAsFilter();
  request.filterIndex = 1;  // D88 first when there is a row of it
  for (int i = 0; i < FilterKindCount; i++)
    if (FilterKinds[i]->keeps & kKeepsDisks) {
      request.filterIndex = static_cast<unsigned>(i + 1);
      break;
    }
  request.file = path;
  request.fileCapacity = kWindowPathCapacity;
  request.title = kSaveAsDialogTitle;
  request.flags = kOfnOverwritePrompt | kOfnHideReadOnly;
  request.defExt = nullptr;  // the file type's extension is added below
  if (!PlatformGetSaveFileName(owner, &request)) return;
  // The file type chosen in the dialog chooses the container of a name without an extension. The
  // dialog asked before replacing the name it saw; a name it did not see is asked about here.
  const unsigned index = request.filterIndex;
  if (index < 1 || static_cast<int>(index) > FilterKindCount) return;
  const bool appended = EnsureExtension(path, FilterRows[index - 1]);
  if (SamePath(path, App.ImagePath)) {
    PlatformMessageBox(owner, kMsgSaveAsOpenImage, kCaptionError, kMbOk);
    return;
  }
  if (appended && ImageFileExists(path) == 1) {
    static char replace[kWindowPathCapacity + 128];
    std::snprintf(replace, sizeof replace, WindowText(kMsgSaveAsReplace), path);
    if (PlatformMessageBox(owner, replace, kCaptionConfirm, kMbYesNo | kMbIconQuestion) != kIdYes)
      return;
  }

  // The convention: kept, or the other one.
  const int mode = App.MachineMode;
  const int other = mode == kModeMz ? kModePc : kModeMz;
  static char question[512];
  std::snprintf(question, sizeof question, WindowText(kSaveAsKeepMode), ModeName(mode),
                ModeName(other));
  const int keep =
      PlatformMessageBox(owner, question, kCaptionConvert, kMbYesNoCancel | kMbIconQuestion);
  if (keep != kIdYes && keep != kIdNo) return;

  ConvertRequest convert = {};
  convert.sourcePath = App.ImagePath;
  convert.targetPath = path;
  convert.machineMode = mode;
  convert.toMode = keep == kIdYes ? mode : other;
  convert.disk = App.DiskCount > 1 ? App.DiskIndex : -1;
  convert.replace = true;  // asked before replacing, by the dialog or above
  convert.fill = true;
  convert.stamp = SourceStamp(App.ImagePath);
  // First what would be lost, then the question, then the copy.
  static Outcome out;
  OutcomeClear(&out);
  convert.dryRun = true;
  ConvertLosses losses = {};
  if (ConvertImage(&out, convert, &losses) != 0) {
    ShowRefusals(owner, out);
    return;
  }
  static char lines[kLossesCapacity];
  const ContainerKind* kind = ContainerForFormat(FormatForPath(path));
  LossLines(losses, kind ? kind->name : "", lines, sizeof lines);
  if (lines[0] != '\0') {
    static char text[kLossesCapacity + 256];
    std::snprintf(text, sizeof text, WindowText(kSaveAsLosses), lines);
    if (PlatformMessageBox(owner, text, kCaptionConvertLoss, kMbYesNo | kMbIconQuestion) != kIdYes)
      return;
  }
  OutcomeClear(&out);
  convert.dryRun = false;
  if (ConvertImage(&out, convert, nullptr) != 0) {
    ShowRefusals(owner, out);
    return;
  }

  // Where the copy went, and whether to go on with it.
  static char status[kWindowPathCapacity + 64];
  std::snprintf(status, sizeof status, WindowText(kStatusSaved), path);
  ShowActionStatus(owner, status);
  static char open[kWindowPathCapacity + 64];
  std::snprintf(open, sizeof open, WindowText(kSaveAsOpenCopy), path);
  if (PlatformMessageBox(owner, open, kCaptionConfirm, kMbYesNo | kMbIconQuestion) != kIdYes)
    return;
  OpenImagePath(owner, path);
  if (App.VolumeLoaded && SamePath(App.ImagePath, path)) ShowActionStatus(owner, status);
}
