#include "image/scp_decode.h"

#include <cstring>

#include "image/disk_model.h"
#include "image/mfm.h"

namespace {

constexpr int64_t kFixed = 65536;     // the PLL's times: ticks × 65,536
constexpr int kCellCapacity = 14000;  // bytes of cells a revolution may fill (112,000 cells)
constexpr int kFluxChunk = 2048;
constexpr int64_t kMinimumCell = 4 * kFixed;  // ticks      // bytes of flux values read at once
// How much of a transition's phase error moves the cell's length (in 1/10,000) and its boundary
// (in %): low gains average the jitter of many transitions and still follow a drifting speed.
constexpr int kPeriodGain = 10;
constexpr int kPhasePercent = 5;
constexpr int kClockRangePercent = 12;  // how far the cell may stray from the nominal one
constexpr int kCopiesKept = 6;          // distinct copies of a sector weighed against each other

uint32_t Le32At(const uint8_t* p) { return Le32(p); }

// Where a revolution lies, as the track's header gives it.
struct Revolution {
  uint32_t duration;  // ticks
  uint32_t count;     // flux values
  uint32_t offset;    // of the values, from the track's "TRK"
};

// Reads the track header of `entry` and its revolutions (at most `capacity` of them).
int ReadTrackHeader(ImageSource* source, const ScpHeader& header, int entry, Revolution* revs,
                    int capacity) {
  const int64_t size = SourceSize(source);
  if (size < 0) return kScpReadError;
  const int64_t at = header.offsets[entry];
  uint8_t head[kScpTrackHeaderBytes];
  if (SourceRead(source, at, head, sizeof head, sizeof head) != 0) return kScpReadError;
  if (std::memcmp(head, "TRK", 3) != 0) return kScpMalformed;
  if (head[3] != entry && !(header.heads != 0 && head[3] == entry / 2)) return kScpMalformed;
  const int count = header.revolutions < capacity ? header.revolutions : capacity;
  for (int r = 0; r < count; r++) {
    uint8_t fields[kScpRevolutionBytes];
    if (SourceRead(source, at + kScpTrackHeaderBytes + r * kScpRevolutionBytes, fields,
                   sizeof fields, sizeof fields) != 0)
      return kScpReadError;
    revs[r] = {Le32At(fields), Le32At(fields + 4), Le32At(fields + 8)};
    if (at + revs[r].offset + 2 * static_cast<int64_t>(revs[r].count) > size) return kScpMalformed;
  }
  return kScpOk;
}

// Decodes one revolution's flux into cells and the cells into sectors.
int DecodeRevolution(ImageSource* source, const ScpHeader& header, int64_t trackAt,
                     const Revolution& rev, uint8_t* cells, ModelTrack* track) {
  track->count = 0;
  int64_t nominal = 2000 * kFixed / header.tickNs;  // 2 µs when the duration says nothing
  if (rev.duration != 0)
    nominal = static_cast<int64_t>(rev.duration) * kFixed / kScpCellsPerRevolution;
  if (nominal < kMinimumCell) return kScpOk;  // no cell that short is read
  std::memset(cells, 0, kCellCapacity);
  ScpPll pll;
  ScpPllBegin(&pll, nominal);
  uint8_t chunk[kFluxChunk];
  uint32_t carry = 0;  // the overflows of a value that continues
  const int64_t bytes = 2 * static_cast<int64_t>(rev.count);
  for (int64_t done = 0; done < bytes && pll.cells < kCellCapacity * 8;) {
    const unsigned n = static_cast<unsigned>(bytes - done < kFluxChunk ? bytes - done : kFluxChunk);
    if (SourceRead(source, trackAt + rev.offset + done, chunk, n, n) != 0) return kScpReadError;
    for (unsigned i = 0; i + 1 < n; i += 2) {
      const uint32_t value = (chunk[i] << 8) | chunk[i + 1];
      if (value == 0) {
        carry += 65536;
        continue;
      }
      ScpPllFeed(&pll, carry + value, cells, kCellCapacity);
      carry = 0;
    }
    done += n;
  }
  int64_t used = (pll.cells + 7) / 8;
  if (used > kCellCapacity) used = kCellCapacity;
  // A data field cut off by the end of the revolution keeps the sectors before it.
  MfmDecodeTrack(cells, static_cast<int>(used), track);
  return kScpOk;
}

uint64_t Hash(const ModelSector& s) {
  uint64_t h = 0xCBF29CE484222325ull ^ (s.marks & kSectorDeleted);
  for (uint8_t b : s.data) h = (h ^ b) * 0x100000001B3ull;
  return h;
}

// The copies of one sector the revolutions gave.
struct Copy {
  uint64_t hash;
  int seen;      // revolutions that gave it
  int good;      // of those, with a sound data CRC
  int firstRev;  // the first revolution that gave it
};
struct Vote {
  uint8_t c, h, r, n;
  int ordinal;  // among the sectors of the same ID in one revolution
  int copies;
  Copy copy[kCopiesKept];
  int leader;        // the copy the track holds
  int firstGoodRev;  // the first revolution with a sound copy, or -1
  bool goodDropped;  // a sound copy did not fit among the copies kept
};

bool Outranks(const Copy& a, const Copy& b) {
  if ((a.good > 0) != (b.good > 0)) return a.good > 0;
  const int ca = a.good > 0 ? a.good : a.seen;
  const int cb = b.good > 0 ? b.good : b.seen;
  if (ca != cb) return ca > cb;
  return a.firstRev < b.firstRev;
}

bool SameId(const Vote& v, const ModelSector& s) {
  return v.c == s.c && v.h == s.h && v.r == s.r && v.n == s.n;
}

// Weighs revolution `rev`'s sectors into the track; a sector not seen before goes after the one
// that precedes it in this revolution.
void Merge(const ModelTrack& got, int rev, ModelTrack* track, Vote* votes) {
  int previous = -1;
  for (int i = 0; i < got.count; i++) {
    const ModelSector& s = got.sectors[i];
    int ordinal = 0;
    for (int j = 0; j < i; j++)
      ordinal += got.sectors[j].c == s.c && got.sectors[j].h == s.h && got.sectors[j].r == s.r &&
                 got.sectors[j].n == s.n;
    int at = -1;
    for (int k = 0; k < track->count && at < 0; k++)
      if (SameId(votes[k], s) && votes[k].ordinal == ordinal) at = k;
    if (at < 0) {
      if (track->count == kModelSectors) continue;
      at = previous + 1;
      for (int k = track->count; k > at; k--) {
        track->sectors[k] = track->sectors[k - 1];
        votes[k] = votes[k - 1];
      }
      track->count++;
      track->sectors[at] = s;
      Vote& v = votes[at];
      std::memset(&v, 0, sizeof v);
      v.c = s.c;
      v.h = s.h;
      v.r = s.r;
      v.n = s.n;
      v.ordinal = ordinal;
      v.leader = -1;
      v.firstGoodRev = -1;
    }
    previous = at;
    if (s.marks & kSectorOtherSize) continue;
    Vote& v = votes[at];
    const bool good = !(s.marks & kSectorCrcBad);
    const uint64_t hash = Hash(s);
    int c = 0;
    while (c < v.copies && v.copy[c].hash != hash) c++;
    if (c == v.copies) {
      if (v.copies == kCopiesKept) {
        v.goodDropped = v.goodDropped || good;
        continue;
      }
      v.copy[v.copies++] = {hash, 0, 0, rev};
    }
    v.copy[c].seen++;
    v.copy[c].good += good;
    if (good && v.firstGoodRev < 0) v.firstGoodRev = rev;
    if (v.leader != c && (v.leader < 0 || Outranks(v.copy[c], v.copy[v.leader]))) {
      v.leader = c;
      track->sectors[at] = s;
    }
  }
}

// Marks the bad sectors and counts what the revolutions gave.
void Settle(ModelTrack* track, const Vote* votes, int cylinder, int head, ScpTrackReport* report) {
  for (int k = 0; k < track->count; k++) {
    ModelSector& s = track->sectors[k];
    const Vote& v = votes[k];
    report->found++;
    if (s.c != cylinder || s.h != head || s.r < 1 || s.r > 16 || s.n != 1) report->outside++;
    if (s.marks & kSectorOtherSize) continue;
    int goodCopies = v.goodDropped ? 1 : 0;
    for (int c = 0; c < v.copies; c++) goodCopies += v.copy[c].good > 0;
    s.marks &= static_cast<uint8_t>(~kSectorCrcBad);
    if (goodCopies != 1) {
      s.marks |= kSectorError;
      report->bad++;
    } else if (v.firstGoodRev == 0) {
      report->goodFirst++;
    } else {
      report->recovered++;
    }
  }
}

struct TrackWork {
  uint8_t cells[kCellCapacity];
  ModelTrack revolution;
  Vote votes[kModelSectors];
};

// Whether the first revolution of `entry` holds any sector.
bool EntryHasSectors(ImageSource* source, const ScpHeader& header, int entry) {
  if (entry >= kScpTableEntries || header.offsets[entry] == 0) return false;
  Revolution rev;
  if (ReadTrackHeader(source, header, entry, &rev, 1) != kScpOk) return false;
  uint8_t cells[kCellCapacity];
  ModelTrack got;
  return DecodeRevolution(source, header, header.offsets[entry], rev, cells, &got) == kScpOk &&
         got.count > 0;
}

}  // namespace

