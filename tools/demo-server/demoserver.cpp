// SPDX-License-Identifier: GPL-3.0-or-later
#include "demoserver.h"

#include <QGuiApplication>
#include <QTime>

#include <httplib.h>
#include <sys/socket.h>

#include <algorithm>
#include <charconv>
#include <optional>
#include <string_view>

#include "basicauth.h"
#include "camerapicture.h"
#include "democatalog.h"
#include "soundstream.h"
#include "timestamp.h"
#include "videofeed.h"

namespace {

constexpr char kJsonType[] = "application/json; charset=utf-8";
constexpr char kTextType[] = "text/plain; charset=utf-8";

// Each connection holds a worker for as long as it lasts (a kept-alive one
// until it has been idle for kKeepAliveSeconds), and a sound stream lasts as
// long as someone listens. A camera wall keeps a connection per camera, and
// may briefly open a second one while the first closes: allow for both,
// with room for sound and lists.
size_t workerThreads(int cameras) {
    return std::max<size_t>(32, 2 * static_cast<size_t>(cameras) + 16);
}

// Connections waiting to be accepted: a page of 64 cameras connects at once.
constexpr int kListenBacklog = 256;

// Idle keep-alive connections are only dropped after this long, and stop()
// waits for them: keep it short so that stopping is quick.
constexpr time_t kKeepAliveSeconds = 1;

// When the request being answered on this worker thread reached the routing
// step; read by the logger, which runs on the same thread after the answer.
thread_local std::chrono::steady_clock::time_point tRequestStart;

std::optional<int> pathIndex(const httplib::Request& req, int count) {
    if (req.matches.size() < 2) return std::nullopt;
    const std::string text = req.matches[1].str();
    int value = -1;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    if (value < 0 || value >= count) return std::nullopt;
    return value;
}

std::optional<std::string_view> param(const httplib::Request& req, const char* name) {
    const auto it = req.params.find(name);
    if (it == req.params.end()) return std::nullopt;
    return std::string_view(it->second);
}

std::optional<int> parseInt(std::optional<std::string_view> text) {
    if (!text) return std::nullopt;
    int value = 0;
    const auto [end, error] = std::from_chars(text->data(), text->data() + text->size(), value);
    if (error != std::errc() || end != text->data() + text->size()) return std::nullopt;
    return value;
}

// Sound is made and sent in steps of this length, in real time.
constexpr int kSoundStepMs = 100;

void answerNotFound(httplib::Response& res) {
    res.status = 404;
    res.set_content("Not found: no such path on this demo server\n", kTextType);
}

}  // namespace

DemoServer::DemoServer() : DemoServer(Options{}) {}

DemoServer::DemoServer(Options options)
    : options_(std::move(options)),
      cameras_(demo::demoCameras(options_.cameras)),
      frames_(std::make_unique<std::atomic<std::uint64_t>[]>(cameras_.size())) {
    options_.cameras = static_cast<int>(cameras_.size());
}

DemoServer::~DemoServer() {
    stop();
}

void DemoServer::setLogHook(LogHook hook) {
    logHook_ = std::move(hook);
}

