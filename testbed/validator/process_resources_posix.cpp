#include <dirent.h>
#include <malloc.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

#include "process_resources.h"

namespace validator {

namespace {

int entriesIn(const char* folder) {
    DIR* dir = opendir(folder);
    if (dir == nullptr) {
        return -1;
    }
    int count = 0;
    while (const dirent* entry = readdir(dir)) {
        count += entry->d_name[0] != '.';
    }
    closedir(dir);
    return count;
}

}  // namespace

Resources measureResources() {
    Resources now;
    now.threads = entriesIn("/proc/self/task");
    now.handles = entriesIn("/proc/self/fd") - 1;  // less the one reading the folder
    now.memoryBytes = static_cast<int64_t>(mallinfo2().uordblks);
    return now;
}

std::string temporaryFolder() {
    return "/tmp/orvalink-validate-" + std::to_string(getpid());
}

}  // namespace validator
