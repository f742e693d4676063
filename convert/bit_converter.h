// Explicit byte-order helpers and an MSB-first bit reader/writer. Every multi-byte value the converter
// reads or writes goes through these, never through a struct laid over the bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace morvalin {

struct BitConverterBE {
  static uint16_t ToUInt16(const uint8_t* p) { return static_cast<uint16_t>((p[0] << 8) | p[1]); }
  static uint32_t ToUInt24(const uint8_t* p) {
    return (uint32_t{p[0]} << 16) | (uint32_t{p[1]} << 8) | p[2];
  }
  static uint32_t ToUInt32(const uint8_t* p) {
    return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
  }
  static void Put32(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v >> 24);
    p[1] = static_cast<uint8_t>(v >> 16);
    p[2] = static_cast<uint8_t>(v >> 8);
    p[3] = static_cast<uint8_t>(v);
  }
};

struct BitConverterLE {
  static uint16_t ToUInt16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
  static uint32_t ToUInt32(const uint8_t* p) {
    return uint32_t{p[0]} | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16) | (uint32_t{p[3]} << 24);
  }
  static void Put16(uint8_t* p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
  }
  static void Put32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
  }
  static void Put64(uint8_t* p, uint64_t v) {
    for (int i = 0; i < 8; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
  }
  // Appending forms, for building headers in a byte vector.
  static void Append16(std::vector<uint8_t>& out, uint16_t v) {
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
  }
  static void Append32(std::vector<uint8_t>& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
  }
};

// Reads and writes bit fields MSB first. Reading past the end yields zero bits, so a short input
// decodes to zero fields instead of reading out of bounds; `Overrun` tells that it happened.
class BitHelper {
 public:
  explicit BitHelper(std::span<const uint8_t> bytes) : bytes_(bytes) {}

  uint32_t Read(int bits) {
    uint32_t value = 0;
    for (int i = 0; i < bits; ++i) {
      value <<= 1;
      size_t byte = position_ / 8;
      if (byte < bytes_.size()) {
        value |= (bytes_[byte] >> (7 - position_ % 8)) & 1u;
      } else {
        overrun_ = true;
      }
      ++position_;
    }
    return value;
  }
  void Skip(int bits) { position_ += static_cast<size_t>(bits); }
  bool Overrun() const { return overrun_ || position_ > bytes_.size() * 8; }

  // Writes `bits` low bits of `value` at bit position `*position` of `out`, which must be large enough.
  static void Write(std::span<uint8_t> out, size_t* position, int bits, uint32_t value) {
    for (int i = bits - 1; i >= 0; --i) {
      size_t byte = *position / 8;
      uint8_t mask = static_cast<uint8_t>(0x80u >> (*position % 8));
      if ((value >> i) & 1u) {
        out[byte] |= mask;
      } else {
        out[byte] &= static_cast<uint8_t>(~mask);
      }
      ++*position;
    }
  }

 private:
  std::span<const uint8_t> bytes_;
  size_t position_ = 0;
  bool overrun_ = false;
};

}  // namespace morvalin
