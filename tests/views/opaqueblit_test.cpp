// The streaming copy of an opaque picture into a raster painter's image:
// where it draws, exactly what drawImage() draws; elsewhere, nothing.

#include <QImage>
#include <QPainter>
#include <QWidget>

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

// Paints the picture in its paint event, streamed or with drawImage().
struct Cell : QWidget {
    explicit Cell(bool stream) : stream(stream) { resize(64, 48); }
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        if (!stream || !(streamed = OpaqueBlit::draw(p, {3, 2}, picture)))
            p.drawImage(QPoint(3, 2), picture);
    }
    const bool stream;
    bool streamed = false;
    QImage picture = pattern({50, 40});
};

}  // namespace

TEST(OpaqueBlit, DrawsWhatDrawImageDrawsOrNothing) {
    enum SetUp { None, Moved, Clipped, Scaled };
    const struct {
        const char* name;
        QImage::Format target;
        SetUp setUp;
        QPoint at;
        bool streams;
    } cases[] = {
        {"plain", QImage::Format_RGB32, None, {5, 4}, true},
        {"moved painter", QImage::Format_ARGB32_Premultiplied, Moved, {5, 4}, true},
        {"partly outside", QImage::Format_RGB32, None, {-10, 36}, true},
        {"painter's clip", QImage::Format_RGB32, Clipped, {5, 4}, false},
        {"scaled", QImage::Format_RGB32, Scaled, {5, 4}, false},
        {"16-bit target", QImage::Format_RGB16, None, {5, 4}, false},
    };
    const QImage picture = pattern({40, 30});
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QImage expected(80, 50, c.target), got(80, 50, c.target);
        expected.fill(Qt::gray);
        got.fill(Qt::gray);
        const QImage before = got;
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

TEST(OpaqueBlit, KeepsToThePaintEventsRegion) {
    // Rendered at an offset into a larger image, a part asked for: the
    // rest of the image keeps what it had.
    const QRegion part = QRegion(0, 0, 30, 20) + QRegion(40, 30, 24, 18);
    QImage images[2];
    for (int stream = 0; stream < 2; ++stream) {
        Cell cell(stream == 1);
        images[stream] = QImage(100, 80, QImage::Format_ARGB32_Premultiplied);
        images[stream].fill(Qt::gray);
        cell.render(&images[stream], QPoint(9, 7), part, QWidget::RenderFlags());
        EXPECT_EQ(cell.streamed, stream == 1);
    }
    EXPECT_TRUE(images[0] == images[1]);
}
