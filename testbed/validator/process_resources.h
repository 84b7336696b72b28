// What the validator's own process holds, so that cycles of plug-in objects
// can be checked to give back what they took: threads, open handles (open
// descriptors on POSIX) and heap memory; and the settings folder the plug-in
// looks in, pointed at an empty folder so no user's key is ever read.
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

// Makes the plug-in's settings lookup start in `folder` (created first).
void useSettingsFolder(const std::string& folder);

// A folder for the validator's own files.
std::string temporaryFolder();

}  // namespace validator
