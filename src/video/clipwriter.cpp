// SPDX-License-Identifier: GPL-3.0-or-later
#include "clipwriter.h"

#include "avhandles.h"
#include "clipfile.h"
#include "keptvideo.h"
#include "videoframe.h"

extern "C" {
#include <libavcodec/bsf.h>
}

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QImageReader>

#include <algorithm>
#include <chrono>
#include <cstring>

namespace video {
namespace {

using ClipPartKind = RewindStore::Part::Kind;
using ClipClock = std::chrono::steady_clock;

constexpr AVRational kClipTimeBase{1, 1000};
constexpr auto kProgressEvery = std::chrono::milliseconds(50);
// Common file systems allow 255 bytes in a name: a base name of two names
// and a time, then " (n)" and the suffix stay below that.
constexpr int kMaxBaseChars = 200, kMaxBaseBytes = 220;

bool remuxedToMp4(const QString& codec) {
    return codec == QLatin1String("h264") || codec == QLatin1String("hevc");
}

bool sameKeptStream(const KeptConfig& a, const KeptConfig& b) {
    return a.codec == b.codec && a.width == b.width && a.height == b.height &&
           a.extradata == b.extradata;
}

// The parameter sets that a stream sending them in band has in its first
// key frame, for the MP4 header; empty when there are none.
QByteArray inBandParameterSets(const AVCodecParameters* par, const QByteArray& keyFrame) {
    const AVBitStreamFilter* filter = av_bsf_get_by_name("extract_extradata");
    AVBSFContext* bsf = nullptr;
    if (!filter || av_bsf_alloc(filter, &bsf) < 0) return {};
    QByteArray out;
    av::Packet packet(av_packet_alloc());
    if (packet && avcodec_parameters_copy(bsf->par_in, par) >= 0 && av_bsf_init(bsf) >= 0 &&
        av_new_packet(packet.get(), int(keyFrame.size())) >= 0) {
        std::memcpy(packet->data, keyFrame.constData(), size_t(keyFrame.size()));
        packet->flags |= AV_PKT_FLAG_KEY;
        if (av_bsf_send_packet(bsf, packet.get()) >= 0 &&
            av_bsf_receive_packet(bsf, packet.get()) >= 0) {
            size_t size = 0;
            const std::uint8_t* data =
                av_packet_get_side_data(packet.get(), AV_PKT_DATA_NEW_EXTRADATA, &size);
            if (data && size > 0 && size < (1u << 20))
                out = QByteArray(reinterpret_cast<const char*>(data), qsizetype(size));
        }
    }
    av_bsf_free(&bsf);
    return out;
}

// The picture size the first key frame's parameter sets give, for a stream
// whose configuration came without one (a transport stream read without its
// parser); empty when they give none.
QSize keyFrameSize(AVCodecID codec, const QByteArray& keyFrame) {
    QSize size;
    AVCodecParserContext* parser = av_parser_init(codec);
    av::Codec context(avcodec_alloc_context3(nullptr));
    if (parser && context) {
        parser->flags |= PARSER_FLAG_COMPLETE_FRAMES;
        QByteArray padded = keyFrame;
        padded.append(QByteArray(AV_INPUT_BUFFER_PADDING_SIZE, '\0'));
        std::uint8_t* out = nullptr;
        int outSize = 0;
        av_parser_parse2(parser, context.get(), &out, &outSize,
                         reinterpret_cast<const std::uint8_t*>(padded.constData()),
                         int(keyFrame.size()), AV_NOPTS_VALUE, AV_NOPTS_VALUE, 0);
        if (sizeAllowed(parser->width, parser->height)) size = {parser->width, parser->height};
    }
    av_parser_close(parser);
    return size;
}

// The size a still's JPEG header gives; empty when there is none or the
// size is out of bounds.
QSize stillSize(const QByteArray& jpeg) {
    QBuffer buffer;
    buffer.setData(jpeg);
    const QSize size = QImageReader(&buffer, "jpeg").size();
    return sizeAllowed(size.width(), size.height()) ? size : QSize();
}

// Lends a kept part's bytes to FFmpeg without a copy; read-only, so no
// muxer writes into what the store shares.
AVBufferRef* lendKeptBytes(const QByteArray& bytes) {
    auto* held = new QByteArray(bytes);
    AVBufferRef* ref = av_buffer_create(
        reinterpret_cast<std::uint8_t*>(const_cast<char*>(held->constData())), size_t(held->size()),
        [](void* opaque, std::uint8_t*) { delete static_cast<QByteArray*>(opaque); }, held,
        AV_BUFFER_FLAG_READONLY);
    if (!ref) delete held;
    return ref;
}

// One clip being written: set up by its first picture, then fed the parts
// in order. Each frame is written when the next one comes, so that it gets
// its duration; the last one lasts to the clip's end.
class ClipMuxer {
public:
    explicit ClipMuxer(ClipTempFile* file) : file_(file) {}
    ~ClipMuxer() {
        if (format_) {
            format_->pb = nullptr;  // the temporary file's
            avformat_free_context(format_);
        }
    }
    ClipMuxer(const ClipMuxer&) = delete;
    ClipMuxer& operator=(const ClipMuxer&) = delete;

