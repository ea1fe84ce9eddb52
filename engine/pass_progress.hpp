#pragma once
// The progress bar of a pass, in two halves: the first counts the readable
// candidates as the size screen takes them, against every candidate; the
// second counts the files that passed the filters, in their order, as far as
// they have all been read. Each value is posted once.

#include <cstdint>
#include <functional>

namespace vantrel {

// The progress value of counter against a divisor held in single precision,
// rounded half to even. Values below 1 leave the bar alone.
int ProgressValue(std::int64_t counter, float divisor);

// The divisor of a half: the count it runs against, divided by 100.
float ProgressDivisor(std::size_t count);

// Posts progress values to the window, each value once.
class ProgressBar {
 public:
  // post sets the bar (it queues the value for the window's thread).
  explicit ProgressBar(std::function<void(int)> post) : post_(std::move(post)) {}
  // Posts value unless it is below 1 or the value posted last.
  void Offer(int value);

 private:
  std::function<void(int)> post_;
  int last_ = 0;
};

// One half of the bar: steps its own counter and offers the value, plus 50
// for the second half. Used by one thread at a time.
class ProgressHalf {
 public:
  ProgressHalf(ProgressBar& bar, float divisor, int offset) : bar_(bar), divisor_(divisor), offset_(offset) {}
  // Counts one more entry and offers the bar its value.
  void Step();

 private:
  ProgressBar& bar_;
  float divisor_;
  int offset_;
  std::int64_t counter_ = 0;
};

}  // namespace vantrel
