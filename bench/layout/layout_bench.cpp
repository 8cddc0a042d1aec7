// SPDX-License-Identifier: GPL-3.0-or-later
// The control room's layout walls on loopback: a RoomScreen (a window's two
// stacked camera walls, each filled by a LayoutMode with one WallFetcher and
// WallRefresh per server) showing layouts whose cells draw from several
// demo servers, each in its own process so that its drawing does not count
// as ours. Every cell is 320x240 device pixels, every server asks for 25
// pictures a second. Rows, all in one run:
//
//   three_servers  a 5x5 layout over three servers (9 + 8 + 8 cells), a
//                  window of 20 s after a warm-up of 5 s
//   one_silent     the same with the third server replaced by one that
//                  answers its camera and microphone lists and never
//                  answers a picture request (it reads each and holds the
//                  connection), so its cells know their cameras and wait
//   silent_lists   the same with a third server that answers nothing at
//                  all, its lists included
//   tour           a tour of two 4x4 layouts (16 other cameras each), 2 s
//                  a step with the product's prefetch lead of 1 s, 50
//                  switches
//   one_window     one window of a 6x3 layout over the three servers (18
//                  cameras, six of each), a window of 20 s after 5 s
//   two_windows    the same 18 cameras in two top-level windows at once
//                  (two RoomScreens over one hub, as the viewer's two
//                  windows hold them), each a 3x3 layout over the three
//                  servers: whether the second window costs more than its
//                  cells' decoding and painting
//   first_picture_ms_show, first_picture_ms_state_change
//                  10 windows of a 3x3 layout shown one after another on
//                  the same servers (lists loaded), each timed from its
//                  show() to its first cell painted with a picture
//                  (median_ms, max_ms; target < 300) and to every cell's
//                  (all_cells_max_ms), then closed; the second row
//                  maximises each window before its show, as a window
//                  manager does
//   one_plus_five  the "1+5" layout as the viewer shows it, a real
//                  RoomScreen of 1935x1095: its large cell 1280x720
//                  playing the first camera of a demo server of H.264 video
//                  through the window's own LiveVideo (the video budget
//                  grants it), its five cells of 635x355 the still
//                  pictures of two other demo servers, whose Live Video
//                  is turned off as a person turns it off per server, at
//                  25 a second; a window of 20 s after a warm-up of 5 s.
//                  The demo server lists each camera's video path without
//                  a size, so that its video comes at 640x480; the large
//                  cell's camera record is given the same path asking for
//                  1920x1080 at 25 frames a second, as a camera of that
//                  size lists it
//
// Pictures are counted where they land on screen: each cell's paint sees
// whether its picture changed (QImage::cacheKey), and the time of that
// paint is the picture's time on screen. The demo servers' logs give the
// pictures they served in the same window, as a check of the count.
//
// Reported per server (a, b, c, in the layout's order):
//   x_per_s        pictures landed in its cells per second
//   x_served_per_s pictures its log shows served in the window
//   x_share        x_per_s / (its cells x 25)        (target >= 0.97)
//   x_p95_ms       95th percentile of the time between two pictures of a
//                  cell, over all its cells
// and per row:
//   core_share     this process's CPU time as a share of one core (target
//                  < 0.3 for three_servers)
//   main_cores, curl_cores, decode_cores
//                  the parts of core_share taken by the main thread, the
//                  fetchers' libcurl threads and their decode threads
//   demo_cores     the demo servers' processes, together
//   rss_mb         resident memory at the end of the window (target < 250)
//   odd_sizes      picture requests of the window not at 320x240
//   warn_s         one_silent: from the layout's show until every cell of
//                  the silent server was painted with its stale warning
//                  (target <= 5); silent_lists: until every such cell was
//                  painted saying its server is not available
//   ready_share    tour: cells of the new step showing a picture of their
//                  camera 250 ms after the switch (target 1.0); at_switch
//                  the same at the switch itself, fresh_share those whose
//                  picture arrived after the switch

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QEventLoop>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <QDateTime>
#include <QJsonDocument>
#include <QJsonObject>

#include <arpa/inet.h>
#include <dirent.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

#include "activitywatch.h"
#include "cameraview.h"
#include "camerawall.h"
#include "camserver.h"
#include "controlroomhub.h"
#include "demoprocess.h"
#include "httpclient.h"
#include "layout.h"
#include "livevideo.h"
#include "othercpu.h"
#include "previewtouchimage.h"
#include "processfigures.h"
#include "qtbenchmain.h"
#include "roomscreen.h"
#include "serverfeeds.h"
#include "settings.h"
#include "touchview.h"
#include "zvdatamanager.h"

namespace {

constexpr int kCellWidth = 320;
constexpr int kCellHeight = 240;
constexpr int kRate = 25;
constexpr int kWarmUpMs = 5000;
constexpr int kWindowMs = 20000;
// Each demo server has more cameras than a layout takes, so that the
// tour's two steps show different cameras.
constexpr int kDemoCameras = 16;
constexpr int kSwitches = 50;
constexpr int kTourDwellSeconds = 2;
constexpr int kCheckAfterMs = 250;

std::int64_t nowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void runEventLoop(int ms) {
    if (ms <= 0) return;
    QEventLoop loop;
    QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

// Runs the event loop until done() holds, checking every stepMs; false when
// timeoutMs passed first.
bool runUntil(const std::function<bool()>& done, int timeoutMs, int stepMs = 10) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() >= timeoutMs) return false;
        runEventLoop(stepMs);
    }
    return true;
}

double percentile(std::vector<double> values, double p) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    const auto i = static_cast<size_t>(p * static_cast<double>(values.size() - 1) + 0.5);
    return values[std::min(i, values.size() - 1)];
}

// What a demo server's log says of the picture requests it answered: the
// log's lines up to now, counted by whether they asked for the cells' size.
struct ServedCount {
    long atCellSize = 0;
    long otherSize = 0;
};

ServedCount countServed(const QString& logFile) {
    ServedCount count;
    std::ifstream log(logFile.toStdString());
    const std::string size =
        "resolution=" + std::to_string(kCellWidth) + "x" + std::to_string(kCellHeight);
    for (std::string line; std::getline(log, line);) {
        if (log.eof()) break;  // a line still being written
        if (line.rfind("GET /cameras/", 0) != 0 || line.find("/image?") == std::string::npos ||
            line.find(" 200 ") == std::string::npos)
            continue;
        ++(line.find(size) != std::string::npos ? count.atCellSize : count.otherSize);
    }
    return count;
}

// A camera server that takes connections and reads requests but never
// answers a picture: one that hangs (a stopped process, a dead link behind
// a proxy). Given lists, it answers the camera and microphone lists with
// them, so that the viewer knows its cameras and waits for pictures that
// never come; without, it answers nothing at all. Serves on a thread of
// its own, 127.0.0.1 only, on a free port.
class SilentServer {
public:
    struct Lists {
        QByteArray cameras;
        QByteArray microphones;
    };

    explicit SilentServer(std::optional<Lists> lists) : lists_(std::move(lists)) {
        listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = 0;
        socklen_t length = sizeof address;
        if (::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
            ::listen(listener_, 256) != 0 ||
            ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0)
            return;
        port_ = ntohs(address.sin_port);
        if (::pipe2(wake_, O_CLOEXEC) != 0) return;
        thread_ = std::thread([this] { run(); });
    }
    ~SilentServer() {
        stop_ = true;
        if (thread_.joinable()) {
            const char byte = 0;
            [[maybe_unused]] const auto written = ::write(wake_[1], &byte, 1);
            thread_.join();
        }
        for (const int fd : {listener_, wake_[0], wake_[1]})
            if (fd >= 0) ::close(fd);
    }
    SilentServer(const SilentServer&) = delete;
    SilentServer& operator=(const SilentServer&) = delete;

