// SPDX-License-Identifier: GPL-3.0-or-later
// The playback side of a stream run: the thread that decodes the growing
// file and plays it, its output callback, the buffer sizing rule and the
// process-wide gain.

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLoggingCategory>
#include <QTimer>

#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "curlmultiloop.h"
#include "outputqueue.h"
#include "qvraudiostream.h"
#include "soundtext.h"
#include "streamrun.h"

Q_LOGGING_CATEGORY(lcAudio, "zorvan.audio")

namespace {

std::atomic<float> gGain{1.0f};
// Raised by every change, so a playback thread sees that it must apply the
// gain again.
std::atomic<unsigned> gGainGeneration{0};

// How often the playback thread moves sound into the output and looks at
// its flags: small enough that a stop silences the output at once.
constexpr int kPumpIntervalMs = 20;

}  // namespace

float StreamGain::value() {
    return gGain.load();
}

unsigned StreamGain::generation() {
    return gGainGeneration.load();
}

void StreamGain::set(float gain) {
    gGain = gain;
    ++gGainGeneration;
}

// Ends the playback, then the download, waits for the download thread to
// leave and deletes the file: the last steps of the playback thread.
void StreamRun::endPlayback() {
    isPlaying_ = false;
    mIsRunning = false;
    stopStreaming_ = true;
    status_ = Idle;
    std::unique_lock l(lock_);
    if (loop_) loop_->wakeup();
    audible_ = false;
    changed_.notify_all();
    changed_.wait(l, [this] { return !downloadRunning_; });
    // The download has ended, so the file is complete and nobody writes to
    // it: it goes at every end of a stream. Its name is this run's own.
    if (!fileName_.empty()) ::unlink(fileName_.c_str());
    fileName_.clear();
    l.unlock();
    _safeReleaseUrl();
    l.lock();
    playbackThreadInUse_ = false;
    playbackRunning_ = false;
    changed_.notify_all();
}

void QVRAudioStream::DeriveBufferSize(const Mp3File::StreamFormat& format,
                                      std::uint32_t maxPacketSize, double seconds,
                                      std::uint32_t* outBufferSize,
                                      std::uint32_t* outNumPacketsToRead) {
    constexpr std::uint32_t maxBufferSize = 0x50000;
    constexpr std::uint32_t minBufferSize = 0x4000;
    std::uint32_t size;
    if (format.framesPerPacket != 0) {
        const double packetsForTime = format.sampleRate / format.framesPerPacket * seconds;
        const double bytes = packetsForTime * maxPacketSize;
        size = bytes >= 4294967295.0 ? 0xFFFFFFFFu
               : bytes > 0           ? static_cast<std::uint32_t>(bytes)
                                     : 0;
    } else {
        size = std::max(maxBufferSize, maxPacketSize);
    }
    if (size > maxBufferSize && size > maxPacketSize) {
        size = maxBufferSize;
    } else if (size < minBufferSize) {
        size = minBufferSize;
    }
    *outBufferSize = size;
    // A file cannot report 0, but a packet size of 0 must not divide.
    *outNumPacketsToRead = maxPacketSize ? size / maxPacketSize : 0;
}

void StreamRun::HandleMP3OutputBuffer(OutputBuffer* buffer) {
    if (!mIsRunning) return;
    const std::uint32_t packets = mAudioFile->readPacketData(
        mCurrentPacket, bufferByteSize, mNumPacketsToRead, buffer->data, &buffer->packets);
    bytesPlayed_ += static_cast<std::int64_t>(buffer->data.size());
    if (packets > 0) {
        mQueue->enqueue(buffer);
        mCurrentPacket += packets;
    } else if (downloadAlive()) {
        // Caught up with a file that is still growing: try again soon. A
        // stream whose data stops for good ends through its download.
        waitingBuffers_.push_back(buffer);
    } else {
        // Caught up with the whole file: play what is queued, then end.
        mQueue->stopAfterQueued();
        mIsRunning = false;
    }
}

