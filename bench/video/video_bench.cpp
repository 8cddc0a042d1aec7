// SPDX-License-Identifier: GPL-3.0-or-later
// Live video on loopback, shown the viewer's way: a VideoPlayer feeding an
// offscreen TouchImage of 1280x720 as the one-camera view's LiveVideo does,
// against the demo server (its own process, so its drawing and encoding do
// not count as ours). Rows: a multipart JPEG stream at 1280x720 and an
// H.264 stream in MPEG-TS at 1920x1080, both at 25 frames a second. Beside
// each, ffmpeg decoding the same stream, and the still pictures at the same
// size and rate in the same view.
//
// Printed as a Markdown table at the end, per row:
//   frames/s        frames put into the view per second, and its share of 25
//   CPU ms/frame    this process's CPU time per frame (its main thread's part)
//   ffmpeg ms/frame `ffmpeg -nostdin -i URL -f null -` on the same stream for
//                   as long, from its rusage (its start-up included)
//   ratio           CPU ms/frame / ffmpeg ms/frame (target <= 1.2)
//   ffmpeg as ours  the same, its decoder on the viewer's threads (two slice
//                   threads, -thread_type slice -threads 2, where ffmpeg's
//                   default is frame threads), and our ratio to it
//   ffmpeg + scale  the same with each frame scaled to 1280x720 RGB32, as the
//                   viewer's frames are: the part of the ratio that is that
//   delay           at each paint of the view, the system clock less the send
//                   time stamped into the frame shown (target median
//                   < 150 ms); reading the stamp is not counted as CPU
//   first frame     play() to the first paint of a frame, median of 5
//                   switches (target < 1000 ms)
//   RSS             resident memory after the row's window (rows share the
//                   process: it includes what the first row left)
//   wire MB/s       bytes the demo server sent on its open connections a
//                   second, as the kernel counts them (ss -ti)
//   stills          the same for the still pictures: the data manager's
//                   refresh at 25 a second into the same view (for the
//                   1920x1080 row, a server answering every picture at
//                   1920x1080 whatever is asked)
//
// A second table, "4 x H.264 1920x1080 in 960x540 cells": four views of
// 960x540, each with a VideoPlayer of its own as above, playing the four
// cameras of one demo server (H.264, 1920x1080, 25 frames a second) at
// once, as a 2x2 layout of video cells does:
//   frames/s        per view, and its share of 25
//   CPU ms/frame    this process's CPU time over the window per frame put
//                   into any of the views (its main thread's share of it)
//   delay           as above, over every view's stamped paints
//   ffmpeg ms/frame four `ffmpeg -nostdin -i URL -f null -` on the four
//                   streams at the same time: their CPU time summed over
//                   their frames summed (and how long the four took for
//                   10 s of stream each: whether the server kept its rate)
//   ratio           CPU ms/frame / ffmpeg ms/frame (target <= 1.3)

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryFile>
#include <QTimer>

#include <benchmark/benchmark.h>
#include <curl/curl.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "TXJsonValue.h"
#include "camserver.h"
#include "demoprocess.h"
#include "othercpu.h"
#include "mainthreadcall.h"
#include "qtbenchmain.h"
#include "serverurl.h"
#include "timestamp.h"
#include "touchimage.h"
#include "videoplayer.h"
#include "zvdatamanager.h"

extern char** environ;

