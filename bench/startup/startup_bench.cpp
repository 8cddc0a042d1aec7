// SPDX-License-Identifier: GPL-3.0-or-later
// Start-up to first picture on loopback: from the controller's start-up (the
// settings store's first use included) until the main view shows the first
// picture of the demo server, which runs as its own process. Each iteration
// is a whole start and quit of the viewer in this process, offscreen.

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>
#include <curl/curl.h>

#include "camserver.h"
#include "demoprocess.h"
#include "qtbenchmain.h"
#include "settings.h"
#include "touchimage.h"
#include "zorvanmacappdelegate.h"

namespace {

void BM_StartupToFirstPicture(benchmark::State& state) {
    DemoProcess demo;
    const int port = demo.port();
    QTemporaryDir dir;
    {
        auto settings = Settings::createInFolder(dir.path(), "en");
        settings->getCurrent()->setPort(QString::number(port));
        settings->save();
    }
    for (auto _ : state) {
        QElapsedTimer t;
        t.start();
        auto settings = Settings::createInFolder(dir.path(), "en");
        ZorvanMacAppDelegate app(*settings);
        app.applicationDidFinishLaunching();
        while (app.window()->mainImage()->picture().isNull() && t.elapsed() < 10000) {
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        }
        state.SetIterationTime(t.nsecsElapsed() / 1e9);
        app.applicationWillTerminate();
    }
}

}  // namespace

BENCHMARK(BM_StartupToFirstPicture)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);

int main(int argc, char** argv) {
    return runQtBenchmarks(argc, argv);
}
