#include "engine/pass_progress.hpp"

#include <cmath>

namespace vantrel {

int ProgressValue(std::int64_t counter, float divisor) {
  if (!(divisor > 0.0f)) return 0;
  double value = static_cast<double>(counter) / static_cast<double>(divisor) / 2.0;
  return static_cast<int>(std::nearbyint(value));  // the default rounding: half to even
}

float ProgressDivisor(std::size_t count) { return static_cast<float>(static_cast<double>(count) / 100.0); }

void ProgressBar::Offer(int value) {
  if (value < 1 || value == last_) return;
  last_ = value;
  post_(value);
}

void ProgressHalf::Step() {
  const int value = ProgressValue(++counter_, divisor_);
  if (value >= 1) bar_.Offer(value + offset_);
}

}  // namespace vantrel
