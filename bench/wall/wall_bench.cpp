// SPDX-License-Identifier: GPL-3.0-or-later
// The camera wall's whole picture path on loopback: the wall fetcher and
// page refresh ask the demo server (its own process, so its drawing does
// not count as ours) for every camera of a page, pictures are decoded at the
// cell's size, handed to the main thread and painted into offscreen
// PreviewTouchImage cells. Rows: 4, 9 and 16 cameras at 8 and 25 pictures a
// second each, cells of 320x240 and 640x480, and a page of 25 cells.
//
// Reported per row:
//   pictures_per_s   pictures delivered to the cells per second, all cameras
//   limit_per_s      the lower of cameras x rate and what the server gives
//                    to the same number of paced clients (bare GETs on one
//                    thread per camera, measured over a window as long)
//   rate_ratio       pictures_per_s / limit_per_s (target >= 0.97)
//   cpu_us_per_pic   this process's CPU time per delivered picture
//   core_share       this process's CPU time as a share of one core
//   main_us_per_pic  the main thread's part of cpu_us_per_pic
//   curl_us_per_pic, decode_thread_us_per_pic
//                    the parts of the fetcher's libcurl thread and of its
//                    decode threads (all of them together)
//   decode_us        CPU time of a bare scaled decode of the same picture
//                    at the cell's size, in a tight loop
//   decode_cold_us   the same decode with the caches full of other work
//                    and each result held while the next is made, as the
//                    wall's cells hold their pictures
//   cpu_ratio        cpu_us_per_pic / decode_us (target <= 1.3)
//   rss_mb           resident memory at the end of the window; the rows run
//                    in one process, so it includes what earlier rows left
//                    with the allocator (run one row alone for its own)

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QImage>
#include <QTimer>
#include <QWidget>

#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <dirent.h>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "TXJsonValue.h"
#include "camserver.h"
#include "demoprocess.h"
#include "httpclient.h"
#include "mainthreadcall.h"
#include "picturedecoder.h"
#include "previewtouchimage.h"
#include "processfigures.h"
#include "qtbenchmain.h"
#include "wallfetcher.h"
#include "wallrefresh.h"
#include "zvdatamanager.h"

