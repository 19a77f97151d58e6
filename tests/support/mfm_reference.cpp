#include "support/mfm_reference.h"

#include "image/crc16.h"

namespace mfmref {

std::string CellText(const uint8_t* cells, int bytes) {
  std::string text(static_cast<size_t>(bytes) * 8, '0');
  for (int i = 0; i < bytes; i++)
    for (int bit = 0; bit < 8; bit++)
      if ((cells[i] >> bit) & 1) text[static_cast<size_t>(i) * 8 + bit] = '1';
  return text;
}

int DataAt(const std::string& cells, size_t at) {
  int value = 0;
  for (int i = 0; i < 8; i++) value = value * 2 + (cells[at + 2 * i + 1] == '1');
  return value;
}

std::vector<Field> Fields(const std::string& cells) {
  const std::string sync = "0100010010001001";
  std::vector<Field> fields;
  for (size_t at = cells.find(sync + sync + sync); at != std::string::npos;
       at = cells.find(sync + sync + sync, at + 48)) {
    Field field;
    field.mark = DataAt(cells, at + 48);
    field.at = at + 64;
    const size_t length = field.mark == 0xFE ? 6 : 258;
    if (field.at + 16 * length > cells.size()) break;
    for (size_t i = 0; i < length; i++)
      field.bytes.push_back(static_cast<uint8_t>(DataAt(cells, field.at + 16 * i)));
    fields.push_back(field);
  }
  return fields;
}

bool FieldCrcGood(const Field& field) {
  std::vector<uint8_t> whole = {0xA1, 0xA1, 0xA1, static_cast<uint8_t>(field.mark)};
  whole.insert(whole.end(), field.bytes.begin(), field.bytes.end() - 2);
  const size_t n = field.bytes.size();
  return Crc16(whole.data(), whole.size()) == ((field.bytes[n - 2] << 8) | field.bytes[n - 1]);
}

}  // namespace mfmref
