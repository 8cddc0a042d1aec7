// SPDX-License-Identifier: GPL-3.0-or-later
#include "videoplayer.h"

#include "base64.h"
#include "framemailbox.h"
#include "httpstream.h"
#include "mainthreadcall.h"
#include "serverurl.h"
#include "videodecoder.h"

#include <QCoreApplication>
#include <QLoggingCategory>
#include <QPointer>

extern "C" {
#include <libavutil/error.h>
}

#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <list>
#include <mutex>
#include <thread>

Q_LOGGING_CATEGORY(lcVideo, "zorvan.video")

namespace video {

using Clock = std::chrono::steady_clock;

namespace {

// Every decode thread of the process. A player never waits for its thread:
// stop() tells it to end and lets it go, and the thread, which owns all it
// uses, ends by itself a moment later (at its next read or wait, or when
// FFmpeg's work on the bytes it has returns). A thread of the set's own
// joins the finished ones; joinAll() tells every one to end and joins them
// all, so that none still runs when the process's objects go.
class DecodeThreads {
public:
    // It lives as long as the process: threads may outlast every other object.
    static DecodeThreads& instance() {
        static auto* threads = new DecodeThreads;
        return *threads;
    }

    // Runs body on a thread of its own; stop tells it to end. False, running
    // nothing, while joinAll() runs.
    bool start(std::function<void()> body, std::function<void()> stop) {
        std::lock_guard lock(lock_);
        if (joining_) return false;
        if (!reaper_.joinable()) reaper_ = std::thread([this] { reap(); });
        const auto entry = entries_.emplace(entries_.end());
        entry->stop = std::move(stop);
        // The thread marks itself finished under the lock, so not before
        // its entry is complete.
        entry->thread = std::thread([this, entry, body = std::move(body)]() mutable {
            body();
            body = nullptr;  // what it owned goes before it counts as finished
            {
                std::lock_guard lock(lock_);
                entry->finished = true;
            }
            changed_.notify_all();
        });
        return true;
    }

    void joinAll() {
        std::thread reaper;
        {
            std::lock_guard lock(lock_);
            joining_ = true;
            for (Entry& entry : entries_) entry.stop();
            reaper.swap(reaper_);
        }
        changed_.notify_all();
        if (reaper.joinable()) reaper.join();  // it returns once every thread is joined
        std::lock_guard lock(lock_);
        joining_ = false;
    }

private:
    struct Entry {
        std::thread thread;
        std::function<void()> stop;
        bool finished = false;
    };

    void reap() {
        std::unique_lock lock(lock_);
        for (;;) {
            const auto done = std::find_if(entries_.begin(), entries_.end(),
                                           [](const Entry& e) { return e.finished; });
            if (done == entries_.end()) {
                if (joining_ && entries_.empty()) return;
                changed_.wait(lock);
                continue;
            }
            std::thread thread = std::move(done->thread);
            std::function<void()> stop = std::move(done->stop);
            entries_.erase(done);
            lock.unlock();
            thread.join();
            stop = nullptr;
            lock.lock();
        }
    }

    std::mutex lock_;
    std::condition_variable changed_;
    std::list<Entry> entries_;
    std::thread reaper_;
    bool joining_ = false;
};

}  // namespace

// What the decode thread shares with the player. It lives as long as either
// holds it, so the thread never touches the player's own members.
struct VideoPlayer::Run {
    Run() : wakeFd(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}
    ~Run() {
        if (wakeFd >= 0) ::close(wakeFd);
    }
    void requestStop() {
        stop = true;
        const std::uint64_t one = 1;
        [[maybe_unused]] const ssize_t n = ::write(wakeFd, &one, sizeof one);
    }
    Target target() {
        std::lock_guard lock(targetLock);
        return current;
    }
    // Milliseconds until the stream counts as stalled (0: it does).
    int msToStall() const {
        const auto since = Clock::now() - Clock::time_point(Clock::duration(lastFrame.load()));
        const auto left =
            kStallMs - std::chrono::duration_cast<std::chrono::milliseconds>(since).count();
        return left > 0 ? static_cast<int>(left) : 0;
    }
    void frameSeen() { lastFrame = Clock::now().time_since_epoch().count(); }

