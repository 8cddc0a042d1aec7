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
    const std::function<void()>* fn;
    enum class State { Pending, Done, Abandoned } state = State::Pending;
};

struct Queue {
    std::mutex lock;
    std::condition_variable changed;
    std::deque<std::shared_ptr<Call>> pending;
    bool closed = false;
};

Queue& queue() {
    static Queue q;
    return q;
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
            }
            (*call->fn)();  // may run a nested event loop (a modal alert)
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

}  // namespace

namespace MainThreadCall {

bool isMainThread() {
    QCoreApplication* app = QCoreApplication::instance();
    return app && QThread::currentThread() == app->thread();
}

bool run(const std::function<void()>& fn) {
    if (!QCoreApplication::instance()) return false;
    Queue& q = queue();
    if (isMainThread()) {
        {
            std::lock_guard l(q.lock);
            if (q.closed) return false;
        }
        fn();
        return true;
    }
    auto call = std::make_shared<Call>();
    call->fn = &fn;
    {
        std::lock_guard l(q.lock);
        if (q.closed) return false;
        q.pending.push_back(call);
    }
    QCoreApplication::postEvent(dispatcher(), new QEvent(QEvent::User));
    std::unique_lock l(q.lock);
    q.changed.wait(l, [&] { return call->state != Call::State::Pending; });
    return call->state == Call::State::Done;
}

void close() {
    Queue& q = queue();
    {
        std::lock_guard l(q.lock);
        q.closed = true;
        for (auto& call : q.pending) call->state = Call::State::Abandoned;
        q.pending.clear();
    }
    q.changed.notify_all();
}

void reopen() {
    Queue& q = queue();
    std::lock_guard l(q.lock);
    q.closed = false;
}

}  // namespace MainThreadCall
