#pragma once

namespace vorsa {

// Hands memory the program has freed back to the system, so that what a burst
// of calls or a greedy client held does not stay with the process (glibc keeps
// freed memory for reuse otherwise). Costs a walk over the heap: call it after
// large releases, not per call.
void returnFreedMemory();

} // namespace vorsa
