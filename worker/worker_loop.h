// The worker's pacing: an initial wait, then passes separated by a wait measured
// from the end of each pass, until a stop is requested.
//
// Thread: runs on the plug-in's one worker thread.
// Locks: wakeMutex guards stopRequested and is held only while testing it and
// waiting; the pass runs with no lock of the loop's held.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>

struct WorkerPacing {
    std::chrono::nanoseconds initialWait;
    std::chrono::nanoseconds passWait;
};

inline constexpr WorkerPacing kWorkerPacing{std::chrono::seconds(3), std::chrono::seconds(2)};

// Returns once stopRequested has been seen; only a stop ends a wait early.
void runWorkerLoop(std::mutex& wakeMutex, std::condition_variable& wakeCondition,
                   const bool& stopRequested, const WorkerPacing& pacing,
                   const std::function<void()>& pass);
