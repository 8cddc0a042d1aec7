#pragma once

// An HTTP server on 127.0.0.1 for the stream tests: it answers every request
// with a planned head and body, sent at a given pace, and then closes, stalls
// or sends the body again and again. It records the requests' heads.

#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class StreamServer {
public:
    struct Plan {
        std::string head;  // sent first, as is; empty: nothing at all is ever sent
        std::string body;
        int bytesPerSecond = 0;  // 0: as fast as possible
        enum class After { Close, Stall, Repeat } after = After::Close;
    };

    explicit StreamServer(Plan plan);
    ~StreamServer();
    StreamServer(const StreamServer&) = delete;
    StreamServer& operator=(const StreamServer&) = delete;

    int port() const { return port_; }
    std::string url(const std::string& path) const;
    std::vector<std::string> requests() const;
    // Closes every connection and joins.
    void stop();

    // "HTTP/1.1 200 OK" with Content-Type audio/mpeg and, when length >= 0,
    // Content-Length.
    static std::string okHead(long long length, const char* version = "HTTP/1.1");

private:
    void acceptLoop();
    void serve(int fd);
    bool waitStop(int ms);

    Plan plan_;
    int listenFd_ = -1;
    int port_ = 0;
    std::thread acceptThread_;
    mutable std::mutex lock_;
    std::condition_variable changed_;
    std::vector<std::thread> connections_;
    std::vector<int> fds_;
    std::vector<std::string> requests_;
    bool stopping_ = false;
};