    bool openVideo(const KeptConfig& config, const QByteArray& keyFrame) {
        suffix_ = remuxedToMp4(config.codec) ? QStringLiteral("mp4") : QStringLiteral("mkv");
        negativeStart_ = suffix_ == QLatin1String("mp4");
        if (!make(suffix_ == QLatin1String("mp4") ? "mp4" : "matroska")) return false;
        AVCodecParameters* par = stream_->codecpar;
        if (!config.apply(par))
            return fail(QCoreApplication::translate("Zorvan", "The video's format is not known."));
        if (par->extradata_size == 0 && suffix_ == QLatin1String("mp4")) {
            const QByteArray sets = inBandParameterSets(par, keyFrame);
            if (!sets.isEmpty())
                KeptConfig{config.codec, config.width, config.height, sets}.apply(par);
        }
        if (!sizeAllowed(par->width, par->height)) {
            const QSize size = keyFrameSize(par->codec_id, keyFrame);
            par->width = size.width();
            par->height = size.height();
        }
        return start();
    }

    bool openStills(QSize size) {
        suffix_ = QStringLiteral("mkv");
        if (!make("matroska")) return false;
        AVCodecParameters* par = stream_->codecpar;
        par->codec_type = AVMEDIA_TYPE_VIDEO;
        par->codec_id = AV_CODEC_ID_MJPEG;
        par->width = size.width();
        par->height = size.height();
        return start();
    }

    // Writes the frame before this one; `time` is in ms from the moment the
    // clip plays from: before it only in an MP4 (see negativeStart_).
    bool add(const QByteArray& bytes, qint64 time, bool key) {
        const qint64 first = negativeStart_ ? time : std::max<qint64>(time, 0);
        const qint64 pts = frames_ == 0 ? first : std::max(time, pts_ + 1);
        if (frames_ > 0 && !writePending(pts - pts_)) return false;
        pending_ = bytes;
        pendingKey_ = key;
        pts_ = pts;
        ++frames_;
        return true;
    }

    // Writes the last frame, lasting to `end` (at least 1 ms), and the
    // trailer. The time the clip lasts.
    bool close(qint64 end, qint64* duration) {
        const qint64 last = std::max<qint64>(end - pts_, 1);
        if (frames_ > 0 && !writePending(last)) return false;
        *duration = std::max<qint64>(pts_ + last, 0);
        if (av_write_trailer(format_) < 0)
            return fail(QCoreApplication::translate("Zorvan", "The clip could not be finished."));
        return true;
    }

    int frames() const { return frames_; }
    const QString& suffix() const { return suffix_; }
    const QString& error() const { return error_; }

private:
    bool fail(const QString& error) {
        if (error_.isEmpty()) error_ = error;
        return false;
    }