namespace {

constexpr int kRate = 25;
constexpr int kWarmUpMs = 2000;
constexpr int kWindowMs = 10000;
constexpr int kSwitches = 5;
const QSize kView(1280, 720);

double cpuSeconds(clockid_t clock = CLOCK_PROCESS_CPUTIME_ID) {
    timespec ts;
    clock_gettime(clock, &ts);
    return ts.tv_sec + ts.tv_nsec / 1e9;
}

double rssMb() {
    long pages = 0, resident = 0;
    std::ifstream("/proc/self/statm") >> pages >> resident;
    return resident * (sysconf(_SC_PAGESIZE) / 1048576.0);
}

void runEventLoop(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// Bytes the server has sent on its open TCP connections, as the kernel
// counts them (ss): the wire's payload, headers and framing included.
long long serverBytesSent(int port) {
    QProcess ss;
    ss.start("ss", {"-tinH", "state", "established", "sport", "=", QString(":%1").arg(port)});
    ss.waitForFinished(5000);
    static const QRegularExpression sent("bytes_sent:(\\d+)");
    long long total = 0;
    for (auto it = sent.globalMatch(QString::fromUtf8(ss.readAllStandardOutput())); it.hasNext();)
        total += it.next().captured(1).toLongLong();
    return total;
}

double percentile(std::vector<double> v, double p) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, static_cast<size_t>(p * (v.size() - 1) + 0.5))];
}

// The one-camera view, counting the pictures put into it. At each paint of
// a picture it reads the send time stamped into it, before the view paints.
class View : public TouchImage {
public:
    explicit View(QSize size = kView) {
        resize(size);
        installEventFilter(this);
        show();
    }
    void setCameraPicture(const CameraPicture& picture) override {
        TouchImage::setCameraPicture(picture);
        if (picture.image.isNull()) return;
        ++pictures;
    }
    int pictures = 0;
    bool stamping = false;
    std::vector<double> delaysMs;
    double stampCpu = 0;  // spent reading stamps, left out of the row's CPU
    std::function<void()> onPaint;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == this && event->type() == QEvent::Paint && !picture().isNull()) {
            if (stamping) {
                const double c0 = cpuSeconds(CLOCK_THREAD_CPUTIME_ID);
                if (const auto sent = demo::readTimeStamp(picture()))
                    delaysMs.push_back(static_cast<double>(demo::stampClockMs() - *sent));
                stampCpu += cpuSeconds(CLOCK_THREAD_CPUTIME_ID) - c0;
            }
            if (onPaint) onPaint();
        }
        return TouchImage::eventFilter(watched, event);
    }
};

struct Measured {
    double perSecond = 0, cpuPerPicture = 0, mainPerPicture = 0, wirePerSecond = 0;
};

// Runs the main loop for the window and measures what the views got, all
// together: their pictures a second, the CPU time per picture.
// perView, when given, gets each view's pictures a second.
Measured window(const std::vector<View*>& views, int port, std::vector<double>* perView = nullptr) {
    const auto sum = [&](auto member) {
        double total = 0;
        for (const View* view : views) total += view->*member;
        return total;
    };
    const long long bytes0 = serverBytesSent(port);
    std::vector<int> before;
    for (const View* view : views) before.push_back(view->pictures);
    const double stamp0 = sum(&View::stampCpu);
    QElapsedTimer wall;
    wall.start();
    const double c0 = cpuSeconds(), m0 = cpuSeconds(CLOCK_THREAD_CPUTIME_ID);
    runEventLoop(kWindowMs);
    const double stamps = sum(&View::stampCpu) - stamp0;
    const double cpu = cpuSeconds() - c0 - stamps;
    const double main = cpuSeconds(CLOCK_THREAD_CPUTIME_ID) - m0 - stamps;
    const double seconds = wall.nsecsElapsed() / 1e9;
    const long long bytes1 = serverBytesSent(port);
    int n = 0;
    for (size_t i = 0; i < views.size(); ++i) {
        const int got = views[i]->pictures - before[i];
        n += got;
        if (perView) perView->push_back(got / seconds);
    }
    return {n / seconds, n > 0 ? cpu / n : 0, n > 0 ? main / n : 0, (bytes1 - bytes0) / seconds};
}

// ffmpeg decoding a stream for the window's length, in a process of its
// own: its CPU time from wait4()'s rusage, its frames from -progress.
// With `filter`, each frame is also scaled and converted as the viewer does;
// `decoder` are options for its decoder. start() spawns it, finish() waits
// for it, so that several can run at once.
class Ffmpeg {
public:
    void start(const std::string& url, const std::string& authorization,
               const std::string& filter = {}, const std::vector<std::string>& decoder = {});
    void finish();
    double cpu = 0;  // seconds
    int frames = 0;

private:
    QTemporaryFile progress_;
    pid_t pid_ = 0;
};

