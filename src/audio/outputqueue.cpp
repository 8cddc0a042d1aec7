// SPDX-License-Identifier: GPL-3.0-or-later
#include "outputqueue.h"

#include <QAudioDevice>
#include <QAudioSink>

#include <mpg123.h>

#include <algorithm>
#include <mutex>

namespace {

// Decoded sound is taken from libmpg123 in steps of this many bytes; a
// frame decodes to at most 1152 samples x 2 channels x 2 bytes.
constexpr std::size_t kDecodeStep = 16 * 1024;

}  // namespace

OutputQueue::OutputQueue(const QAudioDevice& device, const Mp3File::StreamFormat& format,
                         Callback callback)
    : callback_(std::move(callback)) {
    static std::once_flag libraryReady;
    std::call_once(libraryReady, [] { mpg123_init(); });

    const long rate = static_cast<long>(format.sampleRate);
    const int channels = format.channels == 1 ? 1 : 2;
    format_.setSampleRate(static_cast<int>(rate));
    format_.setChannelCount(channels);
    format_.setSampleFormat(QAudioFormat::Int16);

    int error = MPG123_OK;
    decoder_ = mpg123_new(nullptr, &error);
    if (decoder_) {
        mpg123_param(decoder_, MPG123_ADD_FLAGS, MPG123_QUIET, 0.0);
        // Always the stream's own rate and channels as 16-bit samples, so the
        // output's format never has to change mid-stream.
        mpg123_format_none(decoder_);
        mpg123_format(decoder_, rate, channels == 1 ? MPG123_MONO : MPG123_STEREO,
                      MPG123_ENC_SIGNED_16);
        if (mpg123_open_feed(decoder_) != MPG123_OK) {
            mpg123_delete(decoder_);
            decoder_ = nullptr;
        }
    }
    sink_ = std::make_unique<QAudioSink>(device, format_);
}

OutputQueue::~OutputQueue() {
    if (sink_) sink_->stop();
    sink_.reset();
    if (decoder_) mpg123_delete(decoder_);
}

void OutputQueue::enqueue(OutputBuffer* buffer) {
    Pending item{buffer, {}, 0};
    if (decoder_ && !buffer->data.empty()) {
        mpg123_feed(decoder_, buffer->data.data(), buffer->data.size());
        for (;;) {
            const std::size_t at = item.pcm.size();
            item.pcm.resize(at + kDecodeStep);
            std::size_t done = 0;
            const int rc =
                mpg123_read(decoder_, reinterpret_cast<unsigned char*>(item.pcm.data() + at),
                            kDecodeStep, &done);
            item.pcm.resize(at + done);
            if (rc == MPG123_OK || rc == MPG123_NEW_FORMAT) continue;
            // MPG123_NEED_MORE ends the buffer; a damaged frame is skipped by
            // the decoder itself, so any other result also ends this buffer.
            break;
        }
    }
    pending_.push_back(std::move(item));
}

bool OutputQueue::start() {
    device_ = sink_->start();
    if (!device_ || sink_->error() != QAudio::NoError) {
        device_ = nullptr;
        return false;
    }
    return true;
}

void OutputQueue::pause() {
    paused_ = true;
    if (device_) sink_->suspend();
}

void OutputQueue::resume() {
    paused_ = false;
    if (device_) sink_->resume();
}

void OutputQueue::stopNow() {
    if (sink_) sink_->stop();
    device_ = nullptr;
    pending_.clear();
    finished_ = true;
}

void OutputQueue::stopAfterQueued() {
    draining_ = true;
}

bool OutputQueue::failed() const {
    return sink_ && sink_->error() == QAudio::FatalError;
}

void OutputQueue::setVolume(float gain) {
    if (sink_) sink_->setVolume(std::clamp(gain, 0.0f, 1.0f));
}

std::int64_t OutputQueue::playedUSecs() const {
    return device_ ? sink_->processedUSecs() : 0;
}

void OutputQueue::pump() {
    if (!device_ || finished_) return;
    while (!pending_.empty() && !paused_) {
        Pending& front = pending_.front();
        const qsizetype room = sink_->bytesFree();
        const std::size_t left = front.pcm.size() - front.written;
        if (left > 0) {
            if (room <= 0) break;
            const qint64 n = device_->write(front.pcm.data() + front.written,
                                            std::min<qint64>(room, static_cast<qint64>(left)));
            if (n <= 0) break;
            front.written += static_cast<std::size_t>(n);
            bytesWritten_ += n;
            if (front.written < front.pcm.size()) break;
        }
        OutputBuffer* played = front.buffer;
        pending_.pop_front();
        // May enqueue the buffer again, at the back.
        if (callback_) callback_(played);
    }
    if (draining_ && pending_.empty()) {
        const std::int64_t bytesPerSecond =
            std::int64_t(format_.sampleRate()) * format_.bytesPerFrame();
        const std::int64_t writtenUSecs =
            bytesPerSecond > 0 ? bytesWritten_ / bytesPerSecond * 1000000 +
                                     bytesWritten_ % bytesPerSecond * 1000000 / bytesPerSecond
                               : 0;
        if (playedUSecs() >= writtenUSecs) finished_ = true;
    }
}
