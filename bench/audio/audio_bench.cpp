// SPDX-License-Identifier: GPL-3.0-or-later
// Sound benchmarks against the demo server (its own process) and a private
// PulseAudio null sink:
//  - CPU time of this process per second of sound played;
//  - time from starting the stream to its first sample at the sink, against
//    the buffering threshold's own delay (threshold bytes / byte rate);
//  - how long a stop holds the calling (main) thread, also while the host
//    name's look-up hangs (stop and quit), and how long a start right after
//    a stop holds it (the old run settles in the background).

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

#include <sys/resource.h>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <functional>

#include "camserver.h"
#include "demoprocess.h"
#include "playerview.h"
#include "qtbenchmain.h"
#include "qvraudiostream.h"
#include "slowresolver.h"
#include "soundsink.h"

namespace {

double cpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

bool waitFor(const std::function<bool()>& pred, int ms) {
    QElapsedTimer t;
    t.start();
    while (!pred()) {
        if (t.elapsed() > ms) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::usleep(500);
    }
    return true;
}

std::shared_ptr<QVRAudioStream> demoStream(const DemoProcess& demo, std::int64_t bufferSize) {
    QVRAudioStream::Options options;
    options.bufferSizePreference = bufferSize;
    auto stream =
        QVRAudioStream::initWithURL("http://127.0.0.1:" + std::to_string(demo.port()) +
                                        "/microphones/0/audio.mp3?sample_rate=22050&bit_rate=64",
                                    options);
    stream->setAuthUser("admin");
    stream->setVolume(1.0f);
    return stream;
}

void BM_CpuPerSecondOfSound(benchmark::State& state) {
    DemoProcess demo;
    for (auto _ : state) {
        auto stream = demoStream(demo, 8000);
        stream->start();
        if (!waitFor([&] { return stream->status() == QVRAudioStream::Playing; }, 30000)) {
            state.SkipWithError("the stream did not start");
            return;
        }
        waitFor([] { return false; }, 1000);  // past the start-up work
        const double cpu0 = cpuSeconds();
        QElapsedTimer wall;
        wall.start();
        // The main thread sleeps, as the viewer's does while sound plays:
        // polling here would count the benchmark's own wake-ups.
        QThread::sleep(static_cast<unsigned long>(state.range(0)));
        const double cpu = cpuSeconds() - cpu0;
        const double seconds = wall.elapsed() / 1000.0;
        stream->stop();
        stream->waitEnded();
        state.counters["cpu_percent_of_a_core"] = 100.0 * cpu / seconds;
    }
}

void BM_StartToFirstSample(benchmark::State& state) {
    DemoProcess demo;
    const std::int64_t threshold = state.range(0);
    for (auto _ : state) {
        SinkRecorder recorder;
        recorder.start();
        waitFor([&] { return recorder.samplesSoFar() > SinkRecorder::kRate; }, 10000);
        auto stream = demoStream(demo, threshold);
        const std::size_t atStart = recorder.samplesSoFar();
        stream->start();
        waitFor([&] { return stream->status() == QVRAudioStream::Playing; }, 60000);
        waitFor([] { return false; }, 1500);
        const std::vector<std::int16_t> samples = recorder.stop();
        stream->stop();
        stream->waitEnded();
        std::size_t first = atStart;
        while (first < samples.size() && std::abs(samples[first]) < 300) ++first;
        const double seconds = double(first - atStart) / SinkRecorder::kRate;
        state.counters["first_sample_s"] = seconds;
        // 64 kbit/s is 8000 bytes a second.
        state.counters["threshold_delay_s"] = threshold / 8000.0;
    }
}

void BM_StopHoldsTheCaller(benchmark::State& state) {
    DemoProcess demo;
    double total = 0;
    int stops = 0;
    for (auto _ : state) {
        state.PauseTiming();
        auto stream = demoStream(demo, 8000);
        stream->start();
        waitFor([&] { return stream->status() == QVRAudioStream::Playing; }, 30000);
        waitFor([] { return false; }, 300);
        state.ResumeTiming();
        QElapsedTimer held;
        held.start();
        stream->stop();
        total += held.nsecsElapsed() / 1e6;
        ++stops;
        state.PauseTiming();
        stream->waitEnded();
        state.ResumeTiming();
    }
    state.counters["stop_ms"] = total / stops;
}

// The stop (arg 0) or the quit (arg 1) while the host name's look-up hangs
// for 10 s: the hold must stay under 50 ms whatever the network does.
void BM_StopWhileTheLookUpHangs(benchmark::State& state) {
    const bool quit = state.range(0) == 1;
    auto server = CamServer::create();
    server->setHost(slowresolver::kSlowHost);
    server->setPort("18080");
    double total = 0, worst = 0;
    int stops = 0;
    for (auto _ : state) {
        state.PauseTiming();
        PlayerView player;
        player.setCurrentServer(server);
        player.playSound("/microphones/0/audio.mp3");
        waitFor([] { return false; }, 200);  // the look-up has begun
        state.ResumeTiming();
        QElapsedTimer held;
        held.start();
        if (quit) {
            player.shutdown();
        } else {
            player.stopSound();
        }
        const double ms = held.nsecsElapsed() / 1e6;
        total += ms;
        worst = std::max(worst, ms);
        ++stops;
        state.PauseTiming();
        player.shutdown();
        state.ResumeTiming();
    }
    state.counters["hold_ms"] = total / stops;
    state.counters["worst_ms"] = worst;
}

// A restart as the player front makes it (stop, new address, start) while
// sound plays: the stop's hold, and the start's, which no longer waits for
// the old output's settle (250 ms).
void BM_RestartHoldsTheCaller(benchmark::State& state) {
    DemoProcess demo;
    auto stream = demoStream(demo, 8000);
    const std::optional<std::string> url = stream->url();
    double stopTotal = 0, startTotal = 0, startWorst = 0;
    int restarts = 0;
    for (auto _ : state) {
        state.PauseTiming();
        stream->setUrl(url);
        stream->start();
        waitFor([&] { return stream->playbackThreadInUse(); }, 30000);
        waitFor([] { return false; }, 300);
        state.ResumeTiming();
        QElapsedTimer held;
        held.start();
        stream->stop();
        const double stopMs = held.nsecsElapsed() / 1e6;
        held.restart();
        stream->setUrl(url);
        stream->start();
        const double startMs = held.nsecsElapsed() / 1e6;
        stopTotal += stopMs;
        startTotal += startMs;
        startWorst = std::max(startWorst, startMs);
        ++restarts;
        state.PauseTiming();
        stream->stop();
        stream->waitEnded();
        state.ResumeTiming();
    }
    state.counters["stop_ms"] = stopTotal / restarts;
    state.counters["start_ms"] = startTotal / restarts;
    state.counters["start_worst_ms"] = startWorst;
}

}  // namespace

BENCHMARK(BM_CpuPerSecondOfSound)->Arg(10)->Iterations(1)->Unit(benchmark::kSecond);
BENCHMARK(BM_StartToFirstSample)->Arg(8000)->Arg(50000)->Iterations(1)->Unit(benchmark::kSecond);
BENCHMARK(BM_StopHoldsTheCaller)->Iterations(5)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StopWhileTheLookUpHangs)->Arg(0)->Arg(1)->Iterations(5)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RestartHoldsTheCaller)->Iterations(5)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    char dir[] = "/tmp/zorvan-pulse-XXXXXX";
    if (!::mkdtemp(dir)) return 1;
    // Without a sound server there is nothing to measure; the folder goes either way.
    const int rc = startSoundServer(dir) ? runQtBenchmarks(argc, argv) : 1;
    stopSoundServer();
    return std::system(("rm -rf '" + std::string(dir) + "'").c_str()) == 0 ? rc : 1;
}
