// SPDX-License-Identifier: GPL-3.0-or-later
#include "soundstream.h"

#include <QBuffer>
#include <QImage>
#include <QPainter>
#include <QString>

#include <lame/lame.h>

#include <cmath>
#include <numbers>
#include <vector>

namespace demo {

namespace {

lame_global_flags* flags(void* p) {
    return static_cast<lame_global_flags*>(p);
}

std::string bigEndian32(std::uint32_t v) {
    return {static_cast<char>(v >> 24), static_cast<char>(v >> 16), static_cast<char>(v >> 8),
            static_cast<char>(v)};
}

std::string frame(const char* id, const std::string& body) {
    return std::string(id, 4) + bigEndian32(static_cast<std::uint32_t>(body.size())) +
           std::string(2, '\0') + body;
}

std::string picture(const std::string& title) {
    QImage image(48, 48, QImage::Format_RGB32);
    image.fill(QColor(40, 90, 160));
    QPainter painter(&image);
    painter.setPen(Qt::white);
    painter.setBrush(Qt::white);
    // A loudspeaker with two sound waves.
    painter.drawRect(10, 19, 7, 10);
    painter.drawPolygon(QPolygon({{17, 19}, {25, 11}, {25, 37}, {17, 29}}));
    painter.setBrush(Qt::NoBrush);
    painter.drawArc(22, 16, 12, 16, -60 * 16, 120 * 16);
    painter.drawArc(22, 10, 20, 28, -60 * 16, 120 * 16);
    painter.end();
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.setText("Title", QString::fromStdString(title));
    image.save(&buffer, "PNG");
    return bytes.toStdString();
}

}  // namespace

bool isMp3SampleRate(int rate) {
    for (int r : {8000, 11025, 12000, 16000, 22050, 24000, 32000, 44100, 48000})
        if (r == rate) return true;
    return false;
}

SoundStream::SoundStream(int sampleRate, int bitRate, double frequency, std::string title)
    : frequency_(frequency), title_(std::move(title)) {
    sampleRate_ = isMp3SampleRate(sampleRate) ? sampleRate : 22050;
    if (bitRate < 8 || bitRate > 320) bitRate = 64;
    lame_global_flags* gf = lame_init();
    if (!gf) return;
    lame_set_in_samplerate(gf, sampleRate_);
    lame_set_out_samplerate(gf, sampleRate_);
    lame_set_num_channels(gf, 1);
    lame_set_mode(gf, MONO);
    lame_set_brate(gf, bitRate);
    lame_set_quality(gf, 7);
    // A live stream has no length to announce: no "Info" frame.
    lame_set_bWriteVbrTag(gf, 0);
    if (lame_init_params(gf) < 0) {
        lame_close(gf);
        return;
    }
    lame_ = gf;
}

SoundStream::~SoundStream() {
    if (lame_) lame_close(flags(lame_));
}

std::string SoundStream::textFrame(const char* id, const std::string& utf8) {
    // UTF-16 with a byte order mark (encoding 1), as ID3v2.3 has no UTF-8.
    const QString text = QString::fromStdString(utf8);
    std::string body("\x01\xFF\xFE", 3);
    for (QChar c : text) {
        body += static_cast<char>(c.unicode() & 0xFF);
        body += static_cast<char>(c.unicode() >> 8);
    }
    return frame(id, body);
}

std::string SoundStream::pictureFrame(const std::string& mime, const std::string& data) {
    // Latin-1 text, MIME type, picture type 3 (front cover), empty description.
    return frame("APIC", std::string(1, '\0') + mime + std::string(1, '\0') + "\x03" +
                             std::string(1, '\0') + data);
}

std::string SoundStream::id3v23(const std::string& frames) {
    const auto size = static_cast<std::uint32_t>(frames.size());
    std::string header("ID3\x03\x00\x00", 6);
    header += static_cast<char>((size >> 21) & 0x7F);
    header += static_cast<char>((size >> 14) & 0x7F);
    header += static_cast<char>((size >> 7) & 0x7F);
    header += static_cast<char>(size & 0x7F);
    return header + frames;
}

std::string SoundStream::tag() const {
    return id3v23(textFrame("TIT2", title_) + textFrame("TALB", "Zorvan demo server") +
                  pictureFrame("image/png", picture(title_)));
}

std::string SoundStream::next(int milliseconds) {
    if (!lame_) return {};
    const int count = sampleRate_ * milliseconds / 1000;
    std::vector<short> pcm(static_cast<size_t>(count));
    const double step = 2 * std::numbers::pi * frequency_ / sampleRate_;
    for (short& sample : pcm) {
        sample = static_cast<short>(std::lround(16384.0 * std::sin(phase_)));
        phase_ = std::fmod(phase_ + step, 2 * std::numbers::pi);
    }
    std::vector<unsigned char> out(static_cast<size_t>(count) * 5 / 4 + 7200);
    const int n = lame_encode_buffer(flags(lame_), pcm.data(), nullptr, count, out.data(),
                                     static_cast<int>(out.size()));
    if (n <= 0) return {};
    return std::string(reinterpret_cast<const char*>(out.data()), static_cast<size_t>(n));
}

}  // namespace demo