void ScpPllBegin(ScpPll* pll, int64_t nominal) {
  pll->clock = nominal;
  pll->nominal = nominal;
  pll->flux = 0;
  pll->cells = 0;
}

void ScpPllFeed(ScpPll* pll, uint32_t ticks, uint8_t* cells, int capacity) {
  pll->flux += static_cast<int64_t>(ticks) * kFixed;
  // A pulse too close to the last one is noise: its time goes to the next.
  if (pll->flux < pll->clock / 2) return;
  // The cells the interval spans: the transition lies within half a cell of the last boundary.
  pll->flux -= pll->clock;
  int64_t zeros = 0;
  if (pll->flux >= pll->clock / 2) {
    zeros = (pll->flux - pll->clock / 2) / pll->clock + 1;
    pll->flux -= zeros * pll->clock;
  }
  // pll->flux is now how far the transition lies from the boundary of its cell. In step with the
  // cells (a short run of zeros), the error moves the cell's length; after a long run the length
  // drifts back toward the nominal one.
  if (zeros <= 3)
    pll->clock += pll->flux * kPeriodGain / 10000;
  else
    pll->clock += (pll->nominal - pll->clock) * kPeriodGain / 10000;
  const int64_t low = pll->nominal * (100 - kClockRangePercent) / 100;
  const int64_t high = pll->nominal * (100 + kClockRangePercent) / 100;
  if (pll->clock < low) pll->clock = low;
  if (pll->clock > high) pll->clock = high;
  pll->flux = pll->flux * (100 - kPhasePercent) / 100;
  pll->cells += zeros;
  const int64_t at = pll->cells++;
  if (at < static_cast<int64_t>(capacity) * 8)
    cells[at >> 3] = static_cast<uint8_t>(cells[at >> 3] | (1u << (at & 7)));
}

