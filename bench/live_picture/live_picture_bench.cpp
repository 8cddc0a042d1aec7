// SPDX-License-Identifier: GPL-3.0-or-later
// The live picture path end to end on loopback: the data manager and the
// refresh loop fetch 640x480 pictures from the demo server (run as its own
// process, so its drawing does not count as ours) at configured rates of 8,
// 25 and 60 per second against server delays of 0, 50 and 200 ms.
//
// Both halves of a row are measured the same way, over windows of the same
// length after a warm-up: the viewer's path, and bare back-to-back GETs of
// the same picture on one thread with the same HTTP client, which is what
// the server allows at best.
//
// Reported per row:
//   pictures_per_s  pictures delivered to the view per second
//   limit_per_s     the lower of the configured rate and the bare GETs' rate
//   rate_ratio      pictures_per_s / limit_per_s
//   cpu_us_per_pic  this process's CPU time per delivered picture
//   decode_us       CPU time to decode that same JPEG alone with Qt's reader
//                   (QImage::loadFromData), in a tight loop
//   cpu_ratio       cpu_us_per_pic / decode_us
//   own_decode_us   the same with the viewer's own decoder
//   own_ratio       cpu_us_per_pic / own_decode_us: the path's cost beyond
//                   its own decode
//   faults_per_pic  minor page faults of this process per delivered picture
//   switches_per_pic  context switches of this process's threads per picture
//   main_us_per_pic   the main thread's share of cpu_us_per_pic
//   get_us          CPU time of one bare GET (back to back, kept connection)
//   paced_decode_us CPU time of the viewer's decoder on that JPEG once every
//                   1 / limit_per_s
//   paced_ratio     cpu_us_per_pic / paced_decode_us
//
// A second set of rows, BM_FixedSizePicture, stands for a server that ignores
// the asked size (the demo server with --fixed-size 1920x1080: one still
// JPEG of about 58 KB) shown in the viewer's own picture view at 480x270,
// painted offscreen at every picture. Reported per row, besides
// pictures_per_s, limit_per_s, rate_ratio, cpu_us_per_pic and
// main_us_per_pic as above:
//   paints_per_pic  paints of the view per delivered picture
//   full_decode_us  the viewer's decoder on that JPEG at its full size
//   asked_decode_us the same asked for 480x270
//   scale_us        a smooth scale of the full picture to 480x270, as the
//                   view did at every paint before it kept the scaled one

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QTimer>

#include <benchmark/benchmark.h>
#include <curl/curl.h>
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <thread>

#include "TXJsonValue.h"
#include "cameraimageview.h"
#include "camserver.h"
#include "demoprocess.h"
#include "httpclient.h"
#include "mainthreadcall.h"
#include "picturedecoder.h"
#include "qtbenchmain.h"
#include "touchimage.h"
#include "zvdatamanager.h"

