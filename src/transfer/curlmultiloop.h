// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <curl/curl.h>

#include <functional>
#include <vector>

// Runs libcurl transfers on one multi handle, on the thread that calls run()
// or perform(), and lets any other thread wake that thread at once
// (wakeup()), so that a stop or an abort never waits for the network. Every
// transfer added gets the options the viewer relies on: no signals, plain
// HTTP only, no redirections, and a quick exit that leaves a hanging name
// look-up behind instead of waiting for it when the transfer is removed.
//
// The loop does not own the easy handles. A loop is used by one thread at a
// time; only wakeup() may be called from others, while the loop exists.
class CurlMultiLoop {
public:
    enum class Outcome {
        Finished,  // every transfer has finished
        Stopped,   // the stop condition held
        Failed,    // libcurl's multi interface failed
    };
    // Called for each finished transfer, after it has left the loop; it may
    // add transfers (the loop then runs them too).
    using OnDone = std::function<void(CURL* easy, CURLcode result)>;
    // Looked at before every round and after every wakeup().
    using StopCondition = std::function<bool()>;

    CurlMultiLoop();
    ~CurlMultiLoop();
    CurlMultiLoop(const CurlMultiLoop&) = delete;
    CurlMultiLoop& operator=(const CurlMultiLoop&) = delete;

    bool valid() const { return multi_ != nullptr; }

    // The options every transfer of the viewer needs; add() sets them.
    static void setCommonOptions(CURL* easy);

    // Adds a transfer with the common options; false when libcurl refuses it.
    bool add(CURL* easy);
    // Takes a transfer off the loop, finished or not; never waits for its
    // name look-up. Nothing happens for a transfer that is not on the loop.
    void remove(CURL* easy);
    int transfers() const { return static_cast<int>(easy_.size()); }

    // The most connections kept open for reuse. libcurl's default follows
    // the number of transfers on the loop at the time, which is small for
    // a loop whose transfers seldom overlap.
    void setMaxConnections(long count);

    // Drives the added transfers until none is left, the stop condition
    // holds or libcurl fails. Transfers still on the loop when it returns
    // stay on it.
    Outcome run(const StopCondition& stop, const OnDone& onDone);

    // One transfer on a loop that holds no other: adds it, runs it to its
    // end and takes it off again. A stop gives CURLE_ABORTED_BY_CALLBACK.
    CURLcode perform(CURL* easy, const StopCondition& stop);

    // Any thread: makes the running run() look at its stop condition now.
    void wakeup();

private:
    CURLM* multi_ = nullptr;
    std::vector<CURL*> easy_;  // the transfers on the loop
};