    int port() const { return port_; }
    // Requests read and never answered so far.
    int held() const { return held_; }

private:
    void run() {
        std::map<int, std::string> clients;  // socket, bytes of a request not yet whole
        while (!stop_) {
            std::vector<pollfd> fds{{listener_, POLLIN, 0}, {wake_[0], POLLIN, 0}};
            for (const auto& [fd, pending] : clients) fds.push_back({fd, POLLIN, 0});
            if (::poll(fds.data(), fds.size(), 1000) <= 0) continue;
            if (fds[0].revents & POLLIN) {
                const int fd = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
                if (fd >= 0) clients[fd];
            }
            for (size_t i = 2; i < fds.size(); ++i) {
                if (!fds[i].revents) continue;
                const int fd = fds[i].fd;
                char buffer[4096];
                const ssize_t got = ::recv(fd, buffer, sizeof buffer, 0);
                if (got <= 0) {
                    ::close(fd);
                    clients.erase(fd);
                    continue;
                }
                std::string& pending = clients[fd];
                pending.append(buffer, static_cast<size_t>(got));
                for (size_t end; (end = pending.find("\r\n\r\n")) != std::string::npos;) {
                    answer(fd, pending.substr(0, end));
                    pending.erase(0, end + 4);
                }
            }
        }
        for (const auto& [fd, pending] : clients) ::close(fd);
    }

    // Answers a list request when it has lists; holds anything else.
    void answer(int fd, const std::string& head) {
        const size_t from = head.find(' ') + 1, to = head.find_first_of(" ?", from);
        const std::string path = from == 0 ? std::string() : head.substr(from, to - from);
        const QByteArray* body = nullptr;
        if (lists_ && path == "/cameras") body = &lists_->cameras;
        if (lists_ && path == "/microphones") body = &lists_->microphones;
        if (!body) {
            ++held_;
            return;
        }
        const std::string reply =
            "HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nContent-Length: " +
            std::to_string(body->size()) + "\r\n\r\n" + body->toStdString();
        [[maybe_unused]] const auto sent = ::send(fd, reply.data(), reply.size(), MSG_NOSIGNAL);
    }

    std::optional<Lists> lists_;
    int listener_ = -1;
    int wake_[2] = {-1, -1};
    int port_ = 0;
    std::atomic<bool> stop_{false};
    std::atomic<int> held_{0};
    std::thread thread_;
};

// A server record as the viewer keeps it: admin without a password, 25
// pictures a second.
std::shared_ptr<CamServer> serverRecord(const QString& name, int port, int fps = kRate) {
    auto server = CamServer::create();
    server->setName(name);
    server->setHost("127.0.0.1");
    server->setPort(QString::number(port));
    server->setLogin("admin");
    server->setPassword("");
    server->setFps(QString::number(fps));
    return server;
}

// A demo server's lists as it answers them, for the silent server to give.
SilentServer::Lists demoLists(int port) {
    const auto record = serverRecord("lists", port);
    const auto get = [&](const char* path) {
        HttpClient::Get request;
        request.url = QString("http://127.0.0.1:%1%2").arg(port).arg(path).toStdString();
        request.headers = {ZVDataManager::authorizationHeader(*record)};
        return HttpClient::get(request).body.value_or(QByteArray());
    };
    return {get("/cameras"), get("/microphones")};
}

CameraRef refTo(const CamServer& server, int camera) {
    return {server.serverId(), QString("/cameras/%1").arg(camera), QString(), camera};
}

// The camera record a reference names now, or none.
const CameraView* cameraOf(const ControlRoomHub& hub, const std::optional<CameraRef>& ref) {
    if (!ref) return nullptr;
    const auto server = hub.server(ref->serverId);
    const auto cameras = server ? server->getCameras() : nullptr;
    if (!cameras) return nullptr;
    const int index = findCamera(*cameras, *ref);
    return index < 0 ? nullptr : cameras->at(static_cast<size_t>(index)).get();
}

// A window of the control room over the given servers: settings and
// layouts file of its own in a folder of its own, the hub, the RoomScreen
// as a window of its own sized so that each cell's picture is 320x240.
class Room {
public:
    explicit Room(const std::vector<int>& ports, int fps = kRate) {
        settings_ = Settings::createInFolder(folder_.path(), "en");
        for (const auto& server : std::vector(settings_->getServers()))
            settings_->deleteServer(server);
        for (size_t i = 0; i < ports.size(); ++i) {
            servers_.push_back(serverRecord(
                QString("Server %1").arg(QChar(static_cast<char16_t>(u'A' + i))), ports[i], fps));
            settings_->updateServer(servers_.back());
        }
        hub_ = std::make_unique<ControlRoomHub>(*settings_, folder_.path());
        screens_.push_back(std::make_unique<RoomScreen>(hub_.get()));
    }
    ~Room() {
        screens_.clear();
        hub_.reset();
    }

    ControlRoomHub& hub() { return *hub_; }
    // The first window.
    RoomScreen& screen() { return *screens_.front(); }
    const CamServer& server(size_t i) const { return *servers_.at(i); }

    // Another top-level window over the same hub, as the viewer's New
    // Window makes it; hidden until shown.
    RoomScreen& addScreen() {
        screens_.push_back(std::make_unique<RoomScreen>(hub_.get()));
        return *screens_.back();
    }
    // Closes and deletes a window addScreen() made.
    void removeScreen(const RoomScreen& screen) {
        std::erase_if(screens_, [&](const auto& s) { return s.get() == &screen; });
    }

    // Sizes a window for a grid of rows x columns cells; the walls have no
    // margins or spacing, each cell's picture sits TouchView::kInset inside
    // it.
    static void sizeFor(RoomScreen& screen, int rows, int columns) {
        screen.resize(columns * (kCellWidth + 2 * TouchView::kInset),
                      rows * (kCellHeight + 2 * TouchView::kInset));
    }
    // Shows the first window sized for rows x columns cells.
    void showFor(int rows, int columns) {
        sizeFor(screen(), rows, columns);
        screen().show();
    }

    // Loads every server's lists; false when one did not come within ms.
    bool loadLists(int ms) {
        for (const auto& server : servers_) hub_->feeds()->need(server);
        return runUntil(
            [&] {
                return std::all_of(servers_.begin(), servers_.end(), [&](const auto& s) {
                    return hub_->feeds()->state(s.get()) == ServerFeeds::State::Loaded;
                });
            },
            ms);
    }

    // Cells of the front wall whose picture is not asked at 320x240.
    int oddCells() const { return oddCells(*screens_.front()); }
    static int oddCells(const RoomScreen& screen) {
        const CameraWall* wall = screen.wall();
        int odd = 0;
        for (int i = 0; i < wall->cellCount(); ++i)
            if (wall->cell(i)->imageView()->askedPixels() != QSize(kCellWidth, kCellHeight)) ++odd;
        return odd;
    }

private:
    QTemporaryDir folder_;
    std::unique_ptr<Settings> settings_;
    std::vector<std::shared_ptr<CamServer>> servers_;
    std::unique_ptr<ControlRoomHub> hub_;
    std::vector<std::unique_ptr<RoomScreen>> screens_;
};

// Watches the cells of one wall: a picture lands when a paint of its cell
// shows a picture other than the one painted before, and a cell warns from
// the first paint at which warns() holds for it.
class LandingWatch : public QObject {
public:
    struct Cell {
        PreviewTouchImage* view = nullptr;
        int server = -1;
        qint64 shownKey = 0;
        std::vector<std::int64_t> landedNs;  // while recording
        std::int64_t warnedNs = -1;
    };

