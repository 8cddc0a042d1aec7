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

// Closes the gate: pending and later calls return false. Main thread, at quit.
void close();
// Opens the gate again (for a new application object, as tests make).
void reopen();

}  // namespace MainThreadCall
