// SPDX-License-Identifier: GPL-3.0-or-later
#include "videofeed.h"

#include <cstdint>
#include <utility>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/opt.h>
#include <libswscale/swscale.h>
}

namespace demo {

std::string multipartContentType() {
    return std::string("multipart/x-mixed-replace;boundary=") + kMultipartBoundary;
}

std::string multipartPart(const QByteArray& jpeg) {
    std::string part =
        std::string("--") + kMultipartBoundary +
        "\r\nContent-Type: image/jpeg\r\nContent-Length: " + std::to_string(jpeg.size()) +
        "\r\n\r\n";
    part.append(jpeg.constData(), static_cast<size_t>(jpeg.size()));
    part += "\r\n";
    return part;
}

struct TsVideoEncoder::Impl {
    ~Impl() {
        if (muxer) {
            if (muxer->pb) {
                av_freep(&muxer->pb->buffer);
                avio_context_free(&muxer->pb);
            }
            avformat_free_context(muxer);
        }
        avcodec_free_context(&encoder);
        av_frame_free(&yuv);
        av_packet_free(&packet);
        sws_freeContext(sws);
    }

    static int write(void* self, std::uint8_t* data, int size) {
        static_cast<Impl*>(self)->out.append(reinterpret_cast<const char*>(data),
                                             static_cast<size_t>(size));
        return size;
    }

    // Sends `frame` (null: the end) and muxes every packet that comes out.
    bool push(AVFrame* frame) {
        if (avcodec_send_frame(encoder, frame) < 0) return false;
        while (avcodec_receive_packet(encoder, packet) == 0) {
            av_packet_rescale_ts(packet, encoder->time_base, muxer->streams[0]->time_base);
            packet->stream_index = 0;
            const int written = av_write_frame(muxer, packet);
            av_packet_unref(packet);
            if (written < 0) return false;
        }
        avio_flush(muxer->pb);
        return true;
    }

    AVCodecContext* encoder = nullptr;
    AVFormatContext* muxer = nullptr;
    AVFrame* yuv = nullptr;
    AVPacket* packet = nullptr;
    SwsContext* sws = nullptr;
    std::string out;
    std::int64_t pts = 0;
    bool headerWritten = false;
};

TsVideoEncoder::TsVideoEncoder(QSize size, int fps, Codec codec, int gop) {
    auto impl = std::make_unique<Impl>();
    const AVCodec* found = codec == Codec::H264 ? avcodec_find_encoder_by_name("libx264")
                                                : avcodec_find_encoder(AV_CODEC_ID_MPEG2VIDEO);
    if (!found || size.isEmpty() || fps <= 0) return;
    impl->encoder = avcodec_alloc_context3(found);
    if (!impl->encoder) return;
    AVCodecContext* e = impl->encoder;
    // Even sides: 4:2:0 pictures.
    e->width = size.width() & ~1;
    e->height = size.height() & ~1;
    e->pix_fmt = AV_PIX_FMT_YUV420P;
    e->time_base = {1, fps};
    e->framerate = {fps, 1};
    // By default a key frame a second: a viewer joining waits at most that.
    e->gop_size = gop > 0 ? gop : fps;
    e->max_b_frames = 0;
    e->bit_rate = 0;
    if (codec == Codec::H264) {
        av_opt_set(e->priv_data, "preset", "ultrafast", 0);
        av_opt_set(e->priv_data, "tune", "zerolatency", 0);
    } else {
        e->bit_rate = 2'000'000;
    }
    if (e->width < 2 || e->height < 2 || avcodec_open2(e, found, nullptr) < 0) return;

    if (avformat_alloc_output_context2(&impl->muxer, nullptr, "mpegts", nullptr) < 0) return;
    AVStream* stream = avformat_new_stream(impl->muxer, nullptr);
    auto* buffer = static_cast<std::uint8_t*>(av_malloc(4096));
    if (!stream || !buffer) return;
    impl->muxer->pb =
        avio_alloc_context(buffer, 4096, 1, impl.get(), nullptr, &Impl::write, nullptr);
    if (!impl->muxer->pb) {
        av_free(buffer);
        return;
    }
    impl->muxer->flags |= AVFMT_FLAG_CUSTOM_IO | AVFMT_FLAG_FLUSH_PACKETS;
    stream->time_base = e->time_base;
    if (avcodec_parameters_from_context(stream->codecpar, e) < 0) return;

    impl->yuv = av_frame_alloc();
    impl->packet = av_packet_alloc();
    if (!impl->yuv || !impl->packet) return;
    impl->yuv->format = e->pix_fmt;
    impl->yuv->width = e->width;
    impl->yuv->height = e->height;
    if (av_frame_get_buffer(impl->yuv, 0) < 0) return;
    impl_ = std::move(impl);
}

TsVideoEncoder::~TsVideoEncoder() = default;

std::string TsVideoEncoder::encode(const QImage& frame) {
    if (!impl_) return {};
    Impl& i = *impl_;
    if (!i.headerWritten) {
        // Each frame's packet says its length, so that a reader hands the
        // frame on as soon as its last byte is in, not when the next begins.
        AVDictionary* options = nullptr;
        av_dict_set(&options, "omit_video_pes_length", "0", 0);
        const int written = avformat_write_header(i.muxer, &options);
        av_dict_free(&options);
        if (written < 0) return {};
        i.headerWritten = true;
    }
    const QImage rgb = frame.convertToFormat(QImage::Format_RGB32);
    i.sws = sws_getCachedContext(i.sws, rgb.width(), rgb.height(), AV_PIX_FMT_RGB32,
                                 i.encoder->width, i.encoder->height, AV_PIX_FMT_YUV420P,
                                 SWS_BILINEAR, nullptr, nullptr, nullptr);
    if (!i.sws || av_frame_make_writable(i.yuv) < 0) return {};
    const std::uint8_t* planes[1] = {rgb.constBits()};
    const int strides[1] = {static_cast<int>(rgb.bytesPerLine())};
    sws_scale(i.sws, planes, strides, 0, rgb.height(), i.yuv->data, i.yuv->linesize);
    i.yuv->pts = i.pts++;
    i.push(i.yuv);
    return std::exchange(i.out, {});
}

std::string TsVideoEncoder::finish() {
    if (!impl_ || !impl_->headerWritten) return {};
    impl_->push(nullptr);
    av_write_trailer(impl_->muxer);
    avio_flush(impl_->muxer->pb);
    return std::exchange(impl_->out, {});
}

}  // namespace demo
