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

#include "testutil.h"

#include <string>

namespace {

using Part = RewindStore::Part;
constexpr qint64 kT0 = 1'000'000;

// A camera's stream (Annex B, parameter sets before each key frame, a key
// frame a second): frame n arrives at kT0 + 40 n and shows a bright bar at
// x = 8 n, so that a picture tells which frame it is.
void keepNumberedVideo(RewindStore& store, const std::string& encoder, int frames) {
    av_log_set_level(AV_LOG_ERROR);
    const AVCodec* codec = avcodec_find_encoder_by_name(encoder.c_str());
    ASSERT_NE(codec, nullptr) << encoder;
    AVCodecContext* e = avcodec_alloc_context3(codec);
    e->width = 640, e->height = 96, e->pix_fmt = AV_PIX_FMT_YUV420P, e->time_base = {1, 25};
    e->gop_size = 25, e->max_b_frames = 0;
    av_opt_set(e->priv_data, "preset", "ultrafast", 0);
    av_opt_set(e->priv_data, (encoder.substr(3) + "-params").c_str(),
               encoder == "libx265" ? "scenecut=0:bframes=0:open-gop=0:log-level=error"
                                    : "scenecut=0:min-keyint=25:log=0",
               0);
    ASSERT_EQ(avcodec_open2(e, codec, nullptr), 0);
    AVCodecParameters* par = avcodec_parameters_alloc();
    avcodec_parameters_from_context(par, e);
    store.append("cam", {Part::Kind::VideoConfig, kT0, video::encodeKeptConfig(*par), false});
    avcodec_parameters_free(&par);
    AVFrame* f = av_frame_alloc();
    f->width = e->width, f->height = e->height, f->format = e->pix_fmt;
    av_frame_get_buffer(f, 0);
    AVPacket* p = av_packet_alloc();
    for (int n = 0; n <= frames; ++n) {
        for (int i = 0; i < f->linesize[0] * f->height; ++i)
            f->data[0][i] = i % f->linesize[0] / 8 == n ? 235 : 40;
        for (int plane = 1; plane < 3; ++plane)
            memset(f->data[plane], 128, f->linesize[plane] * 48);
        f->pts = n;
        avcodec_send_frame(e, n < frames ? f : nullptr);
        while (avcodec_receive_packet(e, p) == 0) {
            store.append("cam", {Part::Kind::VideoPacket, kT0 + 40 * p->pts,
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

class PastVideo : public testing::TestWithParam<const char*> {};
INSTANTIATE_TEST_SUITE_P(Codecs, PastVideo, testing::Values("libx264", "libx265"));

TEST_P(PastVideo, ShowsTheFrameJustBeforeTheMomentWhicheverWayItMoves) {
    RewindStore store(QString{});
    keepNumberedVideo(store, GetParam(), 75);
    // In this order on one decoder: a jump, forward in the group, back in
    // it, forward across groups, back across them, before anything kept.
    const std::pair<qint64, int> cases[] = {{405, 10},  {480, 12},  {519, 12}, {479, 11},
                                            {2400, 60}, {2460, 61}, {120, 3},  {9000, 74},
                                            {1000, 25}, {-1, -1}};
    video::PastDecoder playing;
    for (const auto& [at, frame] : cases) {
        SCOPED_TRACE(at);
        const std::optional<video::Past> past = playing.show(store, "cam", kT0 + at, {});
        EXPECT_EQ(frameNumber(past), frame);
        if (past) EXPECT_EQ(past->time, kT0 + 40 * frame);
        if (past) EXPECT_EQ(past->full().size(), QSize(640, 96));
        EXPECT_EQ(frameNumber(video::PastDecoder().show(store, "cam", kT0 + at, {})), frame);
    }
}

// A still shows fitted into the view, keeps its bytes for Save Picture, and
// is decoded once; damaged parts show nothing.
TEST(PastDecoder, StillsAndDamagedParts) {
    const QByteArray jpeg = QByteArray::fromStdString(jpegOf({320, 240}, Qt::gray));
    const auto config = [](AVCodecID codec) {
        AVCodecParameters par{};
        par.codec_type = AVMEDIA_TYPE_VIDEO, par.codec_id = codec, par.width = par.height = 64;
        return video::encodeKeptConfig(par);
    };
    const QByteArray garbage = QByteArray("\0\0\0\1\x65garbage", 12).repeated(50);
    const std::pair<QByteArray, QByteArray> cases[] = {{{}, jpeg},
                                                       {{}, "\xff\xd8\xff\xc0 not a picture"},
                                                       {"not a configuration", garbage},
                                                       {config(AV_CODEC_ID_MPEG2VIDEO), garbage},
                                                       {config(AV_CODEC_ID_H264), garbage}};
    for (const auto& [configuration, bytes] : cases) {
        RewindStore store(QString{});
        if (!configuration.isEmpty())
            store.append("cam", {Part::Kind::VideoConfig, 10, configuration, false});
        store.append("cam", {configuration.isEmpty() ? Part::Kind::Still : Part::Kind::VideoPacket,
                             20, bytes, true});
        video::PastDecoder decoder;
        const std::optional<video::Past> past = decoder.show(store, "cam", 30, {{100, 100}, {}});
        ASSERT_EQ(past.has_value(), bytes == jpeg);
        if (!past) continue;
        EXPECT_EQ(past->image.size(), QSize(100, 75));
        EXPECT_EQ(past->jpeg, jpeg);
        EXPECT_EQ(decoder.show(store, "cam", 40, {{100, 100}, {}})->image.cacheKey(),
                  past->image.cacheKey());
    }
}

}  // namespace
