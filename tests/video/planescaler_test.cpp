// SPDX-License-Identifier: GPL-3.0-or-later
// The plane scaler: its vector path gives what its plain path gives, a ramp
// stays a ramp at every ratio, and it reads only the source it is given.

#include "planescaler.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <vector>

using video::PlaneScaler;

namespace {

TEST(PlaneScaler, VectorAndPlainAgreeAndARampStaysARamp) {
    // from, to: reductions by less than half, by half (box), by a third and
    // a fifth (halved first), enlargements, odd sides, a tail past 8 samples.
    const struct {
        QSize from, to;
    } rows[] = {{{1920, 1080}, {1280, 720}}, {{1920, 1080}, {960, 540}},
                {{1920, 1080}, {640, 360}},  {{1921, 1081}, {383, 215}},
                {{320, 180}, {1280, 720}},   {{33, 17}, {29, 13}},
                {{640, 360}, {641, 359}},    {{2, 2}, {7, 3}}};
    std::mt19937 random(7);
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message() << row.from.width() << "x" << row.from.height() << " to "
                                        << row.to.width() << "x" << row.to.height());
        // Rows a few bytes apart beyond their samples, the buffer ending at
        // the last sample: a read past the plane shows under the sanitizers.
        const int stride = row.from.width() + 3;
        const size_t bytes = size_t(stride) * (row.from.height() - 1) + row.from.width();
        std::vector<std::uint8_t> noise(bytes), ramp(bytes);
        for (size_t i = 0; i < bytes; ++i) {
            noise[i] = static_cast<std::uint8_t>(random());
            ramp[i] = static_cast<std::uint8_t>(255 * int(i % stride) / (row.from.width() - 1));
        }
        const size_t out = size_t(row.to.width()) * row.to.height();
        std::vector<std::uint8_t> vector(out), plain(out), scaledRamp(out);
        PlaneScaler fast, slow;
        ASSERT_TRUE(fast.setUp(row.from, row.to));
        ASSERT_TRUE(slow.setUp(row.from, row.to));
        slow.setPlainOnly(true);
        fast.scale(noise.data(), stride, vector.data(), row.to.width());
        slow.scale(noise.data(), stride, plain.data(), row.to.width());
        EXPECT_EQ(vector, plain);
        fast.scale(ramp.data(), stride, scaledRamp.data(), row.to.width());
        int worst = 0;
        for (int y = 0; y < row.to.height(); ++y)
            for (int x = 0; x < row.to.width(); ++x) {
                // The ramp's value at the output sample's centre.
                const double s = (x + 0.5) * row.from.width() / row.to.width() - 0.5;
                const double want =
                    255.0 * std::clamp(s, 0.0, row.from.width() - 1.0) / (row.from.width() - 1);
                worst = std::max(worst, std::abs(scaledRamp[size_t(y * row.to.width() + x)] -
                                                 int(std::lround(want))));
            }
        EXPECT_LE(worst, 3);
    }
    PlaneScaler refused;
    EXPECT_FALSE(refused.setUp({1, 100}, {1, 50}));
    EXPECT_FALSE(refused.setUp({100, 100}, {100, 1}));
}

}  // namespace
