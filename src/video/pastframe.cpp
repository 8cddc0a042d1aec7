// SPDX-License-Identifier: GPL-3.0-or-later
#include "pastframe.h"

#include "avhandles.h"
#include "framescaler.h"
#include "keptvideo.h"
#include "rewindstore.h"
#include "videodecoder.h"

extern "C" {
#include <libavutil/log.h>
}

#include <QBuffer>
#include <QImageReader>

#include <cstring>
#include <mutex>
#include <vector>

namespace video {

namespace {

using KeptPart = RewindStore::Part;

std::shared_ptr<AVFrame> sharePastFrame(AVFrame* frame) {
    return std::shared_ptr<AVFrame>(frame, [](AVFrame* f) { av_frame_free(&f); });
}

// The picture of a frame fitted into target. The scaler crops the frame it is
// given, so it gets a reference of its own: the kept frame stays whole.
QImage scaledPast(FrameScaler& scaler, const AVFrame* frame, const Target& target) {
    av::Frame copy(av_frame_clone(frame));
    if (!copy) return {};
    return scaler.scale(copy.get(), target);
}

}  // namespace

// The decoder of one camera's video and where it stands: the key frame group
// it decodes, the last packet it was given and the newest picture it gave.
struct PastDecoder::Video {
    QString camera;
    QByteArray config;  // the configuration the decoder was opened with
    av::Codec context;
    av::Packet packet{av_packet_alloc()};
    av::Frame decoded{av_frame_alloc()};
    FrameScaler scaler;

    qint64 keyTime = -1;            // the key frame of the group being decoded
    qint64 fedUpTo = -1;            // the last packet given; -1: start again at a key frame
    std::shared_ptr<AVFrame> last;  // the newest picture, as decoded
    qint64 lastTime = -1;           // the arrival of its packet
    quint64 serial = 0;             // counts the pictures decoded

    // The image made last, given again while neither picture nor target changed.
    quint64 shownSerial = 0;
    Target shownTarget;
    Past shown;

    bool open(const QByteArray& configBytes) {
        if (context && configBytes == config) return true;
        context.reset();
        config.clear();
        fedUpTo = -1;
        const std::optional<KeptConfig> kept = decodeKeptConfig(configBytes);
        if (!kept || (kept->codec != QLatin1String("h264") && kept->codec != QLatin1String("hevc")))
            return false;
        std::unique_ptr<AVCodecParameters, void (*)(AVCodecParameters*)> par(
            avcodec_parameters_alloc(), [](AVCodecParameters* p) { avcodec_parameters_free(&p); });
        if (!par || !kept->apply(par.get())) return false;
        const AVCodec* codec = avcodec_find_decoder(par->codec_id);
        if (!codec) return false;
        av::Codec opened(avcodec_alloc_context3(codec));
        if (!opened || avcodec_parameters_to_context(opened.get(), par.get()) < 0) return false;
        // As the live decoder: every picture out at once, slice threads only.
        opened->flags |= AV_CODEC_FLAG_LOW_DELAY;
        opened->thread_type = FF_THREAD_SLICE;
        opened->thread_count = 2;
        opened->max_pixels = kMaxPixels;
        if (avcodec_open2(opened.get(), codec, nullptr) < 0) return false;
        context = std::move(opened);
        config = configBytes;
        return true;
    }

    void restart() {
        if (context) avcodec_flush_buffers(context.get());
        fedUpTo = -1;
        last.reset();
        lastTime = -1;
    }

    // Takes every picture the decoder has ready; false for one of a size
    // that is refused.
    bool receive() {
        while (avcodec_receive_frame(context.get(), decoded.get()) == 0) {
            if (!sizeAllowed(decoded->width, decoded->height)) {
                av_frame_unref(decoded.get());
                return false;
            }
            AVFrame* kept = av_frame_alloc();
            if (!kept) return false;
            av_frame_move_ref(kept, decoded.get());
            lastTime = kept->pts;
            last = sharePastFrame(kept);
            ++serial;
        }
        return true;
    }

    // A packet the decoder refuses is passed over, as live: the pictures
    // after it may decode. Only a picture of a refused size stops it.
    bool feed(const KeptPart& part) {
        if (part.bytes.isEmpty() || part.bytes.size() > kMaxFrameBytes) return true;
        if (av_new_packet(packet.get(), static_cast<int>(part.bytes.size())) < 0) return false;
        std::memcpy(packet->data, part.bytes.constData(), static_cast<size_t>(part.bytes.size()));
        packet->pts = packet->dts = part.time;
        if (part.key) packet->flags |= AV_PKT_FLAG_KEY;
        avcodec_send_packet(context.get(), packet.get());
        av_packet_unref(packet.get());
        return receive();
    }

