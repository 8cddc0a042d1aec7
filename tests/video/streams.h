// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Live streams as cameras send them, made with the demo server's encoders:
// frames of the demo's first camera, each stamped with its send time.

#include <QByteArray>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

// By its path: the model layer has a header of the same name.
#include "../../tools/demo-server/camerapicture.h"
#include "democatalog.h"
#include "videofeed.h"

inline QImage demoFrame(QSize size, std::int64_t sentMs, std::uint64_t number = 1) {
    return demo::drawCameraImage(demo::demoCameras()[0], size, {number, QTime(12, 0), sentMs});
}

inline QByteArray demoJpeg(QSize size, std::int64_t sentMs) {
    return demo::drawCameraPicture(demo::demoCameras()[0], size, 90, {1, QTime(12, 0), sentMs});
}

inline QByteArray multipartOf(const QByteArray& jpeg, int frames) {
    std::string bytes;
    for (int i = 0; i < frames; ++i) bytes += demo::multipartPart(jpeg);
    return QByteArray::fromStdString(bytes);
}

inline QByteArray transportStream(demo::TsVideoEncoder::Codec codec, QSize size, int frames,
                                  std::int64_t sentMs) {
    demo::TsVideoEncoder encoder(size, 25, codec);
    std::string bytes;
    for (int i = 0; i < frames; ++i) bytes += encoder.encode(demoFrame(size, sentMs, i + 1));
    return QByteArray::fromStdString(bytes + encoder.finish());
}

// The JPEG with its frame header claiming another size.
inline QByteArray claimingSize(QByteArray jpeg, int width, int height) {
    const qsizetype sof = jpeg.indexOf("\xff\xc0");
    jpeg[sof + 5] = char(height >> 8);
    jpeg[sof + 6] = char(height);
    jpeg[sof + 7] = char(width >> 8);
    jpeg[sof + 8] = char(width);
    return jpeg;
}

// A hostile server on 127.0.0.1: answers each connection, one at a time,
// with `head` and then `filler` again and again, at most bytesPerSecond (0:
// as fast as it can), until the viewer closes or stop() is called. Counts what it sent on each
// connection (a connection's count is final once closed() counts it).
class EndlessServer {
public:
    EndlessServer(std::string head, std::string filler, std::int64_t bytesPerSecond)
        : head_(std::move(head)), filler_(std::move(filler)), rate_(bytesPerSecond) {
        listen_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof addr;
        if (::bind(listen_, reinterpret_cast<sockaddr*>(&addr), length) == 0 &&
            ::listen(listen_, 4) == 0 &&
            ::getsockname(listen_, reinterpret_cast<sockaddr*>(&addr), &length) == 0)
            port_ = ntohs(addr.sin_port);
        accepting_ = std::thread([this] { acceptLoop(); });
    }
    ~EndlessServer() { stop(); }
    int port() const { return port_; }
    std::int64_t sentOn(size_t connection) const {
        std::lock_guard lock(lock_);
        return connection < sent_.size() ? sent_[connection]->load() : 0;
    }
    size_t closed() const { return closed_; }
    void stop() {
        {
            std::lock_guard lock(lock_);
            stopping_ = true;
            if (connection_ >= 0) ::shutdown(connection_, SHUT_RDWR);
        }
        ::shutdown(listen_, SHUT_RDWR);
        if (accepting_.joinable()) accepting_.join();
        if (listen_ >= 0) ::close(listen_);
        listen_ = -1;
    }

private:
    void acceptLoop() {
        for (;;) {
            const int fd = ::accept4(listen_, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd < 0) return;
            std::atomic<std::int64_t>* sent = nullptr;
            {
                std::lock_guard lock(lock_);
                if (stopping_) {
                    ::close(fd);
                    return;
                }
                connection_ = fd;
                sent = sent_.emplace_back(std::make_unique<std::atomic<std::int64_t>>(0)).get();
            }
            serve(fd, *sent);
            std::lock_guard lock(lock_);
            connection_ = -1;
            ::close(fd);
            ++closed_;
        }
    }
    // The request's head, then the answer until a send fails.
    void serve(int fd, std::atomic<std::int64_t>& sent) {
        std::string in;
        char buffer[4096];
        while (in.find("\r\n\r\n") == std::string::npos && in.size() < 65536) {
            const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
            if (n <= 0) return;
            in.append(buffer, static_cast<size_t>(n));
        }
        const auto start = std::chrono::steady_clock::now();
        std::string_view left = head_;
        for (;;) {
            const ssize_t n = ::send(fd, left.data(), left.size(), MSG_NOSIGNAL);
            if (n <= 0) return;
            sent += n;
            left.remove_prefix(static_cast<size_t>(n));
            if (left.empty()) left = filler_;
            // Paced: wait until the bytes sent are due.
            if (rate_ > 0)
                std::this_thread::sleep_until(start +
                                              std::chrono::microseconds(sent * 1'000'000 / rate_));
        }
    }

    const std::string head_, filler_;
    const std::int64_t rate_;
    int listen_ = -1;
    int port_ = 0;
    std::thread accepting_;
    mutable std::mutex lock_;
    bool stopping_ = false;
    int connection_ = -1;
    std::vector<std::unique_ptr<std::atomic<std::int64_t>>> sent_;
    std::atomic<size_t> closed_{0};
};
