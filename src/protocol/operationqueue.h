// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

// Owns every worker thread that the data manager uses, so that they can be
// joined at quit. A thread whose body has ended waits a while for the next
// one before it ends, so a steady picture rate reuses threads (and with them
// their open HTTP connections) instead of starting one per job.
class WorkerThreads {
public:
    explicit WorkerThreads(std::chrono::milliseconds idleLife = std::chrono::seconds(10));
    ~WorkerThreads() { joinAll(); }
    // Runs body on an idle thread, or on a new one when none is idle.
    void start(std::function<void()> body);
    // Ends idle threads and waits for every thread. Call only after running
    // bodies have been told to end; later start() calls run nothing.
    void joinAll();
    size_t threadCount() const;

    // Runs fn on the calling worker thread after its body has ended, once the
    // thread counts as idle: work that hands a result on, and so may cause
    // the next job at once, finds this thread ready to take it. Off a worker
    // thread, fn runs at once.
    static void whenIdle(std::function<void()> fn);

private:
    struct Worker {
        std::thread thread;
        bool finished = false;  // guarded by lock_
    };
    void loop(Worker* self, std::function<void()> body);
    void reapFinished();  // lock_ held

    const std::chrono::milliseconds idleLife_;
    mutable std::mutex lock_;
    std::condition_variable wake_;
    std::deque<std::function<void()>> handOver_;  // bodies for idle threads
    size_t idle_ = 0;
    bool stopping_ = false;
    std::vector<std::unique_ptr<Worker>> workers_;
};

// A queue of jobs that runs at most maxConcurrent of them at once, each on a
// worker thread. cancelAll() removes the jobs not yet started (running their
// cancel handlers) and retires the queue: later jobs are refused. A running
// job always runs to its end; nobody waits for it.
class OperationQueue : public std::enable_shared_from_this<OperationQueue> {
public:
    struct Job {
        std::function<void()> run;
        std::function<void()> cancelled;  // may be empty
    };

    OperationQueue(int maxConcurrent, std::shared_ptr<WorkerThreads> threads,
                   bool suspended = false);

    void add(Job job);
    void cancelAll();
    // A suspended queue keeps its jobs, not yet started, until resumed.
    void setSuspended(bool suspended);

private:
    void startJobs(std::unique_lock<std::mutex>& l);
    void runLoop(Job job);

    const int maxConcurrent_;
    std::shared_ptr<WorkerThreads> threads_;
    std::mutex lock_;
    std::deque<Job> pending_;
    int running_ = 0;
    bool suspended_;
    bool retired_ = false;
};
