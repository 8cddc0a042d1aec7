// SPDX-License-Identifier: GPL-3.0-or-later
#include "rewindplayer.h"

#include "rewindstore.h"

#include <QPointer>

#include <algorithm>
#include <array>
#include <cmath>
#include <condition_variable>
#include <mutex>
#include <set>
#include <thread>

namespace {

constexpr std::array<double, 4> kSpeeds{0.5, 1, 2, 4};

int speedIndex(double speed) {
    int best = 0;
    for (int i = 1; i < int(kSpeeds.size()); ++i)
        if (std::abs(kSpeeds[i] - speed) < std::abs(kSpeeds[best] - speed)) best = i;
    return best;
}

// The arrival of the part that shows the camera at `time`, if any.
std::optional<qint64> shownAt(const RewindStore& store, const QString& camera, qint64 time) {
    const std::vector<RewindStore::Part> parts = store.partBefore(camera, time);
    if (parts.empty()) return std::nullopt;
    return parts.back().time;
}

}  // namespace

// The decoding thread: a PastDecoder per cell, and the newest request of each
// cell waiting. Requests are taken oldest round first, so that every cell of
// a round is shown before any cell of the next. While playing, a result that
// is what the cell was last given (a still that stays) is not handed over;
// a fresh request (a jump, a changed cell) always is.
struct RewindPlayer::Worker {
    struct Request {
        QString camera;
        QSize pixels;
        qint64 moment = 0;
        quint64 round = 0;
        bool fresh = false;
    };
    using Deliver = std::function<void(int cell, quint64 round, const QString& camera,
                                       std::optional<video::Past> past)>;

    Worker(std::shared_ptr<RewindStore> keptStore, Deliver give)
        : store(std::move(keptStore)), deliver(std::move(give)), thread([this] { run(); }) {}

    ~Worker() {
        {
            std::lock_guard lock(mutex);
            stopping = true;
        }
        wake.notify_all();
        thread.join();
    }

    void request(int cell, Request r) {
        {
            std::lock_guard lock(mutex);
            Request& waiting = pending[cell];
            r.fresh = r.fresh || waiting.fresh;  // a fresh one replaced stays fresh
            waiting = std::move(r);
        }
        wake.notify_all();
    }

    void keepOnly(const std::set<int>& ids) {
        std::lock_guard lock(mutex);
        cells = ids;
        cellsChanged = true;
        std::erase_if(pending, [&](const auto& entry) { return !ids.contains(entry.first); });
        wake.notify_all();
    }

    void dropPending() {
        std::lock_guard lock(mutex);
        pending.clear();
    }

    void run() {
        std::unique_lock lock(mutex);
        for (;;) {
            wake.wait(lock, [this] { return stopping || cellsChanged || !pending.empty(); });
            if (stopping) return;
            if (cellsChanged) {
                cellsChanged = false;
                std::erase_if(decoders,
                              [&](const auto& entry) { return !cells.contains(entry.first); });
                std::erase_if(given,
                              [&](const auto& entry) { return !cells.contains(entry.first); });
            }
            if (pending.empty()) continue;
            const auto next = std::min_element(
                pending.begin(), pending.end(),
                [](const auto& a, const auto& b) { return a.second.round < b.second.round; });
            const int cell = next->first;
            const Request r = std::move(next->second);
            pending.erase(next);
            std::unique_ptr<video::PastDecoder>& decoder = decoders[cell];
            if (!decoder) decoder = std::make_unique<video::PastDecoder>();
            video::PastDecoder* used = decoder.get();
            // Decoded outside the lock: the main thread only ever waits for
            // the map of requests. Decoders and what was given are this
            // thread's own.
            lock.unlock();
            std::optional<video::Past> past =
                used->show(*store, r.camera, r.moment, video::Target{r.pixels, {}});
            const std::pair<qint64, qint64> now{past ? past->time : -1,
                                                past ? past->image.cacheKey() : 0};
            const auto last = given.find(cell);
            if (r.fresh || last == given.end() || last->second != now) {
                given[cell] = now;
                deliver(cell, r.round, r.camera, std::move(past));
            }
            lock.lock();
        }
    }

