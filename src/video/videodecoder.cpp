// SPDX-License-Identifier: GPL-3.0-or-later
#include "videodecoder.h"

#include "avhandles.h"
#include "framescaler.h"
#include "keptvideo.h"

#include <QDateTime>

extern "C" {
#include <libavutil/error.h>
#include <libavutil/imgutils.h>
#include <libavutil/log.h>
#include <libavutil/pixdesc.h>
}

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <optional>
#include <string_view>
#include <vector>

namespace video {

namespace {

// The demuxers that may read a server's bytes, by FFmpeg's names.
constexpr char kFormats[] = "mpjpeg,mjpeg,mpegts,matroska,webm,mov,mp4,h264,hevc";
// The custom I/O reads the bytes: no demuxer may open anything else (a
// playlist's entries, a movie's external references). No protocol has this
// name, so every nested open is refused.
constexpr char kNoProtocols[] = "none";
constexpr int kIoBufferSize = 32 * 1024;
// What the demuxer may be handed between two packets: a frame's own bytes,
// its part's head and what is read ahead.
constexpr std::int64_t kMaxBetweenPackets = kMaxFrameBytes + 2 * kIoBufferSize;

bool decodable(AVCodecID id) {
    return id == AV_CODEC_ID_MJPEG || id == AV_CODEC_ID_H264 || id == AV_CODEC_ID_HEVC;
}

// The picture size a JPEG's frame header claims, read before decoding, so
// that a few bytes that claim a huge picture are refused without the
// decoder allocating for it.
std::optional<QSize> jpegSize(const std::uint8_t* data, int size) {
    int i = 2;
    while (i + 9 <= size) {
        if (data[i] != 0xFF) {
            ++i;
            continue;
        }
        const int marker = data[i + 1];
        if (marker == 0xFF || marker == 0x01 || (marker >= 0xD0 && marker <= 0xD9)) {
            i += marker == 0xFF ? 1 : 2;
            continue;
        }
        const bool frameHeader =
            marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
        if (frameHeader) {
            return QSize((data[i + 7] << 8) | data[i + 8], (data[i + 5] << 8) | data[i + 6]);
        }
        i += 2 + ((data[i + 2] << 8) | data[i + 3]);
    }
    return std::nullopt;
}

// The length a part's head line announces, as the multipart demuxer reads
// it (the name exactly, in any case; a missing or negative number is 0),
// capped just past kMaxFrameBytes; nothing when it is another line.
std::optional<std::int64_t> announcedLength(std::string_view line) {
    constexpr std::string_view name = "content-length";
    if (line.size() <= name.size() || line[name.size()] != ':') return std::nullopt;
    for (size_t i = 0; i < name.size(); ++i) {
        const char c = line[i] >= 'A' && line[i] <= 'Z' ? char(line[i] - 'A' + 'a') : line[i];
        if (c != name[i]) return std::nullopt;
    }
    size_t at = name.size() + 1;
    while (at < line.size() && (line[at] == ' ' || line[at] == '\t')) ++at;
    if (at < line.size() && line[at] == '+') ++at;
    std::int64_t length = 0;
    for (; at < line.size() && line[at] >= '0' && line[at] <= '9'; ++at)
        length = std::min(length * 10 + (line[at] - '0'), kMaxFrameBytes + 1);
    return length;
}

VideoStatus openFailure(int error) {
    if (error == AVERROR_DECODER_NOT_FOUND) return VideoStatus::CodecUnavailable;
    return VideoStatus::NotVideo;
}

}  // namespace

int PartHeads::pass(const std::uint8_t* data, int size) {
    if (refused_) return 0;
    int i = 0;
    while (i < size && !refused_ && state_ != State::Off) {
        // A line ends at a line feed, a carriage return (with the line feed
        // after it, if any) or a zero byte, as the demuxer reads lines.
        if (afterReturn_) {
            afterReturn_ = false;
            if (data[i] == '\n') {
                ++i;
                continue;
            }
        }
        if (state_ == State::Skip) {
            const auto n = static_cast<int>(std::min<std::int64_t>(skip_, size - i));
            skip_ -= n;
            i += n;
            if (skip_ == 0) state_ = State::Body;
            continue;
        }
        const auto c = static_cast<char>(data[i++]);
        if (c == '\n' || c == '\r' || c == '\0') {
            afterReturn_ = c == '\r';
            endLine();
        } else if (line_.size() < kMaxLine) {
            line_.push_back(c);
            if (state_ == State::Start && line_.size() == 2)
                state_ = line_ == "--" ? State::Body : State::Off;
        }
    }
    return refused_ ? i : size;
}

void PartHeads::endLine() {
    std::string_view line(line_);
    while (!line.empty() && (line.back() == ' ' || line.back() == '\t')) line.remove_suffix(1);
    switch (state_) {
        case State::Start:  // a first line shorter than "--": not multipart
            state_ = State::Off;
            break;
        case State::Body:
            if (line.starts_with("--")) {
                state_ = State::Head;
                announced_ = 0;
            }
            break;
        case State::Head:
            if (line.empty()) {
                skip_ = announced_;
                state_ = announced_ > 0 ? State::Skip : State::Body;
            } else if (const std::optional<std::int64_t> length = announcedLength(line)) {
                announced_ = *length;
                if (announced_ > kMaxFrameBytes) refused_ = true;
            }
            break;
        case State::Skip:
        case State::Off:
            break;
    }
    line_.clear();
}

QSize fittedSize(QSize source, QSize target) {
    if (source.isEmpty()) return {};
    if (target.isEmpty()) return source;
    const double scale = std::min(double(target.width()) / source.width(),
                                  double(target.height()) / source.height());
    return QSize(std::clamp(int(std::floor(source.width() * scale)), 1, target.width()),
                 std::clamp(int(std::floor(source.height() * scale)), 1, target.height()));
}

VideoDecoder::VideoDecoder(Read read, Interrupted interrupted)
    : read_(std::move(read)), interrupted_(std::move(interrupted)) {
    // FFmpeg's notes on every damaged packet of a server's stream (a stream
    // joined between key frames starts with some) would flood standard
    // error; what ends a video is reported as the video's status instead.
    static std::once_flag quiet;
    std::call_once(quiet, [] { av_log_set_level(AV_LOG_FATAL); });
}

int VideoDecoder::readPacket(void* self, std::uint8_t* data, int size) {
    auto* decoder = static_cast<VideoDecoder*>(self);
    if (decoder->interrupted_()) return AVERROR_EXIT;
    // Past the bound nothing more is read: the frame is refused.
    const std::int64_t left = kMaxBetweenPackets - decoder->sincePacket_;
    if (decoder->refusedSize_ || left <= 0) {
        decoder->refusedSize_ = true;
        return AVERROR_EXIT;
    }
    const int n = decoder->read_(data, static_cast<int>(std::min<std::int64_t>(size, left)));
    if (n == 0) return AVERROR_EOF;
    if (n < 0 && n != AVERROR_EXIT && n != AVERROR_EOF) decoder->readFailed_ = true;
    if (n > 0) {
        decoder->sincePacket_ += n;
        // A part that announces too much never reaches the demuxer, which
        // would allocate for it and read it whole.
        if (const int passed = decoder->heads_.pass(data, n); passed < n) {
            decoder->refusedSize_ = true;
            return passed > 0 ? passed : AVERROR_EXIT;  // the next read is refused
        }
    }
    return n;
}

int VideoDecoder::interruptCallback(void* self) {
    return static_cast<VideoDecoder*>(self)->interrupted_() ? 1 : 0;
}

VideoStatus VideoDecoder::run(const TargetOf& targetOf, const Sink& sink) {
    const auto ending = [this](VideoStatus otherwise) {
        if (interrupted_()) return VideoStatus::Stopped;
        if (refusedSize_) return VideoStatus::RefusedSize;
        if (readFailed_) return VideoStatus::ConnectionFailed;
        return otherwise;
    };

    auto* buffer = static_cast<std::uint8_t*>(av_malloc(kIoBufferSize));
    if (!buffer) return VideoStatus::ConnectionFailed;
    av::Io io(avio_alloc_context(buffer, kIoBufferSize, 0, this, &readPacket, nullptr, nullptr));
    if (!io) {
        av_free(buffer);
        return VideoStatus::ConnectionFailed;
    }
    io->seekable = 0;

    AVFormatContext* raw = avformat_alloc_context();
    if (!raw) return VideoStatus::ConnectionFailed;
    raw->pb = io.get();
    raw->interrupt_callback = {&interruptCallback, this};
    av::Dict options;
    options.set("format_whitelist", kFormats);
    options.set("protocol_whitelist", kNoProtocols);
    options.set("fflags", "nobuffer");
    options.set("probesize", "32768");
    options.set("analyzeduration", "500000");
    options.set("max_probe_packets", "50");
    // On failure avformat_open_input frees the context (not our I/O).
    if (const int error = avformat_open_input(&raw, nullptr, nullptr, &options.raw); error < 0)
        return ending(openFailure(error));
    av::Format format(raw);
    // A transport stream carries a whole picture in each of its packets, as
    // cameras send it: no parser that would hold a picture back until the
    // next one begins, to find where it ends.
    if (std::strcmp(format->iformat->name, "mpegts") == 0)
        format->flags |= AVFMT_FLAG_NOPARSE | AVFMT_FLAG_NOFILLIN;

    const AVCodec* codec = nullptr;
    int stream = av_find_best_stream(format.get(), AVMEDIA_TYPE_VIDEO, -1, -1, &codec, 0);
    if (stream < 0 && stream != AVERROR_DECODER_NOT_FOUND) {
        // Some containers name their streams only once packets were read.
        if (avformat_find_stream_info(format.get(), nullptr) < 0)
            return ending(VideoStatus::NotVideo);
        stream = av_find_best_stream(format.get(), AVMEDIA_TYPE_VIDEO, -1, -1, &codec, 0);
    }
    if (stream == AVERROR_DECODER_NOT_FOUND) return ending(VideoStatus::CodecUnavailable);
    if (stream < 0) return ending(VideoStatus::NotVideo);
    const AVCodecParameters* parameters = format->streams[stream]->codecpar;
    if (!decodable(parameters->codec_id) || !codec) return ending(VideoStatus::CodecUnavailable);
    if ((parameters->width || parameters->height) &&
        !sizeAllowed(parameters->width, parameters->height))
        return ending(VideoStatus::RefusedSize);

    av::Codec context(avcodec_alloc_context3(codec));
    if (!context || avcodec_parameters_to_context(context.get(), parameters) < 0)
        return ending(VideoStatus::CodecUnavailable);
    context->flags |= AV_CODEC_FLAG_LOW_DELAY;
    // Slice threads only: frame threads would hold a frame back per thread.
    context->thread_type = FF_THREAD_SLICE;
    context->thread_count = 2;
    context->max_pixels = kMaxPixels;
    if (avcodec_open2(context.get(), codec, nullptr) < 0)
        return ending(VideoStatus::CodecUnavailable);

    const bool keepsJpeg = parameters->codec_id == AV_CODEC_ID_MJPEG;
    av::Packet packet(av_packet_alloc());
    av::Frame frame(av_frame_alloc());
    if (!packet || !frame) return ending(VideoStatus::ConnectionFailed);
    FrameScaler scaler;
    std::uint64_t number = 0;
    QByteArray jpeg;
    bool configKept = false;

    // Hands over every frame the decoder has ready; false when a frame's
    // size is refused.
    const auto drain = [&]() {
        while (avcodec_receive_frame(context.get(), frame.get()) == 0) {
            if (!sizeAllowed(frame->width, frame->height)) return false;
            VideoFrame out;
            out.sourceSize = QSize(frame->width, frame->height);
            if (!keepsJpeg) {
                // The whole decoded picture, for Save Picture: a reference to
                // the frame's buffers, taken before the crop, converted only
                // when asked for.
                std::shared_ptr<AVFrame> whole(av_frame_clone(frame.get()),
                                               [](AVFrame* f) { av_frame_free(&f); });
                if (whole)
                    out.full = [whole] { return FrameScaler().scale(whole.get(), Target{}); };
            }
            const Target target = targetOf();
            out.image = scaler.scale(frame.get(), target);
            out.crop = target.crop;
            av_frame_unref(frame.get());
            if (out.image.isNull()) continue;
            if (keepsJpeg) {
                out.saved = VideoFrame::Saved::AsSentJpeg;
                out.jpeg = jpeg;
            }
            out.number = ++number;
            sink(std::move(out));
        }
        return true;
    };

    for (;;) {
        if (interrupted_()) return VideoStatus::Stopped;
        const int got = av_read_frame(format.get(), packet.get());
        if (got >= 0) sincePacket_ = 0;
        if (got < 0) {
            avcodec_send_packet(context.get(), nullptr);  // flush what is held
            if (!drain()) return VideoStatus::RefusedSize;
            return ending(VideoStatus::Ended);
        }
        if (packet->stream_index != stream) {
            av_packet_unref(packet.get());
            continue;
        }
        if (keepsJpeg) {
            const std::optional<QSize> claimed = jpegSize(packet->data, packet->size);
            if (claimed && !sizeAllowed(claimed->width(), claimed->height())) {
                return VideoStatus::RefusedSize;
            }
            jpeg = QByteArray(reinterpret_cast<const char*>(packet->data), packet->size);
            // A part without a length runs to the next boundary: what
            // follows the picture's end marker is the stream's, not the
            // picture's.
            if (const qsizetype end = jpeg.lastIndexOf("\xff\xd9"); end > 0) jpeg.truncate(end + 2);
        }
        if (keep_) {
            using Kind = RewindStore::Part::Kind;
            const qint64 now = QDateTime::currentMSecsSinceEpoch();
            if (keepsJpeg) {
                keep_({Kind::Still, now, jpeg, true});
            } else {
                if (!configKept) {
                    keep_({Kind::VideoConfig, now, encodeKeptConfig(*parameters), false});
                    configKept = true;
                }
                const bool key =
                    (packet->flags & AV_PKT_FLAG_KEY) != 0 ||
                    startsKeyFrame(QLatin1String(avcodec_get_name(parameters->codec_id)),
                                   packet->data, packet->size);
                keep_({Kind::VideoPacket, now,
                       QByteArray(reinterpret_cast<const char*>(packet->data), packet->size), key});
            }
        }
        // A damaged packet is skipped: the next one may decode.
        avcodec_send_packet(context.get(), packet.get());
        av_packet_unref(packet.get());
        if (!drain()) return VideoStatus::RefusedSize;
    }
}

DecodedBytes decodeBytes(const QByteArray& bytes, Target target, int maxFrames,
                         const VideoDecoder::Keep& keep) {
    DecodedBytes result;
    qsizetype offset = 0;
    VideoDecoder decoder(
        [&](std::uint8_t* data, int size) {
            const qsizetype n = std::min<qsizetype>(size, bytes.size() - offset);
            std::memcpy(data, bytes.constData() + offset, static_cast<size_t>(n));
            offset += n;
            return static_cast<int>(n);
        },
        [&] { return static_cast<int>(result.frames.size()) >= maxFrames; });
    decoder.setKeep(keep);
    result.status =
        decoder.run([&] { return target; },
                    [&](VideoFrame&& frame) { result.frames.push_back(std::move(frame)); });
    return result;
}

}  // namespace video
