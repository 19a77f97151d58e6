#include "flows/file_change.h"

#include "flows/app_image.h"
#include "flows/show_outcome.h"
#include "flows/volume_load.h"
#include "transfer/volume_change.h"
#include "volume/app_state.h"

int RereadForChangeShown(WindowHandle window, const int* slots, int count) {
  ImageTarget target;
  AppImageTarget(&target);
  Outcome out;
  OutcomeClear(&out);
  const int result = RereadForChange(&out, &target, &App, slots, count);
  ShowOutcome(window, &out);
  if (result == kRereadChanged) LoadVolume(window);
  return result == kRereadSame ? 0 : -1;
}
