#pragma once
// Holds the total download speed to the user's limit.
//
// aria2's own limit stops reading once its speed estimate passes the limit and looks again only about
// once a second, so on its own it reaches about 90% of the limit, in bursts. The governor keeps count
// of the bytes actually received since the downloads became active and hands aria2 a limit that makes
// up the difference: above the target while behind, below it while ahead. The credit it carries either
// way is bounded, so a pause or an idle spell never turns into a long burst afterwards.
#include <chrono>
#include <cstdint>

namespace morvalin::p2p {

class SpeedGovernor {
 public:
  using Clock = std::chrono::steady_clock;

  // The user's limit in bytes per second; 0 or less means none.
  void SetTarget(std::int64_t bytes_per_second);
  std::int64_t Target() const { return target_; }

  // Takes the bytes received by all downloads so far (a running total) and whether any download is
  // active; returns the limit to give aria2, 0 for none.
  std::int64_t Update(Clock::time_point now, std::int64_t received_total, bool active);

 private:
  std::int64_t target_ = 0;
  bool counting_ = false;
  Clock::time_point window_start_{};
  std::int64_t window_bytes_start_ = 0;
};

}  // namespace morvalin::p2p
