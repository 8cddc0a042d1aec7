// SPDX-License-Identifier: GPL-3.0-or-later
#include "pastframe.h"

#include "keptvideo.h"
#include "rewindstore.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/log.h>
#include <libavutil/opt.h>
}

#include <QBuffer>

#include <gtest/gtest.h>

namespace {

using Part = RewindStore::Part;
constexpr qint64 kFirstArrival = 1'000'000;

// H.264 as a camera sends it (Annex B, parameter sets before each key frame,
// a key frame a second): frame n arrives at kFirstArrival + 40 n and shows a bright
// bar at x = 8 n, so that a picture tells which frame it is.
void keepNumberedVideo(RewindStore& store, int frames) {
    av_log_set_level(AV_LOG_ERROR);
    const AVCodec* codec = avcodec_find_encoder_by_name("libx264");
    AVCodecContext* e = avcodec_alloc_context3(codec);
    e->width = 640, e->height = 96, e->pix_fmt = AV_PIX_FMT_YUV420P, e->time_base = {1, 25};
    e->gop_size = 25, e->max_b_frames = 0;
    av_opt_set(e->priv_data, "preset", "ultrafast", 0);
    av_opt_set(e->priv_data, "x264-params", "scenecut=0:min-keyint=25", 0);
    ASSERT_EQ(avcodec_open2(e, codec, nullptr), 0);
    AVCodecParameters* par = avcodec_parameters_alloc();
    avcodec_parameters_from_context(par, e);
    store.append("cam",
                 {Part::Kind::VideoConfig, kFirstArrival, video::encodeKeptConfig(*par), false});
    avcodec_parameters_free(&par);
    AVFrame* f = av_frame_alloc();
    f->width = e->width, f->height = e->height, f->format = e->pix_fmt;
    av_frame_get_buffer(f, 0);
    AVPacket* p = av_packet_alloc();
    for (int n = 0; n <= frames; ++n) {
        av_frame_make_writable(f);
        for (int y = 0; y < f->height; ++y)
            for (int x = 0; x < f->width; ++x)
                f->data[0][y * f->linesize[0] + x] = x / 8 == n ? 235 : 40;
        for (int plane = 1; plane < 3; ++plane)
            memset(f->data[plane], 128, f->linesize[plane] * 48);
        f->pts = n;
        avcodec_send_frame(e, n < frames ? f : nullptr);
        while (avcodec_receive_packet(e, p) == 0) {
            store.append("cam", {Part::Kind::VideoPacket, kFirstArrival + 40 * p->pts,
                                 QByteArray(reinterpret_cast<char*>(p->data), p->size),
                                 (p->flags & AV_PKT_FLAG_KEY) != 0});
            av_packet_unref(p);
        }
    }
    av_packet_free(&p);
    av_frame_free(&f);
    avcodec_free_context(&e);
}

// Which frame a picture shows: where its bright bar is; -1 for none.
int frameNumber(const std::optional<video::Past>& past) {
    if (!past || past->image.isNull()) return -1;
    int best = 0;
    for (int x = 0; x < past->image.width(); ++x)
        if (qGray(past->image.pixel(x, 48)) > qGray(past->image.pixel(best, 48))) best = x;
    return best / 8;
}

TEST(PastDecoder, ShowsTheFrameJustBeforeTheMomentWhicheverWayItMoves) {
    RewindStore store(QString{});
    keepNumberedVideo(store, 75);
    // In this order on one decoder: a jump, forward in the group, back in
    // it, forward across groups, back across them, before anything kept.
    const std::pair<qint64, int> cases[] = {{405, 10},  {480, 12},  {519, 12}, {479, 11},
                                            {2400, 60}, {2460, 61}, {120, 3},  {9000, 74},
                                            {1000, 25}, {-1, -1}};
    video::PastDecoder playing;
    for (const auto& [at, frame] : cases) {
        SCOPED_TRACE(at);
        const std::optional<video::Past> past = playing.show(store, "cam", kFirstArrival + at, {});
        EXPECT_EQ(frameNumber(past), frame);
        if (past) EXPECT_EQ(past->time, kFirstArrival + 40 * frame);
        if (past) EXPECT_EQ(past->full().size(), QSize(640, 96));
        EXPECT_EQ(frameNumber(video::PastDecoder().show(store, "cam", kFirstArrival + at, {})),
                  frame);
    }
}

QByteArray jpegOf(int gray) {
    QImage image(320, 240, QImage::Format_RGB32);
    image.fill(qRgb(gray, gray, gray));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPEG", 90);
    return bytes;
}

TEST(PastDecoder, ShowsTheStillBeforeTheMomentFittedAndDecodedOnce) {
    RewindStore store(QString{});
    for (int i = 1; i <= 3; ++i)
        store.append("cam", {Part::Kind::Still, 1000 * i, jpegOf(60 * i), true});
    video::PastDecoder decoder;
    for (const auto& [at, still] :
         {std::pair{999, 0}, {1000, 1}, {2500, 2}, {2998, 2}, {9000, 3}}) {
        SCOPED_TRACE(at);
        const std::optional<video::Past> past = decoder.show(store, "cam", at, {{100, 100}, {}});
        ASSERT_EQ(past.has_value(), still > 0);
        if (!past) continue;
        EXPECT_EQ(past->time, 1000 * still);
        EXPECT_EQ(past->image.size(), QSize(100, 75));
        EXPECT_NEAR(qGray(past->image.pixel(50, 37)), 60 * still, 4);
        EXPECT_EQ(past->jpeg, jpegOf(60 * still));
        EXPECT_EQ(decoder.show(store, "cam", at + 1, {{100, 100}, {}})->image.cacheKey(),
                  past->image.cacheKey());
    }
}

QByteArray configOf(AVCodecID codec) {
    AVCodecParameters par{};
    par.codec_type = AVMEDIA_TYPE_VIDEO, par.codec_id = codec, par.width = par.height = 64;
    return video::encodeKeptConfig(par);
}

TEST(PastDecoder, DamagedPartsShowNothing) {
    const QByteArray garbage = QByteArray("\0\0\0\1\x65garbage", 12).repeated(50);
    const std::vector<Part> cases[] = {
        {{Part::Kind::VideoConfig, 10, "not a config", false},
         {Part::Kind::VideoPacket, 20, garbage, true}},
        {{Part::Kind::VideoConfig, 10, configOf(AV_CODEC_ID_MPEG2VIDEO), false},
         {Part::Kind::VideoPacket, 20, garbage, true}},
        {{Part::Kind::VideoConfig, 10, configOf(AV_CODEC_ID_H264), false},
         {Part::Kind::VideoPacket, 20, garbage, true}},
        {{Part::Kind::Still, 10, "\xff\xd8\xff\xc0 not a picture", true}},
    };
    for (const std::vector<Part>& parts : cases) {
        RewindStore store(QString{});
        for (const Part& part : parts) store.append("cam", part);
        video::PastDecoder decoder;
        EXPECT_FALSE(decoder.show(store, "cam", 30, {{64, 64}, {}}));
        EXPECT_FALSE(decoder.show(store, "cam", 31, {{64, 64}, {}}));
    }
}

}  // namespace