    bool make(const char* format) {
        AVIOContext* io = file_->io();
        if (!io || avformat_alloc_output_context2(&format_, nullptr, format, nullptr) < 0 ||
            !format_ || !(stream_ = avformat_new_stream(format_, nullptr)))
            return fail(QCoreApplication::translate("Zorvan", "Out of memory."));
        format_->pb = io;
        stream_->time_base = kClipTimeBase;
        return true;
    }

    bool start() {
        if (avformat_write_header(format_, nullptr) < 0)
            return fail(QCoreApplication::translate(
                "Zorvan", "This camera's video cannot be saved as a clip."));
        packet_.reset(av_packet_alloc());
        return packet_ ? true : fail(QCoreApplication::translate("Zorvan", "Out of memory."));
    }

    bool writePending(qint64 duration) {
        AVPacket* p = packet_.get();
        av_packet_unref(p);
        p->buf = lendKeptBytes(pending_);
        if (!p->buf) return fail(QCoreApplication::translate("Zorvan", "Out of memory."));
        p->data = p->buf->data;
        p->size = int(p->buf->size);
        p->pts = p->dts = pts_;
        p->duration = duration;
        p->flags = pendingKey_ ? AV_PKT_FLAG_KEY : 0;
        p->stream_index = 0;
        av_packet_rescale_ts(p, kClipTimeBase, stream_->time_base);
        const int written = av_write_frame(format_, p);
        av_packet_unref(p);
        pending_ = QByteArray();
        return written >= 0
                   ? true
                   : fail(QCoreApplication::translate("Zorvan", "The clip could not be written."));
    }

