#include "flows/undo.h"

#include "flows/app_image.h"
#include "flows/show_outcome.h"
#include "flows/volume_load.h"
#include "flows/volume_view.h"
#include "image/change_history.h"
#include "texts/texts.h"

namespace {

// A refused step (the image changed elsewhere) drops the history: the list is read again so that
// it shows the image as it now is, and the refusal stays in the status line.
void StepChange(WindowHandle window, bool undo) {
  if (undo ? !ChangeHistoryCanUndo(App.History) : !ChangeHistoryCanRedo(App.History)) return;
  ImageTarget target;
  AppImageTarget(&target);
  Outcome out;
  OutcomeClear(&out);
  const int result = StepChangeHistory(&out, &target, undo);
  ShowOutcome(window, &out);
  LoadVolume(window);
  if (result == 0)
    ShowActionStatus(window, undo ? kStatusUndone : kStatusRedone);
  else
    ShowOutcomeStatus(window, &out);
}

}  // namespace

void UndoLastChange(WindowHandle window) { StepChange(window, true); }

void RedoLastChange(WindowHandle window) { StepChange(window, false); }
