// The live picture path end to end on loopback: the data manager and the
// refresh loop fetch 640x480 pictures from the demo server (run as its own
// process, so its drawing does not count as ours) at configured rates of 8,
// 25 and 60 per second against server delays of 0, 50 and 200 ms.
//
// Reported per row:
//   pictures_per_s  pictures delivered to the view per second
//   limit_per_s     the lower of the configured rate and 1 / (delay + transfer),
//                   the transfer being a bare GET of the same picture
//   rate_ratio      pictures_per_s / limit_per_s
//   cpu_us_per_pic  this process's CPU time per delivered picture
//   decode_us       CPU time to decode that same JPEG alone
//   cpu_ratio       cpu_us_per_pic / decode_us

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QTimer>

#include <benchmark/benchmark.h>
#include <curl/curl.h>

#include <ctime>
#include <memory>

#include "TXJsonValue.h"
#include "cameraimageview.h"
#include "camserver.h"
#include "demoprocess.h"
#include "httpclient.h"
#include "mainthreadcall.h"
#include "qtbenchmain.h"
#include "zvdatamanager.h"
#include "zvdatamanagerdelegate.h"

namespace {

double cpuSeconds() {
    timespec ts;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return ts.tv_sec + ts.tv_nsec / 1e9;
}

// Runs the main loop for ms milliseconds, sleeping while there is nothing to do.
void runEventLoop(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

class CountingView : public CameraImageView {
public:
    void setPicture(const QImage& image) override { delivered += image.isNull() ? 0 : 1; }
    QSizeF boundsSize() const override { return {640, 480}; }
    void setDelegate(CameraView*) override {}
    int delivered = 0;
};

struct Row {
    double perSecond, limit, cpuPerPicture, decode;
};

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

    // The transfer alone: bare GETs of the picture, and the bytes to decode.
    HttpClient::Get get;
    get.url = ZVDataManager::pictureUrl(*server, "/cameras/0/image", "640x480");
    get.headers = {ZVDataManager::authorizationHeader(*server)};
    QByteArray jpeg;
    QElapsedTimer wall;
    const int samples = delayMs >= 200 ? 5 : 15;
    wall.start();
    for (int i = 0; i < samples; ++i) jpeg = HttpClient::get(get).body.value_or(QByteArray());
    const double transfer = wall.nsecsElapsed() / 1e9 / samples;
    const double limit = std::min<double>(fps, 1.0 / transfer);

    const int decodes = 100;
    const double d0 = cpuSeconds();
    for (int i = 0; i < decodes; ++i) {
        QImage image;
        image.loadFromData(jpeg);
        benchmark::DoNotOptimize(image);
    }
    const double decode = (cpuSeconds() - d0) / decodes;

    CountingView view;
    ZVDataManager dm(server);
    server->getCameras()->at(0)->setCamera(&view);
    server->videoCameraAtIndex(0);
    // Let the loop settle, then count over a fixed window.
    runEventLoop(500);
    const int before = view.delivered;
    const double c0 = cpuSeconds();
    wall.restart();
    runEventLoop(4000);
    const double seconds = wall.nsecsElapsed() / 1e9;
    const double cpu = cpuSeconds() - c0;
    const int delivered = view.delivered - before;
    server->stopVideo();
    MainThreadCall::close();
    dm.shutdown();
    MainThreadCall::reopen();
    return {delivered / seconds, limit, delivered ? cpu / delivered : 0, decode};
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

int main(int argc, char** argv) {
    return runQtBenchmarks(argc, argv);
}
