// The picture decoder against Qt's own readers: the same pixels for every
// kind of picture a server may send, and no picture (rather than a huge
// allocation or endless work) for hostile ones.

#include <QBuffer>
#include <QImage>
#include <QImageWriter>
#include <QPainter>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "picturedecoder.h"

namespace {

QByteArray encode(const QImage& image, const char* format, bool progressive = false) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    writer.setQuality(90);
    writer.setProgressiveScanWrite(progressive);
    EXPECT_TRUE(writer.write(image)) << writer.errorString().toStdString();
    return bytes;
}

// Four coloured quarters and a gradient: any mix-up of channels shows.
QImage colourPicture(int w = 64, int h = 48) {
    QImage image(w, h, QImage::Format_RGB32);
    QPainter p(&image);
    p.fillRect(0, 0, w / 2, h / 2, QColor(220, 30, 30));
    p.fillRect(w / 2, 0, w - w / 2, h / 2, QColor(30, 200, 40));
    p.fillRect(0, h / 2, w / 2, h - h / 2, QColor(20, 40, 230));
    QLinearGradient g(0, 0, w, 0);
    g.setColorAt(0, Qt::black);
    g.setColorAt(1, Qt::yellow);
    p.fillRect(w / 2, h / 2, w - w / 2, h - h / 2, g);
    return image;
}

// The JPEG's first scan repeated: a progressive picture with more scans
// than any real one has, each a warning and not an error to libjpeg.
QByteArray withRepeatedScan(const QByteArray& jpeg, int copies) {
    std::vector<qsizetype> scans;
    for (qsizetype i = 0; i + 1 < jpeg.size(); ++i) {
        if (static_cast<unsigned char>(jpeg[i]) == 0xff &&
            static_cast<unsigned char>(jpeg[i + 1]) == 0xda)
            scans.push_back(i);
    }
    if (scans.size() < 2) return {};
    const QByteArray scan = jpeg.mid(scans[0], scans[1] - scans[0]);
    return jpeg.left(scans[1]) + scan.repeated(copies) + jpeg.mid(scans[1]);
}

// A baseline JPEG whose frame header claims width x height.
QByteArray withClaimedSize(QByteArray jpeg, int width, int height) {
    const qsizetype sof = jpeg.indexOf(QByteArray("\xff\xc0", 2));
    if (sof < 0) return {};
    jpeg[sof + 5] = static_cast<char>(height >> 8);
    jpeg[sof + 6] = static_cast<char>(height & 0xff);
    jpeg[sof + 7] = static_cast<char>(width >> 8);
    jpeg[sof + 8] = static_cast<char>(width & 0xff);
    return jpeg;
}

int maxChannelDifference(const QImage& a, const QImage& b) {
    int worst = 0;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            worst = std::max({worst, std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)),
                              std::abs(qBlue(p) - qBlue(q)), std::abs(qAlpha(p) - qAlpha(q))});
        }
    }
    return worst;
}

TEST(PictureDecoder, ShowsWhatQtsReadersShowAndNothingForHostilePictures) {
    const QByteArray colourJpeg = encode(colourPicture(), "JPG");
    // Big enough for the decoder's huge-page buffers.
    const QByteArray largeJpeg = encode(colourPicture(640, 480), "JPG");
    const qsizetype sos = colourJpeg.indexOf(QByteArray("\xff\xda", 2));
    QImage grey = colourPicture().convertToFormat(QImage::Format_Grayscale8);
    QImage withAlpha = colourPicture().convertToFormat(QImage::Format_ARGB32);
    withAlpha.setPixel(3, 3, qRgba(10, 20, 30, 40));

    struct Case {
        std::string name;
        QByteArray bytes;
        bool shown;  // a picture comes out; when it does, it is Qt's picture
    };
    const std::vector<Case> cases = {
        {"colour JPEG", colourJpeg, true},
        {"640x480 colour JPEG", largeJpeg, true},
        {"odd-sized colour JPEG", encode(colourPicture(37, 23), "JPG"), true},
        {"grey JPEG", encode(grey, "JPG"), true},
        {"progressive JPEG", encode(colourPicture(), "JPG", true), true},
        {"PNG with transparency", encode(withAlpha, "PNG"), true},
        {"JPEG cut inside its picture data", colourJpeg.left(sos + (colourJpeg.size() - sos) / 2),
         true},
        {"JPEG cut inside its tables", colourJpeg.left(sos / 2), false},
        {"JPEG start then noise", QByteArray("\xff\xd8\xff\x00garbage", 11), false},
        {"nothing", QByteArray(), false},
        {"text", QByteArray("<html>not found</html>"), false},
        {"frame claiming 60000x60000", withClaimedSize(colourJpeg, 60000, 60000), false},
        {"100 repeats of a scan", withRepeatedScan(encode(colourPicture(16, 16), "JPG", true), 100),
         true},
        {"600 repeats of a scan", withRepeatedScan(encode(colourPicture(16, 16), "JPG", true), 600),
         false},
    };

    // A picture a view still holds must come through every later decode
    // untouched: decode buffers are reused only when nobody holds them.
    const QImage held = PictureDecoder::decode(largeJpeg);
    const QImage heldCopy = held.copy();

    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_FALSE(c.name != "nothing" && c.bytes.isEmpty()) << "the case was not built";
        const QImage image = PictureDecoder::decode(c.bytes);
        ASSERT_EQ(!image.isNull(), c.shown);
        if (!c.shown) continue;
        const QImage expected = QImage::fromData(c.bytes);
        ASSERT_FALSE(expected.isNull());
        ASSERT_EQ(image.size(), expected.size());
        EXPECT_LE(maxChannelDifference(image, expected), 1);
        EXPECT_EQ(image.hasAlphaChannel(), expected.hasAlphaChannel());
    }
    EXPECT_EQ(held, heldCopy);
}

}  // namespace
