#include "streamserver.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>

namespace {

bool sendAll(int fd, const char* data, size_t size) {
    while (size > 0) {
        const ssize_t n = ::send(fd, data, size, MSG_NOSIGNAL);
        if (n <= 0) return false;
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

}  // namespace

StreamServer::StreamServer(Plan plan) : plan_(std::move(plan)) {
    listenFd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::bind(listenFd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        ::listen(listenFd_, 16) != 0) {
        ::close(listenFd_);
        listenFd_ = -1;
        return;
    }
    socklen_t len = sizeof addr;
    ::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&addr), &len);
    port_ = ntohs(addr.sin_port);
    acceptThread_ = std::thread([this] { acceptLoop(); });
}

StreamServer::~StreamServer() {
    stop();
}

std::string StreamServer::url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + path;
}

std::string StreamServer::okHead(long long length, const char* version) {
    std::string head = std::string(version) + " 200 OK\r\nContent-Type: audio/mpeg\r\n";
    if (length >= 0) head += "Content-Length: " + std::to_string(length) + "\r\n";
    return head + "Connection: close\r\n\r\n";
}

std::vector<std::string> StreamServer::requests() const {
    std::lock_guard l(lock_);
    return requests_;
}

bool StreamServer::waitStop(int ms) {
    std::unique_lock l(lock_);
    return changed_.wait_for(l, std::chrono::milliseconds(ms), [this] { return stopping_; });
}

void StreamServer::stop() {
    {
        std::lock_guard l(lock_);
        stopping_ = true;
        for (int fd : fds_) ::shutdown(fd, SHUT_RDWR);
    }
    changed_.notify_all();
    if (listenFd_ >= 0) ::shutdown(listenFd_, SHUT_RDWR);
    if (acceptThread_.joinable()) acceptThread_.join();
    std::vector<std::thread> threads;
    {
        std::lock_guard l(lock_);
        threads.swap(connections_);
    }
    for (auto& t : threads) t.join();
    if (listenFd_ >= 0) ::close(listenFd_);
    listenFd_ = -1;
}

void StreamServer::acceptLoop() {
    for (;;) {
        const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) return;
        std::lock_guard l(lock_);
        if (stopping_) {
            ::close(fd);
            return;
        }
        fds_.push_back(fd);
        connections_.emplace_back([this, fd] { serve(fd); });
    }
}

void StreamServer::serve(int fd) {
    std::string head;
    char buf[2048];
    while (head.find("\r\n\r\n") == std::string::npos && head.size() < 65536) {
        const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
        if (n <= 0) break;
        head.append(buf, static_cast<size_t>(n));
    }
    {
        std::lock_guard l(lock_);
        requests_.push_back(head);
    }
    bool ok = !plan_.head.empty() && sendAll(fd, plan_.head.data(), plan_.head.size());
    // Sends the body in 100 ms steps at the planned pace.
    auto sendBody = [&] {
        if (plan_.bytesPerSecond <= 0) return sendAll(fd, plan_.body.data(), plan_.body.size());
        const size_t step = std::max<size_t>(1, static_cast<size_t>(plan_.bytesPerSecond) / 10);
        for (size_t at = 0; at < plan_.body.size(); at += step) {
            if (!sendAll(fd, plan_.body.data() + at, std::min(step, plan_.body.size() - at)))
                return false;
            if (waitStop(100)) return false;
        }
        return true;
    };
    if (ok) {
        do {
            ok = sendBody();
        } while (ok && plan_.after == Plan::After::Repeat && !waitStop(0));
    }
    if (plan_.head.empty() || (ok && plan_.after == Plan::After::Stall)) waitStop(24 * 3600 * 1000);
    {
        std::lock_guard l(lock_);
        fds_.erase(std::remove(fds_.begin(), fds_.end(), fd), fds_.end());
    }
    ::close(fd);
}