bool DemoServer::start() {
    error_.clear();
    if (server_) {
        error_ = "the server is already running";
        return false;
    }
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        error_ = "a QGuiApplication must exist before the server starts";
        return false;
    }
    if (options_.port < 0 || options_.port > 65535) {
        error_ = "port " + std::to_string(options_.port) + " is out of range";
        return false;
    }
    {
        std::lock_guard lock(stopLock_);
        stopping_ = false;
    }

    server_ = std::make_unique<httplib::Server>();
    server_->new_task_queue = [n = workerThreads(options_.cameras)] {
        return new httplib::ThreadPool(n);
    };
    server_->set_keep_alive_timeout(kKeepAliveSeconds);
    // A viewer keeps its connection for picture after picture: no Nagle
    // delay on the answers (accepted sockets inherit it), and no cap of five.
    server_->set_tcp_nodelay(true);
    server_->set_keep_alive_max_count(1u << 20);
    // The library's default sets SO_REUSEPORT, which lets a second server bind
    // the same port and silently take half of the first one's connections.
    // SO_REUSEADDR alone still allows a quick restart on the same port.
    socket_t listening = INVALID_SOCKET;
    server_->set_socket_options([&listening](socket_t sock) {
        const int yes = 1;
        setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
        listening = sock;
    });
    installRoutes();

    int bound = -1;
    if (options_.port == 0) {
        bound = server_->bind_to_any_port(options_.host);
    } else if (server_->bind_to_port(options_.host, options_.port)) {
        bound = options_.port;
    }
    // The library listens with a queue of 5 connections: a camera wall
    // that opens a connection per camera at once overflows it, and the
    // connections left out wait for retransmissions, seconds each. Linux
    // takes a new length from a second listen() on the same socket.
    if (bound > 0 && listening != INVALID_SOCKET) ::listen(listening, kListenBacklog);
    if (bound <= 0) {
        error_ = "cannot listen on " + options_.host + ":" + std::to_string(options_.port);
        server_.reset();
        return false;
    }

    startedMs_ = demo::stampClockMs();
    // The socket is listening once bound, but stop() only takes effect after
    // the accept loop has begun: wait for that, so stop() never misses it.
    listenEnded_ = false;
    listenThread_ = std::thread([this] {
        server_->listen_after_bind();
        listenEnded_ = true;
    });
    while (!server_->is_running() && !listenEnded_) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    if (!server_->is_running()) {
        listenThread_.join();
        server_.reset();
        error_ = "the server's accept loop ended at once";
        return false;
    }
    port_ = bound;
    return true;
}

void DemoServer::stop() {
    {
        std::lock_guard lock(stopLock_);
        stopping_ = true;
    }
    stopChanged_.notify_all();
    if (server_) server_->stop();
    if (listenThread_.joinable()) listenThread_.join();
    server_.reset();
    port_ = 0;
}

void DemoServer::installRoutes() {
    httplib::Server& s = *server_;

    s.set_pre_routing_handler([this](const httplib::Request& req, httplib::Response& res) {
        tRequestStart = std::chrono::steady_clock::now();
        if (authorised(req)) return httplib::Server::HandlerResponse::Unhandled;
        res.status = 401;
        res.set_header("WWW-Authenticate", "Basic realm=\"Zorvan demo\"");
        res.set_content("Unauthorized: wrong or missing user name or password\n", kTextType);
        return httplib::Server::HandlerResponse::Handled;
    });

    s.Get("/cameras", [this](const httplib::Request&, httplib::Response& res) {
        res.set_content(demo::camerasDocument(options_.cameras), kJsonType);
    });
    s.Get("/microphones", [this](const httplib::Request&, httplib::Response& res) {
        res.set_content(demo::microphonesDocument(options_.cameras), kJsonType);
    });
    s.Get("/scenes", [this](const httplib::Request&, httplib::Response& res) {
        res.set_content(demo::scenesDocument(options_.scenes, startedMs_), kJsonType);
    });
    s.Get(R"(/cameras/(\d+)/image)",
          [this](const httplib::Request& req, httplib::Response& res) { answerPicture(req, res); });
    s.Get(R"(/cameras/(\d+)/video)",
          [this](const httplib::Request& req, httplib::Response& res) { answerVideo(req, res); });
    s.Get(R"(/microphones/(\d+)/audio\.mp3)",
          [this](const httplib::Request& req, httplib::Response& res) { answerAudio(req, res); });

    // Every answer of 400 and above passes here; only fill those that the
    // routes left without a body (unknown paths, malformed requests).
    s.set_error_handler([](const httplib::Request&, httplib::Response& res) {
        if (!res.body.empty()) return;
        if (res.status == 404) {
            answerNotFound(res);
        } else {
            res.set_content("HTTP error " + std::to_string(res.status) + "\n", kTextType);
        }
    });

    s.set_logger([this](const httplib::Request& req, const httplib::Response& res) {
        if (!logHook_) return;
        RequestLog entry;
        entry.method = req.method;
        entry.target = req.target;
        entry.status = res.status;
        entry.bytes = res.body.size();
        if (tRequestStart != std::chrono::steady_clock::time_point{}) {
            entry.elapsed = std::chrono::duration_cast<std::chrono::microseconds>(
                std::chrono::steady_clock::now() - tRequestStart);
        }
        tRequestStart = {};
        logHook_(entry);
    });
}

