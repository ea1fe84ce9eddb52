#include <windows.h>

#include "engine/thread_priority.hpp"

namespace vantrel {

void SetCurrentThreadSearchPriority(bool high) {
  SetThreadPriority(GetCurrentThread(), high ? THREAD_PRIORITY_ABOVE_NORMAL : THREAD_PRIORITY_BELOW_NORMAL);
}

int CurrentThreadPriority() { return GetThreadPriority(GetCurrentThread()); }

}  // namespace vantrel
