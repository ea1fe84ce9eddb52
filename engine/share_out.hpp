#pragma once
// Sharing a stage's jobs among the worker and a few helper threads of its own.
// The helpers are made for the stage and end before it returns; they take the
// worker's priority and look at the same pause count and stop flag between
// jobs, so Pause and Stop hold them all.

#include <cstddef>
#include <functional>

namespace vantrel {

// Runs job(i) for every i below count, each once, on the calling thread and on
// up to helpers helper threads (fewer when there are fewer jobs, or when the
// system makes fewer threads); each helper first runs onThreadStart. The
// calling thread runs between() after each of its own jobs. A job that returns
// false stops the rest from being taken; returns false then.
bool ShareOut(std::size_t count, const std::function<bool(std::size_t)>& job, const std::function<void()>& between,
              std::size_t helpers, const std::function<void()>& onThreadStart);

}  // namespace vantrel
