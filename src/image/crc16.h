// CRC-16-CCITT as floppy controllers compute it over an address or data field: polynomial
// 0x1021, not reflected, usually started at 0xFFFF.
#pragma once

#include <cstddef>
#include <cstdint>

inline constexpr uint16_t kCrcInit = 0xFFFF;

uint16_t Crc16(const uint8_t* bytes, size_t count, uint16_t crc = kCrcInit);