void Ffmpeg::start(const std::string& url, const std::string& authorization,
                   const std::string& filter, const std::vector<std::string>& decoder) {
    progress_.open();
    const std::string headers = "Authorization: " + authorization + "\r\n";
    const std::string seconds = std::to_string(kWindowMs / 1000);
    const std::string progressPath = progress_.fileName().toStdString();
    std::vector<std::string> args{
        "ffmpeg", "-nostdin", "-nostats", "-loglevel", "error",      "-headers", headers, "-i",
        url,      "-t",       seconds,    "-progress", progressPath, "-f",       "null",  "-"};
    std::vector<char*> argv;
    if (!filter.empty()) args.insert(args.end() - 3, {"-vf", filter});
    args.insert(args.begin() + 7, decoder.begin(), decoder.end());
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    posix_spawn_file_actions_addopen(&files, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&files, 2, "/dev/null", O_WRONLY, 0);
    if (posix_spawnp(&pid_, "ffmpeg", &files, nullptr, argv.data(), environ) != 0) pid_ = 0;
    posix_spawn_file_actions_destroy(&files);
}

void Ffmpeg::finish() {
    if (pid_ <= 0) return;
    int status = 0;
    rusage usage{};
    wait4(pid_, &status, 0, &usage);
    pid_ = 0;
    cpu = usage.ru_utime.tv_sec + usage.ru_utime.tv_usec / 1e6 + usage.ru_stime.tv_sec +
          usage.ru_stime.tv_usec / 1e6;
    std::ifstream in(progress_.fileName().toStdString());
    for (std::string line; std::getline(in, line);)
        if (line.rfind("frame=", 0) == 0) frames = std::atoi(line.c_str() + 6);
}

// One ffmpeg on its own: CPU seconds per frame.
double runFfmpeg(const std::string& url, const std::string& authorization,
                 const std::string& filter = {}, const std::vector<std::string>& decoder = {}) {
    Ffmpeg ffmpeg;
    ffmpeg.start(url, authorization, filter, decoder);
    ffmpeg.finish();
    return ffmpeg.frames > 0 ? ffmpeg.cpu / ffmpeg.frames : 0;
}

struct Row {
    std::string name;
    Measured video, still;
    double ffmpeg = 0, ffmpegOurThreads = 0, ffmpegScaled = 0;  // CPU seconds per frame
    double delayMedian = 0, delayP95 = 0, firstMs = 0, rss = 0;
    int delaySamples = 0;
    QString endedWith;  // why the video ended early, if it did
};
std::vector<Row> rows;

// A view with a player of its own, which puts each frame into the view as
// LiveVideo::takeFrame does.
struct VideoView {
    explicit VideoView(QString& endedWith, QSize size = kView) : view(size) {
        QObject::connect(&player, &video::VideoPlayer::frameReady, [this] {
            std::optional<video::VideoFrame> frame = player.takeFrame();
            if (!frame) return;
            player.setTarget(target());
            CameraPicture picture(frame->image, frame->jpeg, QDateTime::currentDateTimeUtc());
            if (frame->saved == video::VideoFrame::Saved::AsDecodedPng)
                picture.lossless = frame->full;
            if (frame->crop.isValid()) picture.part = frame->crop;
            view.setCameraPicture(picture);
        });
        QObject::connect(
            &player, &video::VideoPlayer::ended,
            [&endedWith](video::VideoStatus, const QString& detail) { endedWith = detail; });
    }
    video::Target target() const { return {view.pixelSize(), QRectF()}; }

    View view;
    video::VideoPlayer player;
};

std::optional<video::VideoPlayer::Source> sourceOf(int port, const QString& uri) {
    return video::VideoPlayer::source("127.0.0.1", QString::number(port), uri, "admin", "");
}

