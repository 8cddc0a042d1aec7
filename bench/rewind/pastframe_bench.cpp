// SPDX-License-Identifier: GPL-3.0-or-later
// Going back in a kept 1080p H.264 video: five minutes of it in a rewind
// store (25 frames a second, a key frame every 2 s, about 4 Mbit/s of noisy
// moving pictures made with libx264), and the picture at a moment 4 minutes
// back asked of a PastDecoder as a 960x540 cell would:
//   Jump: a new decoder each time, at the end of a key frame group (49
//         packets after its key frame), the most a jump decodes;
//   JumpReused: one decoder, at the end of another group each time;
//   Forward: playing on, one packet a picture.
// Times are wall clock per picture shown.

#include "keptvideo.h"
#include "pastframe.h"
#include "rewindstore.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/log.h>
#include <libavutil/opt.h>
}

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <vector>

namespace {

using Part = RewindStore::Part;
constexpr int kFps = 25, kGop = 50, kGroups = 150;  // 5 minutes
constexpr qint64 kStepMs = 1000 / kFps;
constexpr qint64 kFirst = 1765000000000;
constexpr qint64 kEnd = kFirst + qint64(kGroups) * kGop * kStepMs;
const video::Target kCell{QSize(960, 540), {}};

struct Encoded {
    QByteArray config;
    std::vector<QByteArray> packets;  // one key frame group
};

Encoded encodeGroup() {
    av_log_set_level(AV_LOG_ERROR);
    Encoded out;
    const AVCodec* codec = avcodec_find_encoder_by_name("libx264");
    if (!codec) return out;
    AVCodecContext* e = avcodec_alloc_context3(codec);
    e->width = 1920, e->height = 1080, e->pix_fmt = AV_PIX_FMT_YUV420P;
    e->time_base = {1, kFps}, e->gop_size = kGop, e->max_b_frames = 0;
    e->bit_rate = 4'000'000, e->rc_max_rate = 4'000'000, e->rc_buffer_size = 4'000'000;
    av_opt_set(e->priv_data, "preset", "veryfast", 0);
    av_opt_set(e->priv_data, "x264-params", "scenecut=0:min-keyint=50", 0);
    if (avcodec_open2(e, codec, nullptr) < 0) return out;
    AVCodecParameters* par = avcodec_parameters_alloc();
    avcodec_parameters_from_context(par, e);
    out.config = video::encodeKeptConfig(*par);
    avcodec_parameters_free(&par);
    AVFrame* f = av_frame_alloc();
    f->width = e->width, f->height = e->height, f->format = e->pix_fmt;
    av_frame_get_buffer(f, 0);
    AVPacket* p = av_packet_alloc();
    std::uint32_t seed = 1;
    for (int n = 0; n <= kGop; ++n) {
        av_frame_make_writable(f);
        for (int y = 0; y < f->height; ++y)
            for (int x = 0; x < f->width; ++x) {
                seed = seed * 1664525u + 1013904223u;
                f->data[0][y * f->linesize[0] + x] =
                    std::uint8_t(((x + 4 * n) ^ (y + 2 * n)) / 2 + (seed >> 28));
            }
        for (int plane = 1; plane < 3; ++plane)
            for (int y = 0; y < f->height / 2; ++y)
                std::memset(f->data[plane] + y * f->linesize[plane], 96 + (y + n) % 64,
                            size_t(f->width / 2));
        f->pts = n;
        avcodec_send_frame(e, n < kGop ? f : nullptr);
        while (avcodec_receive_packet(e, p) == 0) {
            out.packets.emplace_back(reinterpret_cast<char*>(p->data), p->size);
            av_packet_unref(p);
        }
    }
    av_packet_free(&p);
    av_frame_free(&f);
    avcodec_free_context(&e);
    return out;
}

RewindStore& keptVideo() {
    static RewindStore* store = [] {
        auto* s = new RewindStore(QString{});
        const Encoded group = encodeGroup();
        s->append("cam", {Part::Kind::VideoConfig, kFirst, group.config, false});
        qint64 bytes = 0;
        for (int g = 0; g < kGroups; ++g)
            for (size_t i = 0; i < group.packets.size(); ++i) {
                QByteArray copy = group.packets[i];
                copy.detach();
                bytes += copy.size();
                const qint64 t = kFirst + (qint64(g) * kGop + qint64(i)) * kStepMs;
                s->append("cam", {Part::Kind::VideoPacket, t, copy, i == 0});
            }
        std::printf("kept: %d packets, %.1f Mbit/s\n", kGroups * int(group.packets.size()),
                    double(bytes) * 8 / (double(kEnd - kFirst) / 1000) / 1e6);
        return s;
    }();
    return *store;
}

// The end of the key frame group that is 4 minutes back, plus `groups`.
qint64 fourMinutesBack(int groups) {
    const qint64 group = (kEnd - 4 * 60'000 - kFirst) / (kGop * kStepMs) + groups;
    return kFirst + (group * kGop + kGop - 1) * kStepMs;
}

void BM_Jump(benchmark::State& state) {
    RewindStore& store = keptVideo();
    for (auto _ : state) {
        video::PastDecoder decoder;
        if (!decoder.show(store, "cam", fourMinutesBack(0), kCell)) state.SkipWithError("none");
    }
}

void BM_JumpReused(benchmark::State& state) {
    RewindStore& store = keptVideo();
    video::PastDecoder decoder;
    int groups = 0;
    for (auto _ : state)
        if (!decoder.show(store, "cam", fourMinutesBack(groups++ % 20), kCell))
            state.SkipWithError("none");
}

void BM_Forward(benchmark::State& state) {
    RewindStore& store = keptVideo();
    video::PastDecoder decoder;
    qint64 t = fourMinutesBack(0) - (kGop - 1) * kStepMs;
    for (auto _ : state) {
        if (!decoder.show(store, "cam", t, kCell)) state.SkipWithError("none");
        t += kStepMs;
    }
}

}  // namespace

BENCHMARK(BM_Jump)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3);
BENCHMARK(BM_JumpReused)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3);
BENCHMARK(BM_Forward)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(400);
BENCHMARK_MAIN();
