#pragma once

#include <QAudioDevice>
#include <QByteArray>
#include <QString>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "id3tag.h"
#include "mp3file.h"

struct OutputBuffer;
class OutputQueue;
class QThread;

// Plays an MP3 stream that a server sends as the body of one HTTP answer.
// A download thread writes the body into a temporary file as it arrives; once
// enough is buffered it starts a playback thread that decodes the growing
// file and plays it. Make it with create(), give it an address and
// credentials, start() it, later stop() it; one object may be started again
// after a stop or after its stream ended by itself.
//
// Threads: start(), stop(), pause(), setVolume() and waitEnded() are for one
// controlling thread (the main thread in the viewer). The readers may be
// called from any thread. Each of the object's threads holds a shared_ptr
// to it while it runs.
class QVRAudioStream : public std::enable_shared_from_this<QVRAudioStream> {
public:
    // Values of status().
    enum Status : int { Idle = 0, Playing = 1, Paused = 2, Downloading = 3, ClosedByServer = 4 };

    // url: the whole address, or none (then start() does nothing visible).
    static std::shared_ptr<QVRAudioStream> initWithURL(std::optional<std::string> url);
    ~QVRAudioStream();
    QVRAudioStream(const QVRAudioStream&) = delete;
    QVRAudioStream& operator=(const QVRAudioStream&) = delete;

    void setUrl(std::optional<std::string> url);
    std::optional<std::string> url() const;
    void setAuthUser(const QString& user);
    void setAuthPass(const QString& password);

    // Ends what an earlier start left running, then starts a download
    // thread and returns at once.
    void start();
    // Ends the download and silences the output, whatever phase the stream
    // is in, and returns once both have happened (a few milliseconds); the
    // playback thread finishes its teardown and deletes the temporary file
    // in the background (waitEnded() waits for that).
    void stop();
    // Waits until both threads have ended. Used at quit and by tests.
    void waitEnded();
    // Toggles the output between paused and playing.
    void pause();
    // Sets the process-wide gain (0.0 to 1.0) and applies it to the output
    // playing now, if any; a later playback starts with it.
    void setVolume(float gain);
    static float gain();

    // The buffering threshold for a "BufferSize" preference value: 0 gives
    // 50000 bytes, 1 gives 200000, 2 gives 300000, any other value is itself
    // the number of bytes.
    static std::int32_t thresholdForPreference(std::int64_t bufferSize);
    // Overrides the preference for this object (tests); none reads it again.
    void setBufferSizePreference(std::optional<std::int64_t> value);
    // How long the server may send nothing before the stream counts as
    // failed (default 15 s).
    void setStallTimeoutMs(long ms) { stallTimeoutMs_ = ms; }

    // Sizes one output buffer for seconds of sound: the buffer bytes and
    // packets per read.
    static void DeriveBufferSize(const Mp3File::StreamFormat& format, std::uint32_t maxPacketSize,
                                 double seconds, std::uint32_t* outBufferSize,
                                 std::uint32_t* outNumPacketsToRead);

    // --- readers ---
    int status() const { return status_.load(); }
    QString statusMessage() const;
    float bufferStatus() const { return bufferStatus_.load(); }
    bool isPlaying() const { return isPlaying_.load(); }
    bool isPaused() const { return isPaused_.load(); }
    bool downloadThreadInUse() const { return downloadThreadInUse_.load(); }
    bool playbackThreadInUse() const { return playbackThreadInUse_.load(); }
    std::int64_t bytesDownloaded() const { return bytesDownloaded_.load(); }
    std::int64_t bytesPlayed() const { return bytesPlayed_.load(); }
    std::int64_t contentLength() const { return contentLength_.load(); }
    std::int64_t startOffset() const { return 0; }
    // True while either thread of the last start() still runs.
    bool isActive() const;
    // Path of the current download's temporary file; empty when there is none.
    std::string fileName() const;
    // The stream's ID3 tag, once playback has read it.
    id3::TagInfo tags() const;

private:
    friend struct QVRAudioStreamAccess;
    QVRAudioStream() = default;

    void setStatusMessage(const QString& text);
    void startDownloadingMP3();
    void startInternalMP3();
    void HandleMP3OutputBuffer(OutputBuffer* buffer);
    // Forgets the address, unless setUrl() has given a new one since the
    // thread that calls it read the address (generation).
    void _safeReleaseUrl(std::uint64_t generation);
    // Starts the playback thread unless a stop came first.
    bool startPlaybackThread();
    bool downloadAlive() const;
    void wakeDownload();

    // Guards url_, credentials, statusMessage_, tags_, fileName_, the thread
    // handles, multi_, stopRequested_ transitions and the "ended" states.
    mutable std::mutex lock_;
    std::condition_variable changed_;
    std::optional<std::string> url_;
    std::uint64_t urlGeneration_ = 0;     // raised by each setUrl()
    std::uint64_t runUrlGeneration_ = 0;  // the generation the current download read
    QString authUser_, authPass_;
    QString statusMessage_;
    id3::TagInfo tags_;
    std::string fileName_;
    std::optional<std::int64_t> bufferSizeOverride_;
    QAudioDevice outputDevice_;  // chosen by start() on the controlling thread
    std::atomic<long> stallTimeoutMs_{15000};

    std::thread downloadThread_;
    std::unique_ptr<QThread> playbackThread_;  // started by the download thread under lock_
    void* multi_ = nullptr;                    // the download's libcurl multi handle
    bool downloadRunning_ = false;             // from thread start to its last step
    bool playbackRunning_ = false;             // likewise for the playback thread
    bool audible_ = false;                     // the output may still make sound

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
