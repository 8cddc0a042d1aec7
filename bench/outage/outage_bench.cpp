// SPDX-License-Identifier: GPL-3.0-or-later
// The return after an outage, on loopback, offscreen, with the viewer's own
// timings: how long after a server takes connections again the live picture
// (after 8 s refused while a camera was shown) and the lists (after a start
// while it refused, 8 s before it came back) are there again.

#include <QApplication>
#include <QBuffer>
#include <QElapsedTimer>
#include <QImage>
#include <QMenu>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <memory>

#include "camserver.h"
#include "qtbenchmain.h"
#include "scriptedserver.h"
#include "settings.h"
#include "touchimage.h"
#include "zorvanmacappdelegate.h"

namespace {

constexpr int kOutageMs = 8000;

ScriptedServer::Script videoServer() {
    QImage img(320, 240, QImage::Format_RGB32);
    img.fill(Qt::darkGreen);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    img.save(&buffer, "JPG", 80);
    const std::string jpeg = bytes.toStdString();
    return [jpeg](const ScriptedServer::Request& r) {
        if (r.target == "/microphones") return ScriptedServer::json("[]");
        if (r.target == "/cameras")
            return ScriptedServer::json(R"([{"name":"Gate","uri":"/c/0","image-uri":"/c/0/i"}])");
        return ScriptedServer::json(jpeg);
    };
}

bool spinUntil(const std::function<bool()>& pred, int ms) {
    QElapsedTimer t;
    t.start();
    while (!pred()) {
        if (t.elapsed() > ms) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return true;
}

void settingsFor(const QString& folder, int port) {
    auto settings = Settings::createInFolder(folder, "en");
    settings->getCurrent()->setPort(QString::number(port));
    settings->setCameraIdx(0);
    settings->save();
}

void BM_PictureAfterOutage(benchmark::State& state) {
    for (auto _ : state) {
        QTemporaryDir dir;
        auto server = std::make_unique<ScriptedServer>(videoServer());
        const int port = server->port();
        settingsFor(dir.path(), port);
        auto settings = Settings::createInFolder(dir.path(), "en");
        ZorvanMacAppDelegate app(*settings);
        app.applicationDidFinishLaunching();
        if (!spinUntil([&] { return !app.window()->mainImage()->picture().isNull(); }, 10000)) {
            state.SkipWithError("no first picture");
            break;
        }
        server.reset();  // refused from now on
        spinUntil([] { return false; }, kOutageMs);
        const qint64 before = app.window()->mainImage()->picture().cacheKey();
        server = std::make_unique<ScriptedServer>(videoServer(), port);
        QElapsedTimer t;
        t.start();
        const bool back = spinUntil(
            [&] {
                const QImage p = app.window()->mainImage()->picture();
                return !p.isNull() && p.cacheKey() != before;
            },
            60000);
        state.SetIterationTime(t.nsecsElapsed() / 1e9);
        app.applicationWillTerminate();
        if (!back) state.SkipWithError("no picture after the return");
    }
}

void BM_ListsAfterStartWhileRefused(benchmark::State& state) {
    for (auto _ : state) {
        QTemporaryDir dir;
        int port = 0;
        {
            ScriptedServer free(videoServer());
            port = free.port();
        }
        settingsFor(dir.path(), port);
        auto settings = Settings::createInFolder(dir.path(), "en");
        ZorvanMacAppDelegate app(*settings);
        app.applicationDidFinishLaunching();
        spinUntil([] { return false; }, kOutageMs);
        ScriptedServer server(videoServer(), port);
        QElapsedTimer t;
        t.start();
        const bool back = spinUntil([&] { return !app.window()->camerasMenu()->isEmpty(); }, 60000);
        state.SetIterationTime(t.nsecsElapsed() / 1e9);
        app.applicationWillTerminate();
        if (!back) state.SkipWithError("no lists after the return");
    }
}

}  // namespace

BENCHMARK(BM_PictureAfterOutage)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_ListsAfterStartWhileRefused)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

int main(int argc, char** argv) {
    return runQtBenchmarks(argc, argv);
}