    LandingWatch(CameraWall* wall, const std::vector<int>& cellServer,
                 std::function<bool(PreviewTouchImage&)> warns)
        : warns_(std::move(warns)) {
        for (int i = 0; i < wall->cellCount(); ++i) {
            PreviewTouchImage* view = wall->cell(i)->imageView();
            cells_.push_back(
                {view, cellServer.at(static_cast<size_t>(i)), view->picture().cacheKey(), {}, -1});
            byView_[view] = static_cast<size_t>(i);
            view->installEventFilter(this);
        }
    }
    ~LandingWatch() override {
        for (const Cell& cell : cells_) cell.view->removeEventFilter(this);
    }

    void setRecording(bool on) { recording_ = on; }
    const std::vector<Cell>& cells() const { return cells_; }

    // The last time a cell of server warned first; -1 while one has not.
    std::int64_t allWarnedNs(int server) const {
        std::int64_t last = -1;
        for (const Cell& cell : cells_) {
            if (cell.server != server) continue;
            if (cell.warnedNs < 0) return -1;
            last = std::max(last, cell.warnedNs);
        }
        return last;
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::Paint) return false;
        const auto it = byView_.find(watched);
        if (it == byView_.end()) return false;
        Cell& cell = cells_[it->second];
        const QImage& picture = cell.view->picture();
        const std::int64_t now = nowNs();
        if (!picture.isNull() && picture.cacheKey() != cell.shownKey && recording_)
            cell.landedNs.push_back(now);
        cell.shownKey = picture.cacheKey();
        if (cell.warnedNs < 0 && warns_ && warns_(*cell.view)) cell.warnedNs = now;
        return false;
    }

private:
    std::vector<Cell> cells_;
    std::unordered_map<QObject*, size_t> byView_;
    std::function<bool(PreviewTouchImage&)> warns_;
    bool recording_ = false;
};

struct ServerFigures {
    int cells = 0;
    double perSecond = 0;
    double servedPerSecond = -1;  // none for the silent server
    double p95Ms = 0;
    double share() const { return cells ? perSecond / (cells * kRate) : 0; }
};

struct RowFigures {
    std::vector<ServerFigures> servers;
    double cores = 0;
    double demoCores = 0;  // the demo servers' processes together
    // Parts of cores: the main thread, the fetchers' libcurl threads and
    // their decode threads (each kind all together).
    double mainCores = 0, curlCores = 0, decodeCores = 0;
    double rss = 0;
    long oddSizes = 0;
    int oddCells = 0;
    double warnS = -1;
    int held = 0;
};

struct TourFigures {
    int switches = 0;
    int cells = 0;
    double readyShare = 0, atSwitchShare = 0, freshShare = 0;
    int worstReady = 0;
    double maxAgeMs = 0;
    double cores = 0;
    double rss = 0;
    int oddCells = 0;
};

std::map<std::string, RowFigures> rows;
std::optional<TourFigures> tourFigures;

// What stands in for the layout's third server.
enum class Third { Demo, SilentPictures, SilentAll };

std::vector<std::unique_ptr<DemoProcess>> startDemos(int count) {
    std::vector<std::unique_ptr<DemoProcess>> demos;
    for (int i = 0; i < count; ++i)
        demos.push_back(std::make_unique<DemoProcess>(
            0, QStringList{"--cameras", QString::number(kDemoCameras)}));
    return demos;
}

std::vector<int> portsOf(const std::vector<std::unique_ptr<DemoProcess>>& demos) {
    std::vector<int> ports;
    for (const auto& demo : demos) ports.push_back(demo->port());
    return ports;
}

// The process's CPU over one measuring window of kWindowMs, as shares of a
// core: all of it, the main thread, the fetchers' libcurl and decode
// threads, and the demo servers' processes beside it. recording(true) and
// recording(false) bracket the window.
struct WindowCpu {
    double seconds = 0, cores = 0, mainCores = 0, curlCores = 0, decodeCores = 0, demoCores = 0;
    // Into a row's figures, which name them alike.
    template <class Figures>
    void into(Figures& f) const {
        f.cores = cores;
        f.mainCores = mainCores;
        f.curlCores = curlCores;
        f.decodeCores = decodeCores;
        f.demoCores = demoCores;
    }
};

// A row's CPU and memory, as the benchmark's counters.
template <class Figures>
void cpuCounters(benchmark::State& state, const Figures& figures) {
    state.counters["core_share"] = figures.cores;
    state.counters["main_cores"] = figures.mainCores;
    state.counters["curl_cores"] = figures.curlCores;
    state.counters["decode_cores"] = figures.decodeCores;
    state.counters["demo_cores"] = figures.demoCores;
    state.counters["rss_mb"] = figures.rss;
}

// The gaps between a cell's pictures, in ms, added to gaps.
void gapsMs(const std::vector<std::int64_t>& landedNs, std::vector<double>& gaps) {
    for (size_t k = 1; k < landedNs.size(); ++k)
        gaps.push_back((landedNs[k] - landedNs[k - 1]) / 1e6);
}
WindowCpu measureWindow(const std::vector<std::unique_ptr<DemoProcess>>& demos,
                        const std::function<void(bool)>& recording, int windowMs = kWindowMs) {
    const auto demoCpu = [&] {
        double seconds = 0;
        for (const auto& demo : demos) seconds += processCpuSeconds(demo->pid());
        return seconds;
    };
    const double d0 = demoCpu();
    const auto threads0 = threadCpuByName();
    const double m0 = mainThreadCpuSeconds();
    recording(true);
    const double c0 = cpuSeconds();
    const std::int64_t t0 = nowNs();
    runEventLoop(windowMs);
    WindowCpu cpu;
    cpu.seconds = (nowNs() - t0) / 1e9;
    cpu.cores = (cpuSeconds() - c0) / cpu.seconds;
    cpu.mainCores = (mainThreadCpuSeconds() - m0) / cpu.seconds;
    cpu.demoCores = (demoCpu() - d0) / cpu.seconds;
    const auto threads1 = threadCpuByName();
    recording(false);
    const auto spent = [&](const std::string& name) {
        const auto a = threads0.find(name), b = threads1.find(name);
        return a == threads0.end() || b == threads1.end() ? 0.0
                                                          : (b->second - a->second) / cpu.seconds;
    };
    cpu.curlCores = spent("zv-wall-curl");
    cpu.decodeCores = spent("zv-wall-decode");
    return cpu;
}

