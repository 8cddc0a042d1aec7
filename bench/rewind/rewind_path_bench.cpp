// SPDX-License-Identifier: GPL-3.0-or-later
// Rewind on the viewer's own path, on loopback, in one run: one demo server
// of 26 cameras (its own process, H.264 video) feeds a 5x5 page of offscreen
// TouchImage cells of 320x180 through the wall fetcher at 8 pictures a
// second (cameras 1..25) and a 1920x1080 view playing camera 0's live video
// (25 frames a second, a key frame every 2 s) through LiveVideo. Every view
// is watched by one ActivityWatch, whose pictureSeen feeds a RewindKeeper, as
// the control-room hub connects them; the live video's decode thread keeps
// its packets through the keeper, as LiveVideo asks it to. The store lives in
// a folder of its own under /tmp, removed at the end.
//
//   Off      rewind off for 60 s: this process's CPU a second of wall time
//   On       5 minutes kept (512 MiB in memory, the rest spilled to disk) for
//            5 min 10 s: CPU, and what the store holds each minute
//   Back     with On still live, a RewindPlayer over the 26 cells jumps to
//            about 4 minutes back, a few times: the time until every still
//            cell's picture came, and the video cell's
//   Export   the last 5 minutes of the video camera and of a still camera
//            written with video::writeClip, timed, and read back with
//            ffprobe against what the store held for that range
//
// One Markdown table; beside our CPU the demo server's and the rest of the
// machine's, to judge what else ran on the cores meanwhile.
// --short: 10 s off, 60 s on, 40 s back, to try it out.

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTimer>
#include <QWidget>

#include <curl/curl.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "TXJsonValue.h"
#include "activitywatch.h"
#include "camserver.h"
#include "clipwriter.h"
#include "demoprocess.h"
#include "livevideo.h"
#include "pathkit.h"
#include "pathmeter.h"
#include "rewindkeeper.h"
#include "rewindplayer.h"
#include "rewindstore.h"
#include "touchimage.h"
#include "videoplayer.h"
#include "wallfetcher.h"
#include "wallrefresh.h"

