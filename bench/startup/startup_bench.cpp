// Start-up to first picture on loopback: from the controller's start-up (the
// settings store's first use included) until the main view shows the first
// picture of the demo server, which runs as its own process. Each iteration
// is a whole start and quit of the viewer in this process, offscreen.

#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>
#include <curl/curl.h>

#include "camserver.h"
#include "settings.h"
#include "touchimage.h"
#include "zorvanmacappdelegate.h"

namespace {

int startDemo(QProcess& process) {
    process.start(ZORVAN_DEMO_SERVER, {"--port", "0"});
    process.waitForStarted();
    while (process.waitForReadyRead(10000)) {
        const QString line = QString::fromUtf8(process.readLine());
        if (line.contains("listening"))
            return line.mid(line.lastIndexOf(':') + 1).trimmed().toInt();
    }
    return 0;
}

void BM_StartupToFirstPicture(benchmark::State& state) {
    QProcess demo;
    const int port = startDemo(demo);
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
        while (app.mainImage()->picture().isNull() && t.elapsed() < 10000) {
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        }
        state.SetIterationTime(t.nsecsElapsed() / 1e9);
        app.applicationWillTerminate();
    }
    demo.terminate();
    demo.waitForFinished();
}

}  // namespace

BENCHMARK(BM_StartupToFirstPicture)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);

int main(int argc, char** argv) {
    curl_global_init(CURL_GLOBAL_DEFAULT);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    curl_global_cleanup();
    return 0;
}