    const int wakeFd;
    std::atomic<bool> stop{false};
    std::atomic<bool> stalled{false};
    std::atomic<Clock::rep> lastFrame{Clock::now().time_since_epoch().count()};
    std::mutex targetLock;
    Target current;
    std::shared_ptr<FrameMailbox> mailbox;
    std::function<void(RewindStore::Part&&)> keep;  // set before the thread starts
};

std::optional<VideoPlayer::Source> VideoPlayer::source(const QString& host, const QString& port,
                                                       const QString& videoUri,
                                                       const QString& login,
                                                       const QString& password) {
    // The same checks as every request with the user's credentials; the
    // URL itself is not needed, only that it could be made.
    if (!ServerUrl::make(host, port, videoUri)) return std::nullopt;
    const QByteArray credentials = QStringLiteral("%1:%2").arg(login, password).toUtf8();
    Source source;
    source.host = host.toStdString();
    source.port = port.toStdString();
    source.path = videoUri.toStdString();
    source.authorization =
        "Basic " +
        codec::base64EncodeLine(reinterpret_cast<const unsigned char*>(credentials.constData()),
                                static_cast<size_t>(credentials.size()));
    return source;
}

VideoPlayer::VideoPlayer(QObject* parent)
    : QObject(parent), mailbox_(std::make_shared<FrameMailbox>()) {}

void VideoPlayer::joinDecodeThreads() {
    DecodeThreads::instance().joinAll();
}

VideoPlayer::~VideoPlayer() {
    self_.reset();  // reports already on their way find no player
    stop();
}

void VideoPlayer::stop() {
    ++generation_;  // reports already on their way are dropped
    // Never a join: the thread may be inside FFmpeg, and ends by itself.
    if (run_) run_->requestStop();
    run_.reset();
    mailbox_->take();
    endedSeen_ = false;
}

void VideoPlayer::play(const std::optional<Source>& source, Target target,
                       std::function<void(RewindStore::Part&&)> keep) {
    stop();
    if (!source) {
        qCInfo(lcVideo) << "Video refused: its path could lead to another host";
        QMetaObject::invokeMethod(
            this,
            [this, generation = generation_] {
                report(generation, VideoStatus::RefusedAddress,
                       statusText(VideoStatus::RefusedAddress));
            },
            Qt::QueuedConnection);
        return;
    }
    // Each application object joins the decode threads as it goes, before
    // what they use (its event queue, the logging) is torn down.
    static QPointer<QCoreApplication> joinsAtExit;
    if (QCoreApplication::instance() && joinsAtExit != QCoreApplication::instance()) {
        qAddPostRoutine(&VideoPlayer::joinDecodeThreads);
        joinsAtExit = QCoreApplication::instance();
    }
    mailbox_ = std::make_shared<FrameMailbox>();
    run_ = std::make_shared<Run>();
    run_->current = target;
    run_->mailbox = mailbox_;
    run_->keep = std::move(keep);
    const bool started = DecodeThreads::instance().start(
        [run = run_, source = *source, generation = generation_,
         self = std::weak_ptr<VideoPlayer*>(self_)]() mutable {
            decodeThread(std::move(run), std::move(source), generation, std::move(self));
        },
        [run = run_] { run->requestStop(); });
    if (!started) run_.reset();  // the process is ending
}

void VideoPlayer::setTarget(Target target) {
    if (!run_) return;
    std::lock_guard lock(run_->targetLock);
    run_->current = target;
}

std::optional<VideoFrame> VideoPlayer::takeFrame() {
    return mailbox_->take();
}

std::uint64_t VideoPlayer::droppedFrames() const {
    return mailbox_->dropped();
}

void VideoPlayer::report(std::uint64_t generation, VideoStatus status, const QString& detail) {
    if (generation != generation_) return;
    endedSeen_ = true;
    emit ended(status, detail);
}

// Runs on the decode thread and never touches the player: what it reports
// goes to the main thread through the project's own queue (whose lock the
// thread checker sees), to the player if it is still there.
void VideoPlayer::decodeThread(std::shared_ptr<Run> run, Source source, std::uint64_t generation,
                               std::weak_ptr<VideoPlayer*> self) {
    const QString where = QString::fromStdString(source.host + ":" + source.port + source.path);
    const auto finish = [&](VideoStatus status, const std::string& detail) {
        if (status == VideoStatus::Stopped) return;
        const QString text = statusText(status) +
                             (detail.empty() ? QString() : ": " + QString::fromStdString(detail));
        qCInfo(lcVideo) << "Video" << where << "ended:" << text;
        MainThreadCall::post([self, generation, status, text] {
            if (const auto player = self.lock()) (*player)->report(generation, status, text);
        });
    };

    HttpStream http(run->wakeFd);
    HttpStream::Request request{source.host, source.port, source.path, source.authorization};
    std::fill(source.authorization.begin(), source.authorization.end(), '\0');
    const HttpStream::Opened opened = http.open(request, kStallMs);
    std::fill(request.authorization.begin(), request.authorization.end(), '\0');
    switch (opened) {
        case HttpStream::Opened::Ok:
            break;
        case HttpStream::Opened::Stopped:
            return;
        case HttpStream::Opened::TimedOut:
            return finish(VideoStatus::Stalled, "no answer");
        case HttpStream::Opened::ConnectionFailed:
            return finish(VideoStatus::ConnectionFailed, http.detail());
        case HttpStream::Opened::NotVideo:
            return finish(VideoStatus::NotVideo, http.detail());
    }

    VideoDecoder decoder(
        [&](std::uint8_t* data, int size) {
            const int n = http.read(data, size, run->msToStall());
            if (n == HttpStream::kTimedOut) run->stalled = true;
            if (n == HttpStream::kTimedOut || n == HttpStream::kStopped) return AVERROR_EXIT;
            return n == HttpStream::kFailed ? AVERROR(EIO) : n;
        },
        [&] {
            if (run->stop) return true;
            if (run->msToStall() == 0) run->stalled = true;
            return run->stalled.load();
        });
    decoder.setKeep(run->keep);
    const VideoStatus status =
        decoder.run([&] { return run->target(); },
                    [&](VideoFrame&& frame) {
                        run->frameSeen();
                        if (!run->mailbox->put(std::move(frame))) return;
                        MainThreadCall::post([self, generation] {
                            const auto player = self.lock();
                            if (player && generation == (*player)->generation_)
                                emit(*player)->frameReady();
                        });
                    });
    if (status == VideoStatus::Stopped && run->stalled && !run->stop) {
        return finish(VideoStatus::Stalled, "no frame for " + std::to_string(kStallMs) + " ms");
    }
    finish(status, {});
}

}  // namespace video