namespace {

using Part = RewindStore::Part;
constexpr int kCameras = 26, kColumns = 5, kRate = 8, kFps = 25, kGop = 50;
constexpr int kWarmUpMs = 8000, kBackRounds = 5;
const QSize kCell(320, 180), kVideo(1920, 1080);

struct Durations {
    int offMs, onMs, backMs, exportMs;
};

double median(std::vector<double> v) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

double mb(qint64 bytes) {
    return double(bytes) / (1 << 20);
}

struct Minute {
    Window cpu;
    RewindStore::Usage usage;
};

struct Export {
    double ms = 0;
    video::ClipResult clip;
    int keptFrames = 0;
    // Of those, the pictures a player shows: a video's from the moment the
    // clip plays from (an MP4 decodes the key frame group before it without
    // showing it), every still (the one on screen at the start shows at 0).
    int keptShown = 0;
    qint64 keptFirst = 0, keptBytes = 0;
    int probedFrames = -1;
    double probedSeconds = -1;
};

Export exportClip(const RewindStore& store, const QString& camera, qint64 from, qint64 to,
                  const QString& folder, const QString& name) {
    Export e;
    QElapsedTimer clock;
    clock.start();
    e.clip = video::writeClip(store, camera, from, to, folder, name, {});
    e.ms = double(clock.nsecsElapsed()) / 1e6;
    for (const Part& p : store.range(camera, from, to)) {
        if (p.kind == Part::Kind::VideoConfig) continue;
        if (e.keptFrames++ == 0) e.keptFirst = p.time;
        e.keptBytes += p.bytes.size();
        e.keptShown += p.kind == Part::Kind::Still || p.time >= e.clip.fromMs;
    }
    if (e.clip.status != video::ClipResult::Status::Written) return e;
    QProcess probe;
    probe.start("ffprobe", {"-v", "error", "-count_frames", "-show_entries",
                            "format=duration:stream=nb_read_frames", "-of", "json", e.clip.path});
    if (probe.waitForFinished(300000) && probe.exitCode() == 0) {
        const QJsonObject o = QJsonDocument::fromJson(probe.readAllStandardOutput()).object();
        e.probedFrames =
            o["streams"].toArray().at(0).toObject()["nb_read_frames"].toString().toInt();
        e.probedSeconds = o["format"].toObject()["duration"].toString().toDouble();
    }
    return e;
}

// The bytes each camera holds in the store now: the video camera's and the
// still cameras' together.
std::pair<qint64, qint64> keptBytes(const RewindStore& store, const QString& videoKey) {
    qint64 video = 0, stills = 0;
    for (const QString& camera : store.cameras())
        store.forEachInRange(camera, 0, wallMs(), [&](const Part& p) {
            (camera == videoKey ? video : stills) += p.bytes.size();
            return true;
        });
    return {video, stills};
}

int run(const Durations& d) {
    char folderName[] = "/tmp/zorvan-rewind-path-XXXXXX";
    if (!mkdtemp(folderName)) {
        std::fprintf(stderr, "no temporary folder\n");
        return 1;
    }
    const QString folder = QString::fromLocal8Bit(folderName);
    DemoProcess demo(0, {"--cameras", QString::number(kCameras), "--video", "h264"});
    if (demo.port() == 0) {
        std::fprintf(stderr, "the demo server did not start\n");
        QDir(folder).removeRecursively();
        return 1;
    }

    tx::JsonArray list;
    for (int i = 0; i < kCameras; ++i) {
        tx::JsonObject camera{{"name", demoCameraName(i).toStdString()},
                              {"uri", demoCameraUri(i).toStdString()},
                              {"image-uri", (demoCameraUri(i) + "/image").toStdString()}};
        if (i == 0)
            camera["video-uri"] = QString("%1/video?resolution=%2x%3&fps=%4&gop=%5")
                                      .arg(demoCameraUri(i))
                                      .arg(kVideo.width())
                                      .arg(kVideo.height())
                                      .arg(kFps)
                                      .arg(kGop)
                                      .toStdString();
        list.push_back(camera);
    }
    auto server = CamServer::create();
    server->setName("Demo");
    server->setHost("127.0.0.1");
    server->setPort(QString::number(demo.port()));
    server->setLogin("admin");
    server->setPassword("");
    server->setFps(QString::number(kRate));
    server->setCameras(list);

    RewindStore::Options options;
    options.minutes = 5;
    options.memoryCap = qint64(512) << 20;
    auto store = std::make_shared<RewindStore>(folder, options);
    store->setEnabled(false);
    auto keeper = std::make_unique<RewindKeeper>(store);
    ActivityWatch watch;
    Counters counters;
    // Connected before and after the keeper's slot, so that the two
    // readings bracket it.
    double before = 0;
    QObject::connect(&watch, &ActivityWatch::pictureSeen,
                     [&before] { before = threadCpuSeconds(); });
    QObject::connect(&watch, &ActivityWatch::pictureSeen, keeper.get(),
                     &RewindKeeper::pictureShown);
    QObject::connect(&watch, &ActivityWatch::pictureSeen,
                     [&] { counters.keeperCpu += threadCpuSeconds() - before; });

    QWidget page, videoWindow;
    page.resize(kColumns * kCell.width(), 5 * kCell.height());
    videoWindow.resize(kVideo);
    std::vector<TouchImage*> views(kCameras);
    std::vector<QString> keys(kCameras);
    std::vector<WallRefresh::Cell> pageCells;
    for (int i = 0; i < kCameras; ++i) {
        TouchImage* v = new TouchImage(i == 0 ? &videoWindow : &page);
        if (i == 0) {
            v->setGeometry(QRect(QPoint(0, 0), kVideo));
        } else {
            v->setGeometry(((i - 1) % kColumns) * kCell.width(),
                           ((i - 1) / kColumns) * kCell.height(), kCell.width(), kCell.height());
            pageCells.push_back({i, v});
        }
        watch.watch(v, {server->serverId(), demoCameraUri(i), demoCameraName(i)});
        QObject::connect(v, &TouchImage::pictureShown,
                         [&counters, i] { ++(i == 0 ? counters.frames : counters.pictures); });
        views[size_t(i)] = v;
        keys[size_t(i)] =
            ActivityWatch::keyOf(server->serverId(), demoCameraUri(i), demoCameraName(i));
    }
    page.show();
    videoWindow.show();

    auto live = std::make_unique<LiveVideo>(views[0]);
    live->show(server, 0);
    auto fetcher = std::make_unique<WallFetcher>(server);
    auto wall = std::make_unique<WallRefresh>(server, fetcher.get());
    wall->showPage(pageCells);
    runEventLoopFor(kWarmUpMs);

    // 1. Off.
    Meter meter(counters, demo.pid());
    runEventLoopFor(d.offMs);
    const Window off = meter.read();

    // 2. On, sampled each minute.
    store->setEnabled(true);
    // The video goes on: the keeper keeps it from its next key frame, its
    // configuration before it.
    runEventLoopFor(3000);
    meter.restart();
    Meter minuteMeter(counters, demo.pid());
    std::vector<Minute> minutes;
    for (int left = d.onMs; left > 0; left -= 60000) {
        runEventLoopFor(std::min(left, 60000));
        minutes.push_back({minuteMeter.read(), store->usage()});
        minuteMeter.restart();
    }
    const Window on = meter.read();
    const RewindStore::Usage atEnd = store->usage();
    const auto videoSpan = store->span(keys[0]);
    const auto stillSpan = store->span(keys[1]);

    // 3. Back in time, with everything still live.
    RewindPlayer player(store, wallMs);
    std::vector<RewindPlayer::Cell> playerCells;
    for (int i = 0; i < kCameras; ++i)
        playerCells.push_back({i, keys[size_t(i)], views[size_t(i)]->size()});
    player.setCells(playerCells);
    std::vector<double> arrivedMs(kCameras, -1);
    int nothing = 0;
    QElapsedTimer round;
    QEventLoop* waiting = nullptr;
    const auto arrived = [&](int cell) {
        if (cell < 0 || cell >= kCameras || arrivedMs[size_t(cell)] >= 0) return;
        arrivedMs[size_t(cell)] = double(round.nsecsElapsed()) / 1e6;
        if (waiting &&
            std::none_of(arrivedMs.begin(), arrivedMs.end(), [](double ms) { return ms < 0; }))
            waiting->quit();
    };
    QObject::connect(&player, &RewindPlayer::picture, [&](int cell, const video::Past& past) {
        if (cell >= 0 && cell < kCameras)
            views[size_t(cell)]->showPast(
                past.image, QDateTime::fromMSecsSinceEpoch(past.time).toString("hh:mm:ss.zzz"),
                past.jpeg, QDateTime::fromMSecsSinceEpoch(past.time), past.full);
        arrived(cell);
    });
    QObject::connect(&player, &RewindPlayer::nothingKept, [&](int cell) {
        ++nothing;
        arrived(cell);
    });
    std::vector<double> stillRounds, videoRounds;
    for (int r = 0; r < kBackRounds; ++r) {
        std::fill(arrivedMs.begin(), arrivedMs.end(), -1);
        QEventLoop loop;
        waiting = &loop;
        QTimer::singleShot(10000, &loop, &QEventLoop::quit);
        round.start();
        player.show(wallMs() - d.backMs + r * 7300);
        loop.exec();
        waiting = nullptr;
        double stills = 0;
        for (int i = 1; i < kCameras; ++i)
            stills = std::max(stills, arrivedMs[size_t(i)] < 0 ? 1e4 : arrivedMs[size_t(i)]);
        stillRounds.push_back(stills);
        videoRounds.push_back(arrivedMs[0] < 0 ? 1e4 : arrivedMs[0]);
        runEventLoopFor(1000);
    }
    player.goLive();
    for (TouchImage* v : views) v->endPast();

    // 4. Export, the store still taking what arrives.
    const qint64 to = wallMs(), from = to - d.exportMs + 5000;
    const Export videoClip = exportClip(*store, keys[0], from, to, folder, "video");
    const Export stillClip = exportClip(*store, keys[1], from, to, folder, "stills");

    wall.reset();
    fetcher.reset();
    live.reset();
    const auto [videoBytes, stillBytes] = keptBytes(*store, keys[0]);
    // Over the span kept when the bytes were counted (more came meanwhile).
    const auto counted = store->span(keys[0]);
    const double keptMinutes = counted ? double(counted->last - counted->first) / 60000 : 0;

    // 5. The table.
    const auto met = [](bool ok) { return ok ? "met" : "**NOT met**"; };
    const double added = on.cores - off.cores;
    std::printf("\n| figure | value | target |\n|---|---|---|\n");
    std::printf("| machine | %ld cores, %s, %s build | |\n", sysconf(_SC_NPROCESSORS_ONLN),
                firstLineWith("/proc/cpuinfo", "model name").c_str(), ZORVAN_BUILD_TYPE);
    std::printf(
        "| load | %d still cells %dx%d at %d/s, one %dx%d H.264 view at %d fps, key frame "
        "every %d frames | |\n",
        kCameras - 1, kCell.width(), kCell.height(), kRate, kVideo.width(), kVideo.height(), kFps,
        kGop);
    std::printf(
        "| shown a second, Off / On: still pictures (all cells), video frames | %.1f / "
        "%.1f, %.1f / %.1f | |\n",
        off.pictures, on.pictures, off.frames, on.frames);
    std::printf(
        "| process CPU, share of one core: Off (%.0f s) / On (%.0f s) | %.1f %% / %.1f %% "
        "| |\n",
        off.seconds, on.seconds, 100 * off.cores, 100 * on.cores);
    std::printf("| main thread, Off / On | %.1f %% / %.1f %% | |\n", 100 * off.mainCores,
                100 * on.mainCores);
    std::printf("| **CPU added by keeping (On - Off)** | %.2f %% of a core | <= 3 %% (%s) |\n",
                100 * added, met(added <= 0.03));
    std::printf("| the keeper's slot alone (stills, main thread), On | %.3f %% of a core | |\n",
                100 * on.keeperCores);
    std::printf("| other CPU: demo server, Off / On | %.1f %% / %.1f %% | |\n", 100 * off.demoCores,
                100 * on.demoCores);
    std::printf("| other CPU: rest of the machine, Off / On | %.1f %% / %.1f %% | |\n",
                100 * off.otherCores, 100 * on.otherCores);
    for (size_t m = 0; m < minutes.size(); ++m)
        std::printf(
            "| minute %zu: CPU (demo, rest) / memory / disk (files) / parts | %.1f %% "
            "(%.0f %%, %.0f %%) / %.0f MB / %.0f MB (%d) / %d | |\n",
            m + 1, 100 * minutes[m].cpu.cores, 100 * minutes[m].cpu.demoCores,
            100 * minutes[m].cpu.otherCores, mb(minutes[m].usage.memoryBytes),
            mb(minutes[m].usage.diskBytes), minutes[m].usage.files, minutes[m].usage.parts);
    std::printf(
        "| kept at the end of On: memory / disk, spilling | %.0f MB / %.0f MB, %s | "
        "memory <= 512 MiB (%s) |\n",
        mb(atEnd.memoryBytes), mb(atEnd.diskBytes), atEnd.spilling ? "yes" : "no",
        met(atEnd.memoryBytes <= options.memoryCap));
    std::printf("| span kept at the end of On: video / one still camera | %.1f / %.1f min | 5 |\n",
                videoSpan ? double(videoSpan->last - videoSpan->first) / 60000 : 0.0,
                stillSpan ? double(stillSpan->last - stillSpan->first) / 60000 : 0.0);
    if (keptMinutes > 0)
        std::printf(
            "| MB a minute kept: all / video / %d still cameras (%.2f MB each) | %.1f / "
            "%.1f / %.1f | |\n",
            kCameras - 1, mb(stillBytes) / keptMinutes / (kCameras - 1),
            mb(videoBytes + stillBytes) / keptMinutes, mb(videoBytes) / keptMinutes,
            mb(stillBytes) / keptMinutes);
    std::printf(
        "| back ~%d s: all %d still cells' pictures, median / worst of %d | %.0f / %.0f "
        "ms | 100 ms (%s) |\n",
        d.backMs / 1000, kCameras - 1, kBackRounds, median(stillRounds),
        *std::max_element(stillRounds.begin(), stillRounds.end()),
        met(*std::max_element(stillRounds.begin(), stillRounds.end()) <= 100));
    std::printf(
        "| back: the video cell's picture (1080p, from its key frame), median / worst | "
        "%.0f / %.0f ms | 300 ms (%s) |\n",
        median(videoRounds), *std::max_element(videoRounds.begin(), videoRounds.end()),
        met(*std::max_element(videoRounds.begin(), videoRounds.end()) <= 300));
    std::printf("| back: cells answered nothing kept | %d | 0 (%s) |\n", nothing,
                met(nothing == 0));
    for (const auto& [name, e, target] :
         {std::tuple{"video", &videoClip, 1000.0}, std::tuple{"stills", &stillClip, 2000.0}}) {
        std::printf("| export %s %.0f s: time, file | %.0f ms, %.1f MB kept | %.0f ms (%s) |\n",
                    name, double(to - from) / 1000, e->ms, mb(e->keptBytes), target,
                    met(e->clip.status == video::ClipResult::Status::Written && e->ms <= target));
        if (e->clip.status != video::ClipResult::Status::Written)
            std::printf("| export %s: not written | %s | |\n", name, qPrintable(e->clip.error));
        std::printf(
            "| export %s: frames kept (from %.2f s before the start) / written | %d / %d "
            "| equal (%s) |\n",
            name, double(from - e->keptFirst) / 1000, e->keptFrames, e->clip.frames,
            met(e->keptFrames == e->clip.frames));
        std::printf(
            "| export %s: frames shown from the start, kept / ffprobe | %d / %d | equal "
            "(%s) |\n",
            name, e->keptShown, e->probedFrames, met(e->keptShown == e->probedFrames));
        const double plays = double(e->clip.endMs - e->clip.fromMs) / 1000;
        std::printf(
            "| export %s: seconds asked / the file plays (writer) / ffprobe | %.2f / %.2f "
            "/ %.2f | within 0.1 s (%s) |\n",
            name, double(to - from) / 1000, plays, e->probedSeconds,
            met(std::abs(plays - e->probedSeconds) <= 0.1 &&
                std::abs(double(to - from) / 1000 - plays) <= 0.1));
    }
    std::fflush(stdout);

    keeper.reset();
    store->clearAll();
    store.reset();
    QDir(folder).removeRecursively();
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    curl_global_init(CURL_GLOBAL_DEFAULT);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    int result = 0;
    {
        QApplication app(argc, argv);
        const bool brief = app.arguments().contains("--short");
        result = brief ? run({10000, 60000, 40000, 50000})
                       : run({60000, 5 * 60000 + 10000, 4 * 60000, 5 * 60000});
        video::VideoPlayer::joinDecodeThreads();
    }
    curl_global_cleanup();
    return result;
}
