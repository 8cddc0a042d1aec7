// SPDX-License-Identifier: GPL-3.0-or-later
#include "operationqueue.h"

#include <utility>

namespace {
// The work a body left for when its thread is idle; null off worker threads.
thread_local std::function<void()>* t_whenIdle = nullptr;
}  // namespace

WorkerThreads::WorkerThreads(std::chrono::milliseconds idleLife) : idleLife_(idleLife) {}

void WorkerThreads::whenIdle(std::function<void()> fn) {
    if (!t_whenIdle) {
        fn();
        return;
    }
    std::function<void()> earlier = std::exchange(*t_whenIdle, std::move(fn));
    if (earlier) earlier();  // at most one waits; an earlier one runs now
}

void WorkerThreads::start(std::function<void()> body) {
    std::lock_guard l(lock_);
    if (stopping_) return;
    if (idle_ > handOver_.size()) {
        handOver_.push_back(std::move(body));
        wake_.notify_one();
        return;
    }
    reapFinished();
    auto worker = std::make_unique<Worker>();
    Worker* self = worker.get();
    worker->thread = std::thread(
        [this, self, body = std::move(body)]() mutable { loop(self, std::move(body)); });
    workers_.push_back(std::move(worker));
}

void WorkerThreads::loop(Worker* self, std::function<void()> body) {
    std::function<void()> idleWork;
    t_whenIdle = &idleWork;
    for (;;) {
        body();
        body = nullptr;  // its captures go before the thread idles
        std::unique_lock l(lock_);
        ++idle_;
        if (idleWork) {
            l.unlock();
            std::exchange(idleWork, nullptr)();
            l.lock();
        }
        const bool handed =
            wake_.wait_for(l, idleLife_, [&] { return stopping_ || !handOver_.empty(); });
        --idle_;
        if (!handed || handOver_.empty()) {
            self->finished = true;
            return;
        }
        body = std::move(handOver_.front());
        handOver_.pop_front();
    }
}

void WorkerThreads::reapFinished() {
    for (auto it = workers_.begin(); it != workers_.end();) {
        if ((*it)->finished) {
            (*it)->thread.join();  // it has left its loop: this is immediate
            it = workers_.erase(it);
        } else {
            ++it;
        }
    }
}

void WorkerThreads::joinAll() {
    std::vector<std::unique_ptr<Worker>> all;
    std::deque<std::function<void()>> dropped;  // released outside the lock
    {
        std::lock_guard l(lock_);
        stopping_ = true;
        all.swap(workers_);
        dropped.swap(handOver_);
    }
    wake_.notify_all();
    for (auto& w : all) w->thread.join();
}

size_t WorkerThreads::threadCount() const {
    std::lock_guard l(lock_);
    return workers_.size();
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
