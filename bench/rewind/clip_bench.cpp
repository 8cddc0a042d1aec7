// SPDX-License-Identifier: GPL-3.0-or-later
// Clip export from the rewind store, five minutes of each kind a camera
// sends: 1080p H.264 at 25 frames a second, a key frame every 2 s, about
// 4 Mbit/s (a few seconds encoded with libx264 once, their packets repeated
// at shifted times, with SPS and PPS in band as demuxed from MPEG-TS), the
// same read back from the store's files on disk, the same in H.265 (libx265,
// when there), and a still camera at 8 pictures a second (320x240 JPEGs of
// 10-20 KB). Each export is timed three times (the median printed) and the
// file read back with ffprobe: its duration and frame count against what was
// kept.

#include "clipwriter.h"
#include "keptvideo.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/opt.h>
}

#include <QBuffer>
#include <QCoreApplication>
#include <QFile>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

namespace {

using Part = RewindStore::Part;
constexpr qint64 kStart = 1765000000000, kRunMs = 5 * 60 * 1000;
constexpr int kFps = 25, kGop = 50, kEncodedFrames = 4 * kFps;
constexpr int kStillsPerSecond = 8, kDistinctStills = 40;

// The encoded seconds: a moving gradient under noise, so that the encoder
// spends its bit rate. The configuration first, then the packets.
std::vector<Part> encodeVideo(const char* encoder) {
    const AVCodec* codec = avcodec_find_encoder_by_name(encoder);
    AVCodecContext* e = codec ? avcodec_alloc_context3(codec) : nullptr;
    if (!e) return {};
    e->width = 1920;
    e->height = 1080;
    e->pix_fmt = AV_PIX_FMT_YUV420P;
    e->time_base = {1, kFps};
    e->framerate = {kFps, 1};
    e->gop_size = kGop;
    e->max_b_frames = 0;
    e->bit_rate = 4'000'000;
    e->rc_max_rate = 4'000'000;
    e->rc_buffer_size = 4'000'000;
    av_opt_set(e->priv_data, "preset", "ultrafast", 0);
    av_opt_set(e->priv_data, "tune", "zerolatency", 0);
    av_opt_set(e->priv_data, "x265-params", "log-level=error", 0);
    std::vector<Part> parts;
    AVFrame* frame = av_frame_alloc();
    AVPacket* packet = av_packet_alloc();
    if (avcodec_open2(e, codec, nullptr) == 0 && frame && packet) {
        AVCodecParameters* par = avcodec_parameters_alloc();
        avcodec_parameters_from_context(par, e);
        parts.push_back({Part::Kind::VideoConfig, 0, video::encodeKeptConfig(*par), false});
        avcodec_parameters_free(&par);
        frame->format = e->pix_fmt;
        frame->width = e->width;
        frame->height = e->height;
        av_frame_get_buffer(frame, 0);
        QRandomGenerator random(7);
        const auto drain = [&] {
            while (avcodec_receive_packet(e, packet) == 0) {
                parts.push_back(
                    {Part::Kind::VideoPacket, 0,
                     QByteArray(reinterpret_cast<const char*>(packet->data), packet->size),
                     (packet->flags & AV_PKT_FLAG_KEY) != 0});
                av_packet_unref(packet);
            }
        };
        for (int n = 0; n < kEncodedFrames; ++n) {
            av_frame_make_writable(frame);
            for (int plane = 0; plane < 3; ++plane) {
                const int w = plane ? e->width / 2 : e->width,
                          h = plane ? e->height / 2 : e->height;
                for (int y = 0; y < h; ++y) {
                    std::uint8_t* row = frame->data[plane] + y * frame->linesize[plane];
                    for (int x = 0; x < w; ++x)
                        row[x] =
                            std::uint8_t((x + y + n * 8) / (plane + 2) + (random.generate() & 15));
                }
            }
            frame->pts = n;
            avcodec_send_frame(e, frame);
            drain();
        }
        avcodec_send_frame(e, nullptr);
        drain();
    }
    av_packet_free(&packet);
    av_frame_free(&frame);
    avcodec_free_context(&e);
    return parts;
}

QByteArray noisyJpeg(int seed) {
    QImage image(320, 240, QImage::Format_RGB32);
    QRandomGenerator random(seed);
    for (int y = 0; y < image.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const int v = (x + y + seed * 5) % 200 + int(random.bounded(24));
            row[x] = qRgb(v, v / 2 + 40, 255 - v);
        }
    }
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPG", 85);
    return bytes;
}

