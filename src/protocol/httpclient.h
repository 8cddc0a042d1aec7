#pragma once

#include <atomic>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include <QByteArray>

// Lets another thread end a blocking request at once. One token may serve
// many requests in turn; once aborted it stays aborted.
class AbortToken {
public:
    void abort();
    bool aborted() const { return aborted_.load(); }

private:
    friend class HttpClient;
    std::atomic<bool> aborted_{false};
    std::mutex lock_;        // guards multi_
    void* multi_ = nullptr;  // the libcurl multi handle of the running request
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
