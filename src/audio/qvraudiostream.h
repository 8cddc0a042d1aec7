// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "id3tag.h"
#include "mp3file.h"

class QThread;
class StreamRun;
struct StreamAddress;

// Plays an MP3 stream that a server sends as the body of one HTTP answer.
// A download thread writes the body into a temporary file as it arrives; once
// enough is buffered it starts a playback thread that decodes the growing
// file and plays it. Make it with initWithURL(), give it an address and
// credentials, start() it, later stop() it; one object may be started again
// after a stop or after its stream ended by itself.
//
// Each start() is a run of its own (StreamRun), whose threads hold it while
// they work: a stopped run finishes its teardown in the background, so a new
// start() never waits for it, and the readers report the latest run. One
// object never runs two downloads at once.
//
// Threads: start(), stop(), pause(), setVolume() and waitEnded() are for one
// controlling thread (the main thread in the viewer), which also destroys the
// object. The readers may be called from any thread.
class QVRAudioStream {
public:
    // Values of status().
    enum Status : int { Idle = 0, Playing = 1, Paused = 2, Downloading = 3, ClosedByServer = 4 };

    // How long the stream waits for the server and for the sound output,
    // and how much it buffers.
    struct Options {
        // How long the server may send nothing before the stream counts as
        // failed.
        long stallTimeoutMs = 15000;
        // How long a stopped output is left to settle before it is destroyed
        // (destroying an output that has just been active can crash inside
        // the sound server's client library). Neither stop() nor start()
        // waits for it.
        int outputSettleMs = 250;
        // The buffering preference (see thresholdForPreference()); none reads
        // the stored "BufferSize" preference at each start.
        std::optional<std::int64_t> bufferSizePreference;
    };

    // url: the whole address, or none (then start() does nothing visible).
    static std::shared_ptr<QVRAudioStream> initWithURL(std::optional<std::string> url);
    static std::shared_ptr<QVRAudioStream> initWithURL(std::optional<std::string> url,
                                                       const Options& options);
    ~QVRAudioStream();  // stop() and waitEnded()
    QVRAudioStream(const QVRAudioStream&) = delete;
    QVRAudioStream& operator=(const QVRAudioStream&) = delete;

    void setUrl(std::optional<std::string> url);
    std::optional<std::string> url() const;
    void setAuthUser(const QString& user);
    void setAuthPass(const QString& password);

    // Stops what an earlier start left running (without waiting for its
    // teardown), then starts a download thread and returns at once.
    void start();
    // Ends the download and silences the output, whatever phase the stream
    // is in, and returns once both have happened (a few milliseconds, never
    // waiting for the network); the playback thread finishes its teardown
    // and deletes the temporary file in the background (waitEnded() waits
    // for that).
    void stop();
    // Waits until the threads of every run have ended (at quit).
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
    // Sizes one output buffer for seconds of sound: the buffer bytes and
    // packets per read.
    static void DeriveBufferSize(const Mp3File::StreamFormat& format, std::uint32_t maxPacketSize,
                                 double seconds, std::uint32_t* outBufferSize,
                                 std::uint32_t* outNumPacketsToRead);

    // --- readers, of the latest start ---
    int status() const;
    QString statusMessage() const;
    float bufferStatus() const;
    bool isPlaying() const;
    bool isPaused() const;
    bool downloadThreadInUse() const;
    bool playbackThreadInUse() const;
    std::int64_t bytesDownloaded() const;
    std::int64_t bytesPlayed() const;
    std::int64_t contentLength() const;
    std::int64_t startOffset() const { return 0; }
    // True while either thread of the last start() still runs.
    bool isActive() const;
    // Path of the current download's temporary file; empty when there is none.
    std::string fileName() const;
    // The stream's ID3 tag, once playback has read it.
    id3::TagInfo tags() const;

private:
    explicit QVRAudioStream(const Options& options);
    std::shared_ptr<StreamRun> current() const;
    // Joins and deletes the threads of earlier runs that have ended.
    void reapEndedRuns();

    // A run with the thread handles its controlling thread owns.
    struct Started {
        std::shared_ptr<StreamRun> run;
        std::thread download;
        std::unique_ptr<QThread> playback;  // taken from the run once download has ended
    };

    const std::shared_ptr<StreamAddress> address_;
    // Guards the credentials and current_.
    mutable std::mutex lock_;
    QString authUser_, authPass_;
    std::shared_ptr<StreamRun> current_;  // never null
    std::vector<Started> runs_;           // controlling thread only; the last may be current_
    const Options options_;
};
