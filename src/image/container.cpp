#include "image/container.h"

#include <cstdio>
#include <cstring>

#include "image/container_d88.h"
#include "image/container_flat.h"
#include "image/container_hfe.h"
#include "image/container_imd.h"
#include "image/container_scp.h"
#include "image/disk_model.h"
#include "image/image_source.h"

const ContainerKind* const kContainerKinds[] = {&kFlatContainer, &kD88Container, &kImdContainer,
                                                &kHfeContainer, &kScpContainer};
const int kContainerKindCount = sizeof kContainerKinds / sizeof kContainerKinds[0];

namespace {

const ContainerExtension* ExtensionOfFormat(int format, const ContainerKind** kind) {
  for (int k = 0; k < kContainerKindCount; k++)
    for (int e = 0; e < kContainerKinds[k]->extensionCount; e++)
      if (kContainerKinds[k]->extensions[e].format == format) {
        if (kind) *kind = kContainerKinds[k];
        return &kContainerKinds[k]->extensions[e];
      }
  return nullptr;
}

void Append(char* text, int capacity, const char* part) {
  const size_t used = std::strlen(text);
  if (used + 1 < static_cast<size_t>(capacity))
    std::snprintf(text + used, static_cast<size_t>(capacity) - used, "%s", part);
}

}  // namespace

const ContainerKind* ContainerForFormat(int format) {
  const ContainerKind* kind = nullptr;
  ExtensionOfFormat(format, &kind);
  return kind;
}

const char* ContainerFormatName(int format) {
  const ContainerExtension* row = ExtensionOfFormat(format, nullptr);
  return row ? row->formatName : nullptr;
}

void ContainerExtensionList(char* text, int capacity) {
  if (capacity <= 0) return;
  text[0] = '\0';
  int total = 0;
  for (int k = 0; k < kContainerKindCount; k++) total += kContainerKinds[k]->extensionCount;
  int n = 0;
  for (int k = 0; k < kContainerKindCount; k++)
    for (int e = 0; e < kContainerKinds[k]->extensionCount; e++, n++) {
      if (n > 0) Append(text, capacity, n == total - 1 ? " or " : ", ");
      Append(text, capacity, kContainerKinds[k]->extensions[e].extension);
    }
}

const ContainerKind* RecogniseContainer(const uint8_t* head, int64_t fileSize) {
  const ContainerKind* best = nullptr;
  int bestScore = 0;
  for (int k = 0; k < kContainerKindCount; k++) {
    const int score = kContainerKinds[k]->recognise(head, fileSize);
    if (score > bestScore) {
      best = kContainerKinds[k];
      bestScore = score;
    }
  }
  return best;
}

int ImageReadHead(const ImageTarget* target, uint8_t* head, int64_t* size) {
  ImageSource source;
  SourceBegin(&source, target);
  *size = SourceSize(&source);
  // The first stretch whole: a flat image's first track, a D88 image's first records.
  const int result =
      *size < 0 ? -1 : SourceRead(&source, 0, head, kContainerHeadBytes, kCacheStretchBytes);
  SourceEnd(&source);
  return result;
}

int ImageListDisks(const ImageTarget* target, ImageDisk* disks, int capacity) {
  if (!target->kind) return 0;
  ImageSource source;
  SourceBegin(&source, target);
  const int count = target->kind->listDisks(&source, disks, capacity);
  SourceEnd(&source);
  return count;
}

bool ImageWriteProtected(const ImageTarget* target) {
  if (!target->kind) return false;
  ImageSource source;
  SourceBegin(&source, target);
  const bool marked = target->kind->writeProtected(&source, target);
  SourceEnd(&source);
  return marked;
}

int LocateSector(const ImageTarget* target, int physicalTrack, int sector, SectorPlace* place) {
  if (!target->kind) return kPlaceError;
  ImageSource source;
  SourceBegin(&source, target);
  const int found = SourceOpen(&source) != 0
                        ? kPlaceError
                        : target->kind->locate(&source, target, physicalTrack, sector, place);
  SourceEnd(&source);
  return found;
}

int64_t ImageSize(const ImageTarget* target) {
  ImageSource source;
  SourceBegin(&source, target);
  const int64_t size = SourceSize(&source);
  SourceEnd(&source);
  return size;
}

int ImageCheckStructure(const ImageTarget* target, CheckFindings* findings) {
  ImageSource source;
  SourceBegin(&source, target);
  const int result = SourceOpen(&source);
  if (result == 0 && target->kind) target->kind->checkStructure(&source, target, findings);
  SourceEnd(&source);
  return result;
}

int ImageReadTrack(const ImageTarget* target, int physicalTrack, ModelTrack* track) {
  track->count = 0;
  if (!target->kind) return kTrackReadError;
  ImageSource source;
  SourceBegin(&source, target);
  const int result = SourceOpen(&source) != 0
                         ? kTrackReadError
                         : target->kind->readTrack(&source, target, physicalTrack, track);
  SourceEnd(&source);
  return result;
}
