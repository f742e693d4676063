// The Ogg page checksum: CRC-32 with polynomial 0x04C11DB7, MSB first, initial value 0, no final XOR,
// computed over the whole page with its checksum field set to zero.
#pragma once

#include <cstdint>
#include <span>

namespace morvalin {

uint32_t OggCrc(std::span<const uint8_t> bytes, uint32_t crc = 0);

}  // namespace morvalin