namespace {

constexpr int kWarmUpMs = 1500;
constexpr int kWindowMs = 4000;

// With ZORVAN_PERF_CONTROL naming the control FIFO of `perf record -D -1
// --control fifo:...`, only the measured windows are profiled.
void perfControl(const char* command) {
    static const QByteArray path = qgetenv("ZORVAN_PERF_CONTROL");
    if (path.isEmpty()) return;
    if (FILE* f = std::fopen(path.constData(), "w")) {
        std::fputs(command, f);
        std::fclose(f);
    }
}

void runEventLoop(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// A wall cell that counts the pictures it is given.
class CountingCell : public PreviewTouchImage {
public:
    using PreviewTouchImage::PreviewTouchImage;
    void setCameraPicture(const CameraPicture& picture) override {
        PreviewTouchImage::setCameraPicture(picture);
        if (!picture.image.isNull()) ++delivered;
    }
    int delivered = 0;
};

std::shared_ptr<CamServer> demoRecord(int port, int cameras, int rate) {
    tx::JsonArray list;
    for (int i = 0; i < cameras; ++i) {
        list.push_back(tx::JsonObject{{"name", "Camera " + std::to_string(i)},
                                      {"image-uri", "/cameras/" + std::to_string(i) + "/image"}});
    }
    auto server = CamServer::create();
    server->setHost("127.0.0.1");
    server->setPort(QString::number(port));
    server->setLogin("admin");
    server->setPassword("");
    server->setFps(QString::number(rate));
    server->setCameras(list);
    return server;
}

// What the server gives `cameras` clients that each ask for a picture at
// `rate` on a grid and wait for it: pictures per second over ms after a
// warm-up. One body is kept for the decode comparison.
double serverLimit(const CamServer& server, int cameras, int rate, QSize cell, QByteArray* body) {
    const QString resolution = QStringLiteral("%1x%2").arg(cell.width()).arg(cell.height());
    std::atomic<bool> counting{false}, stop{false};
    std::atomic<int> count{0};
    std::vector<std::thread> clients;
    std::mutex bodyLock;
    for (int i = 0; i < cameras; ++i) {
        HttpClient::Get get;
        get.url = ZVDataManager::pictureUrl(server, QString("/cameras/%1/image").arg(i), resolution)
                      .value();
        get.headers = {ZVDataManager::authorizationHeader(server), "Accept:"};
        clients.emplace_back([&, get, i] {
            const auto period = std::chrono::nanoseconds(1'000'000'000 / rate);
            auto next = std::chrono::steady_clock::now();
            while (!stop) {
                std::this_thread::sleep_until(next);
                next = std::max(next + period, std::chrono::steady_clock::now());
                HttpClient::Result r = HttpClient::get(get);
                if (!r.body || r.body->isEmpty()) continue;
                if (counting) ++count;
                if (i == 0) {
                    std::lock_guard l(bodyLock);
                    *body = *r.body;
                }
            }
        });
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(kWarmUpMs));
    counting = true;
    std::this_thread::sleep_for(std::chrono::milliseconds(kWindowMs));
    counting = false;
    const int got = count;
    stop = true;
    for (auto& t : clients) t.join();
    return std::min<double>(cameras * rate, got / (kWindowMs / 1000.0));
}

double bareDecodeUs(const QByteArray& jpeg, QSize cell) {
    QImage kept;  // as a cell keeps each picture
    for (int i = 0; i < 20; ++i) kept = PictureDecoder::decode(jpeg, cell);
    const int n = 300;
    const double c0 = cpuSeconds();
    for (int i = 0; i < n; ++i) kept = PictureDecoder::decode(jpeg, cell);
    return (cpuSeconds() - c0) / n * 1e6;
}

// The same decode as the wall meets it: the compressed bytes fresh, the
// caches full of other work, and every result held by one of 16 cells
// while the next is decoded (timed without the cache thrashing).
double coldDecodeUs(const QByteArray& jpeg, QSize cell) {
    std::vector<QImage> cells(16);
    std::vector<char> other(16 << 20);
    const int n = 200;
    double spent = 0;
    for (int i = 0; i < n; ++i) {
        for (size_t k = 0; k < other.size(); k += 64) ++other[k];
        const QByteArray bytes(jpeg.constData(), jpeg.size());
        const double c0 = cpuSeconds();
        cells[static_cast<size_t>(i) % cells.size()] = PictureDecoder::decode(bytes, cell);
        spent += cpuSeconds() - c0;
    }
    return spent / n * 1e6;
}

void BM_Wall(benchmark::State& state, int cameras, int rate, QSize cell) {
    DemoProcess demo(0, {"--cameras", QString::number(cameras)});
    auto server = demoRecord(demo.port(), cameras, rate);
    QByteArray jpeg;
    const double limit = serverLimit(*server, cameras, rate, cell, &jpeg);
    const double decodeUs = bareDecodeUs(jpeg, cell);
    const double coldUs = coldDecodeUs(jpeg, cell);

    // The page: a near-square grid of cells, as the wall lays them out.
    const int columns = static_cast<int>(std::ceil(std::sqrt(cameras)));
    const int rows = (cameras + columns - 1) / columns;
    QWidget page;
    page.resize(columns * cell.width(), rows * cell.height());
    std::vector<CountingCell*> cells;
    std::vector<WallRefresh::Cell> pageCells;
    for (int i = 0; i < cameras; ++i) {
        auto* c = new CountingCell(&page);
        c->setGeometry((i % columns) * cell.width(), (i / columns) * cell.height(), cell.width(),
                       cell.height());
        cells.push_back(c);
        pageCells.push_back({i, c});
    }
    page.show();

    double perSecond = 0, cpu = 0, mainCpu = 0, curlCpu = 0, decodeCpu = 0, rss = 0;
    int delivered = 0;
    for (auto _ : state) {
        auto fetcher = std::make_unique<WallFetcher>(server);
        auto wall = std::make_unique<WallRefresh>(server, fetcher.get());
        wall->showPage(pageCells);
        runEventLoop(kWarmUpMs);
        const auto total = [&] {
            int n = 0;
            for (const CountingCell* c : cells) n += c->delivered;
            return n;
        };
        const int before = total();
        const auto t0 = threadCpuByName();
        const double c0 = cpuSeconds(), m0 = mainThreadCpuSeconds();
        QElapsedTimer window;
        window.start();
        perfControl("enable\n");
        runEventLoop(kWindowMs);
        perfControl("disable\n");
        const double seconds = window.nsecsElapsed() / 1e9;
        cpu = cpuSeconds() - c0;
        mainCpu = mainThreadCpuSeconds() - m0;
        const auto t1 = threadCpuByName();
        const auto spent = [&](const std::string& name) {
            const auto a = t0.find(name), b = t1.find(name);
            return a == t0.end() || b == t1.end() ? 0.0 : (b->second - a->second) / seconds;
        };
        curlCpu = spent("zv-wall-curl");
        decodeCpu = spent("zv-wall-decode");
        delivered = total() - before;
        perSecond = delivered / seconds;
        cpu /= seconds;  // per second of window
        mainCpu /= seconds;
        rss = rssMb();
        wall.reset();
        fetcher.reset();
    }
    const double n = std::max(perSecond, 1e-9);
    state.counters["pictures_per_s"] = perSecond;
    state.counters["limit_per_s"] = limit;
    state.counters["rate_ratio"] = limit > 0 ? perSecond / limit : 0;
    state.counters["cpu_us_per_pic"] = cpu / n * 1e6;
    state.counters["core_share"] = cpu;
    state.counters["main_us_per_pic"] = mainCpu / n * 1e6;
    state.counters["curl_us_per_pic"] = curlCpu / n * 1e6;
    state.counters["decode_thread_us_per_pic"] = decodeCpu / n * 1e6;
    state.counters["decode_us"] = decodeUs;
    state.counters["decode_cold_us"] = coldUs;
    state.counters["cpu_ratio"] = decodeUs > 0 ? cpu / n * 1e6 / decodeUs : 0;
    state.counters["rss_mb"] = rss;
}

}  // namespace

#define ROW(N, R, W, H)                                                         \
    BENCHMARK_CAPTURE(BM_Wall, cams##N##_fps##R##_##W##x##H, N, R, QSize(W, H)) \
        ->Iterations(1)                                                         \
        ->Unit(benchmark::kSecond)
ROW(4, 8, 320, 240);
ROW(4, 25, 320, 240);
ROW(9, 8, 320, 240);
ROW(9, 25, 320, 240);
ROW(16, 8, 320, 240);
ROW(16, 25, 320, 240);
ROW(4, 8, 640, 480);
ROW(4, 25, 640, 480);
ROW(9, 8, 640, 480);
ROW(9, 25, 640, 480);
ROW(16, 8, 640, 480);
ROW(16, 25, 640, 480);
// The largest page: for its memory.
ROW(25, 8, 640, 480);

int main(int argc, char** argv) {
    return runQtBenchmarks(argc, argv);
}
