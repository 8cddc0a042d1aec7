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
    bool take(const QString& key, const void* owner, qint64 now) {
        std::lock_guard lock(mutex);
        Claim& c = claims[key];
        if (c.owner != owner && now - c.lastMs < kSilentMs) return false;
        c = {owner, now};
        return true;
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
    auto token = std::make_shared<char>(0);
    return [store = store_, claims = claims_, key, token](RewindStore::Part&& part) {
        if (!claims->take(key, token.get(), keeperNowMs())) return;
        store->append(key, std::move(part));
    };
}
