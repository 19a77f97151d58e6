#include "image/mfm.h"

#include <cstring>

#include "image/crc16.h"

namespace {

struct CellWriter {
  uint8_t* cells;
  int position;  // in cells
  int previous;  // the last data bit written
};

void PutCell(CellWriter* w, int bit) {
  if (bit) w->cells[w->position >> 3] |= static_cast<uint8_t>(1u << (w->position & 7));
  w->position++;
}

void PutByte(CellWriter* w, uint8_t value) {
  for (int i = 7; i >= 0; i--) {
    const int data = (value >> i) & 1;
    PutCell(w, !w->previous && !data);
    PutCell(w, data);
    w->previous = data;
  }
}

void PutRun(CellWriter* w, uint8_t value, int count) {
  for (int i = 0; i < count; i++) PutByte(w, value);
}

// A byte with a missing clock, its 16 cells as given; its last data bit is the word's last cell.
void PutSync(CellWriter* w, uint16_t word) {
  for (int i = 15; i >= 0; i--) PutCell(w, (word >> i) & 1);
  w->previous = word & 1;
}

void PutField(CellWriter* w, const uint8_t* bytes, int count) {
  for (int i = 0; i < count; i++) PutByte(w, bytes[i]);
}

constexpr uint8_t kSyncBytes[3] = {0xA1, 0xA1, 0xA1};

uint16_t FieldCrc(uint8_t mark, const uint8_t* bytes, int count) {
  uint16_t crc = Crc16(kSyncBytes, 3);
  crc = Crc16(&mark, 1, crc);
  return Crc16(bytes, static_cast<size_t>(count), crc);
}

// Sync bytes, the mark, the field and its CRC (inverted when it is to read as bad).
void PutMarkedField(CellWriter* w, uint8_t mark, const uint8_t* bytes, int count, bool badCrc) {
  PutRun(w, 0x00, 12);
  for (int i = 0; i < 3; i++) PutSync(w, kMfmSyncA1);
  PutByte(w, mark);
  PutField(w, bytes, count);
  uint16_t crc = FieldCrc(mark, bytes, count);
  if (badCrc) crc = static_cast<uint16_t>(~crc);
  PutByte(w, static_cast<uint8_t>(crc >> 8));
  PutByte(w, static_cast<uint8_t>(crc));
}

bool Encodable(const ModelSector& s) { return !(s.marks & (kSectorAbsent | kSectorOtherSize)); }

struct CellReader {
  const uint8_t* cells;
  int64_t total;  // cells
};

int Cell(const CellReader* r, int64_t at) { return (r->cells[at >> 3] >> (at & 7)) & 1; }

uint16_t Word(const CellReader* r, int64_t at) {
  uint16_t word = 0;
  for (int i = 0; i < 16; i++) word = static_cast<uint16_t>((word << 1) | Cell(r, at + i));
  return word;
}

// The data bits of the 16 cells at `at`.
uint8_t DataByte(const CellReader* r, int64_t at) {
  uint8_t value = 0;
  for (int i = 0; i < 8; i++) value = static_cast<uint8_t>((value << 1) | Cell(r, at + 2 * i + 1));
  return value;
}

void ReadBytes(const CellReader* r, int64_t at, uint8_t* out, int count) {
  for (int i = 0; i < count; i++) out[i] = DataByte(r, at + 16 * i);
}

}  // namespace

int MfmEncodeTrack(const ModelTrack* track, uint8_t* cells) {
  int encodable = 0;
  for (int i = 0; i < track->count; i++) encodable += Encodable(track->sectors[i]);
  if (encodable > kMfmSectorsMax) return -1;
  std::memset(cells, 0, kMfmCellBytes);
  CellWriter w{cells, 0, 0};
  PutRun(&w, 0x4E, 80);
  PutRun(&w, 0x00, 12);
  for (int i = 0; i < 3; i++) PutSync(&w, kMfmSyncC2);
  PutByte(&w, 0xFC);
  PutRun(&w, 0x4E, 50);
  for (int i = 0; i < track->count; i++) {
    const ModelSector& s = track->sectors[i];
    if (!Encodable(s)) continue;
    const uint8_t id[4] = {s.c, s.h, s.r, s.n};
    PutMarkedField(&w, 0xFE, id, 4, false);
    PutRun(&w, 0x4E, 22);
    PutMarkedField(&w, (s.marks & kSectorDeleted) ? 0xF8 : 0xFB, s.data, 256,
                   (s.marks & (kSectorError | kSectorCrcBad)) != 0);
    PutRun(&w, 0x4E, 54);
  }
  while (w.position < kMfmTrackBytes * 16) PutByte(&w, 0x4E);
  return 0;
}

