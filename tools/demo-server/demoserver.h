// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// A substitute video server for development, tests, benchmarks and demos: an
// HTTP/1.1 server that answers the viewer's requests for the microphone and
// camera lists, for each camera's live picture (a JPEG test pattern with
// the camera's name, a clock and a frame counter) and for each microphone's
// sound (an endless MP3 stream of a tone, 440, 660 or 880 Hz by microphone),
// for each camera's live video (videofeed.h: frames drawn as the pictures
// are, with the send time in machine-readable blocks, timestamp.h), and
// for the script of objects and lights in them (scenes.h, "/scenes"),
// behind HTTP Basic credentials.
//
// Use: fill Options, call start(), talk to 127.0.0.1:port(), call stop() (or
// let the destructor do it). A QGuiApplication must exist before start() and
// outlive stop(), since pictures are drawn with QPainter text on the
// server's worker threads. Not copyable; start() and stop() are called from
// one thread at a time.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "democatalog.h"
#include "scenes.h"

namespace httplib {
class Server;
struct Request;
struct Response;
}  // namespace httplib

class DemoServer {
public:
    struct Options {
        std::string host = "127.0.0.1";
        int port = 1818;  // 0: any free port, see port()
        std::string user = "admin";
        std::string password;  // compared as bytes: UTF-8 for non-ASCII
        int delayMs = 0;       // holds each picture answer back (not the lists)
        // Both above 0: each camera answers every picture request with one
        // still JPEG of this size, drawn once, whatever size was asked for
        // (a camera's snapshot behind a plain web server).
        int fixedWidth = 0;
        int fixedHeight = 0;
        int cameras = 4;  // 1 to 64: the first four are always the same
        // What each camera's "video-uri" streams: multipart JPEG, or H.264 in
        // an MPEG transport stream.
        enum class Video { Mjpeg, H264 } video = Video::Mjpeg;
        // Scripted objects and lights in the pictures and videos (scenes.h);
        // the cycle begins when start() succeeds.
        demo::SceneScript scenes = {};
    };

    // One answered request, as the log hook receives it.
    struct RequestLog {
        std::string method;
        std::string target;  // path with query, as sent
        int status = 0;
        std::size_t bytes = 0;                 // body bytes sent
        std::chrono::microseconds elapsed{0};  // from routing to the answer's end
    };
    // Called on the worker thread that answered, after the answer was sent;
    // several may run at once.
    using LogHook = std::function<void(const RequestLog&)>;

    DemoServer();  // default Options
    explicit DemoServer(Options options);
    ~DemoServer();  // stops
    DemoServer(const DemoServer&) = delete;
    DemoServer& operator=(const DemoServer&) = delete;

    // Set before start().
    void setLogHook(LogHook hook);

    // Binds, starts serving on a thread of its own and returns once the
    // server accepts connections. False, with errorString() set, when there
    // is no QGuiApplication, the address cannot be bound or it is running.
    bool start();
    // The port it listens on (the chosen one when Options::port was 0); 0
    // before a successful start().
    int port() const { return port_; }
    // Stops accepting, cuts picture delays short, waits for the requests in
    // progress and joins the server's threads. Safe to call more than once.
    void stop();

    const Options& options() const { return options_; }
    // The system clock (UTC ms, as demo::stampClockMs()) when the scenes'
    // cycle 0 began: the last successful start().
    std::int64_t startedMs() const { return startedMs_; }
    const std::string& errorString() const { return error_; }

private:
    void installRoutes();
    bool authorised(const httplib::Request& req) const;
    void answerPicture(const httplib::Request& req, httplib::Response& res);
    void answerStill(int index, int quality, httplib::Response& res);
    void answerAudio(const httplib::Request& req, httplib::Response& res);
    void answerVideo(const httplib::Request& req, httplib::Response& res);
    // Waits until `due`; false when stop() came first.
    bool waitUntil(std::chrono::steady_clock::time_point due);
    // Waits for the picture delay; false when stop() cut it short.
    bool waitDelay();
    // The scripted state of camera `index` at `clockMs` (demo::stampClockMs()).
    demo::SceneState sceneAt(int index, std::int64_t clockMs) const;

    Options options_;
    LogHook logHook_;
    std::string error_;
    int port_ = 0;
    // Set in start() before the server's threads exist, read by them.
    std::int64_t startedMs_ = 0;

    std::unique_ptr<httplib::Server> server_;
    std::thread listenThread_;
    std::atomic<bool> listenEnded_{false};

    std::vector<demo::DemoCamera> cameras_;
    // Frame counter of each camera, by position.
    std::unique_ptr<std::atomic<std::uint64_t>[]> frames_;

    std::mutex stillLock_;  // guards stills_
    // Each camera's still picture with fixed sizes, drawn at the first request.
    std::vector<std::string> stills_;

    std::mutex stopLock_;  // guards stopping_
    std::condition_variable stopChanged_;
    bool stopping_ = false;
};
