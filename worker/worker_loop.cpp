#include "worker/worker_loop.h"

namespace {

// Waits until the stop flag is set or the deadline, fixed now, has passed.
// Returns whether a stop was requested.
bool waitForStop(std::unique_lock<std::mutex>& lock, std::condition_variable& wakeCondition,
                 const bool& stopRequested, std::chrono::nanoseconds wait) {
    if (stopRequested) {
        return true;
    }
    const auto deadline = std::chrono::steady_clock::now() + wait;
    return wakeCondition.wait_until(lock, deadline, [&] { return stopRequested; });
}

}  // namespace

void runWorkerLoop(std::mutex& wakeMutex, std::condition_variable& wakeCondition,
                   const bool& stopRequested, const WorkerPacing& pacing,
                   const std::function<void()>& pass) {
    std::unique_lock lock(wakeMutex);
    if (waitForStop(lock, wakeCondition, stopRequested, pacing.initialWait)) {
        return;
    }
    do {
        lock.unlock();
        pass();
        lock.lock();
    } while (!waitForStop(lock, wakeCondition, stopRequested, pacing.passWait));
}
