#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

// Owns every worker thread that the data manager starts, so that they can be
// joined at quit. Threads whose job has ended are reaped as new ones start.
class WorkerThreads {
public:
    ~WorkerThreads() { joinAll(); }
    void start(std::function<void()> body);
    // Waits for every thread. Call only after their work has been told to end.
    void joinAll();
    size_t running() const;

private:
    struct Worker {
        std::thread thread;
        std::shared_ptr<std::atomic<bool>> finished;
    };
    void reapFinished();  // lock_ held
    mutable std::mutex lock_;
    std::vector<Worker> workers_;
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
    // A suspended queue keeps its jobs until resumed (tests use it to hold a
    // job in the not-yet-started state).
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
