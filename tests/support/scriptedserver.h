#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// An HTTP/1.1 server on 127.0.0.1 for tests, answering each request as a
// script says: a normal answer, a stall, a connection reset, raw bytes, or
// a paced stream; an answer may keep its connection for the next request.
// It records every request it received.
class ScriptedServer {
public:
    struct Request {
        std::string method;
        std::string target;                          // path and query as sent
        std::map<std::string, std::string> headers;  // names in lower case
    };
    struct Reply {
        enum class Kind { Answer, Stall, Reset, Raw, Stream } kind = Kind::Answer;
        int status = 200;
        std::string contentType = "application/json";
        std::string body = "";  // the body for Answer and Stream; the whole bytes for Raw
        int delayMs = 0;        // wait before answering (Answer only)
        // Answer only: keep the connection for the next request; a pause
        // between the head and the body, which go out in writes of their own.
        bool keepAlive = false;
        int pauseMs = 0;
        // Stream: head is sent as it is (empty: nothing is ever sent), then
        // body at bytesPerSecond (0: at once), then the server closes, stalls
        // or sends the body again and again.
        std::string head = "";
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
    // Every connection accepted, requests or not.
    size_t connections() const;
    // Waits until at least n requests have arrived; false at the deadline.
    bool waitForRequests(size_t n, int timeoutMs = 30000) const;
    // Ends stalls and endless bodies, closes everything and joins.
    void stop();

    static Reply json(std::string body, int status = 200, std::string type = "application/json") {
        return {.status = status, .contentType = std::move(type), .body = std::move(body)};
    }
    static Reply stream(std::string head, std::string body, int bytesPerSecond = 0,
                        Reply::After after = Reply::After::Close) {
        return {.kind = Reply::Kind::Stream,
                .body = std::move(body),
                .head = std::move(head),
                .bytesPerSecond = bytesPerSecond,
                .after = after};
    }
    static Reply of(Reply::Kind kind, std::string body = "") {
        return {.kind = kind, .body = std::move(body)};
    }

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
    size_t accepted_ = 0;
    std::vector<std::thread> connections_;
    std::vector<int> openFds_;
    bool stopping_ = false;
};
