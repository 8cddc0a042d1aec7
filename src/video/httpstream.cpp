// SPDX-License-Identifier: GPL-3.0-or-later
#include "httpstream.h"

#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

namespace video {

namespace {

using Clock = std::chrono::steady_clock;

int msLeft(Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return static_cast<int>(std::max<long long>(0, left));
}

// A name lookup that may take long (DNS) runs on a thread of its own that
// nobody waits for: the decode thread only waits for its answer, so a stop
// is never held up by a resolver.
struct Lookup {
    std::mutex lock;
    addrinfo* result = nullptr;
    int error = 0;
    bool done = false;
    int pipe[2] = {-1, -1};
    ~Lookup() {
        if (result) freeaddrinfo(result);
        for (const int fd : pipe)
            if (fd >= 0) ::close(fd);
    }
};

std::string lower(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return text;
}

std::string trimmed(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return {};
    const size_t last = text.find_last_not_of(" \t\r");
    return text.substr(first, last - first + 1);
}

// Bodies that say they are text are answers a person reads (a login page,
// an error), never a stream.
bool isTextType(const std::string& type) {
    return type.rfind("text/", 0) == 0 || type.rfind("application/json", 0) == 0 ||
           type.rfind("application/xhtml", 0) == 0;
}

constexpr size_t kMaxHead = 16 * 1024;

}  // namespace

HttpStream::~HttpStream() {
    if (fd_ >= 0) ::close(fd_);
}

int HttpStream::waitFor(short events, int timeoutMs) {
    pollfd fds[2] = {{fd_, events, 0}, {wakeFd_, POLLIN, 0}};
    for (;;) {
        const int n = ::poll(fds, 2, timeoutMs);
        if (n < 0 && errno == EINTR) continue;
        if (fds[1].revents) return kStopped;
        if (n == 0) return kTimedOut;
        return n > 0 ? 1 : kFailed;
    }
}

int HttpStream::connectTo(const Request& request, int timeoutMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    std::string host = request.host;
    if (host.size() > 2 && host.front() == '[' && host.back() == ']')
        host = host.substr(1, host.size() - 2);

    auto lookup = std::make_shared<Lookup>();
    if (::pipe2(lookup->pipe, O_CLOEXEC) != 0) return kFailed;
    std::thread([lookup, host, port = request.port] {
        addrinfo hints{};
        hints.ai_socktype = SOCK_STREAM;
        addrinfo* result = nullptr;
        const int error = getaddrinfo(host.c_str(), port.c_str(), &hints, &result);
        std::lock_guard lock(lookup->lock);
        lookup->result = result;
        lookup->error = error;
        lookup->done = true;
        const char byte = 1;
        [[maybe_unused]] const ssize_t n = ::write(lookup->pipe[1], &byte, 1);
    }).detach();
    {
        const int saved = fd_;
        fd_ = lookup->pipe[0];
        const int ready = waitFor(POLLIN, msLeft(deadline));
        fd_ = saved;
        if (ready != 1) return ready;
    }
    std::lock_guard lock(lookup->lock);
    if (lookup->error != 0 || !lookup->result) {
        detail_ = "cannot find the host";
        return kFailed;
    }
    for (addrinfo* a = lookup->result; a; a = a->ai_next) {
        fd_ = ::socket(a->ai_family, a->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, a->ai_protocol);
        if (fd_ < 0) continue;
        const int yes = 1;
        ::setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
        if (::connect(fd_, a->ai_addr, a->ai_addrlen) == 0) return 1;
        if (errno == EINPROGRESS) {
            const int ready = waitFor(POLLOUT, msLeft(deadline));
            if (ready == kStopped || ready == kTimedOut) return ready;
            int error = 0;
            socklen_t length = sizeof error;
            if (ready == 1 && ::getsockopt(fd_, SOL_SOCKET, SO_ERROR, &error, &length) == 0 &&
                error == 0)
                return 1;
        }
        ::close(fd_);
        fd_ = -1;
    }
    detail_ = "cannot connect";
    return kFailed;
}

HttpStream::Opened HttpStream::open(const Request& request, int timeoutMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    const auto failed = [](int code) {
        return code == kStopped    ? Opened::Stopped
               : code == kTimedOut ? Opened::TimedOut
                                   : Opened::ConnectionFailed;
    };
    if (const int connected = connectTo(request, timeoutMs); connected != 1) {
        return failed(connected);
    }

    std::string out = "GET " + request.path + " HTTP/1.1\r\nHost: " + request.host + ":" +
                      request.port + "\r\nUser-Agent: Zorvan\r\nAccept: */*\r\n";
    if (!request.authorization.empty()) out += "Authorization: " + request.authorization + "\r\n";
    out += "Connection: close\r\n\r\n";
    for (size_t sent = 0; sent < out.size();) {
        const int ready = waitFor(POLLOUT, msLeft(deadline));
        if (ready != 1) return failed(ready);
        const ssize_t n = ::send(fd_, out.data() + sent, out.size() - sent, MSG_NOSIGNAL);
        if (n < 0 && errno != EAGAIN && errno != EINTR) {
            detail_ = "the connection broke";
            return Opened::ConnectionFailed;
        }
        if (n > 0) sent += static_cast<size_t>(n);
    }
    // The credentials are no longer needed: wipe the copy made above.
    std::fill(out.begin(), out.end(), '\0');

    size_t end = std::string::npos;
    while ((end = pending_.find("\r\n\r\n")) == std::string::npos) {
        if (pending_.size() > kMaxHead) {
            detail_ = "an endless answer head";
            return Opened::NotVideo;
        }
        const int ready = waitFor(POLLIN, msLeft(deadline));
        if (ready != 1) return failed(ready);
        char buffer[4096];
        const ssize_t n = ::recv(fd_, buffer, sizeof buffer, 0);
        if (n == 0) {
            detail_ = "closed before answering";
            return Opened::ConnectionFailed;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR) {
            detail_ = "the connection broke";
            return Opened::ConnectionFailed;
        }
        if (n > 0) pending_.append(buffer, static_cast<size_t>(n));
    }
    const std::string head = pending_.substr(0, end + 2);
    pending_.erase(0, end + 4);
    if (!parseHead(head)) return Opened::NotVideo;
    return Opened::Ok;
}

bool HttpStream::parseHead(const std::string& head) {
    size_t lineEnd = head.find("\r\n");
    const std::string statusLine = head.substr(0, lineEnd);
    if (statusLine.rfind("HTTP/1.", 0) != 0 || statusLine.size() < 12) {
        detail_ = "not an HTTP answer";
        return false;
    }
    std::from_chars(statusLine.data() + 9, statusLine.data() + 12, status_);
    for (size_t start = lineEnd + 2; start < head.size(); start = lineEnd + 2) {
        lineEnd = head.find("\r\n", start);
        if (lineEnd == std::string::npos) lineEnd = head.size();
        const std::string line = head.substr(start, lineEnd - start);
        const size_t colon = line.find(':');
        if (colon == std::string::npos) continue;
        const std::string name = lower(trimmed(line.substr(0, colon)));
        const std::string value = trimmed(line.substr(colon + 1));
        if (name == "content-type") {
            contentType_ = lower(value);
        } else if (name == "transfer-encoding") {
            chunked_ = lower(value).find("chunked") != std::string::npos;
        } else if (name == "content-length") {
            std::from_chars(value.data(), value.data() + value.size(), remaining_);
        }
    }
    if (chunked_) remaining_ = -1;
    // The status is not looked at, as for every other answer: the body
    // decides. A redirect is never followed (see the header); its body, like
    // a 401 page's, is no video.
    if (isTextType(contentType_)) {
        detail_ = "a page of type " + contentType_;
        return false;
    }
    return true;
}

int HttpStream::rawRead(std::uint8_t* data, int size, int timeoutMs) {
    if (!pending_.empty()) {
        const int n = static_cast<int>(std::min<size_t>(pending_.size(), size_t(size)));
        std::copy_n(pending_.data(), n, data);
        pending_.erase(0, static_cast<size_t>(n));
        return n;
    }
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        const int ready = waitFor(POLLIN, msLeft(deadline));
        if (ready != 1) return ready;
        const ssize_t n = ::recv(fd_, data, static_cast<size_t>(size), 0);
        if (n > 0) return static_cast<int>(n);
        if (n == 0) return kEnd;
        if (errno != EAGAIN && errno != EINTR) return kFailed;
    }
}

