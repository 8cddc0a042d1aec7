// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "rewindstore.h"
#include "videoframe.h"

namespace video {

// Watches a stream's bytes on their way to the demuxer for the heads of a
// multipart stream's parts, so that a part announcing more than
// kMaxFrameBytes is refused before any of it is read (the demuxer would
// first allocate and read all it announces). A stream is multipart when it
// begins with "--", as the multipart demuxer requires; a part's head is the
// lines from a boundary line (one beginning with "--") to the empty line,
// and the body of a part whose head announced its length is passed over
// unread, as the demuxer does; lines end where the demuxer's do. Holds one
// line of at most kMaxLine bytes.
class PartHeads {
public:
    static constexpr size_t kMaxLine = 256;
    // Looks at the next `size` bytes, and returns how many of them may go
    // on to the demuxer: all, or those up to the end of the first line that
    // announced too much (the parts before it are the stream's). Nothing
    // once a part was refused.
    int pass(const std::uint8_t* data, int size);

private:
    void endLine();

    enum class State { Start, Body, Head, Skip, Off } state_ = State::Start;
    std::string line_;            // the line so far, cut at kMaxLine
    std::int64_t announced_ = 0;  // by the head being read; 0: nothing
    std::int64_t skip_ = 0;       // body bytes left to pass over
    bool afterReturn_ = false;    // the last line ended at a carriage return
    bool refused_ = false;
};

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
//
// A frame may take at most kMaxFrameBytes before it is decoded: a part of a
// multipart stream that announces more is refused at its head, and once
// the demuxer has been handed more than that (and the read-ahead) since it
// last gave a packet, the stream ends with RefusedSize. A part that never
// ends, or one chunk of endless bytes, is never held whole.
class VideoDecoder {
public:
    // Fills `data` with up to `size` bytes: the count, 0 at the end of the
    // stream, or a negative AVERROR code.
    using Read = std::function<int(std::uint8_t* data, int size)>;
    using Interrupted = std::function<bool()>;
    // Asked before each frame is scaled, so that a resize shows at once.
    using TargetOf = std::function<Target()>;
    using Sink = std::function<void(VideoFrame&&)>;
    // Takes what arrived, for going back in time later: an H.264 or H.265
    // stream's configuration before its first packet and then every packet
    // as demuxed, an MJPEG stream's pictures as stills; called on the
    // decoding thread with the arrival time.
    using Keep = std::function<void(RewindStore::Part&&)>;

    VideoDecoder(Read read, Interrupted interrupted);
    void setKeep(Keep keep) { keep_ = std::move(keep); }

    // Returns Ended, NotVideo, CodecUnavailable, RefusedSize, or Stopped when
    // `interrupted` ended it, or ConnectionFailed when `read` failed.
    VideoStatus run(const TargetOf& target, const Sink& sink);

private:
    static int readPacket(void* self, std::uint8_t* data, int size);
    static int interruptCallback(void* self);

    Read read_;
    Interrupted interrupted_;
    Keep keep_;
    bool readFailed_ = false;
    bool refusedSize_ = false;
    std::int64_t sincePacket_ = 0;  // bytes handed to the demuxer since its last packet
    PartHeads heads_;
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
DecodedBytes decodeBytes(const QByteArray& bytes, Target target, int maxFrames = 64,
                         const VideoDecoder::Keep& keep = {});

}  // namespace video
