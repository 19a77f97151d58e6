#include "flows/repair_offer.h"

#include <cstdio>
#include <cstring>

#include "flows/app_image.h"
#include "flows/app_state.h"
#include "flows/show_outcome.h"
#include "flows/volume_load.h"
#include "flows/volume_view.h"
#include "texts/texts.h"
#include "transfer/volume_change.h"
#include "volume/bit_table_repair.h"
#include "volume/layout.h"

int OfferBitTableRepair(WindowHandle window) {
  if (!App.VolumeLoaded || App.WriteProtected) return 1;
  const VolumeView volume{App.SystemArea,   App.DirectoryBuffer, App.EntryCount,
                          App.ExdirPresent, App.ExdirTrack,      App.ExdirSector};
  static uint8_t repaired[kSystemAreaBytes];
  BitTableRepair repair;
  PlanBitTableRepair(volume, false, repaired, &repair);
  if (repair.refused || repair.marked == 0) return 1;
  if (ImageRefuseIfProtected(window) != 0) return 1;
  char question[512];
  std::snprintf(question, sizeof question, WindowText(kMsgRepairConfirm), repair.marked,
                repair.firstMarked / 16, repair.firstMarked % 16 + 1, repair.freed);
  if (PlatformMessageBox(window, question, kCaptionConfirm, kMbYesNo | kMbIconQuestion) != kIdYes)
    return 1;
  ImageTarget target;
  AppImageTarget(&target);
  Outcome out;
  OutcomeClear(&out);
  std::memcpy(App.SystemArea, repaired, sizeof repaired);
  const int result = CommitVolumeChange(&out, &target, &App, 0, true);
  if (result == 0) Say(&out, kCaptionCheck, kMsgRepairDone, repair.marked, repair.freed);
  ShowOutcome(window, &out);
  LoadVolume(window);
  if (result == 0) ShowOutcomeStatus(window, &out);
  return result;
}
