// The track codec against known answers: the CRC of an ID field, and tracks the encoder makes,
// read back by the reference reader of the tests (bits as text, fields found by their sync
// patterns), apart from the decoder under test.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "image/crc16.h"
#include "image/mfm.h"
#include "support/mfm_reference.h"

namespace {

using mfmref::CellText;
using mfmref::DataAt;
using mfmref::Field;
using mfmref::Fields;

ModelTrack SampleTrack() {
  ModelTrack track{};
  for (int i = 0; i < 16; i++) {
    ModelSector& s = track.sectors[track.count++];
    s.c = 7;
    s.h = 1;
    s.r = static_cast<uint8_t>(16 - i);  // any order the source had
    s.n = 1;
    for (int b = 0; b < 256; b++) s.data[b] = static_cast<uint8_t>(b * 3 + i);
  }
  track.sectors[2].marks = kSectorDeleted;
  track.sectors[5].marks = kSectorError;
  track.sectors[9].marks = kSectorAbsent;  // left out
  return track;
}

TEST(Crc16, KnownAnswers) {
  const uint8_t id[] = {0xA1, 0xA1, 0xA1, 0xFE, 0x00, 0x00, 0x01, 0x01};
  EXPECT_EQ(0xFA0C, Crc16(id, sizeof id));
  const uint8_t check[] = {'1', '2', '3', '4', '5', '6', '7', '8', '9'};
  EXPECT_EQ(0x29B1, Crc16(check, sizeof check));  // CRC-16/CCITT-FALSE check value
  // In pieces as at once.
  EXPECT_EQ(Crc16(id, sizeof id), Crc16(id + 3, 5, Crc16(id, 3)));
}

TEST(MfmTrack, EncodesTheLayoutAndDecodesApart) {
  const ModelTrack track = SampleTrack();
  static uint8_t cells[kMfmCellBytes];
  ASSERT_EQ(0, MfmEncodeTrack(&track, cells));
  const std::string text = CellText(cells, kMfmCellBytes);
  // Gap 4a: 80 × 4E and 12 × 00, then the index mark C2 C2 C2 (missing clock) FC.
  EXPECT_EQ(0x4E, DataAt(text, 0));
  EXPECT_EQ(0x4E, DataAt(text, 79 * 16));
  EXPECT_EQ(0x00, DataAt(text, 80 * 16));
  EXPECT_EQ("0101001000100100", text.substr(92 * 16, 16));
  EXPECT_EQ(0xFC, DataAt(text, 95 * 16));
  // The first sector's ID field: 50 × 4E of gap 1 and 12 × 00 after the index mark.
  EXPECT_EQ("0100010010001001", text.substr((96 + 50 + 12) * 16, 16));
  EXPECT_EQ(0x4E, DataAt(text, (kMfmTrackBytes - 1) * 16));  // gap 4b to the end
  // Every clock cell follows the MFM rule outside the syncs: no two ones in a row.
  EXPECT_EQ(std::string::npos, text.find("11"));

  const std::vector<Field> fields = Fields(text);
  ASSERT_EQ(30u, fields.size());  // 15 sectors, ID and data each
  int k = 0;
  for (int i = 0; i < 16; i++) {
    const ModelSector& s = track.sectors[i];
    if (s.marks & kSectorAbsent) continue;
    const Field& id = fields[2 * k];
    const Field& data = fields[2 * k + 1];
    k++;
    SCOPED_TRACE(i);
    EXPECT_EQ(0xFE, id.mark);
    EXPECT_EQ((std::vector<uint8_t>{s.c, s.h, s.r, s.n}),
              std::vector<uint8_t>(id.bytes.begin(), id.bytes.begin() + 4));
    const uint8_t idField[] = {0xA1, 0xA1, 0xA1, 0xFE, s.c, s.h, s.r, s.n};
    EXPECT_EQ(Crc16(idField, 8), (id.bytes[4] << 8) | id.bytes[5]);
    EXPECT_EQ((s.marks & kSectorDeleted) ? 0xF8 : 0xFB, data.mark);
    EXPECT_EQ(0, std::memcmp(s.data, data.bytes.data(), 256));
    std::vector<uint8_t> whole = {0xA1, 0xA1, 0xA1, static_cast<uint8_t>(data.mark)};
    whole.insert(whole.end(), s.data, s.data + 256);
    const bool good =
        Crc16(whole.data(), whole.size()) == ((data.bytes[256] << 8) | data.bytes[257]);
    EXPECT_EQ(!(s.marks & kSectorError), good) << "an error is written as a bad data CRC";
  }

  // The codec's own decoder agrees.
  ModelTrack back{};
  ASSERT_EQ(0, MfmDecodeTrack(cells, kMfmCellBytes, &back));
  ASSERT_EQ(15, back.count);
  EXPECT_EQ(kSectorDeleted, back.sectors[2].marks);
  EXPECT_EQ(kSectorCrcBad, back.sectors[5].marks);
  EXPECT_EQ(0, std::memcmp(track.sectors[10].data, back.sectors[9].data, 256));
  EXPECT_EQ(track.sectors[10].r, back.sectors[9].r);
}

TEST(MfmTrack, RefusesWhatDoesNotFitAndStreamsCutShort) {
  ModelTrack full{};
  full.count = 17;
  for (int i = 0; i < 17; i++) full.sectors[i] = {0, 0, static_cast<uint8_t>(i + 1), 1, 0, 0, {}};
  static uint8_t cells[kMfmCellBytes];
  EXPECT_EQ(-1, MfmEncodeTrack(&full, cells));
  full.sectors[16].marks = kSectorAbsent;  // 16 to encode: they fit
  ASSERT_EQ(0, MfmEncodeTrack(&full, cells));
  ModelTrack back{};
  ASSERT_EQ(0, MfmDecodeTrack(cells, kMfmCellBytes, &back));
  EXPECT_EQ(16, back.count);
  // Cut inside the last data field: the track is shorter than its sectors.
  EXPECT_EQ(-2, MfmDecodeTrack(cells, 5900 * 2, &back));
  // Noise and nothing decode to no sector.
  std::vector<uint8_t> noise(kMfmCellBytes);
  for (size_t i = 0; i < noise.size(); i++) noise[i] = static_cast<uint8_t>(i * 131 + 7);
  EXPECT_EQ(0, MfmDecodeTrack(noise.data(), static_cast<int>(noise.size()), &back));
  EXPECT_EQ(0, MfmDecodeTrack(noise.data(), 0, &back));
  EXPECT_EQ(0, back.count);
}

// A sector rewritten in place, in a stream whose fields lie at any cell (a stream recorded by a
// drive starts anywhere): the reference reader finds the new bytes under a good CRC, the mark as
// it was, and every cell outside the data field and the clock cell after it as it was.
TEST(MfmTrack, RewritesOneDataFieldInItsOwnCells) {
  const ModelTrack track = SampleTrack();
  static uint8_t encoded[kMfmCellBytes];
  ASSERT_EQ(0, MfmEncodeTrack(&track, encoded));
  struct Case {
    int shift;   // cells of noise before the stream
    int sector;  // R of the sector rewritten
    int mark;    // its data mark, kept
  };
  const Case cases[] = {{0, 16, 0xFB},
                        {3, 14, 0xF8},
                        {7, 11, 0xFB} /* written with a bad CRC */,
                        {5, 1, 0xFB} /* the last on the track */};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.sector);
    std::vector<uint8_t> cells(kMfmCellBytes + 1, 0);
    for (int i = 0; i < kMfmCellBytes * 8; i++) {
      const int at = i + c.shift;
      if ((encoded[i >> 3] >> (i & 7)) & 1) cells[at >> 3] |= static_cast<uint8_t>(1u << (at & 7));
    }
    const std::string before = CellText(cells.data(), static_cast<int>(cells.size()));
    uint8_t data[256];
    for (int i = 0; i < 256; i++) data[i] = static_cast<uint8_t>(i * 7 + c.sector);
    ModelTrack work;
    MfmCellSpan span{};
    ASSERT_EQ(0, MfmRewriteData(cells.data(), static_cast<int>(cells.size()), c.sector, data, &work,
                                &span));
    const std::string after = CellText(cells.data(), static_cast<int>(cells.size()));
    EXPECT_EQ(before.substr(0, span.first), after.substr(0, span.first));
    EXPECT_EQ(before.substr(span.end), after.substr(span.end));
    EXPECT_EQ(std::string::npos, after.find("11"));
    const std::vector<Field> fields = Fields(after);
    ASSERT_EQ(30u, fields.size());
    for (size_t f = 0; f + 1 < fields.size(); f += 2) {
      if (fields[f].bytes[2] != c.sector) continue;
      const Field& field = fields[f + 1];
      EXPECT_EQ(static_cast<size_t>(span.first), field.at);
      EXPECT_EQ(span.first + 258 * 16 + 1, span.end);
      EXPECT_EQ(c.mark, field.mark);
      EXPECT_EQ(0, std::memcmp(data, field.bytes.data(), 256));
      EXPECT_TRUE(mfmref::FieldCrcGood(field));
    }
  }
  // A sector the track does not hold changes nothing; noise does not decode into one either.
  std::vector<uint8_t> cells(encoded, encoded + kMfmCellBytes);
  uint8_t data[256] = {};
  ModelTrack work;
  MfmCellSpan span{};
  EXPECT_EQ(1, MfmRewriteData(cells.data(), kMfmCellBytes, 7, data, &work, &span));
  EXPECT_EQ(0, std::memcmp(encoded, cells.data(), kMfmCellBytes));
  EXPECT_EQ(-1, MfmRewriteData(cells.data(), 5100 * 2, 16, data, &work, &span));  // cut short
}

}  // namespace