void BM_Layout(benchmark::State& state, Third third) {
    QTemporaryDir logs;
    const int demoCount = third == Third::Demo ? 3 : 2;
    std::vector<QString> logFiles;
    std::vector<std::unique_ptr<DemoProcess>> demos;
    for (int i = 0; i < demoCount; ++i) {
        logFiles.push_back(logs.filePath(QString("demo%1.log").arg(i)));
        demos.push_back(std::make_unique<DemoProcess>(
            0, QStringList{"--cameras", QString::number(kDemoCameras)}, logFiles.back()));
    }
    std::unique_ptr<SilentServer> silent;
    if (third != Third::Demo) {
        std::optional<SilentServer::Lists> lists;
        if (third == Third::SilentPictures) lists = demoLists(demos[0]->port());
        silent = std::make_unique<SilentServer>(lists);
    }
    std::vector<int> ports;
    for (const auto& demo : demos) ports.push_back(demo->port());
    if (silent) ports.push_back(silent->port());

    Room room(ports);
    // 5x5 cells, the servers taking turns: 9 + 8 + 8.
    constexpr int kSide = 5, kServers = 3;
    Layout layout;
    layout.name = "Three servers";
    layout.resize(kSide, kSide);
    std::vector<int> cellServer;
    for (int i = 0; i < kSide * kSide; ++i) {
        cellServer.push_back(i % kServers);
        layout.cells[static_cast<size_t>(i)] = refTo(room.server(i % kServers), i / kServers);
    }
    room.hub().edit([&](ControlRoom& r) { r.layouts.push_back(layout); });
    room.showFor(kSide, kSide);

    // A cell warns with the stale-picture warning or a note of its own;
    // "Loading…" while the lists come is no warning.
    const QString unavailable = ServerFeeds::stateText(ServerFeeds::State::Unavailable);
    const QString loading = ServerFeeds::stateText(ServerFeeds::State::Waiting);
    const auto warns = [&](PreviewTouchImage& view) {
        if (third == Third::SilentAll) return view.note().contains(unavailable);
        return view.freshness().isStale() ||
               (!view.note().isEmpty() && !view.note().contains(loading));
    };
    const std::int64_t shownNs = nowNs();
    room.screen().showLayout(layout.name);
    LandingWatch watch(room.screen().wall(), cellServer, warns);

    RowFigures figures;
    if (silent) {
        runUntil([&] { return watch.allWarnedNs(kServers - 1) >= 0; }, 15000, 20);
        const std::int64_t warned = watch.allWarnedNs(kServers - 1);
        figures.warnS = warned < 0 ? -1 : (warned - shownNs) / 1e9;
    }
    runEventLoop(static_cast<int>(kWarmUpMs - (nowNs() - shownNs) / 1'000'000));
    figures.oddCells = room.oddCells();

    for (auto _ : state) {
        std::vector<ServedCount> served0;
        for (const QString& log : logFiles) served0.push_back(countServed(log));
        const WindowCpu cpu = measureWindow(demos, [&](bool on) { watch.setRecording(on); });
        const double seconds = cpu.seconds;
        cpu.into(figures);
        figures.rss = rssMb();
        figures.servers.assign(kServers, {});
        for (int s = 0; s < kServers; ++s) {
            ServerFigures& f = figures.servers[static_cast<size_t>(s)];
            std::vector<double> intervals;
            size_t landed = 0;
            for (const auto& cell : watch.cells()) {
                if (cell.server != s) continue;
                ++f.cells;
                landed += cell.landedNs.size();
                gapsMs(cell.landedNs, intervals);
            }
            f.perSecond = static_cast<double>(landed) / seconds;
            f.p95Ms = percentile(intervals, 0.95);
            if (static_cast<size_t>(s) < logFiles.size()) {
                const ServedCount end = countServed(logFiles[static_cast<size_t>(s)]);
                f.servedPerSecond =
                    (end.atCellSize - served0[static_cast<size_t>(s)].atCellSize) / seconds;
                figures.oddSizes += end.otherSize - served0[static_cast<size_t>(s)].otherSize;
            }
        }
    }
    if (silent) figures.held = silent->held();

    static const char* const kNames[] = {"a", "b", "c"};
    for (size_t s = 0; s < figures.servers.size(); ++s) {
        const ServerFigures& f = figures.servers[s];
        const std::string n = kNames[s];
        state.counters[n + "_per_s"] = f.perSecond;
        if (f.servedPerSecond >= 0) state.counters[n + "_served_per_s"] = f.servedPerSecond;
        state.counters[n + "_share"] = f.share();
        state.counters[n + "_p95_ms"] = f.p95Ms;
    }
    cpuCounters(state, figures);
    state.counters["odd_sizes"] = static_cast<double>(figures.oddSizes + figures.oddCells);
    if (silent) state.counters["warn_s"] = figures.warnS;
    rows[third == Third::Demo             ? "three_servers"
         : third == Third::SilentPictures ? "one_silent"
                                          : "silent_lists"] = figures;
}

void BM_Tour(benchmark::State& state) {
    const auto demos = startDemos(3);
    Room room(portsOf(demos));
    // Two 4x4 layouts, the servers taking turns; the second step's cameras
    // are none of the first's.
    constexpr int kSide = 4;
    Tour tour;
    tour.name = "Two steps";
    std::vector<Layout> layouts;
    for (int step = 0; step < 2; ++step) {
        Layout layout;
        layout.name = QString("Step %1").arg(step + 1);
        layout.resize(kSide, kSide);
        for (int i = 0; i < kSide * kSide; ++i)
            layout.cells[static_cast<size_t>(i)] = refTo(room.server(i % 3), step * 8 + i / 3);
        layouts.push_back(layout);
        TourStep s;
        s.layoutName = layout.name;
        s.dwellSeconds = kTourDwellSeconds;
        tour.steps.push_back(s);
    }
    room.hub().edit([&](ControlRoom& r) {
        r.layouts = layouts;
        r.tours.push_back(tour);
    });
    room.showFor(kSide, kSide);
    if (!room.loadLists(10000)) {
        state.SkipWithError("the demo servers' lists did not come");
        return;
    }

    TourFigures figures;
    int ready = 0, atSwitch = 0, fresh = 0;
    bool checking = false;
    QString shownName;
    // Whether a front cell shows a picture of the camera its step names.
    const auto shows = [&](int i) {
        TouchView* cell = room.screen().wall()->cell(i);
        const auto& cells = room.screen().source().layout.cells;
        const CameraView* camera = i < static_cast<int>(cells.size())
                                       ? cameraOf(room.hub(), cells[static_cast<size_t>(i)])
                                       : nullptr;
        return camera && cell->delegate() == camera && !cell->imageView()->picture().isNull();
    };
    QObject context;
    QObject::connect(&room.screen(), &RoomScreen::changed, &context, [&] {
        const QString name = room.screen().source().layout.name;
        if (name == shownName || checking || figures.switches >= kSwitches) return;
        const bool first = shownName.isEmpty();
        shownName = name;
        if (first) return;  // the tour's start, not a switch
        checking = true;
        const QDateTime switchedAt = QDateTime::currentDateTimeUtc();
        const int cells = room.screen().wall()->cellCount();
        for (int i = 0; i < cells; ++i) atSwitch += shows(i);
        QTimer::singleShot(kCheckAfterMs, Qt::PreciseTimer, &context, [&, switchedAt, cells] {
            CameraWall* wall = room.screen().wall();
            int readyNow = 0;
            for (int i = 0; i < cells; ++i) {
                if (!shows(i)) continue;
                ++readyNow;
                PreviewTouchImage* view = wall->cell(i)->imageView();
                if (view->pictureArrived() >= switchedAt) ++fresh;
                figures.maxAgeMs =
                    std::max(figures.maxAgeMs, static_cast<double>(view->freshness().ageMs()));
            }
            ready += readyNow;
            figures.worstReady =
                figures.switches == 0 ? readyNow : std::min(figures.worstReady, readyNow);
            figures.cells += cells;
            figures.oddCells += room.oddCells();
            ++figures.switches;
            checking = false;
        });
    });

    for (auto _ : state) {
        const double c0 = cpuSeconds();
        const std::int64_t t0 = nowNs();
        room.screen().startTour(tour.name);
        runUntil([&] { return figures.switches >= kSwitches; },
                 (kSwitches + 5) * kTourDwellSeconds * 1000, 50);
        figures.cores = (cpuSeconds() - c0) / ((nowNs() - t0) / 1e9);
        figures.rss = rssMb();
        room.screen().stopTour();
    }
    const double total = std::max(1, figures.cells);
    figures.readyShare = ready / total;
    figures.atSwitchShare = atSwitch / total;
    figures.freshShare = fresh / total;
    state.counters["switches"] = figures.switches;
    state.counters["ready_share"] = figures.readyShare;
    state.counters["at_switch"] = figures.atSwitchShare;
    state.counters["fresh_share"] = figures.freshShare;
    state.counters["worst_ready"] = figures.worstReady;
    state.counters["max_age_ms"] = figures.maxAgeMs;
    state.counters["core_share"] = figures.cores;
    state.counters["rss_mb"] = figures.rss;
    state.counters["odd_cells"] = figures.oddCells;
    tourFigures = figures;
}

// A row of whole windows: pictures landed as a share of the rate, the
// time between two pictures of a cell, CPU by thread and memory.
struct WindowsFigures {
    int windows = 0;
    int cells = 0;
    double perSecond = 0;
    double p95Ms = 0;
    double cores = 0, mainCores = 0, curlCores = 0, decodeCores = 0, demoCores = 0;
    double rss = 0;
    int oddCells = 0;
    double share() const { return cells ? perSecond / (cells * kRate) : 0; }
};