// The video: time to the first frame over a few switches, then the window.
void measureVideo(Row& row, int port, const QString& uri) {
    VideoView cell(row.endedWith);
    View& view = cell.view;
    video::VideoPlayer& player = cell.player;
    const auto target = [&] { return cell.target(); };
    const auto source = sourceOf(port, uri);

    std::vector<double> firsts;
    for (int i = 0; i < kSwitches; ++i) {
        player.stop();
        view.clearPicture();
        QEventLoop loop;
        QElapsedTimer clock;
        view.onPaint = [&] {
            firsts.push_back(clock.nsecsElapsed() / 1e6);
            view.onPaint = nullptr;
            loop.quit();
        };
        QTimer::singleShot(5000, &loop, &QEventLoop::quit);
        clock.start();
        player.play(source, target());
        loop.exec();
        view.onPaint = nullptr;
    }
    row.firstMs = firsts.size() == kSwitches ? percentile(firsts, 0.5) : -1;

    runEventLoop(kWarmUpMs);
    view.stamping = true;
    row.video = window({&view}, port);
    view.stamping = false;
    row.rss = rssMb();
    player.stop();
    row.delaySamples = static_cast<int>(view.delaysMs.size());
    row.delayMedian = percentile(view.delaysMs, 0.5);
    row.delayP95 = percentile(view.delaysMs, 0.95);
}

// The still pictures: the data manager's refresh at the same rate.
void measureStills(Row& row, int port) {
    View view;
    auto server = CamServer::create();
    server->setHost("127.0.0.1");
    server->setPort(QString::number(port));
    server->setLogin("admin");
    server->setPassword("");
    server->setFps(QString::number(kRate));
    server->setCameras(tx::JsonValue(
        tx::JsonArray{tx::JsonObject{{"name", "bench"}, {"image-uri", "/cameras/0/image"}}}));
    ZVDataManager dm(server);
    server->getCameras()->at(0)->setCamera(&view);
    server->videoCameraAtIndex(0);
    runEventLoop(kWarmUpMs);
    row.still = window({&view}, port);
    server->stopVideo();
    MainThreadCall::close();
    dm.shutdown();
    MainThreadCall::reopen();
}

void BM_Video(benchmark::State& state, const char* name, const char* codec, QSize size) {
    Row row;
    row.name = name;
    for (auto _ : state) {
        QStringList args{"--video", codec};
        // Stills as large as the stream, whatever size the view asks for.
        if (size != kView)
            args << "--fixed-size" << QString("%1x%2").arg(size.width()).arg(size.height());
        DemoProcess demo(0, args);
        const QString uri = QString("/cameras/0/video?resolution=%1x%2&fps=%3")
                                .arg(size.width())
                                .arg(size.height())
                                .arg(kRate);
        measureVideo(row, demo.port(), uri);
        const std::string url = *ServerUrl::make("127.0.0.1", QString::number(demo.port()), uri);
        const std::string authorization = "Basic " + QByteArray("admin:").toBase64().toStdString();
        row.ffmpeg = runFfmpeg(url, authorization);
        row.ffmpegOurThreads =
            runFfmpeg(url, authorization, {}, {"-thread_type", "slice", "-threads", "2"});
        row.ffmpegScaled =
            runFfmpeg(url, authorization, "scale=1280:720:flags=bilinear,format=bgra");
        measureStills(row, demo.port());
    }
    const double ffmpegMs = row.ffmpeg * 1e3, ms = row.video.cpuPerPicture * 1e3;
    state.counters["fps_share"] = row.video.perSecond / kRate;
    state.counters["cpu_ratio"] = ffmpegMs > 0 ? ms / ffmpegMs : 0;
    state.counters["delay_med_ms"] = row.delayMedian;
    state.counters["first_ms"] = row.firstMs;
    state.counters["rss_mb"] = row.rss;
    if (!row.endedWith.isEmpty()) state.SetLabel(("ended: " + row.endedWith).toStdString());
    rows.push_back(row);
}

