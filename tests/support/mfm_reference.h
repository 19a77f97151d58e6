// A reader of MFM cell streams written apart from the codec under test: the cells as text, and
// the fields found by their sync patterns. Tests read what the codec and the containers wrote
// through it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace mfmref {

// The cells as a string of '0' and '1', in the order they are sent (each byte least significant
// cell first).
std::string CellText(const uint8_t* cells, int bytes);
// The data byte of the 16 cells at `at`: every second cell.
int DataAt(const std::string& cells, size_t at);

struct Field {
  int mark;
  size_t at;                   // the cell where the bytes after the mark begin
  std::vector<uint8_t> bytes;  // what follows the mark, CRC included (6 for an ID, else 258)
};
// Every field after three A1 syncs, in the order of the stream.
std::vector<Field> Fields(const std::string& cells);
// Whether a field's CRC (its last two bytes) matches the syncs, the mark and the bytes before it.
bool FieldCrcGood(const Field& field);

}  // namespace mfmref
