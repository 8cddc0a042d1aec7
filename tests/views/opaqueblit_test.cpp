// SPDX-License-Identifier: GPL-3.0-or-later
// The streaming copy of an opaque picture into a raster painter's image:
// where it draws, exactly what drawImage() draws, within the paint event's
// region too; elsewhere, nothing.

#include <QImage>
#include <QPaintEngine>
#include <QPainter>

#include <gtest/gtest.h>

#include "opaqueblit.h"

namespace {

// Every pixel differs from its neighbours, so a misplaced one shows.
QImage pattern(QSize size) {
    QImage image(size, QImage::Format_RGB32);
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width(); ++x) image.setPixel(x, y, qRgb(x * 7, y * 11, x ^ y));
    return image;
}

}  // namespace

TEST(OpaqueBlit, DrawsWhatDrawImageDrawsOrNothing) {
    // System: the paint event's region, as a widget's paint event has it
    enum SetUp { None, Moved, Clipped, Scaled, System };
    // clang-format off
    struct Case { const char* name; QImage::Format target; SetUp setUp; QPoint at; bool streams; };
    const Case cases[] = {
        {"plain", QImage::Format_RGB32, None, {5, 4}, true},
        {"moved painter", QImage::Format_ARGB32_Premultiplied, Moved, {5, 4}, true},
        {"partly outside", QImage::Format_RGB32, None, {-10, 36}, true},
        {"painter's clip", QImage::Format_RGB32, Clipped, {5, 4}, false},
        {"scaled", QImage::Format_RGB32, Scaled, {5, 4}, false},
        {"16-bit target", QImage::Format_RGB16, None, {5, 4}, false},
        {"paint event's region", QImage::Format_ARGB32_Premultiplied, System, {5, 4}, true},
    };
    // clang-format on
    const QImage picture = pattern({40, 30});
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QImage got(80, 50, c.target);
        got.fill(Qt::gray);
        QImage expected = got.copy(), before = got.copy();
        const QRegion region = QRegion(0, 0, 30, 20) + QRegion(40, 30, 24, 18);
        for (QImage* image : {&expected, &got})
            if (c.setUp == System) image->paintEngine()->setSystemClip(region);
        const auto setUp = [&](QPainter& p) {
            if (c.setUp == Moved) p.translate(7, -3);
            if (c.setUp == Clipped) p.setClipRect(0, 0, 9, 9);
            if (c.setUp == Scaled) p.scale(2, 2);
        };
        {
            QPainter p(&expected);
            setUp(p);
            p.drawImage(c.at, picture);
        }
        QPainter p(&got);
        setUp(p);
        EXPECT_EQ(OpaqueBlit::draw(p, c.at, picture), c.streams);
        p.end();
        EXPECT_TRUE(got == (c.streams ? expected : before));
    }
}
