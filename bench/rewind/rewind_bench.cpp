// SPDX-License-Identifier: GPL-3.0-or-later
// The rewind store under a control room's load, five simulated minutes at
// the default limits (5 minutes, 512 MiB in memory, 4 GiB on disk, files in
// a temporary folder): a 5x5 wall of stills at 8 a second (15 KB each) and
// one 1080p video at 4 Mbit/s and 30 frames a second, a key frame every 2 s
// (ten times a packet's size). Every part is a fresh copy, as one read from
// the network is. Printed: memory, disk and resident size at each minute.
// Counters: CPU and wall time per append (mean, and the longest append),
// partBefore 4 minutes back (a still camera, the video at a key frame and
// at the end of its group), and range over the whole 5 minutes of the video
// and of one still camera.

#include "rewindstore.h"

#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <unistd.h>
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <ctime>

namespace {

using Part = RewindStore::Part;
using Clock = std::chrono::steady_clock;

constexpr int kStillCameras = 25, kStillsPerSecond = 8, kStillBytes = 15000;
constexpr int kFps = 30, kGop = 60;
constexpr qint64 kVideoBitsPerSecond = 4000000;
constexpr qint64 kStart = 1765000000000, kMinuteMs = 60000, kRunMs = 5 * kMinuteMs;

double cpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

double residentMiB() {
    long pages = 0, resident = 0;
    if (FILE* f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
        std::fclose(f);
    }
    return double(resident) * double(sysconf(_SC_PAGESIZE)) / (1 << 20);
}

QByteArray bytes(qsizetype size, std::uint32_t seed) {
    QByteArray b(size, Qt::Uninitialized);
    for (char& c : b) c = char((seed = seed * 1664525u + 1013904223u) >> 24);
    return b;
}

template <class F>
double msOf(F f) {
    const auto t0 = Clock::now();
    f();
    return std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
}

void BM_ControlRoom(benchmark::State& state) {
    const qint64 packet = kVideoBitsPerSecond / 8 * kGop / kFps / (kGop - 1 + 10);
    const QByteArray still = bytes(kStillBytes, 1), key = bytes(10 * packet, 2),
                     other = bytes(packet, 3);
    for (auto _ : state) {
        QTemporaryDir folder;
        RewindStore store(folder.path() + "/rewind");
        std::int64_t appends = 0;
        double cpu = 0, wallMs = 0, longestMs = 0;
        const auto append = [&](const QString& camera, Part part) {
            part.bytes.detach();
            const double c0 = cpuSeconds();
            const auto t0 = Clock::now();
            store.append(camera, std::move(part));
            const double ms = std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
            cpu += cpuSeconds() - c0;
            wallMs += ms;
            longestMs = std::max(longestMs, ms);
            ++appends;
        };
        QStringList stills;
        for (int k = 0; k < kStillCameras; ++k) stills << QStringLiteral("still-%1").arg(k);
        std::printf("minute  memory MiB  disk MiB  files  resident MiB\n");
        append("video", {Part::Kind::VideoConfig, kStart, bytes(40, 4), false});
        for (qint64 ms = 0; ms < kRunMs; ++ms) {
            const qint64 now = kStart + ms;
            // Stills spread over each camera's 125 ms.
            const qint64 period = 1000 / kStillsPerSecond;
            for (int k = 0; k < kStillCameras; ++k)
                if (ms % period == k * period / kStillCameras)
                    append(stills[k], {Part::Kind::Still, now, still, true});
            if (ms * kFps % 1000 < kFps) {
                const bool isKey = ms * kFps / 1000 % kGop == 0;
                append("video", {Part::Kind::VideoPacket, now, isKey ? key : other, isKey});
            }
            if ((ms + 1) % kMinuteMs == 0) {
                const auto u = store.usage();
                std::printf("%6lld  %10.1f  %8.1f  %5d  %12.1f\n",
                            (long long)((ms + 1) / kMinuteMs), double(u.memoryBytes) / (1 << 20),
                            double(u.diskBytes) / (1 << 20), u.files, residentMiB());
            }
        }
        const qint64 end = kStart + kRunMs, back = end - 4 * kMinuteMs;
        std::size_t stillParts = 0, videoParts = 0, rangeParts = 0, stillRange = 0;
        const double stillBefore =
            msOf([&] { stillParts = store.partBefore(stills[0], back).size(); });
        const double videoBefore =
            msOf([&] { videoParts = store.partBefore("video", back).size(); });
        // Just before the next key frame: the whole group read back.
        std::size_t groupParts = 0;
        const double groupBefore =
            msOf([&] { groupParts = store.partBefore("video", back + 1990).size(); });
        qint64 rangeBytes = 0;
        const double videoRange = msOf([&] {
            store.forEachInRange("video", kStart, end, [&](const Part& p) {
                rangeBytes += p.bytes.size();
                ++rangeParts;
                return true;
            });
        });
        const double stillRangeMs =
            msOf([&] { stillRange = store.range(stills[0], kStart, end).size(); });
        std::printf(
            "partBefore 4 min back: still %.3f ms (%zu part), video %.3f ms (%zu parts), "
            "at a group's end %.3f ms (%zu parts)\n",
            stillBefore, stillParts, videoBefore, videoParts, groupBefore, groupParts);
        std::printf(
            "range 5 min: video %.1f ms (%zu parts, %.1f MiB), still camera %.1f ms (%zu)\n",
            videoRange, rangeParts, double(rangeBytes) / (1 << 20), stillRangeMs, stillRange);
        state.counters["appends"] = double(appends);
        state.counters["append_cpu_us"] = cpu / double(appends) * 1e6;
        state.counters["append_wall_us"] = wallMs / double(appends) * 1e3;
        state.counters["append_longest_ms"] = longestMs;
        state.counters["before_still_ms"] = stillBefore;
        state.counters["before_video_ms"] = videoBefore;
        state.counters["before_group_ms"] = groupBefore;
        state.counters["range_video_ms"] = videoRange;
        state.counters["range_still_ms"] = stillRangeMs;
        store.clearAll();
    }
}

BENCHMARK(BM_ControlRoom)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace

BENCHMARK_MAIN();