namespace {

constexpr int kWarmUpMs = 1000;
constexpr int kWindowMs = 3000;

double threadCpuSeconds() {
    timespec ts;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return ts.tv_sec + ts.tv_nsec / 1e9;
}

// The CPU time of one decode of jpeg when decodes come at perSecond on a
// thread that sleeps in between, as the viewer's decodes come: after a
// pause, caches and predictors are cold and the same decode costs more
// than in a tight loop.
double pacedDecode(const QByteArray& jpeg, double perSecond, int ms) {
    const auto period = std::chrono::nanoseconds(static_cast<long long>(1e9 / perSecond));
    double cpu = 0;
    int count = 0;
    std::thread t([&] {
        QImage kept;  // as the view keeps each picture
        auto next = std::chrono::steady_clock::now();
        const auto end = next + std::chrono::milliseconds(ms);
        while (next < end) {
            std::this_thread::sleep_until(next);
            next += period;
            const double c0 = threadCpuSeconds();
            kept = PictureDecoder::decode(jpeg, QSize());
            cpu += threadCpuSeconds() - c0;
            ++count;
        }
    });
    t.join();
    return count ? cpu / count : 0;
}

double cpuSeconds() {
    timespec ts;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return ts.tv_sec + ts.tv_nsec / 1e9;
}

// With ZORVAN_PERF_CONTROL naming the control FIFO of `perf record -D -1
// --control fifo:...`, only the viewer's measured windows are profiled.
void perfControl(const char* command) {
    static const QByteArray path = qgetenv("ZORVAN_PERF_CONTROL");
    if (path.isEmpty()) return;
    if (FILE* f = std::fopen(path.constData(), "w")) {
        std::fputs(command, f);
        std::fclose(f);
    }
}

struct Usage {
    long faults, switches;
    double mainCpu;  // of the calling thread
};

Usage usage() {
    rusage self, thread;
    getrusage(RUSAGE_SELF, &self);
    getrusage(RUSAGE_THREAD, &thread);
    const auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
    return {self.ru_minflt, self.ru_nvcsw + self.ru_nivcsw,
            seconds(thread.ru_utime) + seconds(thread.ru_stime)};
}

// Each thread of this process: its name, CPU time in ns and voluntary and
// forced context switches, from /proc. With ZORVAN_BENCH_THREADS set, the
// measured window's share of each thread is printed per picture, to see
// which threads a picture wakes and what each costs.
struct ThreadStat {
    std::string name;
    long long cpuNs = 0, voluntary = 0, forced = 0;
};

std::map<int, ThreadStat> threadStats() {
    std::map<int, ThreadStat> stats;
    QDir dir(QStringLiteral("/proc/self/task"));
    for (const QString& tid : dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        const std::string base = "/proc/self/task/" + tid.toStdString();
        ThreadStat t;
        std::ifstream(base + "/comm") >> t.name;
        std::ifstream(base + "/schedstat") >> t.cpuNs;
        std::ifstream status(base + "/status");
        for (std::string line; std::getline(status, line);) {
            std::istringstream in(line);
            std::string key;
            in >> key;
            if (key == "voluntary_ctxt_switches:") in >> t.voluntary;
            if (key == "nonvoluntary_ctxt_switches:") in >> t.forced;
        }
        stats[tid.toInt()] = t;
    }
    return stats;
}

void printThreadShares(const std::map<int, ThreadStat>& before,
                       const std::map<int, ThreadStat>& after, int pictures) {
    if (qEnvironmentVariableIsEmpty("ZORVAN_BENCH_THREADS") || pictures <= 0) return;
    for (const auto& [tid, a] : after) {
        ThreadStat b;
        if (auto it = before.find(tid); it != before.end()) b = it->second;
        const double n = pictures;
        std::fprintf(stderr,
                     "  thread %d %-16s cpu %7.1f us  voluntary %5.2f  forced %5.2f per picture\n",
                     tid, a.name.c_str(), (a.cpuNs - b.cpuNs) / n / 1e3,
                     (a.voluntary - b.voluntary) / n, (a.forced - b.forced) / n);
    }
}

// Runs the main loop for ms milliseconds, sleeping while there is nothing to do.
void runEventLoop(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// Keeps the shown picture, as the viewer's image view does.
class CountingView : public CameraImageView {
public:
    void setPicture(const QImage& image) override {
        shown = image;
        if (image.isNull()) return;
        ++delivered;
        lastNs = clock.nsecsElapsed();
    }
    QSizeF boundsSize() const override { return {640, 480}; }
    void setDelegate(CameraView*) override {}
    QImage shown;
    int delivered = 0;
    QElapsedTimer clock;  // started by the caller
    qint64 lastNs = 0;    // when the last picture came
};

struct Row {
    double perSecond, limit, cpuPerPicture, decode, ownDecode, faultsPerPicture, switchesPerPicture,
        mainCpuPerPicture, cpuPerGet, pacedDecode;
};

// Bare GETs back to back on a thread of their own for ms milliseconds: how
// many per second the server answers. Returns the rate, one body and the
// CPU time per GET.
double bareRate(const HttpClient::Get& get, int ms, QByteArray* body, double* cpuPerGet) {
    int count = 0;
    const double c0 = cpuSeconds();
    qint64 firstNs = 0, lastNs = 0;
    std::thread t([&] {
        QElapsedTimer wall;
        wall.start();
        while (wall.elapsed() < ms) {
            HttpClient::Result r = HttpClient::get(get);
            if (r.body && !r.body->isEmpty()) {
                lastNs = wall.nsecsElapsed();
                if (count++ == 0) firstNs = lastNs;
                *body = *r.body;
            }
        }
    });
    t.join();
    *cpuPerGet = count ? (cpuSeconds() - c0) / count : 0;
    // Pictures per second between the first answer and the last.
    return count > 1 ? (count - 1) / ((lastNs - firstNs) / 1e9) : 0;
}

Row measure(int fps, int delayMs) {
    DemoProcess demo(delayMs);
    auto server = CamServer::create();
    server->setHost("127.0.0.1");
    server->setPort(QString::number(demo.port()));
    server->setLogin("admin");
    server->setPassword("");
    server->setFps(QString::number(fps));
    server->setCameras(tx::JsonValue(
        tx::JsonArray{tx::JsonObject{{"name", "bench"}, {"image-uri", "/cameras/0/image"}}}));

    HttpClient::Get get;
    get.url = ZVDataManager::pictureUrl(*server, "/cameras/0/image", "640x480").value();
    get.headers = {ZVDataManager::authorizationHeader(*server), "Accept:"};
    QByteArray jpeg;
    double cpuPerGet = 0;
    bareRate(get, kWarmUpMs, &jpeg, &cpuPerGet);
    const double limit = std::min<double>(fps, bareRate(get, kWindowMs, &jpeg, &cpuPerGet));

    const int decodes = 200;
    for (int i = 0; i < 20; ++i) QImage().loadFromData(jpeg);
    const double d0 = cpuSeconds();
    for (int i = 0; i < decodes; ++i) {
        QImage image;
        image.loadFromData(jpeg);
        benchmark::DoNotOptimize(image);
    }
    const double decode = (cpuSeconds() - d0) / decodes;
    QImage kept;  // as the view keeps each picture
    for (int i = 0; i < 20; ++i) kept = PictureDecoder::decode(jpeg, QSize());
    const double o0 = cpuSeconds();
    for (int i = 0; i < decodes; ++i) kept = PictureDecoder::decode(jpeg, QSize());
    const double ownDecode = (cpuSeconds() - o0) / decodes;
    const double paced = pacedDecode(jpeg, limit, kWindowMs);

    CountingView view;
    view.clock.start();
    ZVDataManager dm(server);
    server->getCameras()->at(0)->setCamera(&view);
    server->videoCameraAtIndex(0);
    runEventLoop(kWarmUpMs);
    const int before = view.delivered;
    const qint64 firstNs = view.lastNs;
    const Usage u0 = usage();
    const auto threads0 = threadStats();
    const double c0 = cpuSeconds();
    perfControl("enable\n");
    runEventLoop(kWindowMs);
    perfControl("disable\n");
    const double cpu = cpuSeconds() - c0;
    const Usage u1 = usage();
    printThreadShares(threads0, threadStats(), view.delivered - before);
    // Rates count the pictures after the first one of the window, over the
    // time from that one to the last, so the window's edges do not count.
    const int delivered = view.delivered - before;
    const double perSecond = delivered > 0 ? delivered / ((view.lastNs - firstNs) / 1e9) : 0;
    server->stopVideo();
    MainThreadCall::close();
    dm.shutdown();
    MainThreadCall::reopen();
    const double n = std::max(delivered, 1);
    return {perSecond,
            limit,
            cpu / n,
            decode,
            ownDecode,
            (u1.faults - u0.faults) / n,
            (u1.switches - u0.switches) / n,
            (u1.mainCpu - u0.mainCpu) / n,
            cpuPerGet,
            paced};
}

// The viewer's picture view, painted offscreen, counting pictures and paints.
class PaintedView : public TouchImage {
public:
    void setCameraPicture(const CameraPicture& picture) override {
        TouchImage::setCameraPicture(picture);
        if (picture.image.isNull()) return;
        ++delivered;
        lastNs = clock.nsecsElapsed();
    }
    int delivered = 0, paints = 0;
    QElapsedTimer clock;  // started by the caller
    qint64 lastNs = 0;    // when the last picture came

protected:
    void paintEvent(QPaintEvent* event) override {
        TouchImage::paintEvent(event);
        ++paints;
    }
};

struct FixedRow {
    double perSecond, limit, cpuPerPicture, mainCpuPerPicture, paintsPerPicture, fullDecode,
        askedDecode, scale;
};

template <typename F>
double cpuPerCall(int times, F&& f) {
    for (int i = 0; i < times / 10; ++i) f();
    const double c0 = cpuSeconds();
    for (int i = 0; i < times; ++i) f();
    return (cpuSeconds() - c0) / times;
}

FixedRow measureFixed(int fps) {
    const QSize shown(480, 270);
    const QString asked = QStringLiteral("%1x%2").arg(shown.width()).arg(shown.height());
    DemoProcess demo(0, {"--fixed-size", "1920x1080"});
    auto server = CamServer::create();
    server->setHost("127.0.0.1");
    server->setPort(QString::number(demo.port()));
    server->setLogin("admin");
    server->setPassword("");
    server->setFps(QString::number(fps));
    server->setCameras(tx::JsonValue(
        tx::JsonArray{tx::JsonObject{{"name", "bench"}, {"image-uri", "/cameras/0/image"}}}));

    HttpClient::Get get;
    get.url = ZVDataManager::pictureUrl(*server, "/cameras/0/image", asked).value();
    get.headers = {ZVDataManager::authorizationHeader(*server), "Accept:"};
    QByteArray jpeg;
    double cpuPerGet = 0;
    bareRate(get, kWarmUpMs, &jpeg, &cpuPerGet);
    const double limit = std::min<double>(fps, bareRate(get, kWindowMs, &jpeg, &cpuPerGet));

    QImage kept;  // as the view keeps each picture
    const double fullDecode = cpuPerCall(50, [&] { kept = PictureDecoder::decode(jpeg, QSize()); });
    const double askedDecode = cpuPerCall(50, [&] { kept = PictureDecoder::decode(jpeg, shown); });
    const QImage full = PictureDecoder::decode(jpeg, QSize());
    const double scale = cpuPerCall(50, [&] {
        benchmark::DoNotOptimize(full.scaled(shown, Qt::KeepAspectRatio, Qt::SmoothTransformation));
    });

    PaintedView view;
    view.resize(shown);
    view.show();
    view.clock.start();
    ZVDataManager dm(server);
    server->getCameras()->at(0)->setCamera(&view);
    server->videoCameraAtIndex(0);
    runEventLoop(kWarmUpMs);
    const int before = view.delivered, paintsBefore = view.paints;
    const qint64 firstNs = view.lastNs;
    const Usage u0 = usage();
    const double c0 = cpuSeconds();
    perfControl("enable\n");
    runEventLoop(kWindowMs);
    perfControl("disable\n");
    const double cpu = cpuSeconds() - c0;
    const Usage u1 = usage();
    const int delivered = view.delivered - before;
    const double perSecond = delivered > 0 ? delivered / ((view.lastNs - firstNs) / 1e9) : 0;
    const int paints = view.paints - paintsBefore;
    server->stopVideo();
    MainThreadCall::close();
    dm.shutdown();
    MainThreadCall::reopen();
    const double n = std::max(delivered, 1);
    return {perSecond,  limit,      cpu / n,     (u1.mainCpu - u0.mainCpu) / n,
            paints / n, fullDecode, askedDecode, scale};
}

void BM_FixedSizePicture(benchmark::State& state, int fps) {
    FixedRow row{};
    for (auto _ : state) row = measureFixed(fps);
    state.counters["pictures_per_s"] = row.perSecond;
    state.counters["limit_per_s"] = row.limit;
    state.counters["rate_ratio"] = row.perSecond / row.limit;
    state.counters["cpu_us_per_pic"] = row.cpuPerPicture * 1e6;
    state.counters["main_us_per_pic"] = row.mainCpuPerPicture * 1e6;
    state.counters["paints_per_pic"] = row.paintsPerPicture;
    state.counters["full_decode_us"] = row.fullDecode * 1e6;
    state.counters["asked_decode_us"] = row.askedDecode * 1e6;
    state.counters["scale_us"] = row.scale * 1e6;
}

void BM_LivePicture(benchmark::State& state, int fps, int delayMs) {
    Row row{};
    for (auto _ : state) row = measure(fps, delayMs);
    state.counters["pictures_per_s"] = row.perSecond;
    state.counters["limit_per_s"] = row.limit;
    state.counters["rate_ratio"] = row.perSecond / row.limit;
    state.counters["cpu_us_per_pic"] = row.cpuPerPicture * 1e6;
    state.counters["decode_us"] = row.decode * 1e6;
    state.counters["cpu_ratio"] = row.decode > 0 ? row.cpuPerPicture / row.decode : 0;
    state.counters["own_decode_us"] = row.ownDecode * 1e6;
    state.counters["own_ratio"] = row.ownDecode > 0 ? row.cpuPerPicture / row.ownDecode : 0;
    state.counters["faults_per_pic"] = row.faultsPerPicture;
    state.counters["switches_per_pic"] = row.switchesPerPicture;
    state.counters["main_us_per_pic"] = row.mainCpuPerPicture * 1e6;
    state.counters["get_us"] = row.cpuPerGet * 1e6;
    state.counters["paced_decode_us"] = row.pacedDecode * 1e6;
    state.counters["paced_ratio"] = row.pacedDecode > 0 ? row.cpuPerPicture / row.pacedDecode : 0;
}

}  // namespace

#define ROW(F, D)                                              \
    BENCHMARK_CAPTURE(BM_LivePicture, fps##F##_delay##D, F, D) \
        ->Iterations(1)                                        \
        ->Repetitions(3)                                       \
        ->ReportAggregatesOnly(true)                           \
        ->Unit(benchmark::kSecond)
ROW(8, 0);
ROW(8, 50);
ROW(8, 200);
ROW(25, 0);
ROW(25, 50);
ROW(25, 200);
ROW(60, 0);
ROW(60, 50);
ROW(60, 200);

#define FIXED_ROW(F)                                                           \
    BENCHMARK_CAPTURE(BM_FixedSizePicture, fixed1920x1080_at480x270_fps##F, F) \
        ->Iterations(1)                                                        \
        ->Repetitions(3)                                                       \
        ->ReportAggregatesOnly(true)                                           \
        ->Unit(benchmark::kSecond)
FIXED_ROW(8);
FIXED_ROW(25);

int main(int argc, char** argv) {
    return runQtBenchmarks(argc, argv);
}