// Several views playing at once, each its own stream.
struct ManyRow {
    std::string name;
    Measured video;  // all views' frames together
    std::vector<double> perView;
    double ffmpeg = 0;  // CPU seconds per frame, all the ffmpegs together
    int ffmpegFrames = 0;
    double ffmpegSeconds = 0;  // from their start to the last one's end
    double delayMedian = 0, delayP95 = 0, rss = 0;
    int delaySamples = 0;
    double demoCores = 0;  // the demo server's process over the window
    QString endedWith;
};
std::vector<ManyRow> manyRows;

constexpr int kManyCameras = 4;
const QSize kManyView(960, 540);

void BM_ManyVideos(benchmark::State& state, const char* name, QSize size) {
    ManyRow row;
    row.name = name;
    for (auto _ : state) {
        DemoProcess demo(0, {"--video", "h264", "--cameras", QString::number(kManyCameras)});
        std::vector<QString> uris;
        for (int k = 0; k < kManyCameras; ++k)
            uris.push_back(QString("/cameras/%1/video?resolution=%2x%3&fps=%4")
                               .arg(k)
                               .arg(size.width())
                               .arg(size.height())
                               .arg(kRate));
        {
            std::vector<std::unique_ptr<VideoView>> cells;
            std::vector<View*> views;
            for (int k = 0; k < kManyCameras; ++k) {
                cells.push_back(std::make_unique<VideoView>(row.endedWith, kManyView));
                views.push_back(&cells.back()->view);
            }
            for (int k = 0; k < kManyCameras; ++k)
                cells[k]->player.play(sourceOf(demo.port(), uris[k]), cells[k]->target());
            runEventLoop(kWarmUpMs);
            for (View* view : views) view->stamping = true;
            const double d0 = processCpuSeconds(demo.pid());
            QElapsedTimer clock;
            clock.start();
            row.video = window(views, demo.port(), &row.perView);
            row.demoCores = (processCpuSeconds(demo.pid()) - d0) / (clock.nsecsElapsed() / 1e9);
            for (View* view : views) view->stamping = false;
            row.rss = rssMb();
            std::vector<double> delays;
            for (auto& cell : cells) {
                cell->player.stop();
                delays.insert(delays.end(), cell->view.delaysMs.begin(), cell->view.delaysMs.end());
            }
            row.delaySamples = static_cast<int>(delays.size());
            row.delayMedian = percentile(delays, 0.5);
            row.delayP95 = percentile(delays, 0.95);
        }
        // The same four streams decoded by four ffmpegs at the same time.
        const std::string authorization = "Basic " + QByteArray("admin:").toBase64().toStdString();
        std::vector<std::unique_ptr<Ffmpeg>> ffmpegs;
        QElapsedTimer clock;
        clock.start();
        for (const QString& uri : uris) {
            ffmpegs.push_back(std::make_unique<Ffmpeg>());
            ffmpegs.back()->start(*ServerUrl::make("127.0.0.1", QString::number(demo.port()), uri),
                                  authorization);
        }
        double cpu = 0;
        for (auto& ffmpeg : ffmpegs) {
            ffmpeg->finish();
            cpu += ffmpeg->cpu;
            row.ffmpegFrames += ffmpeg->frames;
        }
        row.ffmpegSeconds = clock.nsecsElapsed() / 1e9;
        row.ffmpeg = row.ffmpegFrames > 0 ? cpu / row.ffmpegFrames : 0;
    }
    const double ffmpegMs = row.ffmpeg * 1e3, ms = row.video.cpuPerPicture * 1e3;
    state.counters["fps_share"] = row.video.perSecond / (kManyCameras * kRate);
    state.counters["cpu_ratio"] = ffmpegMs > 0 ? ms / ffmpegMs : 0;
    state.counters["delay_med_ms"] = row.delayMedian;
    state.counters["rss_mb"] = row.rss;
    if (!row.endedWith.isEmpty()) state.SetLabel(("ended: " + row.endedWith).toStdString());
    manyRows.push_back(row);
}

