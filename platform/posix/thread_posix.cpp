#include "engine/thread_priority.hpp"

namespace vantrel {

// Ordinary users cannot raise a thread's priority on POSIX, and lowering it
// would leave a high-priority search no faster: both are left as they are.
void SetCurrentThreadSearchPriority(bool) {}

int CurrentThreadPriority() { return 0; }

}  // namespace vantrel