    ClipTempFile* file_;
    AVFormatContext* format_ = nullptr;
    AVStream* stream_ = nullptr;
    av::Packet packet_;
    QString suffix_, error_;
    QByteArray pending_;
    bool pendingKey_ = false;
    qint64 pts_ = 0;
    int frames_ = 0;
    // The pictures before the moment the clip plays from are written with
    // negative times, which the MP4 muxer turns into an edit list: players
    // decode them (the key frame they need) but start showing at 0.
    bool negativeStart_ = false;
};

}  // namespace

std::optional<ClipPlan> planClip(const RewindStore& store, const QString& camera, qint64 from,
                                 qint64 to) {
    if (from > to) std::swap(from, to);
    std::optional<ClipPlan> plan;
    QByteArray config;
    store.forEachInRange(camera, from, to, [&](const RewindStore::Part& part) {
        if (part.kind == ClipPartKind::VideoConfig) {
            config = part.bytes;
            return true;
        }
        QString suffix = QStringLiteral("mkv");
        if (part.kind == ClipPartKind::VideoPacket) {
            const std::optional<KeptConfig> kept = decodeKeptConfig(config);
            if (kept && remuxedToMp4(kept->codec)) suffix = QStringLiteral("mp4");
        }
        // As writeClip() counts it: Matroska video from its key frame.
        const bool preroll = part.kind == ClipPartKind::Still || suffix == QLatin1String("mp4");
        plan = ClipPlan{preroll ? std::max(from, part.time) : part.time, suffix};
        return false;
    });
    return plan;
}

QString clipFileName(const QString& serverName, const QString& cameraName, const QDateTime& start,
                     const QString& suffix) {
    const QString name = safeFileNamePart(serverName, QStringLiteral("Server")) +
                         QStringLiteral(" - ") +
                         safeFileNamePart(cameraName, QStringLiteral("Camera")) + u' ' +
                         start.toString(QStringLiteral("yyyy-MM-dd HH-mm-ss"));
    return suffix.isEmpty() ? name : name + u'.' + suffix;
}

ClipResult writeClip(const RewindStore& store, const QString& camera, qint64 from, qint64 to,
                     const QString& folder, const QString& baseName,
                     const std::function<bool(double)>& progress) {
    if (from > to) std::swap(from, to);
    ClipResult result;
    QDir().mkpath(folder);
    ClipTempFile file;
    if (!file.create(folder, &result.error)) return result;
    ClipMuxer muxer(&file);

    enum class Mode { None, Stills, Video } mode = Mode::None;
    QByteArray configBytes;
    std::optional<KeptConfig> config;
    bool cancelled = false, failed = false;
    qint64 cutAt = 0;
    qint64 origin = 0;                                    // the arrival time that is the clip's 0
    auto lastReport = ClipClock::now() - kProgressEvery;  // asked at once: cancel before any work

    const bool read = store.forEachInRange(camera, from, to, [&](const RewindStore::Part& part) {
        if (progress && ClipClock::now() - lastReport >= kProgressEvery) {
            lastReport = ClipClock::now();
            const double span = double(std::max<qint64>(to - result.startMs, 1));
            const double done = mode == Mode::None ? 0 : double(part.time - result.startMs) / span;
            if (!progress(std::clamp(done, 0.0, 1.0))) return !(cancelled = true);
        }
        const auto cut = [&] {
            result.cutAtChange = true;
            cutAt = part.time;
            return false;
        };
        // An empty picture is none (and an empty packet would end a muxer's
        // stream).
        if (part.kind != ClipPartKind::VideoConfig && part.bytes.isEmpty()) return true;
        switch (part.kind) {
            case ClipPartKind::VideoConfig:
                if (mode == Mode::None) {
                    configBytes = part.bytes;
                    return true;
                }
                if (mode == Mode::Stills) return cut();
                if (part.bytes == configBytes) return true;
                if (const auto next = decodeKeptConfig(part.bytes);
                    next && sameKeptStream(*next, *config))
                    return true;
                return cut();
            case ClipPartKind::Still:
                if (mode == Mode::Video) return cut();
                // A still whose header gives no size, or one out of bounds, is
                // left out: no player should be handed it. The file takes
                // its size from the first one.
                if (const QSize size = stillSize(part.bytes); size.isEmpty()) {
                    return true;
                } else if (mode == Mode::None) {
                    if (!muxer.openStills(size)) return !(failed = true);
                    mode = Mode::Stills;
                    result.startMs = part.time;
                    // The still on screen at `from` is the clip's first picture.
                    origin = std::max(from, part.time);
                }
                break;
            case ClipPartKind::VideoPacket:
                if (mode == Mode::Stills) return cut();
                if (mode == Mode::None) {
                    config = decodeKeptConfig(configBytes);
                    if (!config) {
                        result.error = QCoreApplication::translate(
                            "Zorvan", "The video's format was not kept.");
                        return !(failed = true);
                    }
                    if (!muxer.openVideo(*config, part.bytes)) return !(failed = true);
                    mode = Mode::Video;
                    result.startMs = part.time;
                    origin = muxer.suffix() == QLatin1String("mp4") ? std::max(from, part.time)
                                                                    : part.time;
                }
                break;
        }
        if (!muxer.add(part.bytes, part.time - origin, part.key)) return !(failed = true);
        return true;
    });

    if (cancelled) {
        result.status = ClipResult::Status::Cancelled;
        return result;
    }
    if (!read && !failed) {
        result.error =
            QCoreApplication::translate("Zorvan", "Part of what was kept could not be read back.");
        failed = true;
    }
    if (mode == Mode::None && !failed) {
        result.status = ClipResult::Status::NothingKept;
        return result;
    }
    qint64 duration = 0;
    const qint64 end = (result.cutAtChange ? cutAt : to) - origin;
    if (failed || !muxer.close(end, &duration) || !file.finish(&result.error)) {
        if (result.error.isEmpty()) result.error = muxer.error();
        result.status = ClipResult::Status::Failed;
        return result;
    }
    const QString base =
        safeFileNamePart(baseName, QStringLiteral("Clip"), kMaxBaseChars, kMaxBaseBytes);
    result.path = file.publish(base, muxer.suffix(), &result.error);
    if (result.path.isEmpty()) return result;
    result.status = ClipResult::Status::Written;
    result.frames = muxer.frames();
    result.fromMs = origin;
    result.endMs = origin + duration;
    return result;
}

}  // namespace video