std::map<std::string, WindowsFigures> windowRows;

constexpr int kWindowSide = 3;
constexpr int kFirstPictureWindows = 10;
constexpr int kFirstPictureBoundMs = 5000;

// A layout of rows x columns cells showing the servers' cameras in turn
// (server 0's first, server 1's first, ...), from the first-th camera of
// that order on.
Layout turnsLayout(Room& room, const QString& name, int rows, int columns, int first = 0) {
    Layout layout;
    layout.name = name;
    layout.resize(rows, columns);
    for (int i = 0; i < rows * columns; ++i)
        layout.cells[static_cast<size_t>(i)] = refTo(room.server((first + i) % 3), (first + i) / 3);
    return layout;
}

// two_windows: two windows over one hub, each a 3x3 layout over the three
// servers; one_window: one window of 6x3 with both layouts' 18 cameras.
void BM_Windows(benchmark::State& state, int windows) {
    const auto demos = startDemos(3);
    Room room(portsOf(demos));
    constexpr int kCells = kWindowSide * kWindowSide;
    std::vector<Layout> layouts;
    if (windows == 2) {
        for (int w = 0; w < 2; ++w)
            layouts.push_back(turnsLayout(room, QString("Window %1").arg(w + 1), kWindowSide,
                                          kWindowSide, w * kCells));
    } else {
        layouts.push_back(turnsLayout(room, "Both windows", 2 * kWindowSide, kWindowSide));
    }
    room.hub().edit([&](ControlRoom& r) { r.layouts = layouts; });

    std::vector<RoomScreen*> screens;
    std::vector<std::unique_ptr<LandingWatch>> watches;
    for (const Layout& layout : layouts) {
        RoomScreen& screen = screens.empty() ? room.screen() : room.addScreen();
        Room::sizeFor(screen, layout.rows, layout.columns);
        screen.show();
        screen.showLayout(layout.name);
        screens.push_back(&screen);
        watches.push_back(std::make_unique<LandingWatch>(
            screen.wall(), std::vector<int>(layout.cells.size(), 0), nullptr));
    }
    runEventLoop(kWarmUpMs);

    WindowsFigures figures;
    figures.windows = windows;
    for (const RoomScreen* screen : screens) figures.oddCells += Room::oddCells(*screen);
    for (auto _ : state) {
        const WindowCpu cpu = measureWindow(demos, [&](bool on) {
            for (auto& watch : watches) watch->setRecording(on);
        });
        const double seconds = cpu.seconds;
        cpu.into(figures);
        figures.rss = rssMb();
        std::vector<double> intervals;
        size_t landed = 0;
        for (const auto& watch : watches) {
            for (const auto& cell : watch->cells()) {
                ++figures.cells;
                landed += cell.landedNs.size();
                gapsMs(cell.landedNs, intervals);
            }
        }
        figures.perSecond = static_cast<double>(landed) / seconds;
        figures.p95Ms = percentile(intervals, 0.95);
    }
    watches.clear();  // before their walls go
    state.counters["per_s"] = figures.perSecond;
    state.counters["share"] = figures.share();
    state.counters["p95_ms"] = figures.p95Ms;
    cpuCounters(state, figures);
    state.counters["odd_cells"] = figures.oddCells;
    windowRows[windows == 2 ? "two_windows" : "one_window"] = figures;
}

// How a window comes on screen: a plain show(), or a window-state change
// first, as a window manager makes when it maximises a window it maps.
enum class Showing { Plain, StateChange };

// first_picture_ms: windows of a 3x3 layout over the three servers shown
// one after another, the lists already loaded; each is timed from its
// show() to the first paint of a cell with a picture, and to the paint by
// which every cell has had one, then closed.
struct FirstPictures {
    std::vector<double> firstMs, allMs;
};
std::map<std::string, FirstPictures> firstPictureRows;

void BM_FirstPicture(benchmark::State& state, Showing showing) {
    const auto demos = startDemos(3);
    Room room(portsOf(demos));
    const Layout layout = turnsLayout(room, "First picture", kWindowSide, kWindowSide);
    room.hub().edit([&](ControlRoom& r) { r.layouts.push_back(layout); });
    if (!room.loadLists(10000)) {
        state.SkipWithError("the demo servers' lists did not come");
        return;
    }
    FirstPictures figures;
    for (auto _ : state) {
        for (int k = 0; k < kFirstPictureWindows; ++k) {
            RoomScreen& screen = room.addScreen();
            Room::sizeFor(screen, kWindowSide, kWindowSide);
            screen.showLayout(layout.name);
            auto watch = std::make_unique<LandingWatch>(
                screen.wall(), std::vector<int>(layout.cells.size(), 0), nullptr);
            watch->setRecording(true);
            // The first cell's first picture, or the last cell's; -1 while
            // there is none.
            const auto landedNs = [&](bool last) {
                std::int64_t at = -1;
                for (const auto& cell : watch->cells()) {
                    if (cell.landedNs.empty()) {
                        if (last) return std::int64_t{-1};
                        continue;
                    }
                    const std::int64_t t = cell.landedNs.front();
                    if (at < 0 || (last ? t > at : t < at)) at = t;
                }
                return at;
            };
            if (showing == Showing::StateChange) screen.setWindowState(Qt::WindowMaximized);
            const std::int64_t shownNs = nowNs();
            screen.show();
            // A window with no picture within the bound counts as the bound.
            runUntil([&] { return landedNs(true) >= 0; }, kFirstPictureBoundMs, 5);
            for (const bool last : {false, true}) {
                const std::int64_t at = landedNs(last);
                (last ? figures.allMs : figures.firstMs)
                    .push_back(at < 0 ? kFirstPictureBoundMs : (at - shownNs) / 1e6);
            }
            watch.reset();
            room.removeScreen(screen);
            runEventLoop(500);  // the closed window's fetchers wind down
        }
    }
    state.counters["median_ms"] = percentile(figures.firstMs, 0.5);
    state.counters["max_ms"] = *std::max_element(figures.firstMs.begin(), figures.firstMs.end());
    state.counters["all_cells_max_ms"] =
        *std::max_element(figures.allMs.begin(), figures.allMs.end());
    firstPictureRows[showing == Showing::Plain ? "show" : "state_then_show"] = figures;
}

// one_plus_five: the video cell's frames and the still cells' pictures
// landed a second, the process's CPU and memory.
struct OnePlusFive {
    double framesPerSecond = 0, picturesPerSecond = 0;
    int stillCells = 0;
    double p95FrameMs = 0, p95PictureMs = 0;
    double cores = 0, mainCores = 0, curlCores = 0, decodeCores = 0, demoCores = 0;
    double rss = 0;
    bool videoPlaying = false;
    QSize videoCell, stillCell, frameSize;
    int videoAtSize = 0, videoOther = 0;  // video requests at 1920x1080, and others
};
std::optional<OnePlusFive> onePlusFive;

constexpr int kVideoWidth = 1280, kVideoHeight = 720;

