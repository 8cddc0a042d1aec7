// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Owning handles for the FFmpeg objects the video layer uses, so that every
// path out of a function (an error, a stop) frees what it made. Only the
// video layer's sources include this header: FFmpeg's types stay out of the
// headers that the rest of the viewer sees.

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavformat/avio.h>
#include <libavutil/dict.h>
#include <libavutil/frame.h>
#include <libavutil/mem.h>
#include <libswscale/swscale.h>
}

#include <memory>

namespace video::av {

struct FormatCloser {
    void operator()(AVFormatContext* c) const { avformat_close_input(&c); }
};
struct CodecFreer {
    void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
struct FrameFreer {
    void operator()(AVFrame* f) const { av_frame_free(&f); }
};
struct PacketFreer {
    void operator()(AVPacket* p) const { av_packet_free(&p); }
};
struct ScalerFreer {
    void operator()(SwsContext* s) const { sws_freeContext(s); }
};
// The I/O context and the buffer it owns at the time (FFmpeg may have
// replaced the one it was given).
struct IoFreer {
    void operator()(AVIOContext* io) const {
        if (io) av_freep(&io->buffer);
        avio_context_free(&io);
    }
};
struct DictFreer {
    void operator()(AVDictionary* d) const { av_dict_free(&d); }
};

using Format = std::unique_ptr<AVFormatContext, FormatCloser>;
using Codec = std::unique_ptr<AVCodecContext, CodecFreer>;
using Frame = std::unique_ptr<AVFrame, FrameFreer>;
using Packet = std::unique_ptr<AVPacket, PacketFreer>;
using Scaler = std::unique_ptr<SwsContext, ScalerFreer>;
using Io = std::unique_ptr<AVIOContext, IoFreer>;

// An options dictionary that FFmpeg calls may take and give back: pass
// `&dict.raw` and let the destructor free what is left.
struct Dict {
    AVDictionary* raw = nullptr;
    Dict() = default;
    Dict(const Dict&) = delete;
    Dict& operator=(const Dict&) = delete;
    ~Dict() { av_dict_free(&raw); }
    void set(const char* key, const char* value) { av_dict_set(&raw, key, value, 0); }
};

}  // namespace video::av
