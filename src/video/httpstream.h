// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <string>

namespace video {

// The HTTP GET of a live stream, on a socket of its own, read by the decode
// thread as a byte stream (chunked bodies undone).
//
// Why not FFmpeg's own "http" protocol: in FFmpeg 5.1 it follows up to eight
// redirects by itself, to any host and port, and sends the "headers" option
// (our Authorization header) again to each; no option turns that off, and
// its "location" option only tells afterwards where it went. Here nothing
// is ever followed: the credentials only ever go to the host and port the
// user typed. As with the viewer's other requests, the status code is not
// looked at; the body decides, and one that is not video (a 401 page, a
// redirect's) ends the stream before anything more is sent anywhere.
//
// Every wait (name lookup, connect, send, receive) is a poll() that also
// watches `wakeFd` (an eventfd the owner writes to when it stops), so that a
// stop ends it at once, and that gives up after the time it was given.
class HttpStream {
public:
    struct Request {
        std::string host;  // as in the URL: a bracketed IPv6 literal keeps its brackets
        std::string port;
        std::string path;           // checked by ServerUrl before it gets here
        std::string authorization;  // the header's value; empty: none sent
    };
    enum class Opened { Ok, Stopped, TimedOut, ConnectionFailed, NotVideo };
    // What read() returns besides a count of bytes (> 0).
    static constexpr int kEnd = 0, kFailed = -1, kStopped = -2, kTimedOut = -3;

    explicit HttpStream(int wakeFd) : wakeFd_(wakeFd) {}
    ~HttpStream();
    HttpStream(const HttpStream&) = delete;
    HttpStream& operator=(const HttpStream&) = delete;

    // Connects, sends the request and reads the answer's head, within
    // timeoutMs. NotVideo: a text or HTML body (whatever the status).
    Opened open(const Request& request, int timeoutMs);
    // Reads up to `size` body bytes, waiting at most timeoutMs for the first.
    int read(std::uint8_t* data, int size, int timeoutMs);

    int statusCode() const { return status_; }
    const std::string& contentType() const { return contentType_; }
    // Why open() failed, for the log (never holds the credentials).
    const std::string& detail() const { return detail_; }

private:
    int waitFor(short events, int timeoutMs);  // 1 ready, else kStopped or kTimedOut
    int connectTo(const Request& request, int timeoutMs);
    int rawRead(std::uint8_t* data, int size, int timeoutMs);
    int readLine(std::string& line, int timeoutMs);
    bool parseHead(const std::string& head);

    int wakeFd_;
    int fd_ = -1;
    std::string pending_;  // bytes received past what was consumed
    int status_ = 0;
    std::string contentType_;
    std::string detail_;
    bool chunked_ = false;
    std::int64_t remaining_ = -1;  // body bytes left when the length is known
    std::int64_t chunkLeft_ = 0;
    bool firstChunk_ = true;
    bool ended_ = false;
};

}  // namespace video
