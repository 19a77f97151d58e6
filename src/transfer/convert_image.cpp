#include "transfer/convert_image.h"

#include <cstring>

#include "image/disk_model.h"
#include "image/image_select.h"
#include "image/mfm.h"
#include "texts/texts.h"
#include "transfer/disk_copy.h"

namespace {

// Work areas of one command; only one command runs at a time.
CopySource Source;
DiskModel Model;

// The first sector of the track with the same number as `s` is `s` itself.
bool FirstOfItsNumber(const ModelTrack& track, const ModelSector& s) {
  for (int i = 0; i < track.count; i++)
    if (track.sectors[i].r == s.r && !(track.sectors[i].marks & kSectorAbsent))
      return &track.sectors[i] == &s;
  return false;
}

// A track with more sectors than the target's tracks carry: its physical number, or -1.
int OverfullTrack(const DiskModel& model, const ContainerKind* kind) {
  if (kind->format != kFormatHfe) return -1;
  for (int p = 0; p < kModelTracks; p++) {
    int n = 0;
    for (int i = 0; i < model.tracks[p].count; i++)
      n += !(model.tracks[p].sectors[i].marks & kSectorAbsent);
    if (n > kMfmSectorsMax) return p;
  }
  return -1;
}

}  // namespace

void CountLosses(DiskModel* model, const ContainerKind* kind, bool fill, ConvertLosses* losses) {
  const unsigned keeps = kind->keeps;
  for (int p = 0; p < kModelTracks; p++) {
    const ModelTrack& track = model->tracks[p];
    for (int i = 0; i < track.count; i++) {
      const ModelSector& s = track.sectors[i];
      if (s.marks & kSectorAbsent) continue;
      if (!(keeps & kKeepsIds)) {
        if (p >= kTrackCount) {
          losses->tracks++;
          continue;
        }
        if (s.r < 1 || s.r > kSectorsPerTrack || !FirstOfItsNumber(track, s)) {
          losses->ids++;
          continue;
        }
        if (s.c != p / 2 || s.h != p % 2) losses->ids++;
      }
      if ((s.marks & kSectorDeleted) && !(keeps & kKeepsDeleted)) losses->deleted++;
      if ((s.marks & (kSectorError | kSectorCrcBad)) && !(keeps & kKeepsErrors)) losses->errors++;
    }
    // A flat track holds sectors 1-16 whatever the source had; other kinds keep a sector missing.
    if (p < kTrackCount)
      for (int r = 1; r <= kSectorsPerTrack; r++) {
        if (ModelFindSector(&track, r)) continue;
        if (keeps & kKeepsAbsent)
          losses->missing++;
        else
          (fill ? losses->filled : losses->absent)++;
      }
  }
  if (!(keeps & kKeepsName) && model->name[0] != '\0') losses->name = true;
  if (!(keeps & kKeepsProtection) && model->writeProtected) losses->protection = true;
}

void ChangeConvention(DiskModel* model) {
  ModelTrack swap;
  for (int p = 0; p + 1 < kModelTracks; p += 2) {
    swap = model->tracks[p];
    model->tracks[p] = model->tracks[p + 1];
    model->tracks[p + 1] = swap;
  }
  for (int p = 0; p < kModelTracks; p++)
    for (int i = 0; i < model->tracks[p].count; i++) {
      ModelSector& s = model->tracks[p].sectors[i];
      s.c = static_cast<uint8_t>(p / 2);
      s.h = static_cast<uint8_t>(p % 2);
      for (uint8_t& b : s.data) b = static_cast<uint8_t>(~b);
    }
}

bool SayLosses(Outcome* out, const ContainerKind* kind, const ConvertLosses& losses) {
  bool any = false;
  auto count = [&](int n, const char* text) {
    if (n <= 0) return;
    any = true;
    Say(out, kCaptionConvertLoss, text, n, kind->name);
  };
  count(losses.deleted, kLossDeleted);
  count(losses.errors, kLossErrors);
  count(losses.ids, kLossIds);
  count(losses.tracks, kLossTracks);
  // Missing in the source and in the copy alike: told, but nothing is lost.
  if (losses.missing > 0) Say(out, kCaptionConvert, kLossMissing, losses.missing, kind->name);
  if (losses.filled > 0) {
    any = true;
    Say(out, kCaptionConvertLoss, kLossFilled, losses.filled);
  }
  if (losses.name) {
    any = true;
    Say(out, kCaptionConvertLoss, kLossName);
  }
  if (losses.protection) {
    any = true;
    Say(out, kCaptionConvertLoss, kLossProtection);
  }
  return any;
}

