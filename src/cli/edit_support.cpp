// What the verbs that change an image share beyond their arguments.
#include "cli/edit_support.h"

#include <string>

#include "cli/cli.h"
#include "image/journal.h"
#include "platform/console/console.h"
#include "transfer/convention_guard.h"
#include "transfer/volume_change.h"

namespace cli {
namespace {

// The volume of the record's image read again after a change or a refusal, for what it says: a
// journal left by a change that could not be rolled back is played back, then the volume read.
void ReloadVolume() {
  Outcome out;
  OutcomeClear(&out);
  ImageTarget target;
  target = Disk().target;
  if (RecoverImageJournal(&out, &target) == 0) ReadVolumeState(&out, &target, &Disk().volume);
  PrintOutcome(out);
}

}  // namespace

void PrintMessage(const char* caption, const char* text, const char* textEn) {
  console::ShowMessage(text, textEn, caption, console::kMbOk);
}

void PrintOutcome(const Outcome& out) { Report(out); }

int BeginFileChange(const int* slots, int count) {
  if (!Disk().loaded) return -1;
  ImageTarget target;
  target = Disk().target;
  Outcome out;
  OutcomeClear(&out);
  if (RefuseChange(&out, &target) != 0) {
    PrintOutcome(out);
    return -1;
  }
  const int reread = RereadForChange(&out, &target, &Disk().volume, slots, count);
  PrintOutcome(out);
  if (reread == kRereadChanged) ReloadVolume();
  return reread == kRereadSame ? 0 : -1;
}

namespace {
std::string ChangeSummary;
}  // namespace

void SayChange(const std::string& what) { ChangeSummary = what; }

int EndFileChange(int result, const Outcome& out) {
  PrintOutcome(out);
  ReloadVolume();
  if (result == 0 && !ChangeSummary.empty())
    console::Info(Disk().target.path + (": " + ChangeSummary));
  ChangeSummary.clear();
  return result;
}

}  // namespace cli
