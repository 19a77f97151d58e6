#include "flows/undo.h"

#include "flows/app_image.h"
#include "flows/volume_load.h"
#include "image/change_history.h"

namespace {

void StepChange(WindowHandle window, bool undo) {
  if (undo ? !ChangeHistoryCanUndo() : !ChangeHistoryCanRedo()) return;
  ImageTarget target;
  AppImageTarget(&target);
  if (ChangeHistoryStep(window, &target, undo) == 0)
    LoadVolume(window);
  else
    UpdateUndoCommands(window);
}

}  // namespace

void UndoLastChange(WindowHandle window) { StepChange(window, true); }

void RedoLastChange(WindowHandle window) { StepChange(window, false); }