int ConvertImage(Outcome* out, const ConvertRequest& request, ConvertLosses* lossesOut) {
  ConvertLosses losses{};
  if (lossesOut) *lossesOut = losses;
  const ContainerKind* kind = ContainerForFormat(FormatForPath(request.targetPath));
  if (!kind || !kind->writeDisk) {  // a kind only read (SCP) is no target either
    Say(out, kCaptionError, kMsgConvertNoContainer, request.targetPath);
    return -1;
  }
  if (CopySourceOpen(out, request.sourcePath, request.machineMode, &Source) != 0) return -1;
  int first = 0;
  int last = Source.diskCount - 1;
  if (request.disk >= 0) {
    if (request.disk >= Source.diskCount) {
      Say(out, kCaptionError, kMsgConvertNoDisk, request.disk, Source.diskCount - 1);
      return -1;
    }
    first = last = request.disk;
  } else if (Source.diskCount > 1 && !(kind->keeps & kKeepsDisks)) {
    Say(out, kCaptionError, kMsgConvertPickDisk, request.sourcePath, Source.diskCount);
    return -1;
  }
  CopyTarget target;
  target.file.handle = -1;
  if (!request.dryRun && CopyTargetBegin(out, request.targetPath, request.replace, &target) != 0)
    return -1;
  for (int d = first; d <= last; d++) {
    if (CopySourceLoad(out, &Source, d, &Model) != 0) {
      CopyTargetEnd(out, &target, false, false);
      return -1;
    }
    if (request.toMode != request.machineMode) ChangeConvention(&Model);
    const int overfull = OverfullTrack(Model, kind);
    if (overfull >= 0) {
      Say(out, kCaptionError, kMsgConvertTooMany, overfull, kind->name);
      CopyTargetEnd(out, &target, false, false);
      return -1;
    }
    CountLosses(&Model, kind, request.fill, &losses);
    if (losses.absent > 0) {
      Say(out, kCaptionError, kMsgConvertAbsent, losses.absent);
      CopyTargetEnd(out, &target, false, false);
      return -1;
    }
    if (!request.dryRun && CopyTargetWrite(out, &target, kind, &Model, &request.stamp) != 0)
      return -1;
  }
  if (lossesOut) *lossesOut = losses;
  const bool lost = SayLosses(out, kind, losses);
  if (request.strict && lost) {
    Say(out, kCaptionError, kMsgConvertStrict);
    CopyTargetEnd(out, &target, false, false);
    return -1;
  }
  return request.dryRun ? 0 : CopyTargetEnd(out, &target, true, request.replace);
}

int JoinImages(Outcome* out, const char* targetPath, const char* const* sources, int sourceCount,
               bool replace) {
  const ContainerKind* kind = ContainerForFormat(FormatForPath(targetPath));
  if (!kind || !(kind->keeps & kKeepsDisks)) {
    Say(out, kCaptionError, kMsgJoinNotD88, targetPath);
    return -1;
  }
  CopyTarget target;
  if (CopyTargetBegin(out, targetPath, replace, &target) != 0) return -1;
  const ContainerStamp stamp{};
  int disks = 0;
  for (int i = 0; i < sourceCount; i++) {
    if (CopySourceOpen(out, sources[i], kModePc, &Source) != 0) {
      CopyTargetEnd(out, &target, false, false);
      return -1;
    }
    for (int d = 0; d < Source.diskCount; d++) {
      if (++disks > kMaxImageDisks) {
        Say(out, kCaptionError, kMsgJoinTooMany, kMaxImageDisks);
        CopyTargetEnd(out, &target, false, false);
        return -1;
      }
      if (CopySourceLoad(out, &Source, d, &Model) != 0) {
        CopyTargetEnd(out, &target, false, false);
        return -1;
      }
      if (CopyTargetWrite(out, &target, kind, &Model, &stamp) != 0) return -1;
    }
  }
  return CopyTargetEnd(out, &target, true, replace);
}
