// The track codec against known answers: the CRC of an ID field, and tracks the encoder makes,
// read back by a decoder written here apart from the one under test (bits as text, fields found
// by their sync patterns).
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "image/crc16.h"
#include "image/mfm.h"

namespace {

// The cells as a string of '0' and '1', in the order they are sent.
std::string CellText(const uint8_t* cells, int bytes) {
  std::string text;
  for (int i = 0; i < bytes; i++)
    for (int bit = 0; bit < 8; bit++) text += (cells[i] >> bit) & 1 ? '1' : '0';
  return text;
}

// The data byte of 16 cells: every second cell.
int DataAt(const std::string& cells, size_t at) {
  int value = 0;
  for (int i = 0; i < 8; i++) value = value * 2 + (cells[at + 2 * i + 1] == '1');
  return value;
}

struct Field {
  int mark;
  std::vector<uint8_t> bytes;  // what follows the mark, CRC included
};

// Every field after three A1 syncs: its mark and the `length` bytes after it.
std::vector<Field> Fields(const std::string& cells) {
  const std::string sync = "0100010010001001";
  std::vector<Field> fields;
  for (size_t at = cells.find(sync + sync + sync); at != std::string::npos;
       at = cells.find(sync + sync + sync, at + 48)) {
    Field field;
    field.mark = DataAt(cells, at + 48);
    const int length = field.mark == 0xFE ? 6 : 258;
    for (int i = 0; i < length; i++)
      field.bytes.push_back(static_cast<uint8_t>(DataAt(cells, at + 64 + 16 * i)));
    fields.push_back(field);
  }
  return fields;
}

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

}  // namespace
