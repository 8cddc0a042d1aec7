// SPDX-License-Identifier: GPL-3.0-or-later
#include "curlmultiloop.h"

#include <algorithm>

namespace {

// Longest wait for socket activity between two looks at the stop condition
// when nobody wakes the loop; libcurl's own timers shorten it.
constexpr int kPollMs = 1000;

}  // namespace

CurlMultiLoop::CurlMultiLoop() : multi_(curl_multi_init()) {}

CurlMultiLoop::~CurlMultiLoop() {
    while (!easy_.empty()) remove(easy_.back());
    if (multi_) curl_multi_cleanup(multi_);
}

void CurlMultiLoop::setCommonOptions(CURL* easy) {
    // Signals would reach whatever thread the process chose.
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    // Only plain HTTP is spoken, and a server may not send us (and the
    // credentials) elsewhere.
    curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http");
    curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 0L);
    // Without it, taking off a transfer whose name look-up still runs joins
    // the resolver thread: as long as the name server takes.
    curl_easy_setopt(easy, CURLOPT_QUICK_EXIT, 1L);
}

bool CurlMultiLoop::add(CURL* easy) {
    if (!multi_ || !easy) return false;
    if (std::find(easy_.begin(), easy_.end(), easy) != easy_.end()) return true;
    setCommonOptions(easy);
    if (curl_multi_add_handle(multi_, easy) != CURLM_OK) return false;
    easy_.push_back(easy);
    return true;
}

void CurlMultiLoop::remove(CURL* easy) {
    const auto it = std::find(easy_.begin(), easy_.end(), easy);
    if (it == easy_.end()) return;
    easy_.erase(it);
    curl_multi_remove_handle(multi_, easy);
}

void CurlMultiLoop::setMaxConnections(long count) {
    if (multi_) curl_multi_setopt(multi_, CURLMOPT_MAXCONNECTS, std::max(count, 1L));
}

CurlMultiLoop::Outcome CurlMultiLoop::run(const StopCondition& stop, const OnDone& onDone) {
    if (!multi_) return Outcome::Failed;
    while (!easy_.empty()) {
        if (stop && stop()) return Outcome::Stopped;
        int running = 0;
        if (curl_multi_perform(multi_, &running) != CURLM_OK) return Outcome::Failed;
        bool finishedAny = false;
        int queued = 0;
        while (CURLMsg* msg = curl_multi_info_read(multi_, &queued)) {
            if (msg->msg != CURLMSG_DONE) continue;
            CURL* easy = msg->easy_handle;
            const CURLcode result = msg->data.result;
            // The message is gone once its transfer is removed.
            remove(easy);
            finishedAny = true;
            if (onDone) onDone(easy, result);
        }
        if (easy_.empty()) return Outcome::Finished;
        // Transfers that neither run nor report an end would spin forever.
        if (running == 0 && !finishedAny) return Outcome::Failed;
        if (finishedAny) continue;  // a transfer added by onDone starts now
        // Wakes on socket activity, libcurl's timers, or wakeup().
        if (curl_multi_poll(multi_, nullptr, 0, kPollMs, nullptr) != CURLM_OK)
            return Outcome::Failed;
    }
    return Outcome::Finished;
}

CURLcode CurlMultiLoop::perform(CURL* easy, const StopCondition& stop) {
    if (!add(easy)) return CURLE_FAILED_INIT;
    CURLcode result = CURLE_FAILED_INIT;
    const Outcome outcome = run(stop, [&](CURL*, CURLcode code) { result = code; });
    remove(easy);
    switch (outcome) {
        case Outcome::Finished:
            return result;
        case Outcome::Stopped:
            return CURLE_ABORTED_BY_CALLBACK;
        case Outcome::Failed:
            break;
    }
    return CURLE_FAILED_INIT;
}

void CurlMultiLoop::wakeup() {
    if (multi_) curl_multi_wakeup(multi_);
}