int ScpReadHeader(ImageSource* source, ScpHeader* header) {
  const int64_t size = SourceSize(source);
  if (size < 0) return kScpReadError;
  uint8_t head[kScpTableAt + 4 * kScpTableEntries];
  if (size < static_cast<int64_t>(sizeof head)) return kScpMalformed;
  if (SourceRead(source, 0, head, sizeof head, sizeof head) != 0) return kScpReadError;
  if (std::memcmp(head, "SCP", 3) != 0) return kScpMalformed;
  if (head[9] != 0 && head[9] != 16) return kScpUnsupported;
  header->revolutions = head[5];
  header->firstTrack = head[6];
  header->lastTrack = head[7];
  header->flags = head[8];
  header->heads = head[10];
  header->tickNs = (head[11] + 1) * 25;
  header->checksum = Le32At(head + 12);
  if (header->revolutions == 0 || header->heads > 2) return kScpMalformed;
  for (int i = 0; i < kScpTableEntries; i++) {
    header->offsets[i] = Le32At(head + kScpTableAt + 4 * i);
    const int64_t end = static_cast<int64_t>(header->offsets[i]) + kScpTrackHeaderBytes +
                        kScpRevolutionBytes * header->revolutions;
    if (header->offsets[i] != 0 && (header->offsets[i] < sizeof head || end > size))
      return kScpMalformed;
  }
  return kScpOk;
}

