// SPDX-License-Identifier: GPL-3.0-or-later
#include "scriptedserver.h"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <sstream>

namespace {

constexpr int kForever = 24 * 3600 * 1000;

// A blocking send returns once all is sent, or on an error (the peer gone,
// or the server stopping).
bool sendAll(int fd, const std::string& bytes) {
    return ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL) == ssize_t(bytes.size());
}

}  // namespace

ScriptedServer::ScriptedServer(Script script, int port) : script_(std::move(script)) {
    listenFd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    int one = 1;
    ::setsockopt(listenFd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<uint16_t>(port));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::bind(listenFd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        ::listen(listenFd_, 64) != 0) {
        ::close(listenFd_);
        listenFd_ = -1;
        return;
    }
    socklen_t len = sizeof addr;
    ::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&addr), &len);
    port_ = ntohs(addr.sin_port);
    acceptThread_ = std::thread([this] { acceptLoop(); });
}

ScriptedServer::~ScriptedServer() {
    stop();
}

void ScriptedServer::setScript(Script script) {
    std::lock_guard l(lock_);
    script_ = std::move(script);
}

std::vector<ScriptedServer::Request> ScriptedServer::requests() const {
    std::lock_guard l(lock_);
    return requests_;
}

bool ScriptedServer::waitForRequests(size_t n, int timeoutMs) const {
    std::unique_lock l(lock_);
    return changed_.wait_for(l, std::chrono::milliseconds(timeoutMs),
                             [&] { return requests_.size() >= n; });
}

bool ScriptedServer::waitStopped(int ms) {
    std::unique_lock l(lock_);
    return changed_.wait_for(l, std::chrono::milliseconds(ms), [&] { return stopping_; });
}

void ScriptedServer::stop() {
    {
        std::lock_guard l(lock_);
        if (stopping_ && !acceptThread_.joinable()) return;
        stopping_ = true;
        for (int fd : openFds_) ::shutdown(fd, SHUT_RDWR);
    }
    changed_.notify_all();
    if (listenFd_ >= 0) ::shutdown(listenFd_, SHUT_RDWR);
    if (acceptThread_.joinable()) acceptThread_.join();
    // No connection is added once the accept loop has ended.
    for (auto& t : connections_) t.join();
    connections_.clear();
    if (listenFd_ >= 0) ::close(listenFd_);
    listenFd_ = -1;
}

void ScriptedServer::acceptLoop() {
    for (;;) {
        const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) return;
        std::lock_guard l(lock_);
        if (stopping_) {
            ::close(fd);
            return;
        }
        // Each write goes out at once, as the script paces it.
        const int on = 1;
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        openFds_.push_back(fd);
        connections_.emplace_back([this, fd] { serve(fd); });
    }
}

void ScriptedServer::serve(int fd) {
    std::string in;
    char buf[4096];
    while (in.find("\r\n\r\n") == std::string::npos && in.size() < 65536) {
        const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
        if (n <= 0) break;
        in.append(buf, static_cast<size_t>(n));
    }
    // Connected and closed without a byte: nothing to answer.
    if (!in.empty()) {
        Request request;
        std::istringstream lines(in);
        std::string line;
        lines >> request.method >> request.target;
        std::getline(lines, line);  // the rest of the request line
        while (std::getline(lines, line) && line != "\r") {
            const size_t colon = line.find(':');
            if (colon == std::string::npos) continue;
            std::string name = line.substr(0, colon);
            for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            const size_t value = std::min(line.find_first_not_of(' ', colon + 1), line.size());
            request.headers[name] = line.substr(value, line.size() - value - (line.back() == '\r'));
        }
        Script script;
        {
            std::lock_guard l(lock_);
            requests_.push_back(request);
            script = script_;
        }
        changed_.notify_all();
        answer(fd, script(request));
    }
    {
        std::lock_guard l(lock_);
        openFds_.erase(std::remove(openFds_.begin(), openFds_.end(), fd), openFds_.end());
    }
    ::close(fd);
}

void ScriptedServer::answer(int fd, const Reply& r) {
    if (r.kind == Reply::Kind::Reset) {
        linger lg{1, 0};  // close with RST
        ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &lg, sizeof lg);
        return;
    }
    bool ok = r.kind == Reply::Kind::Send && sendAll(fd, r.head);
    // The body at the given pace in 100 ms steps (0: at once), then as After says.
    const size_t step = r.bytesPerSecond > 0 ? std::max(1, r.bytesPerSecond / 10) : r.body.size();
    do {
        for (size_t at = 0; ok && at < r.body.size(); at += step)
            ok = sendAll(fd, r.body.substr(at, step)) &&
                 (r.bytesPerSecond <= 0 || !waitStopped(100));
    } while (ok && r.after == Reply::After::Repeat && !waitStopped(0));
    if (r.kind == Reply::Kind::Stall || (ok && r.after == Reply::After::Stall))
        waitStopped(kForever);
}
