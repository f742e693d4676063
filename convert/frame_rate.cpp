#include "convert/frame_rate.h"

namespace morvalin {

void FrameRateCounter::Add(uint32_t time_stamp_ms) {
  if (count_ == 0) {
    first_ = time_stamp_ms;
  } else if (time_stamp_ms > last_) {
    auto found = intervals_.find(time_stamp_ms - last_);
    if (found != intervals_.end()) {
      ++found->second;
    } else if (intervals_.size() < kMaxIntervals) {
      intervals_.emplace(time_stamp_ms - last_, 1);
    }
  }
  last_ = time_stamp_ms;
  ++count_;
}

std::optional<FractionUInt32> FrameRateCounter::AverageFrameRate() const {
  if (count_ < 2 || last_ <= first_) return std::nullopt;
  return FractionUInt32::FromReduced((count_ - 1) * 1000, last_ - first_);
}

std::optional<FractionUInt32> FrameRateCounter::TrueFrameRate() const {
  if (count_ < 2) return std::nullopt;
  uint64_t threshold = count_ / 10;
  for (const auto& [d, count_d] : intervals_) {
    auto next = intervals_.find(d + 1);
    uint64_t count_next = next == intervals_.end() ? 0 : next->second;
    if (count_d + count_next >= threshold) {
      uint64_t duration = uint64_t{d} * count_d + (uint64_t{d} + 1) * count_next;
      return FractionUInt32::FromReduced((count_d + count_next) * 1000, duration);
    }
  }
  return std::nullopt;
}

}  // namespace morvalin