struct Kept {
    int frames = 0;
    qint64 bytes = 0, first = 0, last = 0;
};

Kept fillVideo(RewindStore& store, const QString& camera, const std::vector<Part>& encoded) {
    Kept k;
    if (encoded.size() < 2) return k;
    store.append(camera, {Part::Kind::VideoConfig, kStart, encoded[0].bytes, false});
    for (qint64 t = kStart; t < kStart + kRunMs; t += 1000 / kFps, ++k.frames) {
        Part p = encoded[1 + std::size_t(k.frames) % (encoded.size() - 1)];
        p.time = t;
        k.bytes += p.bytes.size();
        k.last = t;
        store.append(camera, std::move(p));
    }
    k.first = kStart;
    return k;
}

Kept fillStills(RewindStore& store) {
    std::vector<QByteArray> stills;
    for (int i = 0; i < kDistinctStills; ++i) stills.push_back(noisyJpeg(i));
    Kept k;
    k.first = kStart;
    for (qint64 t = kStart; t < kStart + kRunMs; t += 1000 / kStillsPerSecond, ++k.frames) {
        const QByteArray& jpeg = stills[std::size_t(k.frames) % stills.size()];
        k.bytes += jpeg.size();
        k.last = t;
        store.append("stills", {Part::Kind::Still, t, jpeg, true});
    }
    return k;
}

struct Probed {
    int packets = -1;
    double duration = -1;
};

Probed probe(const QString& path) {
    QProcess p;
    p.start("ffprobe", {"-v", "error", "-count_packets", "-show_entries",
                        "format=duration:stream=nb_read_packets", "-of", "json", path});
    if (!p.waitForFinished(120000) || p.exitCode() != 0) return {};
    const QJsonObject o = QJsonDocument::fromJson(p.readAllStandardOutput()).object();
    return {o["streams"].toArray().at(0).toObject()["nb_read_packets"].toString().toInt(),
            o["format"].toObject()["duration"].toString().toDouble()};
}

void report(const char* name, const RewindStore& store, const QString& camera, const Kept& kept,
            const QString& folder) {
    const qint64 to = kStart + kRunMs;
    std::vector<double> ms;
    video::ClipResult last;
    for (int run = 0; run < 3; ++run) {
        // Each run starts with nothing waiting to be written back, as an
        // export now and then would: the dirty pages of the last run's file
        // would otherwise throttle this one's writes.
        if (!last.path.isEmpty()) QFile::remove(last.path);
        ::sync();
        const auto t0 = std::chrono::steady_clock::now();
        last = video::writeClip(store, camera, kStart, to, folder, QString::fromLatin1(name), {});
        ms.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0)
                .count());
        if (last.status != video::ClipResult::Status::Written) {
            std::printf("%-10s failed: %s\n", name, qPrintable(last.error));
            return;
        }
    }
    std::sort(ms.begin(), ms.end());
    const Probed p = probe(last.path);
    std::printf("%-10s %7d %9.1f %9.3f %10.0f %10d %10.3f %8.1f\n", name, kept.frames,
                double(kept.bytes) / (1 << 20), double(to - kept.first) / 1000, ms[1], p.packets,
                p.duration, double(kept.bytes) * 8 / 1e6 / (double(kRunMs) / 1000));
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QTemporaryDir dir, ring;
    RewindStore::Options options;
    options.memoryCap = qint64(2) << 30;  // all in memory: the export is timed, not the disk
    RewindStore store(QString(), options);
    options.memoryCap = qint64(8) << 20;  // nearly all in the store's files
    RewindStore onDisk(ring.path(), options);
    const std::vector<Part> h264 = encodeVideo("libx264"), h265 = encodeVideo("libx265");
    const Kept video = fillVideo(store, "h264", h264), hevc = fillVideo(store, "h265", h265);
    const Kept spilled = fillVideo(onDisk, "h264", h264);
    const Kept stills = fillStills(store);
    std::printf("Clip export of 5 minutes (median of 3 runs)\n");
    std::printf("%-10s %7s %9s %9s %10s %10s %10s %8s\n", "camera", "frames", "kept MiB", "kept s",
                "export ms", "file frames", "file s", "Mbit/s");
    if (video.frames) report("h264", store, "h264", video, dir.path());
    if (spilled.frames) report("h264 disk", onDisk, "h264", spilled, dir.path());
    if (hevc.frames) report("h265", store, "h265", hevc, dir.path());
    report("stills", store, "stills", stills, dir.path());
    return 0;
}
