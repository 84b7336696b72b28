#include <windows.h>
// After windows.h, which they need.
#include <psapi.h>
#include <tlhelp32.h>

#include <cstdint>

#include "process_resources.h"

namespace validator {

namespace {

int threadsOfThisProcess() {
    const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE) {
        return -1;
    }
    THREADENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    int count = 0;
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry)) {
        count += entry.th32OwnerProcessID == GetCurrentProcessId();
    }
    CloseHandle(snapshot);
    return count;
}

// Handles counted one by one: every value a handle may take, up to far more
// than this process ever holds, asked whether it is open. (Wine answers
// GetProcessHandleCount with 0, and the system's process list with the size
// of its handle table, which never shrinks.)
int handlesOfThisProcess() {
    int count = 0;
    for (uintptr_t value = 4; value < 65536; value += 4) {
        DWORD flags = 0;
        count += GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags) != 0;
    }
    return count;
}

}  // namespace

Resources measureResources() {
    Resources now;
    now.threads = threadsOfThisProcess();
    now.handles = handlesOfThisProcess();
    // The commit charge; Wine leaves PrivateUsage, its twin, at 0.
    PROCESS_MEMORY_COUNTERS memory = {};
    memory.cb = sizeof memory;
    K32GetProcessMemoryInfo(GetCurrentProcess(), &memory, sizeof memory);
    now.memoryBytes = static_cast<int64_t>(memory.PagefileUsage);
    return now;
}

std::string temporaryFolder() {
    char base[MAX_PATH + 1] = {};
    GetTempPathA(sizeof base, base);
    return std::string(base) + "orvalink-validate-" + std::to_string(GetCurrentProcessId());
}

}  // namespace validator
