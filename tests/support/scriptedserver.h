// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// An HTTP/1.1 server on 127.0.0.1 for tests, answering each request (one a
// connection) as a script says: bytes sent as they are, perhaps paced, then
// a close, a stall or the body again; a stall; or a connection reset. It
// records every request it received.
class ScriptedServer {
public:
    struct Request {
        std::string method;
        std::string target;                          // path and query as sent
        std::map<std::string, std::string> headers;  // names in lower case
    };
    struct Reply {
        enum class Kind { Send, Stall, Reset } kind = Kind::Send;
        // Send: head goes out as it is, then body at bytesPerSecond (0: at
        // once), then the server closes, stalls or sends the body again and
        // again.
        std::string head = "", body = "";
        int bytesPerSecond = 0;
        enum class After { Close, Stall, Repeat } after = After::Close;
    };
    using Script = std::function<Reply(const Request&)>;

    // Listens on 127.0.0.1 at port (0: any free port); see listening().
    explicit ScriptedServer(Script script, int port = 0);
    // Gives every request the same reply.
    explicit ScriptedServer(Reply reply, int port = 0)
        : ScriptedServer([reply](const Request&) { return reply; }, port) {}
    ~ScriptedServer();
    ScriptedServer(const ScriptedServer&) = delete;
    ScriptedServer& operator=(const ScriptedServer&) = delete;

    bool listening() const { return port_ != 0; }
    int port() const { return port_; }
    std::string base() const { return "http://127.0.0.1:" + std::to_string(port_); }
    void setScript(Script script);
    // The requests received; a connection closed before it sent anything
    // (a check that the server takes connections) is not one.
    std::vector<Request> requests() const;
    // Waits until at least n requests have arrived; false at the deadline.
    bool waitForRequests(size_t n, int timeoutMs = 30000) const;
    // Ends stalls and endless bodies, closes everything and joins.
    void stop();

    // A whole answer with this status and body; the server then closes.
    static Reply json(const std::string& body, int status = 200) {
        return {.head = "HTTP/1.1 " + std::to_string(status) +
                        " Status\r\nContent-Type: application/json\r\nContent-Length: " +
                        std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n",
                .body = body};
    }
    static Reply stream(std::string head, std::string body, int bytesPerSecond = 0,
                        Reply::After after = Reply::After::Close) {
        return {.head = std::move(head),
                .body = std::move(body),
                .bytesPerSecond = bytesPerSecond,
                .after = after};
    }
    static Reply of(Reply::Kind kind) { return {.kind = kind}; }

private:
    void acceptLoop();
    void serve(int fd);
    void answer(int fd, const Reply& reply);
    bool waitStopped(int ms);

    int listenFd_ = -1;
    int port_ = 0;
    std::thread acceptThread_;
    mutable std::mutex lock_;
    mutable std::condition_variable changed_;
    Script script_;
    std::vector<Request> requests_;
    std::vector<std::thread> connections_;
    std::vector<int> openFds_;
    bool stopping_ = false;
};
