// What the validator's own process holds, so that cycles of plug-in objects
// can be checked to give back what they took: threads, open handles (open
// descriptors on POSIX) and heap memory; and a folder for its own files.
// One file per platform. Any thread.
#pragma once

#include <cstdint>
#include <string>

namespace validator {

struct Resources {
    int threads = 0;
    int handles = 0;
    int64_t memoryBytes = 0;
};

Resources measureResources();

// A folder for the validator's own files.
std::string temporaryFolder();

}  // namespace validator
