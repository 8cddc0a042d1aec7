// SPDX-License-Identifier: GPL-3.0-or-later
// The demux, decode and scale path on streams held in memory: what comes out
// of each kind of stream, at what size, with what kept for saving.

#include "framemailbox.h"
#include "timestamp.h"
#include "videodecoder.h"

#include <QBuffer>
#include <QPainter>

#include <gtest/gtest.h>

#include <tuple>

#include "streams.h"

using namespace video;
using Codec = demo::TsVideoEncoder::Codec;

namespace {

constexpr std::int64_t kSent = 0x123456789AB;  // a send time, in ms

TEST(VideoDecode, EachKindOfStreamEndsAsItShould) {
    const QSize vga(320, 240);
    const QByteArray jpeg = demoJpeg(vga, kSent);
    const auto announcing = [](const QByteArray& body, const QByteArray& length) {
        return "--zorvanframe\r\nContent-Type: image/jpeg\r\n" + length + "\r\n\r\n" + body +
               "\r\n";
    };
    // Inside a part's announced length the words of a head are the part's.
    const QByteArray holdsAHead = jpeg + "\r\n--zorvanframe\r\nContent-Length: 2000000000\r\n\r\n";
    // clang-format off
    const struct { const char* name; QByteArray bytes; QSize target; VideoStatus status;
                   int frames; QSize size; bool keepsJpeg; } cases[] = {
        {"multipart JPEG", multipartOf(jpeg, 3), {160, 160}, VideoStatus::Ended, 3, {160, 120}, true},
        {"H.264 in MPEG-TS", transportStream(Codec::H264, vga, 5, kSent), {100, 100},
         VideoStatus::Ended, 5, {100, 75}, false},
        {"multipart JPEG, parts without lengths",
         multipartOf(jpeg, 3).replace("Content-Length: " + QByteArray::number(jpeg.size()) + "\r\n", ""),
         {160, 160}, VideoStatus::Ended, 3, {160, 120}, true},
        {"own size when none asked", multipartOf(jpeg, 1), {}, VideoStatus::Ended, 1, vga, true},
        {"MPEG-2 video", transportStream(Codec::Mpeg2, vga, 5, kSent), {100, 100},
         VideoStatus::CodecUnavailable, 0, {}, false},
        {"claims 60000x60000", multipartOf(claimingSize(jpeg, 60000, 60000), 2), {100, 100},
         VideoStatus::RefusedSize, 0, {}, false},
        {"claims 100 MP", multipartOf(claimingSize(jpeg, 10000, 10000), 2), {100, 100},
         VideoStatus::RefusedSize, 0, {}, false},
        {"a part announcing 2000000000 bytes", announcing(jpeg, "Content-Length: 2000000000") +
         multipartOf(jpeg, 1), {100, 100}, VideoStatus::RefusedSize, 0, {}, false},
        {"a later part announcing it in capitals", multipartOf(jpeg, 1) +
         announcing(jpeg, "CONTENT-LENGTH:  2000000000"), {160, 160}, VideoStatus::RefusedSize, 1, {160, 120}, true},
        {"a part of the bound's size", announcing(jpeg + QByteArray(kMaxFrameBytes - jpeg.size(), '\0'),
         "Content-Length: 33554432"), {160, 160}, VideoStatus::Ended, 1, {160, 120}, true},
        {"a part that holds a head's words", announcing(holdsAHead, "Content-Length: " +
         QByteArray::number(holdsAHead.size())), {160, 160}, VideoStatus::Ended, 1, {160, 120}, true},
        {"H.264 wider than 8192", transportStream(Codec::H264, {8194, 16}, 2, kSent), {100, 100},
         VideoStatus::RefusedSize, 0, {}, false},
        {"a playlist of other addresses", QByteArray("#EXTM3U\n#EXT-X-TARGETDURATION:1\n#EXTINF:1,\n"
         "file:///etc/passwd\nhttp://127.0.0.1:9/v.ts\n").repeated(40), {100, 100}, VideoStatus::NotVideo, 0, {}, false},
        {"an HTML page", QByteArray("<!DOCTYPE html><html><body>Log in</body></html>\n").repeated(80),
         {100, 100}, VideoStatus::NotVideo, 0, {}, false},
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const DecodedBytes out = decodeBytes(c.bytes, {c.target, {}});
        EXPECT_EQ(out.status, c.status) << statusText(out.status).toStdString();
        ASSERT_EQ(int(out.frames.size()), c.frames);
        for (const VideoFrame& f : out.frames) {
            EXPECT_EQ(f.image.size(), c.size);
            EXPECT_EQ(f.image.format(), QImage::Format_RGB32);
            EXPECT_EQ(f.saved == VideoFrame::Saved::AsSentJpeg, c.keepsJpeg);
            if (c.keepsJpeg) EXPECT_EQ(f.jpeg, jpeg);
            // A decoded frame is saved whole: the stream's size, not the view's.
            if (!c.keepsJpeg) EXPECT_EQ(f.full ? f.full().size() : QSize(), f.sourceSize);
        }
    }
}

TEST(VideoDecode, TheSendTimeReadsBackFromScaledFrames) {
    const QSize source(640, 480);
    const QByteArray streams[] = {transportStream(Codec::H264, source, 2, kSent),
                                  multipartOf(demoJpeg(source, kSent), 1)};
    for (const QSize target : {QSize(640, 480), QSize(320, 240), QSize(200, 200)}) {
        for (const QByteArray& bytes : streams) {
            const DecodedBytes out = decodeBytes(bytes, {target, {}});
            ASSERT_FALSE(out.frames.empty());
            EXPECT_EQ(demo::readTimeStamp(out.frames.back().image), kSent) << target.width();
        }
    }
}

TEST(VideoDecode, CropsBeforeScaling) {
    // The demo's first camera has a white bar at the top left, a seventh of
    // the width: a crop inside it shows white alone, the whole picture not.
    const QByteArray bytes = multipartOf(demoJpeg({700, 480}, kSent), 1);
    const auto whiteShare = [&](QRectF crop) {
        const QImage image = decodeBytes(bytes, {{90, 90}, crop}).frames.at(0).image;
        int white = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) white += qGray(image.pixel(x, y)) > 230;
        return double(white) / (image.width() * image.height());
    };
    EXPECT_GT(whiteShare({0.01, 0.3, 0.12, 0.3}), 0.95);
    EXPECT_LT(whiteShare({}), 0.5);
    EXPECT_LT(whiteShare({0.5, 0.3, 0.12, 0.3}), 0.05);  // the yellow and cyan bars
}

