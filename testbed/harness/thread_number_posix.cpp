#include <sys/syscall.h>
#include <unistd.h>

#include "thread_number.h"

namespace harness {

uint64_t currentThreadNumber() {
    return static_cast<uint64_t>(syscall(SYS_gettid));
}

}  // namespace harness
