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

TEST(WorkerLoop, WakeWithoutStopDoesNotShortenTheWait) {
    LoopUnderTest loop;
    std::thread worker([&] {
        runWorkerLoop(loop.wakeMutex, loop.wakeCondition, loop.stopRequested, {1h, 1h},
                      [&] { ++loop.passes; });
    });
    for (int i = 0; i < 100; ++i) {
        loop.wakeCondition.notify_all();
        std::this_thread::yield();
    }
    EXPECT_EQ(loop.passes, 0);
    loop.requestStop();
    worker.join();
    EXPECT_EQ(loop.passes, 0);
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
