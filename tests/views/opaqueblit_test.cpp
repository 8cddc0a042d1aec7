// The streaming copy of an opaque picture into a raster painter's image:
// where it draws, it must draw exactly what drawImage() draws; where it
// cannot, it must leave the target alone and say so.

#include <QImage>
#include <QPaintEvent>
#include <QPainter>
#include <QWidget>

#include <gtest/gtest.h>

#include <functional>

#include "opaqueblit.h"

namespace {

// A picture whose every pixel differs from its neighbours, so that a
// misplaced row or column shows.
QImage pattern(QSize size, QImage::Format format = QImage::Format_RGB32) {
    QImage image(size, format);
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width(); ++x) image.setPixel(x, y, qRgb(x * 7, y * 11, x ^ y));
    return image;
}

// Paints the picture in its paint event, streamed or with drawImage().
class Cell : public QWidget {
public:
    Cell(QImage picture, bool stream) : picture_(std::move(picture)), stream_(stream) {
        resize(64, 48);
    }
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        if (!stream_ || !(streamed = OpaqueBlit::draw(p, {3, 2}, picture_)))
            p.drawImage(QPoint(3, 2), picture_);
    }
    bool streamed = false;

private:
    QImage picture_;
    bool stream_;
};

}  // namespace

TEST(OpaqueBlit, DrawsWhatDrawImageDrawsOrNothing) {
    struct Case {
        const char* name;
        QImage::Format target;
        QImage::Format source;
        std::function<void(QPainter&)> setUp;
        QPoint at;
        bool streams;
    };
    const auto none = [](QPainter&) {};
    const Case cases[] = {
        {"plain", QImage::Format_RGB32, QImage::Format_RGB32, none, {5, 4}, true},
        {"premultiplied target, moved painter",
         QImage::Format_ARGB32_Premultiplied,
         QImage::Format_RGB32,
         [](QPainter& p) { p.translate(7, -3); },
         {5, 4},
         true},
        {"partly outside on all sides",
         QImage::Format_RGB32,
         QImage::Format_RGB32,
         none,
         {-10, -6},
         true},
        {"beyond the right and bottom",
         QImage::Format_RGB32,
         QImage::Format_RGB32,
         none,
         {70, 40},
         true},
        {"painter's clip",
         QImage::Format_RGB32,
         QImage::Format_RGB32,
         [](QPainter& p) { p.setClipRect(0, 0, 20, 20); },
         {5, 4},
         false},
        {"scaled",
         QImage::Format_RGB32,
         QImage::Format_RGB32,
         [](QPainter& p) { p.scale(2, 2); },
         {5, 4},
         false},
        {"half a pixel over",
         QImage::Format_RGB32,
         QImage::Format_RGB32,
         [](QPainter& p) { p.translate(0.5, 0); },
         {5, 4},
         false},
        {"half opacity",
         QImage::Format_RGB32,
         QImage::Format_RGB32,
         [](QPainter& p) { p.setOpacity(0.5); },
         {5, 4},
         false},
        {"16-bit target", QImage::Format_RGB16, QImage::Format_RGB32, none, {5, 4}, false},
        {"picture with alpha", QImage::Format_RGB32, QImage::Format_ARGB32, none, {5, 4}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QImage picture = pattern({40, 30}, c.source);
        QImage expected(80, 50, c.target);
        expected.fill(Qt::gray);
        QImage got = expected;
        const QImage before = expected;
        {
            QPainter p(&expected);
            c.setUp(p);
            p.drawImage(c.at, picture);
        }
        bool streamed = false;
        {
            QPainter p(&got);
            c.setUp(p);
            streamed = OpaqueBlit::draw(p, c.at, picture);
        }
        EXPECT_EQ(streamed, c.streams);
        EXPECT_TRUE(got == (c.streams ? expected : before));
    }
}

TEST(OpaqueBlit, KeepsToThePaintEventsRegion) {
    // A widget painted into a larger image at an offset, only a part of it
    // asked for: the rest of the image keeps what it had.
    const QImage picture = pattern({50, 40});
    const QRegion part = QRegion(0, 0, 30, 20) + QRegion(40, 30, 24, 18);
    QImage images[2];
    for (int stream = 0; stream < 2; ++stream) {
        Cell cell(picture, stream == 1);
        images[stream] = QImage(100, 80, QImage::Format_ARGB32_Premultiplied);
        images[stream].fill(Qt::gray);
        cell.render(&images[stream], QPoint(9, 7), part, QWidget::RenderFlags());
        EXPECT_EQ(cell.streamed, stream == 1);
    }
    EXPECT_TRUE(images[0] == images[1]);
}
