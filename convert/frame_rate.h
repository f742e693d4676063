// The two frame rates of a video stream, worked out from its time stamps as they arrive. Only the
// count, the first and last stamp and a histogram of the intervals are kept, so memory does not grow
// with the length of the video. A real video has a handful of distinct intervals; a damaged one could
// have one per frame, so the histogram takes at most kMaxIntervals of them (further new ones are left
// out of the true rate).
#pragma once

#include <cstdint>
#include <map>
#include <optional>

#include "convert/fraction_uint32.h"

namespace morvalin {

class FrameRateCounter {
 public:
  static constexpr size_t kMaxIntervals = 16384;

  void Add(uint32_t time_stamp_ms);

  // (n - 1) x 1000 / (last - first), reduced; none with fewer than two stamps or no elapsed time.
  std::optional<FractionUInt32> AverageFrameRate() const;
  // From the smallest interval d whose count together with that of d + 1 reaches n / 10:
  // (c(d) + c(d+1)) x 1000 / (d c(d) + (d+1) c(d+1)), reduced; none when no interval qualifies.
  std::optional<FractionUInt32> TrueFrameRate() const;

 private:
  uint64_t count_ = 0;
  uint32_t first_ = 0;
  uint32_t last_ = 0;
  std::map<uint32_t, uint64_t> intervals_;  // positive interval in ms -> how often it occurred
};

}  // namespace morvalin
