// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QAudioDevice>
#include <QAudioFormat>

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <vector>

#include "mp3file.h"

class QAudioSink;
class QIODevice;
struct mpg123_handle_struct;

// One buffer of MP3 packets that circulates through an OutputQueue.
struct OutputBuffer {
    std::vector<std::uint8_t> data;  // capacity: the queue's buffer size
    std::vector<Mp3File::PacketDescription> packets;
};

// Plays MP3 packets: each enqueued buffer is decoded (libmpg123, feed mode)
// to 16-bit PCM and written to the sound output (a QAudioSink in push mode).
// Once a buffer's sound has been handed to the output, the callback gets the
// buffer back to refill it. Create, use and destroy it on one thread that
// runs a Qt event loop and calls pump() often (every 20 ms or so); the
// callback is called from pump() on that thread.
class OutputQueue {
public:
    using Callback = std::function<void(OutputBuffer*)>;

    // device: where to play; looked up by the caller on the main thread,
    // since the sound system's device list belongs to that thread.
    OutputQueue(const QAudioDevice& device, const Mp3File::StreamFormat& format, Callback callback);
    ~OutputQueue();
    OutputQueue(const OutputQueue&) = delete;
    OutputQueue& operator=(const OutputQueue&) = delete;

    // Decodes the buffer's packets and queues their sound. The buffer is
    // handed back through the callback once its sound has been written.
    void enqueue(OutputBuffer* buffer);
    // Opens the sound output. False when there is none (no sound server).
    bool start();
    void pause();
    void resume();
    // Ends the output at once; what is queued is dropped.
    void stopNow();
    // Plays what is queued, then ends; finished() tells when.
    void stopAfterQueued();
    bool finished() const { return finished_; }
    // True when the output has failed since start().
    bool failed() const;
    void setVolume(float gain);
    // Moves queued sound into the output and returns played buffers.
    void pump();

    // Microseconds of sound the output has played since start().
    std::int64_t playedUSecs() const;

private:
    QAudioFormat format_;
    Callback callback_;
    mpg123_handle_struct* decoder_ = nullptr;
    std::unique_ptr<QAudioSink> sink_;
    QIODevice* device_ = nullptr;  // owned by sink_

    struct Pending {
        OutputBuffer* buffer;
        std::vector<char> pcm;
        std::size_t written = 0;
    };
    std::deque<Pending> pending_;
    std::int64_t bytesWritten_ = 0;
    bool draining_ = false;
    bool finished_ = false;
    bool paused_ = false;
};