void BM_OnePlusFive(benchmark::State& state) {
    QTemporaryDir logs;
    const QString videoLog = logs.filePath("video.log");
    std::vector<std::unique_ptr<DemoProcess>> demos;
    demos.push_back(std::make_unique<DemoProcess>(0, QStringList{"--video", "h264"}, videoLog));
    for (int i = 0; i < 2; ++i) demos.push_back(std::make_unique<DemoProcess>());
    auto room = std::make_unique<Room>(portsOf(demos));
    // The two stills' servers play no video, whatever their cells' size.
    LiveVideo::setOn(room->server(0), true);
    for (size_t s : {1, 2}) LiveVideo::setOn(room->server(s), false);

    Layout layout;
    layout.name = "One and five";
    layout.applyTemplate("1+5");
    std::vector<int> cellServer{0};
    layout.cells[0] = refTo(room->server(0), 0);
    for (int i = 1; i < layout.cellCount(); ++i) {
        cellServer.push_back(1 + (i - 1) % 2);
        layout.cells[static_cast<size_t>(i)] = refTo(room->server(1 + (i - 1) % 2), (i - 1) / 2);
    }
    // The lists first, so that the large cell's camera asks for its size
    // before the layout is shown.
    if (!room->loadLists(10000)) {
        state.SkipWithError("the demo servers' lists did not come");
        return;
    }
    const auto videoServer = room->hub().server(room->server(0).serverId());
    const auto cameras = videoServer ? videoServer->getCameras() : nullptr;
    if (!cameras || cameras->empty()) {
        state.SkipWithError("the video server lists no camera");
        return;
    }
    cameras->front()->videoUri =
        cameras->front()->videoUri + QString("?resolution=1920x1080&fps=%1").arg(kRate);
    room->hub().edit([&](ControlRoom& r) { r.layouts.push_back(layout); });
    // Slots of (1280 + 2 insets) / 2 so that the large cell's picture is
    // 1280x720; the small ones are a slot less two insets.
    const int slotWidth = (kVideoWidth + 2 * TouchView::kInset) / 2;
    const int slotHeight = (kVideoHeight + 2 * TouchView::kInset) / 2;
    room->screen().resize(3 * slotWidth, 3 * slotHeight);
    room->screen().show();
    room->screen().showLayout(layout.name);
    auto watch = std::make_unique<LandingWatch>(room->screen().wall(), cellServer, nullptr);
    runEventLoop(kWarmUpMs);

    OnePlusFive figures;
    for (auto _ : state) {
        const WindowCpu cpu = measureWindow(demos, [&](bool on) { watch->setRecording(on); });
        figures.cores = cpu.cores;
        figures.mainCores = cpu.mainCores;
        figures.curlCores = cpu.curlCores;
        figures.decodeCores = cpu.decodeCores;
        figures.demoCores = cpu.demoCores;
        figures.rss = rssMb();
        std::vector<double> frameGaps, pictureGaps;
        size_t frames = 0, pictures = 0;
        for (const auto& cell : watch->cells()) {
            if (cell.server == 0) {
                frames += cell.landedNs.size();
                gapsMs(cell.landedNs, frameGaps);
            } else {
                ++figures.stillCells;
                pictures += cell.landedNs.size();
                gapsMs(cell.landedNs, pictureGaps);
            }
        }
        figures.framesPerSecond = static_cast<double>(frames) / cpu.seconds;
        figures.picturesPerSecond = static_cast<double>(pictures) / cpu.seconds;
        figures.p95FrameMs = percentile(frameGaps, 0.95);
        figures.p95PictureMs = percentile(pictureGaps, 0.95);
    }
    CameraWall* wall = room->screen().wall();
    figures.videoPlaying = room->screen().isVideoPlaying(0);
    figures.videoCell = wall->cell(0)->imageView()->askedPixels();
    figures.stillCell = wall->cell(1)->imageView()->askedPixels();
    figures.frameSize = wall->cell(0)->imageView()->picture().size();
    // What the video server's log shows asked of its video path: a stream
    // is logged when it ends, so the window goes first.
    watch.reset();
    room.reset();
    runEventLoop(1000);
    std::ifstream log(videoLog.toStdString());
    for (std::string line; std::getline(log, line);)
        if (line.rfind("GET /cameras/", 0) == 0 && line.find("/video") != std::string::npos)
            ++(line.find("resolution=1920x1080") != std::string::npos ? figures.videoAtSize
                                                                      : figures.videoOther);
    const double stillLimit = std::max(1, figures.stillCells) * kRate;
    state.counters["frames_share"] = figures.framesPerSecond / kRate;
    state.counters["pictures_share"] = figures.picturesPerSecond / stillLimit;
    state.counters["video_playing"] = figures.videoPlaying;
    state.counters["core_share"] = figures.cores;
    state.counters["rss_mb"] = figures.rss;
    onePlusFive = figures;
}

// An Active Cameras 3x3 layout watching all 64 cameras of one demo server:
// nine cells of stills at the server's rate, the other 55 cameras watched
// by hidden views at 2 pictures a second and 160x120. What it costs, and
// the requests a second it makes in all (from the demo server's log).
struct ActiveRow {
    WindowCpu cpu;
    double rss = 0, requestsPerSecond = 0, smallPerSecond = 0;
};
std::optional<ActiveRow> activeRow;

long countLines(const QString& path, const std::string& needle) {
    std::ifstream log(path.toStdString());
    long n = 0;
    for (std::string line; std::getline(log, line);) n += line.find(needle) != std::string::npos;
    return n;
}

void BM_ActiveCameras(benchmark::State& state) {
    QTemporaryDir logs;
    const QString log = logs.filePath("demo.log");
    std::vector<std::unique_ptr<DemoProcess>> demos;
    demos.push_back(std::make_unique<DemoProcess>(0, QStringList{"--cameras", "64"}, log));
    auto room = std::make_unique<Room>(portsOf(demos));
    LiveVideo::setOn(room->server(0), false);
    if (!room->loadLists(10000)) {
        state.SkipWithError("the demo server's list did not come");
        return;
    }
    Layout layout;
    layout.name = "Active";
    layout.rows = layout.columns = 3;
    layout.cells.assign(9, std::nullopt);
    for (int i = 0; i < 9; ++i) layout.cells[size_t(i)] = refTo(room->server(0), i);
    layout.active = ActiveCameras{};
    layout.active->servers = {room->server(0).serverId()};
    room->hub().edit([&](ControlRoom& r) { r.layouts.push_back(layout); });
    room->screen().resize(3 * kCellWidth + 6 * TouchView::kInset,
                          3 * kCellHeight + 6 * TouchView::kInset);
    room->screen().show();
    room->screen().showLayout(layout.name);
    runEventLoop(kWarmUpMs);
    ActiveRow row;
    for (auto _ : state) {
        const long all0 = countLines(log, "GET /cameras/"), small0 = countLines(log, "160x120");
        row.cpu = measureWindow(demos, [](bool) {});
        row.requestsPerSecond = double(countLines(log, "GET /cameras/") - all0) / row.cpu.seconds;
        row.smallPerSecond = double(countLines(log, "160x120") - small0) / row.cpu.seconds;
        row.rss = rssMb();
    }
    room.reset();
    state.counters["core_share"] = row.cpu.cores;
    state.counters["requests_per_s"] = row.requestsPerSecond;
    activeRow = row;
}

// A 5x5 layout at 8 pictures a second of one demo server with scripted
// scenes: an object crosses five cameras (3 s each, staggered), the light
// goes on and off on five others, three show still patterns; the other
// twelve draw patterns that move by themselves (a sweeping needle, moving
// stripes) and are left out. The scene's windows, on the demo's clock (the
// same machine's), are the ground truth for each activity report of the
// viewer's own ActivityWatch. Then the same layout with every camera Off,
// for the CPU that detection adds. Ignore zones cover the demo's captions
// (its millisecond clock and frame counter change in every picture), as a
// person would draw them.
struct ActivityWallRow {
    int crossings = 0, missed = 0, falseLight = 0, falseStill = 0;
    std::vector<double> delaysMs;
    double coresOn = 0, coresOff = 0, seconds = 0;
};
std::optional<ActivityWallRow> activityWallRow;

constexpr int kSceneCycle = 16, kWallRate = 8;

