// SPDX-License-Identifier: GPL-3.0-or-later
#include "qvraudiostream.h"

#include <QMediaDevices>
#include <QThread>

#include <algorithm>

#include "streamrun.h"

QVRAudioStream::QVRAudioStream(const Options& options)
    : address_(std::make_shared<StreamAddress>()),
      current_(std::make_shared<StreamRun>()),
      options_(options) {}

std::shared_ptr<QVRAudioStream> QVRAudioStream::initWithURL(std::optional<std::string> url) {
    return initWithURL(std::move(url), Options());
}

std::shared_ptr<QVRAudioStream> QVRAudioStream::initWithURL(std::optional<std::string> url,
                                                            const Options& options) {
    std::shared_ptr<QVRAudioStream> stream(new QVRAudioStream(options));
    stream->address_->url = std::move(url);
    return stream;
}

QVRAudioStream::~QVRAudioStream() {
    stop();
    waitEnded();
}

void QVRAudioStream::setUrl(std::optional<std::string> url) {
    std::lock_guard l(address_->lock);
    address_->url = std::move(url);
    ++address_->generation;
}

std::optional<std::string> QVRAudioStream::url() const {
    std::lock_guard l(address_->lock);
    return address_->url;
}

void QVRAudioStream::setAuthUser(const QString& user) {
    std::lock_guard l(lock_);
    authUser_ = user;
}

void QVRAudioStream::setAuthPass(const QString& password) {
    std::lock_guard l(lock_);
    authPass_ = password;
}

std::int32_t QVRAudioStream::thresholdForPreference(std::int64_t bufferSize) {
    switch (bufferSize) {
        case 0:
            return 50000;
        case 1:
            return 200000;
        case 2:
            return 300000;
        default:
            return static_cast<std::int32_t>(bufferSize);
    }
}

std::shared_ptr<StreamRun> QVRAudioStream::current() const {
    std::lock_guard l(lock_);
    return current_;
}

// --- readers ---

int QVRAudioStream::status() const {
    return current()->status_.load();
}
QString QVRAudioStream::statusMessage() const {
    return current()->statusMessage();
}
float QVRAudioStream::bufferStatus() const {
    return current()->bufferStatus_.load();
}
bool QVRAudioStream::isPlaying() const {
    return current()->isPlaying_.load();
}
bool QVRAudioStream::isPaused() const {
    return current()->isPaused_.load();
}
bool QVRAudioStream::downloadThreadInUse() const {
    return current()->downloadThreadInUse_.load();
}
bool QVRAudioStream::playbackThreadInUse() const {
    return current()->playbackThreadInUse_.load();
}
std::int64_t QVRAudioStream::bytesDownloaded() const {
    return current()->bytesDownloaded_.load();
}
std::int64_t QVRAudioStream::bytesPlayed() const {
    return current()->bytesPlayed_.load();
}
std::int64_t QVRAudioStream::contentLength() const {
    return current()->contentLength_.load();
}
bool QVRAudioStream::isActive() const {
    return current()->isActive();
}
std::string QVRAudioStream::fileName() const {
    return current()->fileName();
}
id3::TagInfo QVRAudioStream::tags() const {
    return current()->tags();
}

// --- control, on the controlling thread ---

void QVRAudioStream::start() {
    // One download at a time: the earlier run's download is ended and
    // joined, and its output silenced; the rest of its teardown goes on.
    if (!runs_.empty()) stop();
    reapEndedRuns();

    StreamRun::Setup setup;
    setup.address = address_;
    {
        std::lock_guard l(address_->lock);
        setup.url = address_->url;
        // The earlier run's end must not forget the address this one uses.
        setup.urlGeneration = ++address_->generation;
    }
    {
        std::lock_guard l(lock_);
        setup.user = authUser_;
        setup.password = authPass_;
    }
    // The sound system's device list is the main thread's business.
    setup.device = QMediaDevices::defaultAudioOutput();
    setup.stallTimeoutMs = options_.stallTimeoutMs;
    setup.outputSettleMs = options_.outputSettleMs;
    setup.bufferSizePreference = options_.bufferSizePreference;

    auto run = std::make_shared<StreamRun>(std::move(setup));
    run->markStarted();
    {
        std::lock_guard l(lock_);
        current_ = run;
    }
    Started started;
    started.run = run;
    started.download = std::thread([run]() mutable {
        const auto keep = std::move(run);
        keep->startDownloadingMP3();
    });
    runs_.push_back(std::move(started));
}

void QVRAudioStream::stop() {
    if (runs_.empty()) return;
    Started& last = runs_.back();
    StreamRun& run = *last.run;
    run.requestStop();
    // The download thread is the only one that starts a playback thread, so
    // once it has ended, any playback there is has seen the stop request.
    if (last.download.joinable()) last.download.join();
    if (!last.playback) last.playback = run.takePlaybackThread();
    run.waitSilent();
    run.setStatusMessage(QString());
    run.isPlaying_ = false;
    run.isPaused_ = false;
    run.bufferStatus_ = 0.0f;
}

void QVRAudioStream::reapEndedRuns() {
    std::erase_if(runs_, [](Started& s) {
        if (s.download.joinable()) {
            if (s.run->downloadAlive()) return false;
            s.download.join();  // at its last step
        }
        if (!s.playback) s.playback = s.run->takePlaybackThread();
        if (s.playback && !s.playback->isFinished()) return false;
        if (s.playback) s.playback->wait();
        return true;
    });
}

void QVRAudioStream::waitEnded() {
    for (Started& s : runs_) {
        if (s.download.joinable()) s.download.join();
        // No download thread runs now, so the playback thread is no longer
        // written.
        if (!s.playback) s.playback = s.run->takePlaybackThread();
        if (s.playback) s.playback->wait();
    }
    runs_.clear();
}

void QVRAudioStream::pause() {
    StreamRun& run = *current();
    if (!run.mIsRunning) return;
    const bool pausing = !run.isPaused_;
    run.isPaused_ = pausing;
    run.status_ = pausing ? Paused : Playing;
    run.pauseToggled_ = true;
}

void QVRAudioStream::setVolume(float value) {
    StreamGain::set(std::clamp(value, 0.0f, 1.0f));
}

float QVRAudioStream::gain() {
    return StreamGain::value();
}
