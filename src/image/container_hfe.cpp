#include "image/container_hfe.h"

#include <algorithm>
#include <cstring>

#include "image/decoded_read.h"
#include "image/disk_model.h"
#include "image/image_source.h"
#include "image/journal.h"
#include "image/mfm.h"
#include "texts/texts.h"

namespace {

constexpr ContainerExtension kExtensions[] = {{".hfe", kFormatHfe, "HFE"}};
constexpr ContainerFilter kFilters[] = {{kFilterHfe, "*.hfe"}};

constexpr char kSignature[] = "HXCPICFE";
constexpr char kSignatureV3[] = "HXCHFEV3";
constexpr int kTrackBufferBytes = 65536;  // a track list length is 16 bits

unsigned Le16(const uint8_t* p) { return p[0] | (p[1] << 8); }

int Recognise(const uint8_t* head, int64_t) {
  return std::memcmp(head, kSignature, 8) == 0 || std::memcmp(head, kSignatureV3, 8) == 0 ? 100 : 0;
}

int ListDisks(ImageSource*, ImageDisk*, int) { return 0; }

int ReadHeader(ImageSource* source, uint8_t* header) {
  return SourceRead(source, 0, header, kHfeBlock, kHfeBlock);
}

// Where a cylinder's bit stream lies and what a read of one of its sides needs: the stream read
// whole, then the side's bytes gathered from its halves of the blocks.
// Each call that reads a side keeps one on its stack.
struct TrackWork {
  uint8_t raw[kTrackBufferBytes];
  uint8_t side[kTrackBufferBytes / 2];
  unsigned sideBytes;
  int64_t at;  // the file offset of the cylinder's stream
};

// The file offset of side byte `i` of the cylinder's stream at `at`.
int64_t SideOffset(int64_t at, int face, unsigned i) {
  return at + (i / 256) * kHfeBlock + face * 256 + i % 256;
}

// Reads the side of a physical track into work.side: kTrackRead (with work.sideBytes 0 for a track
// the file does not hold) or a failure.
int ReadSide(ImageSource* source, int physicalTrack, TrackWork& Work) {
  Work.sideBytes = 0;
  const int64_t fileSize = SourceSize(source);
  if (fileSize < 0) return kTrackReadError;
  uint8_t header[kHfeBlock];
  if (ReadHeader(source, header) != 0) return kTrackReadError;
  if (std::memcmp(header, kSignature, 8) != 0)
    return std::memcmp(header, kSignatureV3, 8) == 0 ? kTrackVersion : kTrackMalformed;
  if (header[8] != 0) return kTrackVersion;
  if (fileSize < kHfeBlock) return kTrackMalformed;
  const int cylinder = physicalTrack / 2;
  const int face = physicalTrack % 2;
  if (physicalTrack < 0 || cylinder >= header[kHfeTracksAt] || face >= header[kHfeSidesAt])
    return kTrackRead;
  const int64_t entry = static_cast<int64_t>(Le16(header + kHfeListAt)) * kHfeBlock + 4 * cylinder;
  if (entry + 4 > fileSize) return kTrackMalformed;
  uint8_t fields[4];
  if (SourceRead(source, entry, fields, 4, 4) != 0) return kTrackReadError;
  const int64_t at = static_cast<int64_t>(Le16(fields)) * kHfeBlock;
  const unsigned length = Le16(fields + 2);
  if (at < kHfeBlock || at + length > fileSize) return kTrackMalformed;
  if (SourceRead(source, at, Work.raw, length, length) != 0) return kTrackReadError;
  // A length that ends inside a block: the side's last bytes read as zero, never as a stale track.
  std::memset(Work.raw + length, 0, sizeof Work.raw - length);
  Work.sideBytes = length / 2;
  Work.at = at;
  for (unsigned i = 0; i < Work.sideBytes; i++) Work.side[i] = Work.raw[SideOffset(0, face, i)];
  return kTrackRead;
}

int ReadTrack(ImageSource* source, const ImageTarget*, int physicalTrack, ModelTrack* track) {
  track->count = 0;
  TrackWork Work;
  const int read = ReadSide(source, physicalTrack, Work);
  if (read != kTrackRead || Work.sideBytes == 0) return read;
  const int decoded = MfmDecodeTrack(Work.side, static_cast<int>(Work.sideBytes), track);
  return decoded == 0 ? kTrackRead : kTrackMalformed;
}

int Locate(ImageSource* source, const ImageTarget* target, int physicalTrack, int sector,
           SectorPlace* place) {
  ModelTrack track;
  const int read = ReadTrack(source, target, physicalTrack, &track);
  if (read == kTrackReadError) return kPlaceError;
  std::memset(place, 0, sizeof *place);
  return read == kTrackRead && ModelFindSector(&track, sector) ? kPlaceFound : kPlaceAbsent;
}

// A sector's data field is encoded anew in its own cells; the bytes of the stream that hold them
// go to the change, a piece for each half block they touch.
int QueueSector(ImageSource* source, const ImageTarget*, int physicalTrack, int sector,
                const uint8_t* data) {
  // A sector the image does not carry is not written, as in the other containers.
  TrackWork Work;
  if (ReadSide(source, physicalTrack, Work) != kTrackRead) return -1;
  if (Work.sideBytes == 0) return 0;
  MfmCellSpan span;
  ModelTrack track;
  const int rewritten =
      MfmRewriteData(Work.side, static_cast<int>(Work.sideBytes), sector, data, &track, &span);
  if (rewritten != 0) return rewritten == 1 ? 0 : -1;
  const int face = physicalTrack % 2;
  const unsigned first = static_cast<unsigned>(span.first / 8);
  const unsigned end = static_cast<unsigned>((span.end + 7) / 8);
  for (unsigned i = first; i < end;) {
    const unsigned piece = std::min(end, (i / 256 + 1) * 256) - i;
    const int64_t offset = SideOffset(Work.at, face, i);
    if (offset + piece > 0xFFFFFFFFll ||
        ImageChangeQueue(source->change, static_cast<uint32_t>(offset), Work.side + i, piece) != 0)
      return -1;
    i += piece;
  }
  return 0;
}

int CarriesRuns(ImageSource* source, const ImageTarget* target, const SectorRun* runs,
                int runCount) {
  ModelTrack track;
  return DecodedCarriesRuns(source, target, runs, runCount, &track);
}

bool WriteProtected(ImageSource* source, const ImageTarget*) {
  uint8_t header[kHfeBlock];
  return ReadHeader(source, header) == 0 && std::memcmp(header, kSignature, 8) == 0 &&
         header[kHfeWriteAllowedAt] == 0x00;
}

// Every track of the list lies inside the file and decodes.
void CheckStructure(ImageSource* source, const ImageTarget* target, CheckFindings* findings) {
  ModelTrack track;
  for (int p = 0; p < 2 * 255; p++) {
    const int read = ReadTrack(source, target, p, &track);
    if (read != kTrackRead) {
      AddFinding(findings, kCheckImageUnreadable, -1, -1, p, 0, 0);
      return;
    }
  }
}

// Writes an image of `cylinders` cylinders at `base`, the track of each physical track given by
// `trackOf`: the number of bytes written, or -1 on a write error.
int64_t WriteCylinders(ImageFile* file, uint32_t base, int cylinders, bool writeProtected,
                       const ModelTrack* (*trackOf)(const void* context, int physical,
                                                    ModelTrack* scratch),
                       const void* context) {
  uint8_t cells[2][kMfmCellBytes];
  uint8_t blocks[(kHfeTrackLength + kHfeBlock - 1) / kHfeBlock * kHfeBlock];
  ModelTrack scratch;
  uint8_t header[kHfeBlock];
  std::memset(header, 0xFF, sizeof header);
  std::memcpy(header, kSignature, 8);
  header[8] = 0;
  header[kHfeTracksAt] = static_cast<uint8_t>(cylinders);
  header[kHfeSidesAt] = 2;
  header[11] = 0;  // ISO/IBM MFM
  header[12] = 250 & 0xFF;
  header[13] = 0;
  header[14] = 300 & 0xFF;
  header[15] = 300 >> 8;
  header[16] = 7;  // generic Shugart DD
  header[18] = 1;  // the track list in block 1
  header[19] = 0;
  header[kHfeWriteAllowedAt] = writeProtected ? 0x00 : 0xFF;
  if (ImageFileWriteAt(file, base, header, sizeof header) != 0) return -1;
  uint8_t list[kHfeBlock];
  std::memset(list, 0xFF, sizeof list);
  const unsigned trackBlocks = sizeof blocks / kHfeBlock;
  const unsigned listBlocks = (4u * static_cast<unsigned>(cylinders) + kHfeBlock - 1) / kHfeBlock;
  const unsigned first = 1 + (listBlocks == 0 ? 1 : listBlocks);
  for (int c = 0; c < cylinders; c++) {
    const unsigned offset = first + static_cast<unsigned>(c) * trackBlocks;
    const unsigned slot = static_cast<unsigned>(c) * 4 % kHfeBlock;
    list[slot] = static_cast<uint8_t>(offset);
    list[slot + 1] = static_cast<uint8_t>(offset >> 8);
    list[slot + 2] = kHfeTrackLength & 0xFF;
    list[slot + 3] = kHfeTrackLength >> 8;
    if (slot + 4 == kHfeBlock || c == cylinders - 1) {
      const uint32_t listAt = base + kHfeBlock * (1 + static_cast<unsigned>(c) * 4 / kHfeBlock);
      if (ImageFileWriteAt(file, listAt, list, sizeof list) != 0) return -1;
      std::memset(list, 0xFF, sizeof list);
    }
    for (int face = 0; face < 2; face++)
      if (MfmEncodeTrack(trackOf(context, 2 * c + face, &scratch), cells[face]) != 0) return -1;
    std::memset(blocks, 0xFF, sizeof blocks);
    for (unsigned i = 0; i < kMfmCellBytes; i++)
      for (int face = 0; face < 2; face++)
        blocks[(i / 256) * kHfeBlock + face * 256 + i % 256] = cells[face][i];
    if (ImageFileWriteAt(file, base + offset * kHfeBlock, blocks, sizeof blocks) != 0) return -1;
  }
  if (cylinders == 0 && ImageFileWriteAt(file, base + kHfeBlock, list, sizeof list) != 0) return -1;
  return static_cast<int64_t>(first + static_cast<unsigned>(cylinders) * trackBlocks) * kHfeBlock;
}

const ModelTrack* DiskTrack(const void* context, int physical, ModelTrack*) {
  return &static_cast<const DiskModel*>(context)->tracks[physical];
}

int64_t WriteDisk(ImageFile* file, uint32_t base, const DiskModel* disk, const ContainerStamp*) {
  int cylinders = 0;
  for (int p = 0; p < kModelTracks; p++)
    if (disk->tracks[p].count > 0) cylinders = p / 2 + 1;
  return WriteCylinders(file, base, cylinders, disk->writeProtected, DiskTrack, disk);
}

// A blank track: sectors 1 to 16 in order, IDs of the physical track, data zero.
const ModelTrack* BlankTrack(const void*, int physical, ModelTrack* scratch) {
  ModelBlankTrack(scratch, physical);
  return scratch;
}

int WriteBlank(ImageFile* file, const char*, const ContainerStamp*) {
  return WriteCylinders(file, 0, kTrackCount / 2, false, BlankTrack, nullptr) < 0 ? -1 : 0;
}

}  // namespace

const ContainerKind kHfeContainer = {
    .name = "HFE",
    .format = kFormatHfe,
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
    .readTrack = ReadTrack,
    .writeDisk = WriteDisk,
    .keeps = kKeepsIds | kKeepsDeleted | kKeepsErrors | kKeepsAbsent | kKeepsProtection,
    .decoded = true,
    .queueSector = QueueSector,
};
