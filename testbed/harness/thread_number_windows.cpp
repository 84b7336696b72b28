#include <windows.h>

#include "thread_number.h"

namespace harness {

uint64_t currentThreadNumber() {
    return GetCurrentThreadId();
}

}  // namespace harness
