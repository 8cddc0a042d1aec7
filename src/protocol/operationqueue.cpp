#include "operationqueue.h"

void WorkerThreads::start(std::function<void()> body) {
    auto finished = std::make_shared<std::atomic<bool>>(false);
    std::lock_guard l(lock_);
    reapFinished();
    workers_.push_back({std::thread([body = std::move(body), finished] {
                            body();
                            finished->store(true);
                        }),
                        finished});
}

void WorkerThreads::reapFinished() {
    for (auto it = workers_.begin(); it != workers_.end();) {
        if (it->finished->load()) {
            it->thread.join();  // its body has returned: this is immediate
            it = workers_.erase(it);
        } else {
            ++it;
        }
    }
}

void WorkerThreads::joinAll() {
    std::vector<Worker> all;
    {
        std::lock_guard l(lock_);
        all.swap(workers_);
    }
    for (auto& w : all) w.thread.join();
}

size_t WorkerThreads::running() const {
    std::lock_guard l(lock_);
    size_t n = 0;
    for (const auto& w : workers_) n += w.finished->load() ? 0 : 1;
    return n;
}

OperationQueue::OperationQueue(int maxConcurrent, std::shared_ptr<WorkerThreads> threads,
                               bool suspended)
    : maxConcurrent_(maxConcurrent), threads_(std::move(threads)), suspended_(suspended) {}

void OperationQueue::add(Job job) {
    std::unique_lock l(lock_);
    if (retired_) {
        l.unlock();
        if (job.cancelled) job.cancelled();
        return;
    }
    pending_.push_back(std::move(job));
    startJobs(l);
}

void OperationQueue::cancelAll() {
    std::deque<Job> dropped;
    {
        std::lock_guard l(lock_);
        retired_ = true;
        dropped.swap(pending_);
    }
    for (Job& job : dropped) {
        if (job.cancelled) job.cancelled();
    }
}

void OperationQueue::setSuspended(bool suspended) {
    std::unique_lock l(lock_);
    suspended_ = suspended;
    startJobs(l);
}

void OperationQueue::startJobs(std::unique_lock<std::mutex>& l) {
    while (!suspended_ && running_ < maxConcurrent_ && !pending_.empty()) {
        Job job = std::move(pending_.front());
        pending_.pop_front();
        ++running_;
        // The thread keeps the queue alive until it has run its last job.
        threads_->start([self = shared_from_this(), job = std::move(job)]() mutable {
            self->runLoop(std::move(job));
        });
    }
    (void)l;
}

void OperationQueue::runLoop(Job job) {
    for (;;) {
        job.run();
        job = Job{};
        std::lock_guard l(lock_);
        if (suspended_ || pending_.empty()) {
            --running_;
            return;
        }
        job = std::move(pending_.front());
        pending_.pop_front();
    }
}
