// SPDX-License-Identifier: GPL-3.0-or-later
// Hostile live video answers on loopback, sent as fast as the kernel takes
// them, against a VideoPlayer as the one-camera view uses it. Rows:
//   length      a multipart part announcing Content-Length: 2000000000
//   endless     a multipart part with no length and no next boundary
//   chunk       chunked encoding, one chunk of 0x7fffffff bytes
// For each, two runs in this process, each with the peak resident memory
// reset before it (/proc/self/clear_refs):
//   ends        play() until the player reports its end: how, after how
//               long, the bytes the server sent, and the peak memory
//   stop        play(), and once the server has sent --stop-after MiB (or
//               the player has ended, or 2 s passed) stop() and then the
//               player's destructor on the main thread: how long each took
//               (the main thread's wait), and the peak memory
// Printed as a Markdown table. The server runs on a thread of this process;
// it holds one MiB of filler.
//
// Usage: bench_video_hostile [--stop-after MiB] [row...]

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "../../tests/video/streams.h"
#include "processfigures.h"
#include "videoplayer.h"

namespace {

double peakMb() {
    return statusMb("VmHWM:");
}

void resetPeak() {
    std::ofstream("/proc/self/clear_refs") << "5";
}

struct Run {
    std::optional<video::VideoStatus> status;
    qint64 endMs = -1, stopMs = -1, deleteMs = -1;
    double sentMb = 0, peak = 0;
};

// Runs the main thread's events until pred holds or timeoutMs passed.
template <typename Pred>
void spinUntil(Pred pred, int timeoutMs) {
    QElapsedTimer t;
    t.start();
    while (!pred() && t.elapsed() < timeoutMs) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::usleep(200);
    }
}

std::optional<video::VideoPlayer::Source> sourceOf(const EndlessServer& server) {
    return video::VideoPlayer::source("127.0.0.1", QString::number(server.port()),
                                      "/cameras/0/video", "admin", "pw");
}

Run untilItEnds(EndlessServer& server, size_t connection) {
    Run run;
    resetPeak();
    auto player = std::make_unique<video::VideoPlayer>();
    QObject::connect(player.get(), &video::VideoPlayer::ended,
                     [&](video::VideoStatus s) { run.status = s; });
    QElapsedTimer t;
    t.start();
    player->play(sourceOf(server), {{1280, 720}, {}});
    spinUntil([&] { return run.status.has_value(); }, 60000);
    run.endMs = t.elapsed();
    player.reset();
    spinUntil([&] { return server.closed() > connection; }, 30000);
    run.sentMb = server.sentOn(connection) / 1048576.0;
    run.peak = peakMb();
    return run;
}

Run stopWhileBusy(EndlessServer& server, size_t connection, double stopAfterMb) {
    Run run;
    resetPeak();
    auto player = std::make_unique<video::VideoPlayer>();
    QObject::connect(player.get(), &video::VideoPlayer::ended,
                     [&](video::VideoStatus s) { run.status = s; });
    player->play(sourceOf(server), {{1280, 720}, {}});
    spinUntil([&] { return run.status || server.sentOn(connection) / 1048576.0 >= stopAfterMb; },
              2000);
    run.sentMb = server.sentOn(connection) / 1048576.0;
    QElapsedTimer t;
    t.start();
    player->stop();
    run.stopMs = t.elapsed();
    t.restart();
    player.reset();
    run.deleteMs = t.elapsed();
    spinUntil([&] { return server.closed() > connection; }, 60000);
    run.peak = peakMb();
    return run;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    double stopAfterMb = 1024;
    std::vector<std::string> rows;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--stop-after" && i + 1 < argc)
            stopAfterMb = std::atof(argv[++i]);
        else
            rows.push_back(arg);
    }
    if (rows.empty()) rows = {"length", "endless", "chunk"};

    const std::string mixed = "HTTP/1.1 200 OK\r\nContent-Type: " + demo::multipartContentType();
    const std::string part = "--zorvanframe\r\nContent-Type: image/jpeg\r\n";
    std::printf(
        "| row | run | status | ms to end | server sent MiB | stop() ms | "
        "destructor ms | peak RSS MiB |\n|---|---|---|---|---|---|---|---|\n");
    for (const std::string& row : rows) {
        std::string head;
        if (row == "length")
            head = mixed + "\r\n\r\n" + part + "Content-Length: 2000000000\r\n\r\n";
        else if (row == "endless")
            head = mixed + "\r\n\r\n" + part + "\r\n";
        else if (row == "chunk")
            head = mixed + "\r\nTransfer-Encoding: chunked\r\n\r\n7fffffff\r\n" + part + "\r\n";
        else
            return std::fprintf(stderr, "unknown row %s\n", row.c_str()), 2;
        EndlessServer server(head, std::string(1 << 20, 'Z'), 0);
        const auto line = [&](const char* name, const Run& r) {
            std::printf("| %s | %s | %s | %lld | %.0f | %lld | %lld | %.0f |\n", row.c_str(), name,
                        r.status ? qPrintable(video::statusText(*r.status)) : "-",
                        static_cast<long long>(r.endMs), r.sentMb, static_cast<long long>(r.stopMs),
                        static_cast<long long>(r.deleteMs), r.peak);
            std::fflush(stdout);
        };
        line("ends", untilItEnds(server, 0));
        line("stop", stopWhileBusy(server, 1, stopAfterMb));
    }
    video::VideoPlayer::joinDecodeThreads();
    return 0;
}