void printTable() {
    std::printf(
        "\n| stream | frames/s (share of 25) | CPU ms/frame (main thread) | ffmpeg ms/frame | "
        "ratio | ffmpeg as ours ms/frame (ratio) | ffmpeg + scale ms/frame | delay median / p95 ms "
        "| first frame ms | RSS MB | "
        "wire MB/s | stills/s (share) | stills CPU ms/picture | stills wire MB/s |\n"
        "|---|---|---|---|---|---|---|---|---|---|---|---|---|---|\n");
    for (const Row& r : rows) {
        const double ms = r.video.cpuPerPicture * 1e3, ffmpegMs = r.ffmpeg * 1e3;
        const double oursMs = r.ffmpegOurThreads * 1e3;
        std::printf(
            "| %s | %.1f (%.2f) | %.2f (%.2f) | %.2f | %.2fx | %.2f (%.2fx) | %.2f | %.0f / %.0f "
            "(%d paints) | "
            "%.0f | %.0f | %.2f | %.1f (%.2f) | %.2f | %.2f |\n",
            r.name.c_str(), r.video.perSecond, r.video.perSecond / kRate, ms,
            r.video.mainPerPicture * 1e3, ffmpegMs, ffmpegMs > 0 ? ms / ffmpegMs : 0, oursMs,
            oursMs > 0 ? ms / oursMs : 0, r.ffmpegScaled * 1e3, r.delayMedian, r.delayP95,
            r.delaySamples, r.firstMs, r.rss, r.video.wirePerSecond / 1e6, r.still.perSecond,
            r.still.perSecond / kRate, r.still.cpuPerPicture * 1e3, r.still.wirePerSecond / 1e6);
    }
    if (!manyRows.empty())
        std::printf(
            "\n| streams | frames/s per view (share of 25) | CPU ms/frame (main thread share) | "
            "ffmpeg ms/frame (frames in s) | ratio | delay median / p95 ms | RSS MB | wire MB/s | "
            "demo "
            "server cores |\n"
            "|---|---|---|---|---|---|---|---|---|\n");
    for (const ManyRow& r : manyRows) {
        QStringList each;
        double least = r.perView.empty() ? 0 : r.perView.front(), most = least;
        for (const double f : r.perView) {
            each << QString::number(f, 'f', 1);
            least = std::min(least, f);
            most = std::max(most, f);
        }
        const double ms = r.video.cpuPerPicture * 1e3, ffmpegMs = r.ffmpeg * 1e3;
        std::printf(
            "| %s | %s (%.2f-%.2f) | %.2f (%.2f) | %.2f (%d in %.1f) | %.2fx | %.0f / %.0f (%d "
            "paints) | "
            "%.0f | %.2f | %.2f |%s\n",
            r.name.c_str(), each.join(", ").toUtf8().constData(), least / kRate, most / kRate, ms,
            r.video.cpuPerPicture > 0 ? r.video.mainPerPicture / r.video.cpuPerPicture : 0,
            ffmpegMs, r.ffmpegFrames, r.ffmpegSeconds, ffmpegMs > 0 ? ms / ffmpegMs : 0,
            r.delayMedian, r.delayP95, r.delaySamples, r.rss, r.video.wirePerSecond / 1e6,
            r.demoCores,
            r.endedWith.isEmpty() ? "" : (" ended: " + r.endedWith).toUtf8().constData());
    }
    std::fflush(stdout);
}

}  // namespace

BENCHMARK_CAPTURE(BM_Video, mjpeg_1280x720, "MJPEG 1280x720", "mjpeg", QSize(1280, 720))
    ->Iterations(1)
    ->Unit(benchmark::kSecond);
BENCHMARK_CAPTURE(BM_Video, h264_1920x1080, "H.264 TS 1920x1080", "h264", QSize(1920, 1080))
    ->Iterations(1)
    ->Unit(benchmark::kSecond);

BENCHMARK_CAPTURE(BM_ManyVideos, h264_4x1920x1080_in_960x540,
                  "4 x H.264 1920x1080 in 960x540 cells", QSize(1920, 1080))
    ->Iterations(1)
    ->Unit(benchmark::kSecond);

int main(int argc, char** argv) {
    return runQtBenchmarks(argc, argv, printTable);
}
