#include "httpclient.h"

#include <curl/curl.h>

namespace {

struct Sink {
    QByteArray body;
    size_t maxBytes;
    bool overflow = false;
};

size_t writeBody(char* data, size_t size, size_t count, void* user) {
    auto* sink = static_cast<Sink*>(user);
    const size_t n = size * count;
    if (sink->body.size() + n > sink->maxBytes) {
        // A server that never stops sending must not exhaust memory.
        sink->overflow = true;
        return 0;
    }
    sink->body.append(data, static_cast<qsizetype>(n));
    return n;
}

// Each worker thread keeps its libcurl handles between requests, which saves
// setting them up for every picture. Connections are not kept: on a reused
// connection a server that does not disable Nagle's algorithm meets the
// client's delayed acknowledgement, and each picture then waits ~40 ms.
struct ThreadHandles {
    CURLM* multi = nullptr;
    CURL* easy = nullptr;
    ~ThreadHandles() {
        if (easy) curl_easy_cleanup(easy);
        if (multi) curl_multi_cleanup(multi);
    }
    bool ready() {
        if (!multi) multi = curl_multi_init();
        if (!easy) {
            easy = curl_easy_init();
        } else {
            curl_easy_reset(easy);
        }
        return multi && easy;
    }
};

}  // namespace

void AbortToken::abort() {
    std::lock_guard l(lock_);
    // Set under the lock: a request that enters after this sees the flag.
    aborted_ = true;
    for (void* multi : running_) curl_multi_wakeup(static_cast<CURLM*>(multi));
}

void AbortToken::enter(void* multi) {
    std::lock_guard l(lock_);
    running_.push_back(multi);
}

void AbortToken::leave(void* multi) {
    std::lock_guard l(lock_);
    std::erase(running_, multi);
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
    CURLM* multi = handles.multi;
    Sink sink{QByteArray(), request.maxBytes};
    curl_slist* headers = nullptr;
    for (const std::string& h : request.headers) headers = curl_slist_append(headers, h.c_str());

    curl_easy_setopt(easy, CURLOPT_URL, request.url.c_str());
    curl_easy_setopt(easy, CURLOPT_HTTPGET, 1L);
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy, CURLOPT_TIMEOUT_MS, request.timeoutMs);
    curl_easy_setopt(easy, CURLOPT_HTTPHEADER, headers);
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, writeBody);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, &sink);
    // Only plain HTTP is spoken, and a server may not send us elsewhere.
    curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http");
    curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(easy, CURLOPT_FORBID_REUSE, 1L);
    // An aborted request whose name lookup still hangs must not hold its
    // worker until the resolver gives up: leave the lookup thread behind.
    curl_easy_setopt(easy, CURLOPT_QUICK_EXIT, 1L);

    CURLcode code = CURLE_OK;
    if (curl_multi_add_handle(multi, easy) != CURLM_OK) {
        code = CURLE_FAILED_INIT;
    } else {
        if (abort) abort->enter(multi);
        int running = 1;
        bool done = false;
        while (!done) {
            if (abort && abort->aborted()) {
                code = CURLE_ABORTED_BY_CALLBACK;
                break;
            }
            if (curl_multi_perform(multi, &running) != CURLM_OK) {
                code = CURLE_FAILED_INIT;
                break;
            }
            int queued = 0;
            while (CURLMsg* msg = curl_multi_info_read(multi, &queued)) {
                if (msg->msg == CURLMSG_DONE) {
                    code = msg->data.result;
                    done = true;
                }
            }
            if (done || running == 0) break;
            // Wakes on socket activity, curl's own timers, or abort().
            curl_multi_poll(multi, nullptr, 0, 1000, nullptr);
        }
        if (abort) abort->leave(multi);
        curl_multi_remove_handle(multi, easy);
    }

    if (code == CURLE_OK && !sink.overflow) {
        curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &result.status);
        result.body = std::move(sink.body);
    } else {
        result.error = sink.overflow ? "answer too large" : curl_easy_strerror(code);
    }
    curl_slist_free_all(headers);
    return result;
}