void StreamRun::startInternalMP3() {
    const std::string path = fileName();
    Mp3File::Error error = Mp3File::Error::None;
    mAudioFile = Mp3File::open(path, &error, status_ == ClosedByServer);
    if (!mAudioFile) {
        switch (error) {
            case Mp3File::Error::NotAudio:
                setStatusMessage(soundText("The data format is not supported by this file type."));
                break;
            case Mp3File::Error::NotYetAudio:
                setStatusMessage(
                    soundText("The file is malformed, or otherwise not a valid instance of "
                         "an audio file of its type."));
                break;
            default:
                setStatusMessage(QStringLiteral("Error code: %1").arg(errno));
                break;
        }
        endPlayback();
        return;
    }

    mIsRunning = true;
    waitingBuffers_.clear();
    {
        const std::vector<std::uint8_t>& tag = mAudioFile->id3Tag();
        id3::TagInfo info = id3::readTag(tag.data(), tag.size());
        std::lock_guard l(lock_);
        tags_ = std::move(info);
    }
    mDataFormat = mAudioFile->format();
    mQueue = std::make_unique<OutputQueue>(
        setup_.device, mDataFormat,
        [this](OutputBuffer* buffer) { HandleMP3OutputBuffer(buffer); });
    QVRAudioStream::DeriveBufferSize(mDataFormat, mAudioFile->maximumPacketSize(), 0.5,
                                     &bufferByteSize, &mNumPacketsToRead);
    dataOffset = mAudioFile->dataOffset();
    mCurrentPacket = 0;
    mIsRunning = true;
    status_ = Playing;

    OutputBuffer buffers[3];
    for (OutputBuffer& buffer : buffers) {
        buffer.data.reserve(bufferByteSize);
        HandleMP3OutputBuffer(&buffer);
    }
    unsigned gainGeneration = StreamGain::generation();
    mQueue->setVolume(StreamGain::value());

    bool started = false;
    {
        std::lock_guard l(lock_);
        // A stop that came while this thread set up must still end it.
        if (!stopRequested_) {
            started = mQueue->start();
            audible_ = started;
        }
    }
    if (!started && !stopRequested_) {
        qCWarning(lcAudio) << "No sound output";
        setStatusMessage(soundText("No sound output is available."));
    }
    playbackThreadInUse_ = true;

    if (started) {
        QEventLoop loop;
        QTimer pump;
        QElapsedTimer drainClock;
        pump.setInterval(kPumpIntervalMs);
        QObject::connect(&pump, &QTimer::timeout, [&] {
            if (stopRequested_) {
                loop.quit();
                return;
            }
            const unsigned generation = StreamGain::generation();
            if (generation != gainGeneration) {
                gainGeneration = generation;
                mQueue->setVolume(StreamGain::value());
            }
            if (pauseToggled_.exchange(false)) {
                if (isPaused_) {
                    mQueue->pause();
                } else {
                    mQueue->resume();
                }
            }
            if (!waitingBuffers_.empty()) {
                const std::vector<OutputBuffer*> waiting = std::move(waitingBuffers_);
                waitingBuffers_.clear();
                for (OutputBuffer* buffer : waiting) HandleMP3OutputBuffer(buffer);
            }
            mQueue->pump();
            if (mQueue->failed()) {
                setStatusMessage(soundText("The sound output failed."));
                loop.quit();
                return;
            }
            if (!mIsRunning) {
                // Draining what is queued; bounded, in case the output
                // stops reporting progress.
                if (!drainClock.isValid()) drainClock.start();
                if (mQueue->finished() || drainClock.elapsed() > 10000) {
                    if (statusMessage().isEmpty())
                        setStatusMessage(soundText("The sound stream has ended."));
                    loop.quit();
                }
            }
        });
        pump.start();
        loop.exec();
        pump.stop();

        mQueue->stopNow();
        {
            std::lock_guard l(lock_);
            audible_ = false;
            changed_.notify_all();
        }
        QTimer::singleShot(setup_.outputSettleMs, &loop, &QEventLoop::quit);
        loop.exec();
    }
    waitingBuffers_.clear();
    mQueue.reset();
    mAudioFile.reset();
    endPlayback();
}