bool DemoServer::authorised(const httplib::Request& req) const {
    if (!req.has_header("Authorization")) {
        // A server with neither user name nor password is open: the viewer
        // sends no credentials at all for sound when its user name is empty.
        return options_.user.empty() && options_.password.empty();
    }
    return demo::basicCredentialsMatch(req.get_header_value("Authorization"), options_.user,
                                       options_.password);
}

demo::SceneState DemoServer::sceneAt(int index, std::int64_t clockMs) const {
    return demo::sceneAt(options_.scenes, cameras_[index].name, clockMs - startedMs_);
}

bool DemoServer::waitDelay() {
    std::unique_lock lock(stopLock_);
    if (options_.delayMs <= 0) return !stopping_;
    return !stopChanged_.wait_for(lock, std::chrono::milliseconds(options_.delayMs),
                                  [this] { return stopping_; });
}

void DemoServer::answerPicture(const httplib::Request& req, httplib::Response& res) {
    const auto& cameras = cameras_;
    const std::optional<int> index = pathIndex(req, static_cast<int>(cameras.size()));
    if (!index) {
        answerNotFound(res);
        return;
    }
    const QSize size = demo::parseResolution(param(req, "resolution"));
    const int quality = demo::parseQuality(param(req, "quality"));
    if (!waitDelay()) {
        res.status = 503;
        res.set_content("The demo server is stopping\n", kTextType);
        return;
    }

    if (options_.fixedWidth > 0 && options_.fixedHeight > 0) {
        answerStill(*index, quality, res);
        return;
    }
    // Drawn after the delay, so the clock on the picture is the time it is sent.
    demo::FrameStamp stamp;
    stamp.frame = ++frames_[*index];
    stamp.time = QTime::currentTime();
    const QByteArray jpeg = demo::drawCameraPicture(cameras[*index], size, quality, stamp,
                                                    sceneAt(*index, demo::stampClockMs()));
    if (jpeg.isEmpty()) {
        res.status = 500;
        res.set_content("Cannot make the picture (no JPEG encoder, or out of memory)\n", kTextType);
        return;
    }
    res.set_header("Cache-Control", "no-store");
    res.set_content(jpeg.constData(), static_cast<size_t>(jpeg.size()), "image/jpeg");
}

void DemoServer::answerStill(int index, int quality, httplib::Response& res) {
    std::string jpeg;
    const demo::SceneState scene = sceneAt(index, demo::stampClockMs());
    if (!scene.neutral()) {
        // The still is the camera at rest: a scene is drawn afresh each time.
        jpeg = demo::drawCameraPicture(cameras_[index],
                                       QSize(options_.fixedWidth, options_.fixedHeight), quality,
                                       {1, QTime::currentTime(), std::nullopt}, scene)
                   .toStdString();
    } else {
        std::lock_guard lock(stillLock_);
        if (stills_.empty()) stills_.resize(cameras_.size());
        if (stills_[index].empty()) {
            // The first request's quality stays, as a stored file's would.
            const QByteArray drawn = demo::drawCameraPicture(
                cameras_[index], QSize(options_.fixedWidth, options_.fixedHeight), quality,
                {1, QTime::currentTime(), std::nullopt});
            stills_[index] = drawn.toStdString();
        }
        jpeg = stills_[index];
    }
    if (jpeg.empty()) {
        res.status = 500;
        res.set_content("Cannot make the picture (no JPEG encoder, or out of memory)\n", kTextType);
        return;
    }
    res.set_content(std::move(jpeg), "image/jpeg");
}

