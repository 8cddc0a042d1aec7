// SPDX-License-Identifier: GPL-3.0-or-later
// The zoom of the one-camera picture: the part shown and the size asked for.

#include "zoomstate.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

TEST(ZoomState, ZoomKeepsThePointUnderTheCursorAndPanStaysInside) {
    // factor: Zoom's; at: where Zoom zooms, how far Pan pans
    // clang-format off
    struct Step { enum { Zoom, Pan, Reset } what; double factor; QPointF at; QRectF visible; };
    // clang-format on
    const std::vector<Step> steps = {
        {Step::Zoom, 2, {0.5, 0.5}, {0.25, 0.25, 0.5, 0.5}},  // about the middle
        {Step::Zoom, 4, {0.5, 0.5}, {0.375, 0.375, 0.25, 0.25}},
        {Step::Pan, 0, {-10, 0}, {0, 0.375, 0.25, 0.25}},       // stops at the left edge
        {Step::Pan, 0, {0, 100}, {0, 0.75, 0.25, 0.25}},        // and at the bottom
        {Step::Zoom, 2, {0, 1}, {0, 0.5, 0.5, 0.5}},            // the corner stays the corner
        {Step::Zoom, 100, {1, 0}, {0.375, 0.5, 0.125, 0.125}},  // at most 8x
        {Step::Zoom, 0.1, {0.5, 0.5}, {0, 0, 1, 1}},            // at least 1x
        {Step::Pan, 0, {0.3, 0.3}, {0, 0, 1, 1}},               // nothing to pan at 1x
        {Step::Zoom, 2, {1, 1}, {0.5, 0.5, 0.5, 0.5}},
        {Step::Zoom, NAN, {0.5, 0.5}, {0, 0, 1, 1}},  // a broken factor is 1x
        {Step::Zoom, 3, {0.2, 0.7}, {0.2 - 0.2 / 3, 0.7 - 0.7 / 3, 1 / 3.0, 1 / 3.0}},
        {Step::Reset, 0, {}, {0, 0, 1, 1}},
    };
    ZoomState z;
    for (size_t i = 0; i < steps.size(); ++i) {
        const Step& s = steps[i];
        if (s.what == Step::Zoom) z.zoomAt(s.factor, s.at);
        if (s.what == Step::Pan) z.pan(s.at);
        if (s.what == Step::Reset) z.reset();
        const QPointF d = z.visible().topLeft() - s.visible.topLeft(),
                      e = z.visible().bottomRight() - s.visible.bottomRight();
        EXPECT_LT(d.manhattanLength() + e.manhattanLength(), 1e-9) << "step " << i;
    }
}

TEST(ZoomState, AskedSizeIsTheViewTimesTheZoomWithinTheCap) {
    // clang-format off
    const struct { double factor; QSize view, asked; } cases[] = {
        {2, {640, 480}, {1280, 960}}, {8, {1920, 1080}, {4096, 2304}},  // the cap, aspect kept
        {3, {0, 0}, {0, 0}},
    };
    // clang-format on
    for (const auto& c : cases) {
        ZoomState z;
        z.zoomAt(c.factor, {0.5, 0.5});
        EXPECT_EQ(z.askedSize(c.view), c.asked) << c.factor << " " << c.view.width();
    }
}
