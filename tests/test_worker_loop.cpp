#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "worker/worker_loop.h"

namespace {

using namespace std::chrono_literals;

struct LoopUnderTest {
    std::mutex wakeMutex;
    std::condition_variable wakeCondition;
    bool stopRequested = false;
    std::atomic<int> passes{0};

    void requestStop() {
        {
            std::lock_guard lock(wakeMutex);
            stopRequested = true;
        }
        wakeCondition.notify_all();
    }
};

TEST(WorkerLoop, StopDuringTheInitialWaitRunsNoPass) {
    LoopUnderTest loop;
    std::thread worker([&] {
        runWorkerLoop(loop.wakeMutex, loop.wakeCondition, loop.stopRequested, {1h, 1h},
                      [&] { ++loop.passes; });
    });
    loop.requestStop();
    worker.join();  // an hour-long wait that a stop did not end would hang here
    EXPECT_EQ(loop.passes, 0);
}

TEST(WorkerLoop, StopRequestedBeforeStartReturnsAtOnce) {
    LoopUnderTest loop;
    loop.stopRequested = true;
    runWorkerLoop(loop.wakeMutex, loop.wakeCondition, loop.stopRequested, {1h, 1h},
                  [&] { ++loop.passes; });
    EXPECT_EQ(loop.passes, 0);
}

// The host wakes the worker after every parameter call. Here it does so
// without pause from before the first pass ends until the second begins, so
// the worker is inside its pass wait while the wake-ups come; the wait must
// still last its full time, measured from the end of the first pass.
TEST(WorkerLoop, WakeWithoutStopDoesNotShortenTheWait) {
    using Clock = std::chrono::steady_clock;
    LoopUnderTest loop;
    const auto passWait = 200ms;
    std::atomic<Clock::rep> firstEnded{0};
    std::atomic<Clock::rep> secondStarted{0};
    std::thread worker([&] {
        runWorkerLoop(loop.wakeMutex, loop.wakeCondition, loop.stopRequested, {0ns, passWait}, [&] {
            const auto now = Clock::now().time_since_epoch().count();
            if (++loop.passes == 1) {
                firstEnded = now;
            } else {
                secondStarted = now;
                loop.requestStop();
            }
        });
    });
    while (loop.passes < 2) {
        loop.wakeCondition.notify_all();
    }
    worker.join();
    EXPECT_EQ(loop.passes, 2);
    EXPECT_GE(Clock::duration(secondStarted - firstEnded), passWait);
}

TEST(WorkerLoop, RunsPassesUntilAStopSeenAfterAPass) {
    LoopUnderTest loop;
    std::thread worker([&] {
        runWorkerLoop(loop.wakeMutex, loop.wakeCondition, loop.stopRequested, {0ns, 0ns}, [&] {
            if (++loop.passes == 5) {
                loop.requestStop();  // a stop during a pass: the following wait ends the loop
            }
        });
    });
    worker.join();
    EXPECT_EQ(loop.passes, 5);
}

}  // namespace
