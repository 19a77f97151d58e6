#include "image/container_flat.h"

#include <cstring>

#include "image/image_source.h"
#include "texts/texts.h"

namespace {

constexpr ContainerExtension kExtensions[] = {{".2d", kFormat2D, "2D"}};
constexpr ContainerFilter kFilters[] = {{kFilterFlat, "*.2d"}};

// The file carries no mark of its own: a file of the whole size reads as flat, weaker than a
// header that reads as another kind's.
int Recognise(const uint8_t*, int64_t fileSize) { return fileSize == kFlatImageBytes ? 50 : 0; }

int ListDisks(ImageSource*, ImageDisk*, int) { return 0; }

// Every sector has its place, whatever the file's size: bytes beyond the end read as zero, and a
// write there lengthens the file.
int Locate(ImageSource*, const ImageTarget*, int physicalTrack, int sector, SectorPlace* place) {
  place->dataOffset =
      (static_cast<int64_t>(physicalTrack) * kSectorsPerTrack + sector - 1) * kSectorBytes;
  place->regionOffset = place->dataOffset;
  place->regionBytes = kSectorBytes;
  place->span = static_cast<unsigned>(kSectorsPerTrack - sector + 1) * kSectorBytes;
  return kPlaceFound;
}

int CarriesRuns(ImageSource*, const ImageTarget*, const SectorRun*, int) { return 1; }

int WriteBlank(ImageFile* file, const char*, const ContainerStamp*) {
  uint8_t track[kSectorsPerTrack * kSectorBytes];
  std::memset(track, 0, sizeof track);
  for (uint32_t p = 0; p < kTrackCount; p++)
    if (ImageFileWriteAt(file, p * static_cast<uint32_t>(sizeof track), track, sizeof track) != 0)
      return -1;
  return 0;
}

bool WriteProtected(ImageSource*, const ImageTarget*) { return false; }

void CheckStructure(ImageSource*, const ImageTarget*, CheckFindings*) {}

}  // namespace

const ContainerKind kFlatContainer = {
    .name = "2D",
    .format = kFormat2D,
    .extensions = kExtensions,
    .extensionCount = sizeof kExtensions / sizeof kExtensions[0],
    .filters = kFilters,
    .filterCount = sizeof kFilters / sizeof kFilters[0],
    .recognise = Recognise,
    .listDisks = ListDisks,
    .locate = Locate,
    .carriesRuns = CarriesRuns,
    .writeBlank = WriteBlank,
    .writeProtected = WriteProtected,
    .checkStructure = CheckStructure,
    .readTrack = FlatReadTrack,
    .writeDisk = FlatWriteDisk,
    .keeps = 0,
    .decoded = false,
    .queueSector = nullptr,
};
