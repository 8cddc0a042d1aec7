// SPDX-License-Identifier: GPL-3.0-or-later
#include "httpclient.h"

#include "cappedbody.h"

#include <curl/curl.h>

#include "curlmultiloop.h"

#include <algorithm>
#include <chrono>
#include <mutex>
#include <set>
#include <string>

namespace {

using Clock = std::chrono::steady_clock;

// A pause this long between two parts of one answer on a kept connection is
// taken for the delayed-acknowledgement stall (40 ms at least on Linux).
constexpr auto kStallGap = std::chrono::milliseconds(30);

struct Sink {
    CappedBody body;
    Clock::time_point lastArrival{};  // of the answer's previous part
    Clock::duration longestGap{};     // between two parts of the answer

    void arrived() {
        const Clock::time_point now = Clock::now();
        if (lastArrival != Clock::time_point{})
            longestGap = std::max(longestGap, now - lastArrival);
        lastArrival = now;
    }
};

size_t writeBody(char* data, size_t size, size_t count, void* user) {
    auto* sink = static_cast<Sink*>(user);
    sink->arrived();
    return sink->body.append(data, size * count) ? size * count : 0;
}

size_t readHeader(char* data, size_t size, size_t count, void* user) {
    auto* sink = static_cast<Sink*>(user);
    sink->arrived();
    return sink->body.header(data, size * count) ? size * count : 0;
}

// The servers ("http://host:port") seen to stall on a kept connection: with
// Nagle's algorithm on at the server, the last part of an answer waits for
// our delayed acknowledgement, about 40 ms a request. Those get a fresh
// connection for every request, where the acknowledgement is immediate.
class StallingServers {
public:
    static bool contains(const std::string& origin) {
        std::lock_guard l(lock());
        return set().count(origin) != 0;
    }
    static void add(const std::string& origin) {
        std::lock_guard l(lock());
        if (set().size() >= 256) set().clear();  // bounded, whatever the servers do
        set().insert(origin);
    }

private:
    static std::mutex& lock() {
        static std::mutex m;
        return m;
    }
    static std::set<std::string>& set() {
        static std::set<std::string> s;
        return s;
    }
};

// "http://host:port" of a URL: everything before the path.
std::string originOf(const std::string& url) {
    const size_t scheme = url.find("://");
    if (scheme == std::string::npos) return url;
    return url.substr(0, url.find_first_of("/?#", scheme + 3));
}

// Each worker thread keeps its libcurl handles between requests, and with
// them its open connections: a steady picture rate then costs neither a
// connection set-up nor a handle set-up per picture.
struct ThreadHandles {
    CurlMultiLoop loop;
    CURL* easy = nullptr;
    ~ThreadHandles() {
        if (easy) curl_easy_cleanup(easy);
    }
    bool ready() {
        if (!easy) {
            easy = curl_easy_init();
        } else {
            curl_easy_reset(easy);
        }
        return loop.valid() && easy;
    }
};

}  // namespace

void AbortToken::abort() {
    std::lock_guard l(lock_);
    // Set under the lock: a request that enters after this sees the flag.
    aborted_ = true;
    for (CurlMultiLoop* loop : running_) loop->wakeup();
}

void AbortToken::enter(CurlMultiLoop* loop) {
    std::lock_guard l(lock_);
    running_.push_back(loop);
}

void AbortToken::leave(CurlMultiLoop* loop) {
    std::lock_guard l(lock_);
    std::erase(running_, loop);
}

HttpClient::Result HttpClient::get(const Get& request, AbortToken* abort) {
    Result result;
    if (abort && abort->aborted()) return result;

    thread_local ThreadHandles handles;
    if (!handles.ready()) {
        result.error = "out of memory";
        return result;
    }
    CURL* easy = handles.easy;
    Sink sink;
    sink.body.maxBytes = request.maxBytes;
    curl_slist* headers = nullptr;
    for (const std::string& h : request.headers) headers = curl_slist_append(headers, h.c_str());

    curl_easy_setopt(easy, CURLOPT_URL, request.url.c_str());
    curl_easy_setopt(easy, CURLOPT_HTTPGET, 1L);
    curl_easy_setopt(easy, CURLOPT_TIMEOUT_MS, request.timeoutMs);
    curl_easy_setopt(easy, CURLOPT_HTTPHEADER, headers);
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, writeBody);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, &sink);
    curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, readHeader);
    curl_easy_setopt(easy, CURLOPT_HEADERDATA, &sink);
    // Our request leaves in one piece, never held back for an acknowledgement.
    curl_easy_setopt(easy, CURLOPT_TCP_NODELAY, 1L);
    const std::string origin = originOf(request.url);
    const bool stalling = StallingServers::contains(origin);
    if (stalling) {
        curl_easy_setopt(easy, CURLOPT_FRESH_CONNECT, 1L);
        curl_easy_setopt(easy, CURLOPT_FORBID_REUSE, 1L);
    }
    // The loop adds no signals, plain HTTP only, no redirections, and does
    // not wait for a hanging name look-up once the request is aborted.
    if (abort) abort->enter(&handles.loop);
    const CURLcode code = handles.loop.perform(easy, [abort] { return abort && abort->aborted(); });
    if (abort) abort->leave(&handles.loop);

    if (code == CURLE_OK && !sink.body.overflow) {
        long newConnections = 1;
        curl_easy_getinfo(easy, CURLINFO_NUM_CONNECTS, &newConnections);
        if (!stalling && newConnections == 0 && sink.longestGap >= kStallGap) {
            // A kept connection that paused inside the answer: from now on
            // this server gets a fresh connection for every request.
            StallingServers::add(origin);
        }
        curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &result.status);
        result.body = std::move(sink.body.bytes);
    } else {
        result.error = sink.body.overflow ? "answer too large" : curl_easy_strerror(code);
    }
    curl_slist_free_all(headers);
    return result;
}