    std::optional<Past> show(const QString& cameraName, const QByteArray& configBytes,
                             const std::vector<KeptPart>& parts, size_t key, const Target& target) {
        if (cameraName != camera) {
            restart();
            camera = cameraName;
        }
        if (!open(configBytes)) {
            camera.clear();
            return std::nullopt;
        }
        const qint64 upTo = parts.back().time;
        // Forward within the group decoded: only what came after.
        if (parts[key].time != keyTime || fedUpTo < 0 || fedUpTo > upTo) {
            restart();
            keyTime = parts[key].time;
        }
        for (size_t i = key; i < parts.size(); ++i) {
            const KeptPart& part = parts[i];
            if (part.kind != KeptPart::Kind::VideoPacket || part.time <= fedUpTo) continue;
            if (!feed(part)) {
                restart();
                keyTime = -1;
                return std::nullopt;
            }
            fedUpTo = part.time;
        }
        // A decoder that holds pictures back (a stream with reordered
        // pictures) gives the last ones only when drained; it must then
        // start again at the key frame.
        if (lastTime < upTo && context->has_b_frames > 0) {
            avcodec_send_packet(context.get(), nullptr);
            const bool fine = receive();
            const std::shared_ptr<AVFrame> keep = last;
            const qint64 keepTime = lastTime;
            restart();
            keyTime = -1;
            if (!fine) return std::nullopt;
            last = keep;
            lastTime = keepTime;
        }
        if (!last) return std::nullopt;
        if (shownSerial == serial && shownTarget == target && !shown.image.isNull()) return shown;
        Past past;
        past.image = scaledPast(scaler, last.get(), target);
        if (past.image.isNull()) return std::nullopt;
        past.time = lastTime;
        past.full = [whole = last] {
            FrameScaler scaler;
            return scaledPast(scaler, whole.get(), Target{});
        };
        shown = past;
        shownSerial = serial;
        shownTarget = target;
        return past;
    }
};

PastDecoder::PastDecoder() {
    // Notes on damaged packets would flood standard error, as live.
    static std::once_flag quiet;
    std::call_once(quiet, [] { av_log_set_level(AV_LOG_FATAL); });
}

PastDecoder::~PastDecoder() = default;

std::optional<Past> PastDecoder::show(const RewindStore& store, const QString& camera, qint64 t,
                                      Target target) {
    const std::vector<KeptPart> parts = store.partBefore(camera, t);
    if (parts.empty()) return std::nullopt;
    if (parts.back().kind == KeptPart::Kind::Still)
        return still(camera, parts.back().time, parts.back().bytes, target);

    // The configuration in force at the key frame, and the key frame.
    const QByteArray* config = nullptr;
    size_t key = parts.size();
    for (size_t i = 0; i < parts.size() && key == parts.size(); ++i) {
        if (parts[i].kind == KeptPart::Kind::VideoConfig) config = &parts[i].bytes;
        if (parts[i].kind == KeptPart::Kind::VideoPacket && parts[i].key) key = i;
    }
    if (!config || key == parts.size()) return std::nullopt;
    if (!video_) video_ = std::make_unique<Video>();
    if (!video_->packet || !video_->decoded) return std::nullopt;
    return video_->show(camera, *config, parts, key, target);
}

std::optional<Past> PastDecoder::still(const QString& camera, qint64 time, const QByteArray& bytes,
                                       const Target& target) {
    if (still_.camera == camera && still_.time == time && still_.target == target)
        return still_.past;
    still_ = {};
    QBuffer device;
    device.setData(bytes);
    if (!device.open(QIODevice::ReadOnly)) return std::nullopt;
    // Only the JPEG reader sees the bytes, and only once their header's size
    // is one a picture may have; it then decodes straight at the view's size
    // (libjpeg scales while decoding).
    QImageReader reader(&device, "jpeg");
    reader.setAutoDetectImageFormat(false);
    const QSize size = reader.size();
    if (!size.isValid() || !sizeAllowed(size.width(), size.height())) return std::nullopt;
    const QRect clip = cropPixels(target.crop, size.width(), size.height());
    const QSize out = fittedSize(clip.size(), target.size);
    if (clip.size() != size) reader.setClipRect(clip);
    if (out != clip.size()) reader.setScaledSize(out);
    QImage image = reader.read();
    if (image.isNull()) return std::nullopt;
    if (image.format() != QImage::Format_RGB32) image = image.convertToFormat(QImage::Format_RGB32);
    still_ = {camera, time, target, Past{image, time, bytes, {}}};
    return still_.past;
}

}  // namespace video
