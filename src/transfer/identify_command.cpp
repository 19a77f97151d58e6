#include "transfer/identify_command.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "texts/texts.h"

namespace {

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

}  // namespace

void ComposeIdentifyText(const Identification& id, char* text, int capacity, bool english) {
  const auto in = [english](const char* ja) { return english ? TextEn(TextIdOf(ja)) : ja; };
  if (capacity <= 0) return;
  text[0] = '\0';
  AppendLine(text, capacity, in(kIdentifyVerdict),
             id.verdict == kVerdictNone ? in(kIdentifyNotVolume) : ModeText(id.verdict));
  if (id.ambiguous) AppendLine(text, capacity, "%s", in(kIdentifyAmbiguous));
  const ImageLayoutInfo& layout = id.layout;
  const ContainerKind* shown = ContainerForFormat(layout.shown);
  AppendLine(text, capacity, in(kIdentifyLayout), shown ? shown->name : in(kIdentifyUnknownLayout),
             in(layout.agrees ? kIdentifyAgrees : kIdentifyDisagrees));
  if (layout.diskCount > 0 && id.disk < layout.diskCount && id.disk < kMaxImageDisks) {
    const ImageDisk& disk = layout.disks[id.disk];
    AppendLine(text, capacity, in(kIdentifyDisks), id.disk, layout.diskCount, disk.name,
               in(disk.writeProtected ? kIdentifyYes : kIdentifyNo));
  }
  if (id.healthKnown)
    AppendLine(text, capacity, in(kIdentifySectors), id.badSectors, id.missingSectors);
  if (id.readAs < 0) return;
  // "○" and "×" in code page 932.
  const char* good = english ? "+" : "\x81\x9B";
  const char* bad = english ? "-" : "\x81\x7E";
  for (const ConventionScore& s : id.conventions) {
    AppendLine(text, capacity, in(kIdentifyConvention), ModeText(s.mode),
               in(s.volume ? kIdentifyIsVolume : kIdentifyIsNotVolume), s.score);
    AppendLine(text, capacity, "%s",
               in(s.systemMarked ? kReasonSystemMarked : kReasonSystemUnmarked));
    AppendLine(text, capacity, in(s.exdirSane ? kReasonExdirGood : kReasonExdirBad), s.exdirTrack,
               s.exdirSector);
    AppendLine(text, capacity, in(s.dateBcd ? kReasonDateGood : kReasonDateBad), s.date[0],
               s.date[1], s.date[2]);
    const bool slotsSound = s.soundSlots == s.usedSlots;
    AppendLine(text, capacity, in(kReasonSlots), slotsSound ? good : bad, s.usedSlots,
               s.soundSlots);
    if (!slotsSound)
      AppendLine(text, capacity, in(kReasonSlotFaults), s.unknownType, s.badName, s.runOutside,
                 s.runUnmarked, s.badDate);
    if (s.structureMissing) AppendLine(text, capacity, "%s", in(kReasonStructureMissing));
  }
  if (id.verdict != kVerdictNone) {
    const ConventionScore& found = id.conventions[id.verdict];
    AppendLine(text, capacity, in(kIdentifyFiles), found.usedSlots, found.freeSectors);
  }
}

bool ComposeIdentifyMessage(const Identification& id, int currentMode, char* text, int capacity,
                            bool english) {
  const auto in = [english](const char* ja) { return english ? TextEn(TextIdOf(ja)) : ja; };
  ComposeIdentifyText(id, text, capacity, english);
  if (id.verdict == kVerdictNone) return false;
  if (id.verdict == currentMode) {
    AppendLine(text, capacity, in(kIdentifyCurrent), ModeText(currentMode));
    return false;
  }
  AppendLine(text, capacity, in(kIdentifySwitch), ModeText(id.verdict));
  return true;
}
