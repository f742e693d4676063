#pragma once
// Little-endian encoding of the record fields. Every read takes the bytes it has and counts the
// missing ones as zero, so a short or empty field decodes to 0 instead of reading past its end.
#include <bit>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace morvalin::le {

inline std::uint64_t LoadUnsigned(std::string_view bytes, std::size_t width) {
  std::uint64_t value = 0;
  const std::size_t n = bytes.size() < width ? bytes.size() : width;
  for (std::size_t i = 0; i < n; ++i) {
    value |= static_cast<std::uint64_t>(static_cast<unsigned char>(bytes[i])) << (8 * i);
  }
  return value;
}

inline std::string StoreUnsigned(std::uint64_t value, std::size_t width) {
  std::string bytes(width, '\0');
  for (std::size_t i = 0; i < width; ++i) bytes[i] = static_cast<char>((value >> (8 * i)) & 0xFF);
  return bytes;
}

inline std::int32_t LoadInt32(std::string_view bytes) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(LoadUnsigned(bytes, 4)));
}
inline std::int64_t LoadInt64(std::string_view bytes) {
  return static_cast<std::int64_t>(LoadUnsigned(bytes, 8));
}
inline float LoadFloat(std::string_view bytes) {
  return std::bit_cast<float>(static_cast<std::uint32_t>(LoadUnsigned(bytes, 4)));
}

inline std::string StoreInt32(std::int32_t value) {
  return StoreUnsigned(static_cast<std::uint32_t>(value), 4);
}
inline std::string StoreInt64(std::int64_t value) {
  return StoreUnsigned(static_cast<std::uint64_t>(value), 8);
}
inline std::string StoreFloat(float value) { return StoreUnsigned(std::bit_cast<std::uint32_t>(value), 4); }

}  // namespace morvalin::le
