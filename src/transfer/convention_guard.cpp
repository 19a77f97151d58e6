#include "transfer/convention_guard.h"

#include <cstring>

#include "image/journal.h"
#include "texts/texts.h"

namespace {

bool SameDisk(const ImageTarget& a, const ImageTarget& b) {
  return std::strcmp(a.path, b.path) == 0 && a.kind == b.kind && a.diskBase == b.diskBase &&
         a.diskIndex == b.diskIndex && a.machineMode == b.machineMode;
}

// The target whose disk passed the convention check last is kept in its change: the change that
// follows its first check begins without a second identification.
int CheckConvention(Outcome* out, const ImageTarget* target) {
  ImageChange* change = target->change;
  if (change) change->conventionChecked = false;
  if (change && change->anyConvention) return 0;
  const int recorded = ContradictedConvention(target);
  if (recorded == kVerdictNone) {
    if (change) {
      change->conventionPassed = *target;
      change->conventionPassed.session = nullptr;
      change->conventionChecked = true;
    }
    return 0;
  }
  const char* text = recorded == kModePc ? kMsgRecordedPc : kMsgRecordedMz;
  SayText(out, kCaptionError, text, text);
  return -1;
}

}  // namespace

int OtherConvention(const Identification& id, int mode) {
  if (id.verdict == kVerdictNone || id.ambiguous || id.verdict == mode) return kVerdictNone;
  return id.verdict;
}

int RefusingConvention(const Identification& id, int mode) {
  if (mode != kModeMz && mode != kModePc) return kVerdictNone;
  const int other = OtherConvention(id, mode);
  return other != kVerdictNone && !id.conventions[mode].volume ? other : kVerdictNone;
}

int ContradictedConvention(const ImageTarget* target) {
  Identification id;
  if (target->machineMode != kModeMz && target->machineMode != kModePc) return kVerdictNone;
  const int format = target->kind ? target->kind->format : -1;
  if (IdentifyImage(target, format, &id) != 0) return kVerdictNone;
  return RefusingConvention(id, target->machineMode);
}

int RefuseChange(Outcome* out, const ImageTarget* target) {
  if (RefuseIfProtected(out, target) != 0) return -1;
  return CheckConvention(out, target);
}

int RefuseOtherConvention(Outcome* out, const ImageTarget* target) {
  ImageChange* change = target->change;
  if (change && change->conventionChecked && SameDisk(change->conventionPassed, *target)) {
    change->conventionChecked = false;
    return 0;
  }
  return CheckConvention(out, target);
}
