#include "p2p/speed_governor.h"

#include <algorithm>

namespace morvalin::p2p {
namespace {

// How long the governor takes to make up a difference, and how much credit it may carry.
constexpr double kCatchUpSeconds = 1.0;
constexpr double kMaxBehindSeconds = 1.0;
constexpr double kMaxAheadSeconds = 0.5;

}  // namespace

void SpeedGovernor::SetTarget(std::int64_t bytes_per_second) {
  const std::int64_t target = std::max<std::int64_t>(bytes_per_second, 0);
  if (target != target_) counting_ = false;
  target_ = target;
}

std::int64_t SpeedGovernor::Update(Clock::time_point now, std::int64_t received_total, bool active) {
  if (target_ == 0) return 0;
  if (!active || !counting_) {
    counting_ = active;
    window_start_ = now;
    window_bytes_start_ = received_total;
    return target_;
  }
  const double target = static_cast<double>(target_);
  const double elapsed = std::chrono::duration<double>(now - window_start_).count();
  const double received = static_cast<double>(received_total - window_bytes_start_);
  double credit = target * elapsed - received;  // positive: behind the limit
  const double most_behind = target * kMaxBehindSeconds;
  const double most_ahead = target * kMaxAheadSeconds;
  if (credit > most_behind || credit < -most_ahead) {
    // Forget what lies beyond the bound by moving the start of the count.
    credit = std::clamp(credit, -most_ahead, most_behind);
    window_bytes_start_ = received_total - static_cast<std::int64_t>(target * elapsed - credit);
  }
  const double limit = std::clamp(target + credit / kCatchUpSeconds, target / 4, target * 4);
  return std::max<std::int64_t>(1, static_cast<std::int64_t>(limit));
}

}  // namespace morvalin::p2p