void BM_ActivityWall(benchmark::State& state) {
    // Cameras by index: 0 mod 4 colour bars, 1 radar, 2 grid, 3 stripes.
    const std::map<int, int> crossingFrom{{4, 1}, {10, 4}, {12, 7}, {18, 10}, {20, 12}};
    const std::set<int> lights{0, 2, 6, 8, 14}, stills{16, 22, 24};
    const auto nameOf = [](int i) {
        static const char* first[] = {"Front door", "Parking lot", "Warehouse", "Garden café"};
        return i < 4 ? QString::fromUtf8(first[i]) : QString("Camera %1").arg(i + 1);
    };
    QStringList activity, light;
    for (const auto& [i, from] : crossingFrom)
        activity << QString("%1:%2-%3").arg(nameOf(i)).arg(from).arg(from + 3);
    int at = 0;
    for (int i : lights) light << QString("%1:%2").arg(nameOf(i)).arg(at += 3);
    std::vector<std::unique_ptr<DemoProcess>> demos;
    demos.push_back(std::make_unique<DemoProcess>(
        0, QStringList{"--cameras", "25", "--cycle-seconds", QString::number(kSceneCycle),
                       "--activity", activity.join(';'), "--lights", light.join(';')}));
    auto room = std::make_unique<Room>(portsOf(demos), kWallRate);
    if (!room->loadLists(10000)) {
        state.SkipWithError("the demo server's list did not come");
        return;
    }
    HttpClient::Get request;
    request.url = QString("http://127.0.0.1:%1/scenes").arg(demos[0]->port()).toStdString();
    request.headers = {ZVDataManager::authorizationHeader(*serverRecord("s", demos[0]->port()))};
    const QJsonObject scenes =
        QJsonDocument::fromJson(HttpClient::get(request).body.value_or(QByteArray())).object();
    const qint64 startedMs = qint64(scenes.value("startedMs").toDouble());

    Layout layout;
    layout.name = "Activity";
    layout.rows = layout.columns = 5;
    layout.cells.assign(25, std::nullopt);
    for (int i = 0; i < 25; ++i) layout.cells[size_t(i)] = refTo(room->server(0), i);
    const auto setAll = [&](CameraActivity::Sensitivity sensitivity) {
        room->hub().edit([&](ControlRoom& r) {
            for (int i = 0; i < 25; ++i)
                r.setActivity({refTo(room->server(0), i),
                               sensitivity,
                               {{0, 0, 1, 0.15}, {0, 0.78, 0.55, 0.12}, {0, 0.9, 1, 0.1}},
                               false});
        });
    };
    room->hub().edit([&](ControlRoom& r) { r.layouts.push_back(layout); });
    setAll(CameraActivity::Sensitivity::Normal);
    Room::sizeFor(room->screen(), 5, 5);
    room->screen().show();
    room->screen().showLayout(layout.name);
    std::vector<std::pair<int, qint64>> reports;  // camera, wall-clock ms it became active
    QObject::connect(room->hub().activity(), &ActivityWatch::activityChanged,
                     [&](const QString& key, bool active) {
                         const QString uri = ActivityWatch::partsOf(key).cameraUri;
                         if (active)
                             reports.emplace_back(uri.section('/', 2, 2).toInt(),
                                                  QDateTime::currentMSecsSinceEpoch());
                     });
    runEventLoop(4000);  // backgrounds learnt, the first marks of the start gone
    ActivityWallRow row;
    for (auto _ : state) {
        reports.clear();
        const qint64 from = QDateTime::currentMSecsSinceEpoch();
        const WindowCpu on = measureWindow(
            demos, [](bool) {}, 11 * kSceneCycle * 1000);
        const qint64 to = QDateTime::currentMSecsSinceEpoch();
        row.coresOn = on.cores;
        row.seconds = on.seconds;
        // Each crossing wholly in the window: the first report of its camera
        // from its start to a second after its end.
        for (const auto& [camera, second] : crossingFrom) {
            for (qint64 c = (from - startedMs) / (kSceneCycle * 1000);; ++c) {
                const qint64 start = startedMs + (c * kSceneCycle + second) * 1000;
                if (start < from) continue;
                if (start + 3000 > to - 1000) break;
                ++row.crossings;
                const auto hit = std::find_if(reports.begin(), reports.end(), [&](auto& r) {
                    return r.first == camera && r.second >= start && r.second <= start + 4000;
                });
                if (hit == reports.end())
                    ++row.missed;
                else
                    row.delaysMs.push_back(double(hit->second - start));
            }
        }
        for (const auto& [camera, ms] : reports) {
            row.falseLight += lights.count(camera);
            row.falseStill += stills.count(camera);
        }
        setAll(CameraActivity::Sensitivity::Off);
        runEventLoop(1000);
        row.coresOff = measureWindow(
                           demos, [](bool) {}, 30000)
                           .cores;
    }
    room.reset();
    state.counters["missed"] = row.missed;
    state.counters["false"] = row.falseLight + row.falseStill;
    activityWallRow = row;
}

