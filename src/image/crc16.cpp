#include "image/crc16.h"

uint16_t Crc16(const uint8_t* bytes, size_t count, uint16_t crc) {
  for (size_t i = 0; i < count; i++) {
    crc = static_cast<uint16_t>(crc ^ (bytes[i] << 8));
    for (int bit = 0; bit < 8; bit++)
      crc = static_cast<uint16_t>(crc & 0x8000 ? (crc << 1) ^ 0x1021 : crc << 1);
  }
  return crc;
}
