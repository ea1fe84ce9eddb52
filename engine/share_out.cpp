#include "engine/share_out.hpp"

#include <atomic>
#include <system_error>
#include <thread>
#include <vector>

namespace vantrel {

bool ShareOut(std::size_t count, const std::function<bool(std::size_t)>& job, const std::function<void()>& between,
              std::size_t helpers, const std::function<void()>& onThreadStart) {
  std::atomic<std::size_t> next{0};
  std::atomic<bool> stopped{false};
  auto work = [&](bool onCaller) {
    while (!stopped.load()) {
      std::size_t i = next.fetch_add(1);
      if (i >= count) return;
      if (!job(i)) {
        stopped.store(true);
        return;
      }
      if (onCaller && between) between();
    }
  };
  std::vector<std::thread> threads;
  for (std::size_t h = 0; h < helpers && h + 1 < count; ++h) {
    try {
      threads.emplace_back([&] {
        if (onThreadStart) onThreadStart();
        work(false);
      });
    } catch (const std::system_error&) {
      break;  // fewer threads: the caller and those made do every job
    }
  }
  work(true);
  for (std::thread& t : threads) t.join();
  return !stopped.load();
}

}  // namespace vantrel