// The rows one after another, each figure with its target.
void printTable() {
    const auto target = [](bool ok) { return ok ? "met" : "NOT met"; };
    const RowFigures* base = rows.count("three_servers") ? &rows["three_servers"] : nullptr;
    std::printf("\n%-14s %-6s %-24s %-9s %-8s %s\n", "row", "server", "pictures/s of limit",
                "served/s", "p95 gap", "targets");
    for (const std::string name : {"three_servers", "one_silent", "silent_lists"}) {
        if (!rows.count(name)) continue;
        const RowFigures& row = rows[name];
        for (size_t s = 0; s < row.servers.size(); ++s) {
            const ServerFigures& f = row.servers[s];
            const bool silentServer = f.servedPerSecond < 0;
            std::string notes = "silent";
            if (!silentServer) {
                notes = std::string("share ") + target(f.share() >= 0.97);
                if (base && base != &row && s < base->servers.size()) {
                    const double ratio = f.p95Ms / std::max(1e-9, base->servers[s].p95Ms);
                    char text[80];
                    std::snprintf(text, sizeof text, ", p95 %.2f of three_servers' (%s)", ratio,
                                  target(ratio <= 1.10));
                    notes += text;
                }
            }
            const QByteArray served =
                silentServer ? QByteArray("-") : QByteArray::number(f.servedPerSecond, 'f', 1);
            std::printf("%-14s %-6c %6.1f / %3d (%5.1f %%) %9s %5.1f ms %s\n",
                        s ? "" : name.c_str(), static_cast<char>('a' + s), f.perSecond,
                        f.cells * kRate, 100 * f.share(), served.constData(), f.p95Ms,
                        notes.c_str());
        }
        const bool first = name == "three_servers";
        std::printf("%-14s CPU %.3f of a core%s, demo servers %.2f cores, RSS %.0f MB%s\n", "",
                    row.cores, first ? (row.cores < 0.3 ? " (met)" : " (NOT met)") : "",
                    row.demoCores, row.rss, first ? (row.rss < 250 ? " (met)" : " (NOT met)") : "");
        double pictures = 0;
        for (const ServerFigures& f : row.servers) pictures += f.perSecond;
        pictures = std::max(pictures, 1e-9);
        std::printf(
            "%-14s per picture: %.0f us in all, main thread %.0f, libcurl threads %.0f, "
            "decode threads %.0f\n",
            "", row.cores / pictures * 1e6, row.mainCores / pictures * 1e6,
            row.curlCores / pictures * 1e6, row.decodeCores / pictures * 1e6);
        std::printf("%-14s requests not at %dx%d: %ld, cells not at it: %d\n", "", kCellWidth,
                    kCellHeight, row.oddSizes, row.oddCells);
        if (!first)
            std::printf(
                "%-14s every silent cell warned %.2f s after the show%s; %d requests held\n", "",
                row.warnS,
                name == "one_silent" ? (row.warnS >= 0 && row.warnS <= 5 ? " (met)" : " (NOT met)")
                                     : "",
                row.held);
    }
    if (tourFigures) {
        const TourFigures& t = *tourFigures;
        std::printf("%-14s %d switches of %d cells: %.1f %% showing the new step at +%d ms (%s),\n",
                    "tour", t.switches, t.switches ? t.cells / t.switches : 0, 100 * t.readyShare,
                    kCheckAfterMs, target(t.readyShare >= 1.0));
        std::printf(
            "%-14s worst switch %d cells; at the switch %.1f %%; arrived after the switch "
            "%.1f %%; oldest %.0f ms\n",
            "", t.worstReady, 100 * t.atSwitchShare, 100 * t.freshShare, t.maxAgeMs);
        std::printf("%-14s CPU %.3f of a core, RSS %.0f MB, cells not at %dx%d: %d\n", "", t.cores,
                    t.rss, kCellWidth, kCellHeight, t.oddCells);
    }
    for (const std::string name : {"one_window", "two_windows"}) {
        if (!windowRows.count(name)) continue;
        const WindowsFigures& w = windowRows[name];
        const double pictures = std::max(w.perSecond, 1e-9);
        std::printf(
            "%-14s %d window(s), %d cells: %.1f / %d pictures/s (%.1f %%), p95 gap %.1f ms\n",
            name.c_str(), w.windows, w.cells, w.perSecond, w.cells * kRate, 100 * w.share(),
            w.p95Ms);
        std::printf(
            "%-14s CPU %.3f of a core (%.0f us a picture: main thread %.0f, libcurl threads "
            "%.0f, decode threads %.0f), demo servers %.2f cores, RSS %.0f MB, cells not at "
            "%dx%d: %d\n",
            "", w.cores, w.cores / pictures * 1e6, w.mainCores / pictures * 1e6,
            w.curlCores / pictures * 1e6, w.decodeCores / pictures * 1e6, w.demoCores, w.rss,
            kCellWidth, kCellHeight, w.oddCells);
    }
    if (onePlusFive) {
        const OnePlusFive& o = *onePlusFive;
        const double others = std::max(0.0, o.cores - o.mainCores - o.curlCores - o.decodeCores);
        std::printf(
            "%-14s video cell %dx%d (%s, frame %dx%d): %.1f / %d frames/s (%.1f %%), p95 gap "
            "%.1f ms; video requests at 1920x1080 %d, other %d\n",
            "one_plus_five", o.videoCell.width(), o.videoCell.height(),
            o.videoPlaying ? "video playing" : "NO video", o.frameSize.width(),
            o.frameSize.height(), o.framesPerSecond, kRate, 100 * o.framesPerSecond / kRate,
            o.p95FrameMs, o.videoAtSize, o.videoOther);
        std::printf("%-14s %d still cells %dx%d: %.1f / %d pictures/s (%.1f %%), p95 gap %.1f ms\n",
                    "", o.stillCells, o.stillCell.width(), o.stillCell.height(),
                    o.picturesPerSecond, o.stillCells * kRate,
                    100 * o.picturesPerSecond / std::max(1, o.stillCells * kRate), o.p95PictureMs);
        std::printf(
            "%-14s CPU %.3f cores (main thread %.3f, libcurl threads %.3f, stills' decode "
            "threads %.3f, other threads, the video's among them, %.3f), demo servers %.2f "
            "cores, RSS %.0f MB\n",
            "", o.cores, o.mainCores, o.curlCores, o.decodeCores, others, o.demoCores, o.rss);
    }
    if (activityWallRow) {
        const ActivityWallRow& a = *activityWallRow;
        const double median = percentile(a.delaysMs, 0.5);
        const double worst =
            a.delaysMs.empty() ? 0 : *std::max_element(a.delaysMs.begin(), a.delaysMs.end());
        const double pictureMs = 1000.0 / kWallRate;
        std::printf(
            "%-14s 5x5 at %d/s, %.0f s: %d crossings, %d missed; delay to the mark median %.0f ms "
            "(%.1f pictures), max %.0f ms (%.1f pictures); false events %d on the lights, %d on "
            "the stills; CPU %.3f cores with detection, %.3f with every camera Off (%.1f %% of "
            "a core added)\n",
            "activity_wall", kWallRate, a.seconds, a.crossings, a.missed, median,
            median / pictureMs, worst, worst / pictureMs, a.falseLight, a.falseStill, a.coresOn,
            a.coresOff, 100 * (a.coresOn - a.coresOff));
    }
    if (activeRow) {
        const ActiveRow& a = *activeRow;
        std::printf(
            "%-14s 3x3 over 64 cameras: CPU %.3f cores (main thread %.3f, libcurl threads %.3f, "
            "decode threads %.3f), demo server %.2f cores, RSS %.0f MB, %.1f requests/s in all, "
            "%.1f of them at 160x120\n",
            "active_cameras", a.cpu.cores, a.cpu.mainCores, a.cpu.curlCores, a.cpu.decodeCores,
            a.cpu.demoCores, a.rss, a.requestsPerSecond, a.smallPerSecond);
    }
    for (const auto& [name, f] : firstPictureRows) {
        if (f.firstMs.empty()) continue;
        const auto list = [](const std::vector<double>& times) {
            QStringList each;
            for (const double t : times) each << QString::number(t, 'f', 0);
            return each.join(' ').toStdString();
        };
        const double worst = *std::max_element(f.firstMs.begin(), f.firstMs.end());
        std::printf("%-14s %s, %zu windows: first picture median %.0f ms, max %.0f ms (%s) [%s]\n",
                    "first_picture", name.c_str(), f.firstMs.size(), percentile(f.firstMs, 0.5),
                    worst, target(worst < 300), list(f.firstMs).c_str());
        std::printf("%-14s every cell's by median %.0f ms, max %.0f ms [%s]\n", "",
                    percentile(f.allMs, 0.5), *std::max_element(f.allMs.begin(), f.allMs.end()),
                    list(f.allMs).c_str());
    }
}

}  // namespace

BENCHMARK_CAPTURE(BM_Layout, three_servers, Third::Demo)->Iterations(1)->Unit(benchmark::kSecond);
BENCHMARK_CAPTURE(BM_Layout, one_silent, Third::SilentPictures)
    ->Iterations(1)
    ->Unit(benchmark::kSecond);
BENCHMARK_CAPTURE(BM_Layout, silent_lists, Third::SilentAll)
    ->Iterations(1)
    ->Unit(benchmark::kSecond);
BENCHMARK(BM_Tour)->Iterations(1)->Unit(benchmark::kSecond);
BENCHMARK_CAPTURE(BM_Windows, one_window, 1)->Iterations(1)->Unit(benchmark::kSecond);
BENCHMARK_CAPTURE(BM_Windows, two_windows, 2)->Iterations(1)->Unit(benchmark::kSecond);
BENCHMARK(BM_OnePlusFive)->Iterations(1)->Unit(benchmark::kSecond);
BENCHMARK(BM_ActiveCameras)->Iterations(1)->Unit(benchmark::kSecond);
BENCHMARK(BM_ActivityWall)->Iterations(1)->Unit(benchmark::kSecond);
BENCHMARK_CAPTURE(BM_FirstPicture, first_picture_ms_show, Showing::Plain)
    ->Iterations(1)
    ->Unit(benchmark::kSecond);
BENCHMARK_CAPTURE(BM_FirstPicture, first_picture_ms_state_change, Showing::StateChange)
    ->Iterations(1)
    ->Unit(benchmark::kSecond);

int main(int argc, char** argv) {
    // The viewer's own settings are never read or written: the shared store,
    // should anything ask for it, lives in a folder of its own.
    QTemporaryDir home;
    qputenv("XDG_DATA_HOME", home.path().toLocal8Bit());
    // Nor its preferences (Live Video per server, the video budget).
    qputenv("XDG_CONFIG_HOME", home.filePath("config").toLocal8Bit());
    return runQtBenchmarks(argc, argv, printTable);
}
