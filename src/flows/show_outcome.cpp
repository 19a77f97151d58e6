#include "flows/show_outcome.h"

#include "flows/app_state.h"
#include "texts/texts.h"

namespace {

bool BusyShown = false;

}  // namespace

void ShowOutcome(WindowHandle owner, const Outcome* outcome) {
  for (int i = 0; i < outcome->count; i++) {
    const char* text = App.English ? OutcomeTextEn(outcome, i) : OutcomeText(outcome, i);
    PlatformMessageBox(owner, text, outcome->messages[i].caption, kMbOk);
    const char* format = outcome->messages[i].format;
    if (format == kMsgWriteOpenBusy || format == kMsgImageBusy) BusyShown = true;
  }
}

bool TakeBusyShown() {
  const bool shown = BusyShown;
  BusyShown = false;
  return shown;
}
