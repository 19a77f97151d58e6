#include "image/container_scp.h"

#include <cstring>

#include "image/decoded_read.h"
#include "image/disk_model.h"
#include "image/image_source.h"
#include "image/scp_decode.h"
#include "texts/texts.h"

namespace {

constexpr ContainerExtension kExtensions[] = {{".scp", kFormatScp, "SCP"}};
constexpr ContainerFilter kFilters[] = {{kFilterScp, "*.scp"}};

int Recognise(const uint8_t* head, int64_t) { return std::memcmp(head, "SCP", 3) == 0 ? 100 : 0; }

int ListDisks(ImageSource*, ImageDisk*, int) { return 0; }

int TrackResult(int scp) {
  switch (scp) {
    case kScpOk: return kTrackRead;
    case kScpUnsupported: return kTrackVersion;
    case kScpMalformed: return kTrackMalformed;
    default: return kTrackReadError;
  }
}

int ReadTrack(ImageSource* source, const ImageTarget*, int physicalTrack, ModelTrack* track) {
  track->count = 0;
  ScpHeader header;
  const int read = ScpReadHeader(source, &header);
  if (read != kScpOk) return TrackResult(read);
  const int entry = ScpEntryOfTrack(source, header, physicalTrack);
  return TrackResult(
      ScpDecodeEntry(source, header, entry, physicalTrack / 2, physicalTrack % 2, track, nullptr));
}

int Locate(ImageSource* source, const ImageTarget* target, int physicalTrack, int sector,
           SectorPlace* place) {
  ModelTrack track;
  const int read = ReadTrack(source, target, physicalTrack, &track);
  if (read == kTrackReadError) return kPlaceError;
  std::memset(place, 0, sizeof *place);
  return read == kTrackRead && ModelFindSector(&track, sector) ? kPlaceFound : kPlaceAbsent;
}

int CarriesRuns(ImageSource* source, const ImageTarget* target, const SectorRun* runs,
                int runCount) {
  ModelTrack work;
  return DecodedCarriesRuns(source, target, runs, runCount, &work);
}

bool WriteProtected(ImageSource*, const ImageTarget*) { return false; }

// The header, and every recorded track decodes.
void CheckStructure(ImageSource* source, const ImageTarget* target, CheckFindings* findings) {
  ModelTrack track;
  for (int p = 0; p < kModelTracks; p++)
    if (ReadTrack(source, target, p, &track) != kTrackRead) {
      AddFinding(findings, kCheckImageUnreadable, -1, -1, p, 0, 0);
      return;
    }
}

}  // namespace

const ContainerKind kScpContainer = {
    .name = "SCP",
    .format = kFormatScp,
    .extensions = kExtensions,
    .extensionCount = sizeof kExtensions / sizeof kExtensions[0],
    .filters = kFilters,
    .filterCount = sizeof kFilters / sizeof kFilters[0],
    .recognise = Recognise,
    .listDisks = ListDisks,
    .locate = Locate,
    .carriesRuns = CarriesRuns,
    .writeBlank = nullptr,
    .writeProtected = WriteProtected,
    .checkStructure = CheckStructure,
    .readTrack = ReadTrack,
    .writeDisk = nullptr,
    .keeps = kKeepsIds | kKeepsDeleted | kKeepsErrors | kKeepsAbsent,
    .decoded = true,
    .queueSector = nullptr,
    .readOnlyText = kMsgScpReadOnly,
};
