// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <atomic>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include <QByteArray>

class CurlMultiLoop;

// Lets another thread end blocking requests at once. One token may serve
// many requests, in turn and at the same time (the data manager's workers
// share one); abort() wakes every one that is running. Once aborted it stays
// aborted.
class AbortToken {
public:
    void abort();
    bool aborted() const { return aborted_.load(); }

private:
    friend class HttpClient;
    void enter(CurlMultiLoop* loop);
    void leave(CurlMultiLoop* loop);

    std::atomic<bool> aborted_{false};
    std::mutex lock_;                      // guards running_
    std::vector<CurlMultiLoop*> running_;  // the loops of running requests
};

// A synchronous HTTP GET over libcurl, for worker threads. The body comes back
// whatever the status; a transport error, a timeout, an abort or a body larger
// than maxBytes gives nothing.
class HttpClient {
public:
    struct Get {
        std::string url;
        std::vector<std::string> headers;  // "Name: value"
        long timeoutMs = 25000;
        size_t maxBytes = 16u << 20;
    };
    struct Result {
        std::optional<QByteArray> body;
        long status = 0;    // 0 when no answer
        std::string error;  // libcurl's text on failure
    };

    static Result get(const Get& request, AbortToken* abort = nullptr);
};
