// SPDX-License-Identifier: GPL-3.0-or-later
// The activity detector's cost per picture: a textured still scene with
// sensor noise (two pictures of it, fed in turn, so every picture is
// compared), and the same with an object crossing. Rows:
//   rgb32/640x360   the view's picture of a small cell
//   rgb32/1920x1080 a full-size picture
//   luma/1920x1080  the luma plane of a video frame
//   rgb32/96x54     a picture already at the grey size: the comparison alone
//   off/640x360     Sensitivity::Off
// Reported: time per picture, and bytes read per second.

#include "activitydetector.h"

#include <QImage>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <vector>

namespace {

enum class Kind { Rgb, Luma, Off };

// A still scene of gradients and blocks, with noise from the seed; with an
// object (a dark 10 % square) at a place that depends on the seed.
QImage scene(int width, int height, std::uint32_t seed, bool object) {
    QImage image(width, height, QImage::Format_RGB32);
    std::uint32_t random = seed * 2654435761u + 1;
    for (int y = 0; y < height; ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            random = random * 1664525u + 1013904223u;
            const int noise = int(random >> 29) - 4;
            const int block = ((x * 8 / width) ^ (y * 4 / height)) & 1 ? 60 : 0;
            const int v = std::clamp(40 + 120 * x / width + block + noise, 0, 255);
            row[x] = qRgb(v, std::clamp(v + 20, 0, 255), 255 - v);
        }
    }
    if (object) {
        const int side = width / 10, left = int(seed % 8) * width / 10;
        for (int y = height / 3; y < height / 3 + side; ++y)
            for (int x = left; x < left + side; ++x) image.setPixel(x, y, qRgb(10, 10, 10));
    }
    return image;
}

void BM_Picture(benchmark::State& state, Kind kind, int width, int height, bool object) {
    std::vector<QImage> pictures;
    for (std::uint32_t seed = 0; seed < 8; ++seed)
        pictures.push_back(
            kind == Kind::Luma
                ? scene(width, height, seed, object).convertToFormat(QImage::Format_Grayscale8)
                : scene(width, height, seed, object));
    ActivityDetector detector(kind == Kind::Off ? ActivityDetector::Sensitivity::Off
                                                : ActivityDetector::Sensitivity::Normal);
    std::size_t next = 0, active = 0;
    for (auto _ : state) {
        const QImage& p = pictures[next++ % pictures.size()];
        const auto verdict = kind == Kind::Luma ? detector.feedLuma(p.constBits(), p.width(),
                                                                    p.height(), p.bytesPerLine())
                                                : detector.feed(p);
        active += verdict.active;
        benchmark::DoNotOptimize(verdict);
    }
    state.SetBytesProcessed(std::int64_t(state.iterations()) * pictures[0].sizeInBytes());
    state.counters["active_share"] = double(active) / double(state.iterations());
}

BENCHMARK_CAPTURE(BM_Picture, rgb32_640x360, Kind::Rgb, 640, 360, false);
BENCHMARK_CAPTURE(BM_Picture, rgb32_640x360_object, Kind::Rgb, 640, 360, true);
BENCHMARK_CAPTURE(BM_Picture, rgb32_1920x1080, Kind::Rgb, 1920, 1080, false);
BENCHMARK_CAPTURE(BM_Picture, luma_1920x1080, Kind::Luma, 1920, 1080, false);
BENCHMARK_CAPTURE(BM_Picture, rgb32_96x54, Kind::Rgb, 96, 54, false);
BENCHMARK_CAPTURE(BM_Picture, rgb32_96x54_object, Kind::Rgb, 96, 54, true);
BENCHMARK_CAPTURE(BM_Picture, off_640x360, Kind::Off, 640, 360, false);

}  // namespace

BENCHMARK_MAIN();