TEST(VideoDecode, ScaledFramesKeepTheirColours) {
    // Four flat quarters whose colours move when a range, the colour matrix,
    // the crop or the right or bottom edge goes wrong.
    const QRgb quarters[] = {qRgb(220, 220, 220), qRgb(30, 30, 30), qRgb(200, 60, 40),
                             qRgb(40, 90, 210)};
    QImage picture(320, 240, QImage::Format_RGB32);
    QPainter painter(&picture);
    for (int q = 0; q < 4; ++q) painter.fillRect(q % 2 * 160, q / 2 * 120, 160, 120, quarters[q]);
    painter.end();
    QByteArray jpeg;  // full range
    QBuffer buffer(&jpeg);
    buffer.open(QIODevice::WriteOnly);
    picture.save(&buffer, "JPG", 95);
    demo::TsVideoEncoder encoder(picture.size(), 25);  // limited range
    const QByteArray ts = QByteArray::fromStdString(encoder.encode(picture) + encoder.finish());
    const QRectF all, lastQuarter(0.5, 0.5, 0.5, 0.5);
    // clang-format off
    const struct { const char* name; QByteArray bytes; QSize target; QRectF crop; } cases[] = {
        {"JPEG at its own size", multipartOf(jpeg, 1), {320, 240}, all},
        {"JPEG scaled", multipartOf(jpeg, 1), {100, 100}, all},
        {"H.264 scaled", ts, {100, 100}, all},
        {"H.264 cropped to a quarter", ts, {103, 90}, lastQuarter},
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const DecodedBytes out = decodeBytes(c.bytes, {c.target, c.crop});
        ASSERT_EQ(out.frames.size(), 1u);
        const QImage& image = out.frames[0].image;
        const int w = image.width(), h = image.height();
        // Inside each quarter, away from its edges, and at the far corner.
        const bool whole = !c.crop.isValid();
        for (const auto [x, y, q] : {std::tuple{w / 4, h / 4, 0},
                                     {3 * w / 4, h / 4, 1},
                                     {w / 4, 3 * h / 4, 2},
                                     {3 * w / 4, 3 * h / 4, 3},
                                     {w - 1, h - 1, 3}}) {
            const QRgb want = quarters[whole ? q : 3], got = image.pixel(x, y);
            EXPECT_NEAR(qRed(got), qRed(want), 8) << x << "," << y;
            EXPECT_NEAR(qGreen(got), qGreen(want), 8) << x << "," << y;
            EXPECT_NEAR(qBlue(got), qBlue(want), 8) << x << "," << y;
        }
    }
}

TEST(VideoDecode, TheMailboxKeepsOnlyTheNewestFrame) {
    FrameMailbox box;
    for (std::uint64_t n = 1; n <= 100; ++n) {
        VideoFrame frame;
        frame.image = QImage(64, 48, QImage::Format_RGB32);
        frame.number = n;
        EXPECT_EQ(box.put(std::move(frame)), n == 1);
    }
    EXPECT_EQ(box.dropped(), 99u);
    EXPECT_EQ(box.take()->number, 100u);
    EXPECT_FALSE(box.take());
}

}  // namespace