    const std::shared_ptr<RewindStore> store;
    const Deliver deliver;
    std::mutex mutex;
    std::condition_variable wake;
    std::map<int, Request> pending;
    std::set<int> cells;
    bool cellsChanged = false;
    bool stopping = false;
    // By cell: the arrival and image of what it was given last (-1: nothing kept).
    std::map<int, std::pair<qint64, qint64>> given;
    std::map<int, std::unique_ptr<video::PastDecoder>> decoders;  // the thread's own
    std::thread thread;  // last: started once the rest is made
};

RewindPlayer::RewindPlayer(std::shared_ptr<RewindStore> store, std::function<qint64()> now,
                           QObject* parent)
    : QObject(parent), store_(std::move(store)), now_(std::move(now)) {
    timer_.setInterval(kTickMs);
    connect(&timer_, &QTimer::timeout, this, &RewindPlayer::tick);
    // Results come back through the event loop; the destructor joins the
    // thread before the object goes, and with it any result still posted.
    const QPointer<RewindPlayer> self(this);
    worker_ = std::make_unique<Worker>(
        store_, [this, self](int cell, quint64 round, const QString& camera,
                             std::optional<video::Past> past) {
            QMetaObject::invokeMethod(
                this,
                [self, cell, round, camera, past = std::move(past)]() mutable {
                    if (!self) return;
                    const auto at = std::find_if(self->cells_.begin(), self->cells_.end(),
                                                 [&](const Cell& c) { return c.id == cell; });
                    if (at == self->cells_.end() || at->camera != camera) return;
                    self->delivered(cell, round, std::move(past));
                },
                Qt::QueuedConnection);
        });
}

RewindPlayer::~RewindPlayer() {
    timer_.stop();
    worker_.reset();
}

void RewindPlayer::setCells(std::vector<Cell> cells) {
    std::set<int> ids;
    std::vector<int> changed;
    for (const Cell& cell : cells) {
        ids.insert(cell.id);
        const auto old = std::find_if(cells_.begin(), cells_.end(),
                                      [&](const Cell& c) { return c.id == cell.id; });
        if (old == cells_.end() || old->camera != cell.camera || old->pixels != cell.pixels) {
            changed.push_back(cell.id);
            shown_.erase(cell.id);
        }
    }
    std::erase_if(shown_, [&](const auto& entry) { return !ids.contains(entry.first); });
    cells_ = std::move(cells);
    worker_->keepOnly(ids);
    if (live_ || changed.empty()) return;
    const quint64 round = ++request_;
    for (const Cell& cell : cells_) {
        if (cell.camera.isEmpty() ||
            std::find(changed.begin(), changed.end(), cell.id) == changed.end())
            continue;
        worker_->request(cell.id, {cell.camera, cell.pixels, moment_, round, true});
    }
}

qint64 RewindPlayer::moment() const {
    return live_ ? now_() : moment_;
}

void RewindPlayer::moveTo(qint64 moment) {
    moment_ = std::min(moment, now_());
    carry_ = 0;
    if (live_) {
        live_ = false;
        emit liveChanged(false);
    }
    // A result of a round before the jump would show another moment.
    shownFrom_ = request_ + 1;
    emit momentChanged(moment_);
    requestAll(true);
}

void RewindPlayer::show(qint64 moment) {
    setPlaying(false);
    moveTo(moment);
}

void RewindPlayer::back(qint64 ms) {
    moveTo(moment() - std::max<qint64>(ms, 0));
}

void RewindPlayer::forward(qint64 ms) {
    if (live_) return;
    if (moment_ + ms >= now_()) {
        goLive();
        return;
    }
    moveTo(moment_ + std::max<qint64>(ms, 0));
}

void RewindPlayer::setPlaying(bool playing) {
    if (playing == playing_) return;
    playing_ = playing;
    if (playing) {
        lastTick_ = now_();
        carry_ = 0;
        timer_.start();
    } else {
        timer_.stop();
    }
    emit playingChanged(playing);
}

void RewindPlayer::play() {
    if (!live_) setPlaying(true);
}

void RewindPlayer::pause() {
    setPlaying(false);
}

void RewindPlayer::togglePlay() {
    playing_ ? pause() : play();
}

void RewindPlayer::setSpeed(double s) {
    speed_ = kSpeeds[speedIndex(s)];
}

