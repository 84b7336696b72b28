// The calling thread's number from the system, which tells threads apart in
// a host's records. Plug-in threads call into the host too, and under MinGW
// neither thread_local nor std::thread::id is safe on a thread another
// module's thread library started: both set up per-thread state that
// module's library then tears down at thread exit. One file per platform.
// Any thread.
#pragma once

#include <cstdint>

namespace harness {

uint64_t currentThreadNumber();

}  // namespace harness
