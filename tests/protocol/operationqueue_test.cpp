// SPDX-License-Identifier: GPL-3.0-or-later
// The operation queue and its worker threads.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <set>
#include <thread>

#include "operationqueue.h"
#include "testutil.h"

TEST(OperationQueue, RunsFourAtOnceAndCancelDropsOnlyTheWaitingJobs) {
    auto threads = std::make_shared<WorkerThreads>();
    auto queue = std::make_shared<OperationQueue>(4, threads);
    std::atomic<bool> open{false};  // the running jobs wait until the test opens
    std::atomic<int> started{0}, finished{0}, cancelled{0};
    for (int i = 0; i < 6; ++i) {
        queue->add({[&] {
                        ++started;
                        while (!open) std::this_thread::sleep_for(std::chrono::milliseconds(1));
                        ++finished;
                    },
                    [&] { ++cancelled; }});
    }
    ASSERT_TRUE(waitUntil([&] { return started == 4; }));
    queue->cancelAll();
    EXPECT_EQ(cancelled, 2) << "the two jobs that had not started";
    queue->add({[&] { ++started; }, [&] { ++cancelled; }});
    EXPECT_EQ(cancelled, 3) << "a retired queue refuses new jobs";
    open = true;
    ASSERT_TRUE(waitUntil([&] { return finished == 4; }));
    threads->joinAll();
    EXPECT_EQ(started, 4) << "running jobs ran to their end, the others never";
}

TEST(WorkerThreads, TheNextJobRunsOnTheIdleThreadAndJoinDoesNotWaitForItsIdleTime) {
    // Each job hands its result on once its thread is idle, and the hand-over
    // starts the next job at once, as a picture's delivery asks for the next
    // picture: the idle thread takes it instead of a second one waking.
    WorkerThreads threads(std::chrono::hours(1));
    std::mutex lock;
    std::set<std::thread::id> ran;
    std::atomic<int> left{30};
    std::function<void()> job = [&] {
        {
            std::lock_guard l(lock);
            ran.insert(std::this_thread::get_id());
        }
        WorkerThreads::whenIdle([&] {
            if (--left > 0) threads.start(job);
        });
    };
    threads.start(job);
    ASSERT_TRUE(waitUntil([&] { return left == 0; }));
    // A finished job's captures go before its thread idles, not at its next job.
    auto captured = std::make_shared<int>();
    const std::weak_ptr<int> released = captured;
    threads.start([c = std::move(captured)] {});
    EXPECT_TRUE(waitUntil([&] { return released.expired(); }));
    threads.joinAll();     // would hang for an hour if idle threads were not woken
    threads.start([] {});  // refused after joinAll
    std::lock_guard l(lock);
    EXPECT_EQ(ran.size(), 1u);
    EXPECT_EQ(threads.threadCount(), 0u);
}
