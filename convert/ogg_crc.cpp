#include "convert/ogg_crc.h"

#include <array>

namespace morvalin {

namespace {

constexpr std::array<uint32_t, 256> MakeTable() {
  std::array<uint32_t, 256> table{};
  for (uint32_t i = 0; i < 256; ++i) {
    uint32_t r = i << 24;
    for (int bit = 0; bit < 8; ++bit) r = (r & 0x80000000u) ? (r << 1) ^ 0x04C11DB7u : r << 1;
    table[i] = r;
  }
  return table;
}

constexpr std::array<uint32_t, 256> kTable = MakeTable();

}  // namespace

uint32_t OggCrc(std::span<const uint8_t> bytes, uint32_t crc) {
  for (uint8_t b : bytes) crc = (crc << 8) ^ kTable[((crc >> 24) ^ b) & 0xFF];
  return crc;
}

}  // namespace morvalin