namespace {

// Decodes the track; with `dataAt`, the cell where each sector's data field (its first data byte)
// begins, in the order of the sectors.
int DecodeCells(const uint8_t* cells, int count, ModelTrack* track, int64_t* dataAt) {
  track->count = 0;
  const CellReader r{cells, static_cast<int64_t>(count) * 8};
  uint16_t shift = 0;
  bool haveId = false;
  uint8_t id[4] = {};
  for (int64_t at = 0; at < r.total;) {
    shift = static_cast<uint16_t>((shift << 1) | Cell(&r, at++));
    // Three A1 syncs in a row, then the mark.
    if (shift != kMfmSyncA1 || at + 48 > r.total || Word(&r, at) != kMfmSyncA1 ||
        Word(&r, at + 16) != kMfmSyncA1)
      continue;
    int64_t p = at + 32;
    const uint8_t mark = DataByte(&r, p);
    p += 16;
    if (mark == 0xFE) {
      if (p + 6 * 16 > r.total) break;
      uint8_t field[6];
      ReadBytes(&r, p, field, 6);
      haveId = FieldCrc(mark, field, 4) == ((field[4] << 8) | field[5]);
      if (haveId) std::memcpy(id, field, 4);
      at = p + 6 * 16;
      shift = 0;
      continue;
    }
    if ((mark != 0xFB && mark != 0xF8) || !haveId) continue;
    haveId = false;
    if (track->count == kModelSectors) return -1;
    ModelSector& s = track->sectors[track->count];
    std::memset(&s, 0, sizeof s);
    s.c = id[0];
    s.h = id[1];
    s.r = id[2];
    s.n = id[3];
    if (mark == 0xF8) s.marks |= kSectorDeleted;
    if (s.n != 1) {
      s.marks |= kSectorOtherSize;
      track->count++;
      continue;
    }
    if (p + 258 * 16 > r.total) return -2;
    if (dataAt) dataAt[track->count] = p;
    uint8_t crc[2];
    ReadBytes(&r, p, s.data, 256);
    ReadBytes(&r, p + 256 * 16, crc, 2);
    if (FieldCrc(mark, s.data, 256) != ((crc[0] << 8) | crc[1])) s.marks |= kSectorCrcBad;
    track->count++;
    at = p + 258 * 16;
    shift = 0;
  }
  return 0;
}

void SetCell(uint8_t* cells, int64_t at, int bit) {
  const uint8_t mask = static_cast<uint8_t>(1u << (at & 7));
  cells[at >> 3] = static_cast<uint8_t>(bit ? cells[at >> 3] | mask : cells[at >> 3] & ~mask);
}

}  // namespace

int MfmDecodeTrack(const uint8_t* cells, int count, ModelTrack* track) {
  return DecodeCells(cells, count, track, nullptr);
}

int MfmRewriteData(uint8_t* cells, int count, int sector, const uint8_t* data, ModelTrack* work,
                   MfmCellSpan* span) {
  int64_t dataAt[kModelSectors];
  if (DecodeCells(cells, count, work, dataAt) != 0) return -1;
  const ModelSector* found = ModelFindSector(work, sector);
  if (!found) return 1;
  const int64_t start = dataAt[found - work->sectors];
  const uint8_t mark = (found->marks & kSectorDeleted) ? 0xF8 : 0xFB;
  uint8_t field[258];
  std::memcpy(field, data, 256);
  const uint16_t crc = FieldCrc(mark, data, 256);
  field[256] = static_cast<uint8_t>(crc >> 8);
  field[257] = static_cast<uint8_t>(crc);
  // Each data bit's clock cell follows from the bit before it, the mark's last bit first.
  int previous = mark & 1;
  int64_t at = start;
  for (int i = 0; i < 258; i++) {
    for (int b = 7; b >= 0; b--) {
      const int bit = (field[i] >> b) & 1;
      SetCell(cells, at++, !previous && !bit);
      SetCell(cells, at++, bit);
      previous = bit;
    }
  }
  // The clock cell of the byte after the CRC depends on the CRC's last bit.
  const int64_t total = static_cast<int64_t>(count) * 8;
  int64_t end = at;
  if (at + 1 < total) {
    const CellReader r{cells, total};
    SetCell(cells, at, !previous && !Cell(&r, at + 1));
    end = at + 1;
  }
  span->first = start;
  span->end = end;
  return 0;
}
