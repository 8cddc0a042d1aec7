// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The state of one start of a QVRAudioStream, shared by that start's download
// and playback threads and read by the stream object. Internal to the sound
// layer: only qvraudiostream.cpp, streamdownload.cpp and streamplayback.cpp
// include it.

#include <QAudioDevice>
#include <QString>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "id3tag.h"
#include "mp3file.h"

class CurlMultiLoop;
class OutputQueue;
class QThread;
struct OutputBuffer;

// Where a stream's address lives: shared by the stream object and its runs,
// so that a run that ends forgets the address only if nobody has given or
// used it since (generation).
struct StreamAddress {
    std::mutex lock;
    std::optional<std::string> url;
    std::uint64_t generation = 0;  // raised by every setUrl() and start()
};

// The process-wide output gain, written by setVolume() and applied by every
// playback. generation is raised by each change.
namespace StreamGain {
float value();
unsigned generation();
void set(float gain);
}  // namespace StreamGain

// One start of a stream. Each of its threads holds a shared_ptr to it, so a
// stopped run finishes its teardown (the output's settle, the file's removal)
// in the background while the stream object goes on with a new run; a run
// never touches the stream object or another run.
//
// The stream object makes it on the controlling thread, starts the download
// thread on startDownloadingMP3() and later joins that thread, waits for and
// deletes the playback thread (takePlaybackThread()) on the same thread.
class StreamRun : public std::enable_shared_from_this<StreamRun> {
public:
    enum Status : int { Idle = 0, Playing = 1, Paused = 2, Downloading = 3, ClosedByServer = 4 };

    // What a run is started with; fixed for its life.
    struct Setup {
        std::shared_ptr<StreamAddress> address;
        std::optional<std::string> url;
        std::uint64_t urlGeneration = 0;
        QString user, password;
        std::optional<std::int64_t> bufferSizePreference;  // none: read "BufferSize"
        QAudioDevice device;                               // chosen on the controlling thread
        long stallTimeoutMs = 15000;
        int outputSettleMs = 250;
    };

    StreamRun();  // a run never started: the state before the first start
    explicit StreamRun(Setup setup);
    ~StreamRun();
    StreamRun(const StreamRun&) = delete;
    StreamRun& operator=(const StreamRun&) = delete;

    const Setup& setup() const { return setup_; }

    // --- the download thread (streamdownload.cpp) ---
    void startDownloadingMP3();
    // Starts the playback thread unless a stop came first.
    bool startPlaybackThread();

    // --- the playback thread (streamplayback.cpp) ---
    void startInternalMP3();
    void HandleMP3OutputBuffer(OutputBuffer* buffer);

    // --- the controlling thread ---
    // Marks the run started (its download thread is about to run).
    void markStarted();
    // Ends the download and the playback, whatever their phase; any thread.
    void requestStop();
    // Waits until the output makes no more sound (a pump interval, bounded).
    void waitSilent();
    // The playback thread, once the download thread has been joined (it is
    // the only one that makes it); none when playback never started.
    std::unique_ptr<QThread> takePlaybackThread();

    // --- readers, any thread ---
    QString statusMessage() const;
    void setStatusMessage(const QString& text);
    bool downloadAlive() const;
    bool isActive() const;
    std::string fileName() const;
    id3::TagInfo tags() const;
    // Forgets the stream's address unless it has been given or used since
    // this run started.
    void _safeReleaseUrl();

    std::atomic<int> status_{Idle};
    std::atomic<float> bufferStatus_{0.0f};
    std::atomic<bool> isPlaying_{false};
    std::atomic<bool> isPaused_{false};
    std::atomic<bool> stopStreaming_{false};
    std::atomic<bool> stopRequested_{false};
    std::atomic<bool> pauseToggled_{false};
    std::atomic<bool> mIsRunning{false};
    std::atomic<bool> downloadThreadInUse_{false};
    std::atomic<bool> playbackThreadInUse_{false};
    std::atomic<std::int64_t> bytesDownloaded_{0};
    std::atomic<std::int64_t> bytesPlayed_{0};
    std::atomic<std::int64_t> contentLength_{0};

private:
    void endPlayback();

    const Setup setup_;

    // Guards statusMessage_, tags_, fileName_, loop_, playbackThread_ and the
    // three "running" states below.
    mutable std::mutex lock_;
    std::condition_variable changed_;
    QString statusMessage_;
    id3::TagInfo tags_;
    std::string fileName_;
    CurlMultiLoop* loop_ = nullptr;            // the download's, while it runs
    std::unique_ptr<QThread> playbackThread_;  // made by the download thread
    bool downloadRunning_ = false;             // from start to the thread's last step
    bool playbackRunning_ = false;             // likewise for the playback thread
    bool audible_ = false;                     // the output may still make sound

    // Playback state, touched by the playback thread alone.
    std::unique_ptr<Mp3File> mAudioFile;
    std::unique_ptr<OutputQueue> mQueue;
    Mp3File::StreamFormat mDataFormat;
    std::uint32_t bufferByteSize = 0;
    std::uint32_t mNumPacketsToRead = 0;
    std::int64_t mCurrentPacket = 0;
    std::uint64_t dataOffset = 0;
    // Buffers that found no packet while the download still ran; they are
    // tried again at each pump.
    std::vector<OutputBuffer*> waitingBuffers_;
};
