#include "flows/app_image.h"
#include "transfer/identify_command.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "texts/texts.h"
#include "volume/app_state.h"

namespace {

constexpr int kIdentifyTextCapacity = 2048;

// Appends a formatted line to `text`, within `capacity`.
void AppendLine(char* text, int capacity, const char* format, ...) {
  const size_t used = std::strlen(text);
  if (used + 1 >= static_cast<size_t>(capacity)) return;
  va_list args;
  va_start(args, format);
  std::vsnprintf(text + used, capacity - used, format, args);
  va_end(args);
  const size_t now = std::strlen(text);
  if (now + 1 < static_cast<size_t>(capacity)) {
    text[now] = '\n';
    text[now + 1] = '\0';
  }
}

const char* ModeText(int mode) { return mode == kModePc ? "PC" : "MZ"; }

const char* LayoutText(int layout) {
  const ContainerKind* kind = ContainerForFormat(layout);
  return kind ? kind->name : kIdentifyUnknownLayout;
}

}  // namespace

void ComposeIdentifyText(const Identification& id, char* text, int capacity) {
  if (capacity <= 0) return;
  text[0] = '\0';
  AppendLine(text, capacity, kIdentifyVerdict,
             id.verdict == kVerdictNone ? kIdentifyNotVolume : ModeText(id.verdict));
  if (id.ambiguous) AppendLine(text, capacity, "%s", kIdentifyAmbiguous);
  const ImageLayoutInfo& layout = id.layout;
  AppendLine(text, capacity, kIdentifyLayout, LayoutText(layout.shown),
             layout.agrees ? kIdentifyAgrees : kIdentifyDisagrees);
  if (layout.diskCount > 0 && id.disk < layout.diskCount && id.disk < kMaxImageDisks) {
    const ImageDisk& disk = layout.disks[id.disk];
    AppendLine(text, capacity, kIdentifyDisks, id.disk, layout.diskCount, disk.name,
               disk.writeProtected ? kIdentifyYes : kIdentifyNo);
  }
  if (id.readAs < 0) return;
  for (const ConventionScore& s : id.conventions) {
    AppendLine(text, capacity, kIdentifyConvention, ModeText(s.mode),
               s.volume ? kIdentifyIsVolume : kIdentifyIsNotVolume, s.score);
    AppendLine(text, capacity, "%s", s.systemMarked ? kReasonSystemMarked : kReasonSystemUnmarked);
    AppendLine(text, capacity, s.exdirSane ? kReasonExdirGood : kReasonExdirBad, s.exdirTrack,
               s.exdirSector);
    AppendLine(text, capacity, s.dateBcd ? kReasonDateGood : kReasonDateBad, s.date[0], s.date[1],
               s.date[2]);
    const bool slotsSound = s.soundSlots == s.usedSlots;
    AppendLine(text, capacity, kReasonSlots, slotsSound ? "\x81\x9B" : "\x81\x7E", s.usedSlots,
               s.soundSlots);
    if (!slotsSound)
      AppendLine(text, capacity, kReasonSlotFaults, s.unknownType, s.badName, s.runOutside,
                 s.runUnmarked, s.badDate);
  }
  if (id.verdict != kVerdictNone) {
    const ConventionScore& found = id.conventions[id.verdict];
    AppendLine(text, capacity, kIdentifyFiles, found.usedSlots, found.freeSectors);
  }
}

int IdentifyImageCommand(WindowHandle owner) {
  if (App.ImagePath[0] == '\0') {
    PlatformMessageBox(owner, kMsgIdentifyNoImage, kCaptionIdentify, kMbOk);
    return -1;
  }
  static Identification id;  // one command at a time; too large for the stack of a window
  if (IdentifyCurrentImage(owner, &id) != 0) {
    PlatformMessageBox(owner, kMsgIdentifyFailed, kCaptionError, kMbOk);
    return -1;
  }
  char text[kIdentifyTextCapacity];
  ComposeIdentifyText(id, text, sizeof text);
  if (id.verdict == kVerdictNone || id.verdict == App.MachineMode) {
    if (id.verdict != kVerdictNone)
      AppendLine(text, sizeof text, kIdentifyCurrent, ModeText(App.MachineMode));
    PlatformMessageBox(owner, text, kCaptionIdentify, kMbOk);
    return -1;
  }
  AppendLine(text, sizeof text, kIdentifySwitch, ModeText(id.verdict));
  if (PlatformMessageBox(owner, text, kCaptionIdentify, kMbYesNo | kMbIconQuestion) != kIdYes)
    return -1;
  return id.verdict;
}
