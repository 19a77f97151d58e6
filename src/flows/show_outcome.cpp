#include "flows/show_outcome.h"

void ShowOutcome(WindowHandle owner, const Outcome* outcome) {
  for (int i = 0; i < outcome->count; i++)
    PlatformMessageBox(owner, outcome->messages[i].text, outcome->messages[i].caption, kMbOk);
}