int ScpEntryOfTrack(ImageSource* source, const ScpHeader& header, int physicalTrack) {
  if (physicalTrack < 0) return -1;
  int cylinder = physicalTrack / 2;
  const int side = physicalTrack % 2;
  // A 48 tpi disk read in a 96 tpi drive: its tracks are on the even cylinders, the odd ones
  // between them hold nothing.
  if ((header.flags & kScpFlag96Tpi) && !EntryHasSectors(source, header, 2) &&
      !EntryHasSectors(source, header, 3))
    cylinder *= 2;
  const int entry = 2 * cylinder + side;
  return entry < kScpTableEntries ? entry : -1;
}

int ScpDecodeEntry(ImageSource* source, const ScpHeader& header, int entry, int cylinder, int head,
                   ModelTrack* track, ScpTrackReport* report) {
  ScpTrackReport counts{};
  track->count = 0;
  if (report) *report = counts;
  if (entry < 0 || entry >= kScpTableEntries || header.offsets[entry] == 0) return kScpOk;
  counts.recorded = true;
  counts.revolutions = header.revolutions;
  TrackWork work;
  for (int r = 0; r < header.revolutions; r++) {
    Revolution rev;
    const int64_t at = header.offsets[entry];
    uint8_t fields[kScpRevolutionBytes];
    if (r == 0) {
      const int read = ReadTrackHeader(source, header, entry, &rev, 1);
      if (read != kScpOk) return read;
    } else {
      if (SourceRead(source, at + kScpTrackHeaderBytes + r * kScpRevolutionBytes, fields,
                     sizeof fields, sizeof fields) != 0)
        return kScpReadError;
      rev = {Le32At(fields), Le32At(fields + 4), Le32At(fields + 8)};
      if (at + rev.offset + 2 * static_cast<int64_t>(rev.count) > SourceSize(source))
        return kScpMalformed;
    }
    const int decoded = DecodeRevolution(source, header, at, rev, work.cells, &work.revolution);
    if (decoded != kScpOk) return decoded;
    Merge(work.revolution, r, track, work.votes);
  }
  Settle(track, work.votes, cylinder, head, &counts);
  if (report) *report = counts;
  return kScpOk;
}

int ScpSumBytes(ImageSource* source, uint32_t* sum) {
  const int64_t size = SourceSize(source);
  if (size < 0) return -1;
  uint32_t total = 0;
  uint8_t chunk[kFluxChunk];
  for (int64_t at = kScpTableAt; at < size;) {
    const unsigned n = static_cast<unsigned>(size - at < kFluxChunk ? size - at : kFluxChunk);
    if (SourceRead(source, at, chunk, n, n) != 0) return -1;
    for (unsigned i = 0; i < n; i++) total += chunk[i];
    at += n;
  }
  *sum = total;
  return 0;
}
