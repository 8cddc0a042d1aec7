// SPDX-License-Identifier: GPL-3.0-or-later
// The picture decoder against Qt's own readers: the same pixels for every
// kind of picture a server may send, and no picture (rather than a huge
// allocation or endless work) for hostile ones.

#include <QBuffer>
#include <QImage>
#include <QImageWriter>
#include <QPainter>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "picturedecoder.h"

namespace {

QByteArray encode(const QImage& image, const char* format, bool progressive = false) {
    QByteArray bytes;
    QBuffer buffer(&bytes);  // the writer opens it
    QImageWriter writer(&buffer, format);
    writer.setQuality(90);
    writer.setProgressiveScanWrite(progressive);
    EXPECT_TRUE(writer.write(image)) << writer.errorString().toStdString();
    return bytes;
}

// Four coloured quarters: any mix-up of channels shows.
QImage colourPicture(int w = 64, int h = 48) {
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(QColor(230, 220, 20));
    QPainter p(&image);
    p.fillRect(0, 0, w / 2, h / 2, QColor(220, 30, 30));
    p.fillRect(w / 2, 0, w - w / 2, h / 2, QColor(30, 200, 40));
    p.fillRect(0, h / 2, w / 2, h - h / 2, QColor(20, 40, 230));
    return image;
}

// The JPEG's first scan repeated: a progressive picture with more scans
// than any real one has, each a warning and not an error to libjpeg.
QByteArray withRepeatedScan(const QByteArray& jpeg, int copies) {
    const QByteArray sos("\xff\xda", 2);
    const qsizetype first = jpeg.indexOf(sos), second = jpeg.indexOf(sos, first + 1);
    if (first < 0 || second < 0) return {};
    return jpeg.left(second) + jpeg.mid(first, second - first).repeated(copies) + jpeg.mid(second);
}

// A baseline JPEG whose frame header claims width x height.
QByteArray withClaimedSize(QByteArray jpeg, int width, int height) {
    const qsizetype sof = jpeg.indexOf(QByteArray("\xff\xc0", 2));
    if (sof < 0) return {};
    const char size[] = {char(height >> 8), char(height & 0xff), char(width >> 8),
                         char(width & 0xff)};
    return jpeg.replace(sof + 5, 4, size, 4);
}

// The largest and the mean difference of a channel between two pictures.
std::pair<int, double> channelDifference(const QImage& a, const QImage& b) {
    int worst = 0;
    double sum = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            for (const int shift : {0, 8, 16, 24}) {
                const int d = std::abs(int(a.pixel(x, y) >> shift & 0xff) -
                                       int(b.pixel(x, y) >> shift & 0xff));
                worst = std::max(worst, d);
                sum += d;
            }
    return {worst, sum / (4.0 * a.width() * a.height())};
}

TEST(PictureDecoder, ShowsWhatQtsReadersShowAndNothingForHostilePictures) {
    const QByteArray colourJpeg = encode(colourPicture(), "JPG");
    // Big enough for the decoder's huge-page buffers.
    const QByteArray largeJpeg = encode(colourPicture(640, 480), "JPG");
    const QByteArray hdJpeg = encode(colourPicture(1920, 1080), "JPG");
    const qsizetype sos = colourJpeg.indexOf(QByteArray("\xff\xda", 2));
    QImage withAlpha = colourPicture().convertToFormat(QImage::Format_ARGB32);
    withAlpha.setPixel(3, 3, qRgba(10, 20, 30, 40));
    // A few bytes whose header claims 5700x5700: its picture data runs out
    // at once, and libjpeg fills the rest in.
    const QByteArray claimsHuge = withClaimedSize(encode(colourPicture(8, 8), "JPG"), 5700, 5700);

    const QSize full;  // a view without a size: the whole picture
    // size: of the picture that comes out; empty: none comes out. When one
    // comes out, it is Qt's picture, at this size (compare): exactly when
    // Qt's reader makes this size itself, roughly when it is scaled.
    // clang-format off
    struct Case { std::string name; QByteArray bytes; QSize asked, size; bool compare = true; };
    const std::vector<Case> cases = {
        {"colour JPEG", colourJpeg, full, {64, 48}},
        {"640x480 colour JPEG", largeJpeg, full, {640, 480}},
        {"odd-sized colour JPEG", encode(colourPicture(37, 23), "JPG"), full, {37, 23}},
        {"grey JPEG", encode(colourPicture().convertToFormat(QImage::Format_Grayscale8), "JPG"), full, {64, 48}},
        {"progressive JPEG", encode(colourPicture(), "JPG", true), full, {64, 48}},
        {"PNG with transparency", encode(withAlpha, "PNG"), full, {64, 48}},
        {"JPEG cut inside its picture data", colourJpeg.left(sos + (colourJpeg.size() - sos) / 2), full, {64, 48}},
        {"JPEG cut inside its tables", colourJpeg.left(sos / 2), full, {}},
        {"JPEG start then noise", QByteArray("\xff\xd8\xff\x00garbage", 11), full, {}},
        {"nothing", QByteArray(), full, {}},
        {"text", QByteArray("<html>not found</html>"), full, {}},
        {"frame claiming 60000x60000", withClaimedSize(colourJpeg, 60000, 60000), full, {}},
        {"100 repeats of a scan", withRepeatedScan(encode(colourPicture(16, 16), "JPG", true), 100), full, {16, 16}},
        {"600 repeats of a scan", withRepeatedScan(encode(colourPicture(16, 16), "JPG", true), 600), full, {}},
        // Decoded at the smallest of 1/1, 1/2, 1/4, 1/8 that still covers
        // the picture fitted into the asked size.
        {"1920x1080 asked at 480x270: 1/4", hdJpeg, {480, 270}, {480, 270}},
        {"1920x1080 asked at 500x280: 1/2", hdJpeg, {500, 280}, {960, 540}},
        {"1920x1080 asked at 200x100: 1/8", hdJpeg, {200, 100}, {240, 135}},
        {"1920x1080 asked square: fits its width", hdJpeg, {480, 480}, {480, 270}},
        {"1920x1080 asked at 1920x1080: whole", hdJpeg, {1920, 1080}, {1920, 1080}},
        {"64x48 asked larger: whole", colourJpeg, {640, 480}, {64, 48}},
        {"1920x1080 PNG asked at 480x270", encode(colourPicture(1920, 1080), "PNG"), {480, 270}, {480, 270}},
        {"5700x5700 claimed, asked at 320x240: 1/8", claimsHuge, {320, 240}, {713, 713}, false},
        // A camera that ignores the asked size still shows in a small cell
        // (91x59: 25 cells on a small window): its 1/8 is far more than 64
        // times the cell, but no more than a real camera's picture.
        {"8K camera in a 91x59 cell: 1/8", withClaimedSize(colourJpeg, 7680, 4320), {91, 59}, {960, 540}, false},
        {"24 MP camera in a 91x59 cell: 1/8", withClaimedSize(colourJpeg, 6000, 4000), {91, 59}, {750, 500}, false},
        {"1920x1080 PNG asked at 16x9: 1/8", encode(colourPicture(1920, 1080), "PNG"), {16, 9}, {240, 135}},
        // Even at 1/8 beyond any camera and more than 64 times the asked
        // pixels: refused before decoding, whatever the format.
        {"65500x65500 claimed, asked at 91x59", withClaimedSize(colourJpeg, 65500, 65500), {91, 59}, {}},
        {"16392x16392 claimed, asked at 32x24", withClaimedSize(colourJpeg, 16392, 16392), {32, 24}, {}},
    };
    // clang-format on

    // A picture a view still holds must come through every later decode
    // untouched: decode buffers are reused only when nobody holds them.
    const QImage held = PictureDecoder::decode(largeJpeg, full);
    const QImage heldCopy = held.copy();

    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_FALSE(c.name != "nothing" && c.bytes.isEmpty()) << "the case was not built";
        const QImage image = PictureDecoder::decode(c.bytes, c.asked);
        ASSERT_EQ(image.isNull() ? QSize() : image.size(), c.size);
        if (image.isNull() || !c.compare) continue;
        QImage expected = QImage::fromData(c.bytes);
        ASSERT_FALSE(expected.isNull());
        EXPECT_EQ(image.hasAlphaChannel(), expected.hasAlphaChannel());
        if (expected.size() == c.size) {
            EXPECT_LE(channelDifference(image, expected).first, 1);
        } else {
            // A wrong scale or channel order is far off; the scaled
            // transform's own rounding at the quarters' edges is not.
            expected = expected.scaled(c.size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
            EXPECT_LE(channelDifference(image, expected).second, 1.5);
        }
    }
    EXPECT_EQ(held, heldCopy);
}

}  // namespace
