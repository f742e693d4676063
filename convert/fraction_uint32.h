// An exact frame rate: numerator and denominator, printed as "<decimal> (N/D)".
#pragma once

#include <cstdint>
#include <string>

namespace morvalin {

struct FractionUInt32 {
  uint32_t N = 0;
  uint32_t D = 1;

  // Divides both by their greatest common divisor (a zero denominator is left as it is).
  void Reduce();
  double ToDouble() const { return D == 0 ? 0.0 : static_cast<double>(N) / D; }
  std::string ToString() const;

  // Builds n/d from 64-bit parts, reduced, and scaled down while either part exceeds 32 bits.
  static FractionUInt32 FromReduced(uint64_t n, uint64_t d);

  friend bool operator==(const FractionUInt32&, const FractionUInt32&) = default;
};

}  // namespace morvalin