void DemoServer::answerAudio(const httplib::Request& req, httplib::Response& res) {
    const std::optional<int> index =
        pathIndex(req, static_cast<int>(demo::demoMicrophones().size()));
    if (!index) {
        answerNotFound(res);
        return;
    }
    const int sampleRate = parseInt(param(req, "sample_rate")).value_or(22050);
    const int bitRate = parseInt(param(req, "bit_rate")).value_or(64);
    // Each microphone has its own tone: A4, E5 and A5.
    static constexpr double kTones[] = {440.0, 660.0, 880.0};
    const double tone = kTones[*index % 3];
    auto sound = std::make_shared<demo::SoundStream>(sampleRate, bitRate, tone,
                                                     demo::demoMicrophones()[*index].name);
    if (!sound->valid()) {
        res.status = 500;
        res.set_content("Cannot start the MP3 encoder\n", kTextType);
        return;
    }
    struct Pace {
        bool tagSent = false;
        std::chrono::steady_clock::time_point due = std::chrono::steady_clock::now();
    };
    auto pace = std::make_shared<Pace>();
    res.set_header("Cache-Control", "no-store");
    // Endless: each call sends the next 100 ms of sound when its time has
    // come, for as long as the client listens and the server runs.
    res.set_chunked_content_provider(
        "audio/mpeg", [this, sound, pace](size_t, httplib::DataSink& sink) {
            if (!pace->tagSent) {
                const std::string tag = sound->tag();
                if (!sink.write(tag.data(), tag.size())) return false;
                pace->tagSent = true;
            }
            pace->due += std::chrono::milliseconds(kSoundStepMs);
            {
                std::unique_lock lock(stopLock_);
                if (stopChanged_.wait_until(lock, pace->due, [this] { return stopping_; }))
                    return false;
            }
            const std::string bytes = sound->next(kSoundStepMs);
            return bytes.empty() || sink.write(bytes.data(), bytes.size());
        });
}

bool DemoServer::waitUntil(std::chrono::steady_clock::time_point due) {
    std::unique_lock lock(stopLock_);
    return !stopChanged_.wait_until(lock, due, [this] { return stopping_; });
}

void DemoServer::answerVideo(const httplib::Request& req, httplib::Response& res) {
    const std::optional<int> index = pathIndex(req, static_cast<int>(cameras_.size()));
    if (!index) {
        answerNotFound(res);
        return;
    }
    const QSize size = demo::parseResolution(param(req, "resolution"));
    const int quality = demo::parseQuality(param(req, "quality"));
    const int fps =
        std::clamp(parseInt(param(req, "fps")).value_or(demo::kDefaultFps), 1, demo::kMaxFps);
    // Frames between key frames (H.264 only): a real camera's is often a few
    // seconds, which is what going back in a kept video must cope with.
    const int gop = std::clamp(parseInt(param(req, "gop")).value_or(fps), 1, demo::kMaxGop);
    struct Feed {
        std::unique_ptr<demo::TsVideoEncoder> encoder;  // H.264 only
        std::chrono::steady_clock::time_point due = std::chrono::steady_clock::now();
    };
    auto feed = std::make_shared<Feed>();
    const bool h264 = options_.video == Options::Video::H264;
    if (h264) {
        feed->encoder = std::make_unique<demo::TsVideoEncoder>(
            size, fps, demo::TsVideoEncoder::Codec::H264, gop);
        if (!feed->encoder->valid()) {
            res.status = 500;
            res.set_content("Cannot start the H.264 encoder\n", kTextType);
            return;
        }
    }
    const demo::DemoCamera camera = cameras_[*index];
    const auto step = std::chrono::microseconds(1'000'000 / fps);
    res.set_header("Cache-Control", "no-store");
    // Endless: a frame each time its time has come, for as long as the
    // client watches and the server runs. A frame that is late is sent at
    // once and the next ones keep their pace from it: no burst to catch up.
    res.set_chunked_content_provider(
        h264 ? "video/mp2t" : demo::multipartContentType(),
        [this, feed, camera, size, quality, step, index = *index](size_t, httplib::DataSink& sink) {
            if (!waitUntil(feed->due)) return false;
            feed->due = std::max(feed->due + step, std::chrono::steady_clock::now());
            demo::FrameStamp stamp;
            stamp.frame = ++frames_[index];
            stamp.time = QTime::currentTime();
            stamp.sentMs = demo::stampClockMs();
            const demo::SceneState scene = sceneAt(index, *stamp.sentMs);
            std::string bytes;
            if (feed->encoder) {
                bytes = feed->encoder->encode(demo::drawCameraImage(camera, size, stamp, scene));
            } else {
                bytes = demo::multipartPart(
                    demo::drawCameraPicture(camera, size, quality, stamp, scene));
            }
            return bytes.empty() || sink.write(bytes.data(), bytes.size());
        });
}
