// SPDX-License-Identifier: GPL-3.0-or-later
#include "mainthreadcall.h"

#include <QCoreApplication>
#include <QEvent>
#include <QObject>
#include <QThread>

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>

namespace {

// One call waiting for the main thread. Its state is guarded by the queue's
// mutex, which also orders the worker's writes before the main thread's run.
struct Call {
    const std::function<void()>* fn = nullptr;             // a plain call
    const MainThreadCall::StartFunction* start = nullptr;  // a call finished later
    std::function<void()> posted;                          // a call nobody waits for
    enum class State { Pending, Done, Abandoned } state = State::Pending;
};

struct Queue {
    std::mutex lock;
    std::condition_variable changed;
    std::deque<std::shared_ptr<Call>> pending;
    // Started calls whose finish has not come yet: released on close too.
    std::vector<std::weak_ptr<Call>> started;
    bool closed = false;  // by close(), until reopen()
    int refusals = 0;     // RefuseWhileJoining objects alive
    bool refusing() const { return closed || refusals > 0; }
    // Abandons every waiting call; its worker returns false. Under lock.
    // Returns the abandoned calls, for the caller to drop after unlocking:
    // a posted call's captures may take this lock again as they go.
    std::deque<std::shared_ptr<Call>> abandonWaiting() {
        for (auto& call : pending) call->state = Call::State::Abandoned;
        std::deque<std::shared_ptr<Call>> dropped;
        dropped.swap(pending);
        for (auto& weak : started) {
            if (auto call = weak.lock(); call && call->state == Call::State::Pending)
                call->state = Call::State::Abandoned;
        }
        started.clear();
        return dropped;
    }
};

Queue& queue() {
    static Queue q;
    return q;
}

void finishCall(const std::weak_ptr<Call>& weak) {
    Queue& q = queue();
    {
        std::lock_guard l(q.lock);
        auto call = weak.lock();
        if (!call || call->state != Call::State::Pending) return;
        call->state = Call::State::Done;
        std::erase_if(q.started, [&](const std::weak_ptr<Call>& w) {
            auto c = w.lock();
            return !c || c == call;
        });
    }
    q.changed.notify_all();
}

// Lives on the main thread; each posted event drains the queue there. Only a
// plain event crosses Qt's own queue, and it is never looked at: the work
// itself travels through our queue, whose lock orders the worker's writes
// before the main thread's reads in a way race detectors can see.
class Dispatcher : public QObject {
protected:
    void customEvent(QEvent*) override { drain(); }

private:
    static void drain() {
        Queue& q = queue();
        for (;;) {
            std::shared_ptr<Call> call;
            {
                std::lock_guard l(q.lock);
                if (q.pending.empty()) return;
                call = std::move(q.pending.front());
                q.pending.pop_front();
                if (call->state != Call::State::Pending) continue;
                if (call->start) q.started.push_back(call);
            }
            if (call->posted) {
                call->posted();
                continue;
            }
            if (call->start) {
                // The worker goes on waiting until finish is called.
                std::weak_ptr<Call> weak = call;
                (*call->start)([weak] { finishCall(weak); });
                continue;
            }
            (*call->fn)();
            {
                std::lock_guard l(q.lock);
                call->state = Call::State::Done;
            }
            q.changed.notify_all();
        }
    }
};

Dispatcher* dispatcher() {
    static Dispatcher* d = [] {
        auto* x = new Dispatcher;  // lives for the process
        x->moveToThread(QCoreApplication::instance()->thread());
        return x;
    }();
    return d;
}

// Queues call for the main thread and waits until it is done or abandoned.
bool postAndWait(const std::shared_ptr<Call>& call) {
    Queue& q = queue();
    {
        std::lock_guard l(q.lock);
        if (q.refusing()) return false;
        q.pending.push_back(call);
    }
    QCoreApplication::postEvent(dispatcher(), new QEvent(QEvent::User));
    std::unique_lock l(q.lock);
    q.changed.wait(l, [&] { return call->state != Call::State::Pending; });
    return call->state == Call::State::Done;
}

bool refusingNow() {
    Queue& q = queue();
    std::lock_guard l(q.lock);
    return q.refusing();
}

// A call made on the main thread runs at once, unless the gate is closed.
bool runHere(const std::function<void()>& fn) {
    if (refusingNow()) return false;
    fn();
    return true;
}

}  // namespace

namespace MainThreadCall {

bool isMainThread() {
    QCoreApplication* app = QCoreApplication::instance();
    return app && QThread::currentThread() == app->thread();
}

bool run(const std::function<void()>& fn) {
    if (!QCoreApplication::instance()) return false;
    if (isMainThread()) return runHere(fn);
    auto call = std::make_shared<Call>();
    call->fn = &fn;
    return postAndWait(call);
}

bool post(std::function<void()> fn) {
    if (!QCoreApplication::instance()) return false;
    if (isMainThread()) return runHere(fn);
    auto call = std::make_shared<Call>();
    call->posted = std::move(fn);
    Queue& q = queue();
    {
        std::lock_guard l(q.lock);
        if (q.refusing()) return false;  // call, and fn with it, go after unlocking
        q.pending.push_back(call);
    }
    QCoreApplication::postEvent(dispatcher(), new QEvent(QEvent::User));
    return true;
}

bool runAndWait(const StartFunction& start) {
    if (!QCoreApplication::instance()) return false;
    if (isMainThread()) {
        // The main thread cannot wait for itself: start, and go on.
        if (refusingNow()) return false;
        start([] {});
        return true;
    }
    auto call = std::make_shared<Call>();
    call->start = &start;
    return postAndWait(call);
}

void close() {
    Queue& q = queue();
    std::deque<std::shared_ptr<Call>> dropped;
    {
        std::lock_guard l(q.lock);
        q.closed = true;
        dropped = q.abandonWaiting();
    }
    q.changed.notify_all();
}

void reopen() {
    Queue& q = queue();
    std::lock_guard l(q.lock);
    q.closed = false;
}

RefuseWhileJoining::RefuseWhileJoining() {
    Queue& q = queue();
    std::deque<std::shared_ptr<Call>> dropped;
    {
        std::lock_guard l(q.lock);
        ++q.refusals;
        dropped = q.abandonWaiting();
    }
    q.changed.notify_all();
}

RefuseWhileJoining::~RefuseWhileJoining() {
    Queue& q = queue();
    std::lock_guard l(q.lock);
    --q.refusals;
}

}  // namespace MainThreadCall
