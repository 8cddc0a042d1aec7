// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>

// Runs work on the application's main thread and waits for it, from any
// thread. Unlike a blocking queued connection, a waiting worker is released
// when the application closes the gate at quit, so a main thread that joins
// its workers can never deadlock with one of them.
namespace MainThreadCall {

// True on the thread of the QCoreApplication.
bool isMainThread();

// Runs fn on the main thread and returns after it has run: at once when
// called on the main thread. Returns false, without running fn and with the
// guarantee that fn will never run, when there is no application or the
// gate is closed (also when it closes while the call waits).
bool run(const std::function<void()>& fn);

// Like run(), without waiting: fn runs on the main thread after the call
// returns (at once when called there). Returns false when fn will never run:
// there is no application, or the gate is closed. Closing the gate later
// drops fn without running it, so fn must own what it uses.
bool post(std::function<void()> fn);

// Like run(), for work that ends later than the call on the main thread (a
// window-modal alert that the user dismisses): start runs on the main thread
// and is handed a finish function; the caller waits until finish has been
// called there. Called on the main thread, start runs at once and the call
// does not wait. Closing the gate releases the caller (false); a finish that
// comes after that does nothing.
using StartFunction = std::function<void(std::function<void()> finish)>;
bool runAndWait(const StartFunction& start);

// Closes the gate: pending and later calls return false. Main thread, at quit.
void close();
// Opens the gate again, at launch: a process may make a new application
// object after an earlier one closed it.
void reopen();

// Keeps the gate closed while it lives, whatever close() and reopen() do
// meanwhile: made by whoever joins threads that may be waiting here, so that
// the join can never deadlock, in whatever order shutdown happens.
class RefuseWhileJoining {
public:
    RefuseWhileJoining();
    ~RefuseWhileJoining();
    RefuseWhileJoining(const RefuseWhileJoining&) = delete;
    RefuseWhileJoining& operator=(const RefuseWhileJoining&) = delete;
};

}  // namespace MainThreadCall
