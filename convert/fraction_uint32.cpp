#include "convert/fraction_uint32.h"

#include <cstdio>
#include <numeric>

namespace morvalin {

void FractionUInt32::Reduce() {
  uint32_t g = std::gcd(N, D);
  if (g > 1) {
    N /= g;
    D /= g;
  }
}

std::string FractionUInt32::ToString() const {
  // Up to 15 significant digits without trailing zeros: 25, 29.97002997003, 23.976.
  char number[64];
  std::snprintf(number, sizeof number, "%.15g", ToDouble());
  return std::string(number) + " (" + std::to_string(N) + "/" + std::to_string(D) + ")";
}

FractionUInt32 FractionUInt32::FromReduced(uint64_t n, uint64_t d) {
  uint64_t g = std::gcd(n, d);
  if (g > 1) {
    n /= g;
    d /= g;
  }
  while (n > UINT32_MAX || d > UINT32_MAX) {
    n >>= 1;
    d >>= 1;
  }
  return FractionUInt32{static_cast<uint32_t>(n), static_cast<uint32_t>(d == 0 ? 1 : d)};
}

}  // namespace morvalin
