// SPDX-License-Identifier: GPL-3.0-or-later
// The activity detector on synthetic 640x360 scenes, one verdict a picture:
// '-' no verdict, '.' quiet, 'A' active, 'G' taken as a global change.

#include "activitydetector.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QPainter>
#include <QTime>

#include <string>

namespace {

using S = ActivityDetector::Sensitivity;

struct Scene {
    const char* name;
    S sensitivity;
    float object;        // a dark square's side, a fraction of the height; 0: none
    int from, to;        // the pictures it is in; it moves 8 pixels a picture
    int noise;           // each channel of each pixel moves by up to this much
    int jpeg;            // quality each picture is stored with; 0: not stored
    char change;         // from picture 5: 'L' light on, 'N' grey night; 'D' dusk throughout
    bool zone, clock;    // an ignore zone over the object's path; a clock drawn top left
    std::string expect;  // one verdict a picture
};

QImage picture(const Scene& s, int f) {
    QImage im(640, 360, QImage::Format_RGB32);
    std::uint32_t random = 2654435761u * (f + 1);
    const float light = s.change == 'L' && f < 5 ? 0.35f : s.change == 'D' ? 1 - 0.7f * f / 200 : 1;
    for (int y = 0; y < im.height(); ++y)
        for (int x = 0; x < im.width(); ++x) {
            const int v = 50 + 100 * x / im.width() + ((x / 40 + y / 30) & 1) * 50;
            int c[3] = {v, v * 4 / 5, 255 - v};
            if (s.change == 'N' && f >= 5) c[0] = c[1] = c[2] = 30 + c[2] * 3 / 5;
            for (int& k : c) {
                random = random * 1664525u + 1013904223u;
                const int n = s.noise ? int(random >> 16) % (2 * s.noise + 1) - s.noise : 0;
                k = std::clamp(int(k * light) + n, 0, 255);
            }
            im.setPixel(x, y, qRgb(c[0], c[1], c[2]));
        }
    QPainter p(&im);
    if (s.object > 0 && f >= s.from && f < s.to)
        p.fillRect(QRectF(20 + 8 * f, 120, s.object * 360, s.object * 360), QColor(20, 20, 20));
    if (s.clock) {  // "hh:mm:ss.zzz" in seven segments, 72 x 7 pixels
        const QString t = QTime(7, 47, 21).addMSecs(920 + 40 * f).toString("hh:mm:ss.zzz");
        const int on[10] = {0x3f, 0x06, 0x5b, 0x4f, 0x66, 0x6d, 0x7d, 0x07, 0x7f, 0x6f};
        const QRect seg[7] = {{1, 0, 4, 1}, {4, 0, 1, 4}, {4, 3, 1, 4}, {1, 6, 4, 1},
                              {0, 3, 1, 4}, {0, 0, 1, 4}, {1, 3, 4, 1}};
        for (int c = 0; c < t.size(); ++c)
            for (int k = 0; k < 7 && t[c].isDigit(); ++k)
                if (on[t[c].digitValue()] >> k & 1)
                    p.fillRect(seg[k].translated(8 + 6 * c, 8), Qt::white);
    }
    p.end();
    if (!s.jpeg) return im;
    QBuffer bytes;
    bytes.open(QIODevice::WriteOnly);
    im.save(&bytes, "JPG", s.jpeg);
    return QImage::fromData(bytes.data(), "JPG");
}

TEST(ActivityDetector, Scenes) {
    const std::string q(12, '.'), crossing = "-...AAAAAAAA..";
    // clang-format off
    const Scene scenes[] = {
        {"crossing",        S::Normal, 0.15f, 3, 12, 6,  0,  0,   false, false, crossing},
        {"crossing, Low",   S::Low,    0.15f, 3, 12, 6,  0,  0,   false, false, crossing},
        {"small, High",     S::High,   0.06f, 3, 12, 6,  0,  0,   false, false, crossing},
        {"too small",       S::Normal, 0.04f, 3, 12, 6,  0,  0,   false, false, "-" + q + "."},
        {"noise",           S::High,   0,     0, 0,  30, 0,  0,   false, false, "-" + q},
        {"jpeg still",      S::High,   0,     0, 0,  8,  30, 0,   false, false, "-" + q},
        {"jpeg crossing",   S::Normal, 0.15f, 3, 12, 8,  30, 0,   false, false, crossing},
        {"light on",        S::High,   0,     0, 0,  6,  0,  'L', false, false, "-....G" + q},
        {"night",           S::High,   0,     0, 0,  6,  0,  'N', false, false, "-....G" + q},
        {"dusk",            S::High,   0,     0, 0,  6,  0,  'D', false, false, "-" + std::string(199, '.')},
        {"ignore zone",     S::High,   0.15f, 3, 12, 6,  0,  0,   true,  false, "-" + q + "."},
        {"glitch",          S::High,   0.15f, 5, 6,  6,  0,  0,   false, false, "-" + q},
        {"clock",           S::Normal, 0,     0, 0,  6,  30, 0,   false, true,  "-" + q + q},
        {"clock, crossing", S::Normal, 0.15f, 3, 12, 6,  30, 0,   false, true,  crossing},
        {"off",             S::Off,    0.15f, 0, 12, 6,  0,  0,   false, false, "------"},
    };
    // clang-format on
    for (const Scene& s : scenes) {
        ActivityDetector d(s.sensitivity);
        if (s.zone) d.setIgnoreZones({QRectF(0, 0.3, 1, 0.3)});
        std::string got;
        for (std::size_t f = 0; f < s.expect.size(); ++f) {
            const auto v = d.feed(picture(s, int(f)));
            got += !v.judged ? '-' : v.globalChange ? 'G' : v.active ? 'A' : '.';
        }
        EXPECT_EQ(got, s.expect) << s.name;
        EXPECT_EQ(d.pixelsRead() == 0, s.sensitivity == S::Off) << s.name;
    }
}

// Sizes in a row, and planes too small or null: no verdict, never a read out
// of bounds (the sanitizer builds check that), and a new size restarts.
TEST(ActivityDetector, SizesInARow) {
    ActivityDetector d;
    std::vector<std::uint8_t> plane(1000 * 3, 100);
    const struct {
        int w, h, stride;
        bool judged;
    } frames[] = {
        {640, 3, 640, false},  {1, 1, 1, false},    {0, 0, 0, false},
        {999, 3, 1000, false}, {30, 20, 40, false}, {30, 20, 40, true},
        {20, 30, 20, false},   {20, 30, 20, true},  {5, 5, 4, false},  // stride below the width
    };
    for (const auto& f : frames)
        EXPECT_EQ(d.feedLuma(plane.data(), f.w, f.h, f.stride).judged, f.judged)
            << f.w << "x" << f.h;
    EXPECT_FALSE(d.feed(QImage()).judged);
    EXPECT_FALSE(d.feed(QImage(1, 1, QImage::Format_Mono)).judged);
}

}  // namespace
