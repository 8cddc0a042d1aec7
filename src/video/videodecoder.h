// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>

#include <cstdint>
#include <functional>
#include <vector>

#include "videoframe.h"

namespace video {

// Demuxes, decodes and scales one live stream, whatever it comes from: the
// network (VideoPlayer) or bytes in memory (decodeBytes(), for the fuzzer
// and the tests). Runs on the calling thread until the stream ends, fails,
// or `interrupted` says to stop.
//
// Only containers that cameras stream in are probed (multipart JPEG, raw
// MJPEG, MPEG-TS, Matroska/WebM, MP4/MOV, raw H.264 and H.265), and only
// MJPEG, H.264 and H.265 are decoded: the rest of FFmpeg's parsers never see
// a server's bytes. Probing is kept short (32 KiB, 0.5 s of stream) and
// nothing is buffered ahead, so that the first frame shows early.
class VideoDecoder {
public:
    // Fills `data` with up to `size` bytes: the count, 0 at the end of the
    // stream, or a negative AVERROR code.
    using Read = std::function<int(std::uint8_t* data, int size)>;
    using Interrupted = std::function<bool()>;
    // Asked before each frame is scaled, so that a resize shows at once.
    using TargetOf = std::function<Target()>;
    using Sink = std::function<void(VideoFrame&&)>;

    VideoDecoder(Read read, Interrupted interrupted);

    // Returns Ended, NotVideo, CodecUnavailable, RefusedSize, or Stopped when
    // `interrupted` ended it, or ConnectionFailed when `read` failed.
    VideoStatus run(const TargetOf& target, const Sink& sink);

private:
    static int readPacket(void* self, std::uint8_t* data, int size);
    static int interruptCallback(void* self);

    Read read_;
    Interrupted interrupted_;
    bool readFailed_ = false;
};

// The size a picture of `source` pixels (after cropping) gets when fitted
// into `target` with its aspect kept: never larger than `target`, at least
// 1x1; `source` itself when `target` is empty.
QSize fittedSize(QSize source, QSize target);

// The in-memory path: every frame of `bytes`, decoded as a stream from the
// network would be (up to maxFrames), and how the stream ended.
struct DecodedBytes {
    std::vector<VideoFrame> frames;
    VideoStatus status = VideoStatus::Ended;
};
DecodedBytes decodeBytes(const QByteArray& bytes, Target target, int maxFrames = 64);

}  // namespace video
