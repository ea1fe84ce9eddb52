#pragma once

namespace vantrel {

// Gives the calling (worker) thread the host's above-normal priority when high,
// else below-normal. The POSIX programs leave thread priorities alone.
void SetCurrentThreadSearchPriority(bool high);

// The calling thread's priority as the host reports it (Windows:
// GetThreadPriority; POSIX: 0).
int CurrentThreadPriority();

}  // namespace vantrel