void RewindPlayer::slower() {
    speed_ = kSpeeds[std::max(speedIndex(speed_) - 1, 0)];
}

void RewindPlayer::faster() {
    speed_ = kSpeeds[std::min(speedIndex(speed_) + 1, int(kSpeeds.size()) - 1)];
}

void RewindPlayer::goLive() {
    if (live_) return;
    setPlaying(false);
    live_ = true;
    shown_.clear();  // back in the past, every cell is shown afresh
    worker_->dropPending();
    emit liveChanged(true);
    emit momentChanged(now_());
}

void RewindPlayer::tick() {
    if (live_ || !playing_) return;
    const qint64 now = now_();
    const double advanced = double(std::max<qint64>(now - lastTick_, 0)) * speed_ + carry_;
    lastTick_ = now;
    const auto whole = qint64(std::floor(advanced));
    carry_ = advanced - double(whole);
    if (moment_ + whole >= now) {
        goLive();
        return;
    }
    if (whole == 0) return;
    moment_ += whole;
    emit momentChanged(moment_);
    requestAll(false);
}

void RewindPlayer::requestAll(bool fresh) {
    const quint64 round = ++request_;
    for (const Cell& cell : cells_)
        if (!cell.camera.isEmpty())
            worker_->request(cell.id, {cell.camera, cell.pixels, moment_, round, fresh});
}

void RewindPlayer::delivered(int cell, quint64 round, std::optional<video::Past> past) {
    if (live_ || round < shownFrom_) return;
    Shown& shown = shown_[cell];
    // Of two results the newer round's stands: an older one arriving late
    // would take the cell back.
    if (shown.known && round < shown.round) return;
    const bool nothing = !past;
    const qint64 time = past ? past->time : 0;
    const qint64 key = past ? past->image.cacheKey() : 0;
    const bool same =
        shown.known && shown.nothing == nothing && shown.time == time && shown.cacheKey == key;
    shown = {true, nothing, time, key, round};
    if (same) return;
    if (past)
        emit picture(cell, *past);
    else
        emit nothingKept(cell);
}

void RewindPlayer::step(bool forward, const QString& camera) {
    setPlaying(false);
    if (forward) {
        if (live_) return;
        if (const std::optional<qint64> next = nextPart(moment_, camera); next && *next < now_())
            moveTo(*next);
        else if (next)
            goLive();
    } else if (const std::optional<qint64> previous = previousPart(moment(), camera)) {
        moveTo(*previous);
    }
}

std::optional<qint64> RewindPlayer::nextPart(qint64 after, const QString& only) const {
    std::optional<qint64> next;
    std::set<QString> seen;
    for (const Cell& cell : cells_) {
        if (cell.camera.isEmpty() || !seen.insert(cell.camera).second) continue;
        if (!only.isEmpty() && cell.camera != only) continue;
        const std::optional<RewindStore::Span> span = store_->span(cell.camera);
        if (!span || span->last <= after) continue;
        // From the part that shows the camera now, the first one after it.
        store_->forEachInRange(
            cell.camera, after + 1, span->last, [&](const RewindStore::Part& part) {
                if (part.kind == RewindStore::Part::Kind::VideoConfig || part.time <= after)
                    return true;
                if (!next || part.time < *next) next = part.time;
                return false;
            });
    }
    return next;
}

std::optional<qint64> RewindPlayer::previousPart(qint64 before, const QString& only) const {
    std::set<QString> cameras;
    for (const Cell& cell : cells_)
        if (!cell.camera.isEmpty() && (only.isEmpty() || cell.camera == only))
            cameras.insert(cell.camera);
    // The newest part any cell shows at `before`: one step back is the
    // newest part of any camera that came before it.
    std::optional<qint64> newest;
    for (const QString& camera : cameras)
        if (const std::optional<qint64> at = shownAt(*store_, camera, before))
            newest = std::max(newest.value_or(*at), *at);
    if (!newest) return std::nullopt;
    std::optional<qint64> previous;
    for (const QString& camera : cameras)
        if (const std::optional<qint64> at = shownAt(*store_, camera, *newest - 1))
            previous = std::max(previous.value_or(*at), *at);
    return previous;
}