int HttpStream::readLine(std::string& line, int timeoutMs) {
    line.clear();
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        std::uint8_t byte = 0;
        const int n = rawRead(&byte, 1, msLeft(deadline));
        if (n <= 0) return n == kEnd ? kFailed : n;  // a cut inside a chunk head
        if (byte == '\n') return 1;
        if (line.size() > 1024) return kFailed;
        if (byte != '\r') line.push_back(static_cast<char>(byte));
    }
}

int HttpStream::read(std::uint8_t* data, int size, int timeoutMs) {
    if (ended_ || size <= 0) return kEnd;
    if (!chunked_) {
        if (remaining_ == 0) return kEnd;
        if (remaining_ > 0) size = static_cast<int>(std::min<std::int64_t>(size, remaining_));
        const int n = rawRead(data, size, timeoutMs);
        if (n > 0 && remaining_ > 0) remaining_ -= n;
        return n;
    }
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    if (chunkLeft_ == 0) {
        std::string line;
        if (!firstChunk_) {
            if (const int r = readLine(line, msLeft(deadline)); r != 1) return r;
        }
        firstChunk_ = false;
        if (const int r = readLine(line, msLeft(deadline)); r != 1) return r;
        std::int64_t chunk = 0;
        const auto [end, error] =
            std::from_chars(line.data(), line.data() + line.size(), chunk, 16);
        if (error != std::errc() || chunk < 0) return kFailed;
        if (chunk == 0) {
            ended_ = true;
            return kEnd;
        }
        chunkLeft_ = chunk;
    }
    const int n =
        rawRead(data, static_cast<int>(std::min<std::int64_t>(size, chunkLeft_)), msLeft(deadline));
    if (n > 0) chunkLeft_ -= n;
    if (n == kEnd) return kFailed;  // closed inside a chunk
    return n;
}

}  // namespace video
