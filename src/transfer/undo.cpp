#include "transfer/undo.h"

#include "image/change_history.h"
#include "flows/volume_load.h"

namespace {

void StepChange(WindowHandle window, bool undo) {
  if (undo ? !ChangeHistoryCanUndo() : !ChangeHistoryCanRedo()) return;
  if (ChangeHistoryStep(window, undo) == 0)
    LoadVolume(window);
  else
    UpdateUndoCommands(window);
}

}  // namespace

void UndoLastChange(WindowHandle window) { StepChange(window, true); }

void RedoLastChange(WindowHandle window) { StepChange(window, false); }
