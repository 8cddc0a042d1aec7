// SPDX-License-Identifier: GPL-3.0-or-later
#include "rewindkeeper.h"

#include "touchimage.h"

#include <QDateTime>

#include <mutex>

namespace {
RewindKeeper* theKeeper = nullptr;

qint64 keeperNowMs() {
    return QDateTime::currentMSecsSinceEpoch();
}
}  // namespace

// Which video keeps a camera: the first to give a packet, until it has been
// silent for kSilentMs. Shared with the decode threads.
struct RewindKeeper::Claims {
    struct Claim {
        const void* owner = nullptr;
        qint64 lastMs = 0;
    };
    enum class Taken { No, Again, Anew };
    Taken take(const QString& key, const void* owner, qint64 now) {
        std::lock_guard lock(mutex);
        Claim& c = claims[key];
        if (c.owner != owner && now - c.lastMs < kSilentMs) return Taken::No;
        const Taken taken = c.owner == owner ? Taken::Again : Taken::Anew;
        c = {owner, now};
        return taken;
    }
    bool held(const QString& key, qint64 now) {
        std::lock_guard lock(mutex);
        const auto it = claims.find(key);
        return it != claims.end() && now - it->second.lastMs < kSilentMs;
    }
    std::mutex mutex;
    std::map<QString, Claim> claims;
};

RewindKeeper::RewindKeeper(std::shared_ptr<RewindStore> store, QObject* parent)
    : QObject(parent), store_(std::move(store)), claims_(std::make_shared<Claims>()) {
    theKeeper = this;
}

RewindKeeper::~RewindKeeper() {
    if (theKeeper == this) theKeeper = nullptr;
}

RewindKeeper* RewindKeeper::instance() {
    return theKeeper;
}

void RewindKeeper::pictureShown(const QString& key, TouchImage* view) {
    if (key.isEmpty() || !view || view->pictureBytes().isEmpty() || !store_->isEnabled()) return;
    const qint64 now = keeperNowMs();
    if (claims_->held(key, now)) return;
    const QSize size = view->size();
    const qint64 area = qint64(size.width()) * size.height();
    Source& source = sources_[key];
    if (source.view != view) {
        const bool silent = !source.view || now - source.lastMs >= kSilentMs;
        if (!silent && area <= source.area) return;
        source.view = view;
    }
    source.lastMs = now;
    source.area = area;
    const QDateTime arrived = view->pictureArrived();
    store_->append(
        key, {RewindStore::Part::Kind::Still, arrived.isValid() ? arrived.toMSecsSinceEpoch() : now,
              view->pictureBytes(), true});
}

std::function<void(RewindStore::Part&&)> RewindKeeper::keepVideo(const QString& key) {
    if (key.isEmpty()) return {};
    // One stream, on its decode thread: its configuration goes into the
    // store before each of its key frames (the store keeps one copy while
    // it stays the same), so that what is kept from any key frame on can be
    // decoded, also when the store was off as the stream began or another
    // stream of the camera still held it then. Until its first key frame
    // after taking the camera, a stream's packets are not kept: they would
    // follow another stream's.
    struct Stream {
        QByteArray config;
        bool synced = false;
    };
    auto stream = std::make_shared<Stream>();
    return [store = store_, claims = claims_, key, stream](RewindStore::Part&& part) {
        using Kind = RewindStore::Part::Kind;
        if (part.kind == Kind::VideoConfig) {
            stream->config = std::move(part.bytes);
            stream->synced = false;
            return;
        }
        const Claims::Taken taken = claims->take(key, stream.get(), keeperNowMs());
        if (taken == Claims::Taken::No) return;
        if (taken == Claims::Taken::Anew || !store->isEnabled()) stream->synced = false;
        if (part.kind == Kind::VideoPacket) {
            if (!part.key && !stream->synced) return;
            if (part.key && !stream->config.isEmpty())
                store->append(key, {Kind::VideoConfig, part.time, stream->config, false});
            stream->synced = true;
        }
        store->append(key, std::move(part));
    };
}
