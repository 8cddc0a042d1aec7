// SPDX-License-Identifier: GPL-3.0-or-later
#include "serverfeeds.h"

#include "camserver.h"
#include "mainthreadcall.h"
#include "reconnector.h"
#include "zvdatamanager.h"
#include "zvdatamanagerdelegate.h"

#include <QCoreApplication>
#include <QLoggingCategory>
#include <QTimer>

#include <algorithm>
#include <utility>

Q_LOGGING_CATEGORY(lcFeeds, "zorvan.feeds")

struct ServerFeeds::Feed final : ZVDataManagerDelegate {
    ServerFeeds* owner = nullptr;
    std::shared_ptr<CamServer> server;
    State state = State::Idle;
    bool inFlight = false;  // a load is out and has not reported
    std::unique_ptr<Reconnector> retries;
    std::unique_ptr<ZVDataManager> lists;  // ended first: its workers report here
    QTimer silent;                         // the load has not answered yet

    ~Feed() override {
        if (lists) lists->shutdown();
    }

    // On the data manager's workers: each report's work is done on the main
    // thread while the worker waits, as the main data manager's are.
    void camerasDidLoaded(const tx::JsonValue& list) override {
        MainThreadCall::run([&] { owner->loaded(*this, server->setCameras(list)); });
    }
    void mikrophonesDidLoaded(const tx::JsonValue& list) override {
        MainThreadCall::run([&] {
            // A microphone list that is no list leaves the sound out; the
            // cameras still come.
            if (!server->setMicrophones(list)) qCInfo(lcFeeds) << "Microphone list is not a list";
        });
    }
    void previewsDidLoaded(const tx::JsonValue&) override {}
    void noConnection() override { failed(); }
    void serverNotConnected() override { failed(); }
    void badResponse() override { failed(); }
    void failed() {
        MainThreadCall::run([&] { owner->loaded(*this, false); });
    }
};

ServerFeeds::ServerFeeds(ServerList servers, QObject* parent)
    : QObject(parent), servers_(std::move(servers)) {}

ServerFeeds::~ServerFeeds() {
    end();
}

ServerFeeds::Feed* ServerFeeds::feed(const std::shared_ptr<CamServer>& server) {
    if (!server || ended_) return nullptr;
    auto& slot = feeds_[server.get()];
    if (!slot) {
        slot = std::make_unique<Feed>();
        Feed* f = slot.get();
        f->owner = this;
        f->server = server;
        f->lists = std::make_unique<ZVDataManager>(server, ZVDataManager::Role::ListsOnly);
        f->lists->setDelegate(f);
        f->retries = std::make_unique<Reconnector>([this, f] {
            if (isHeld(f->server.get()) || ended_) return false;
            f->inFlight = true;
            f->lists->loadCameras();
            return true;
        });
        if (server->getCameras()) f->state = State::Loaded;
        f->silent.setSingleShot(true);
        f->silent.setInterval(kSilentAfterMs);
        connect(&f->silent, &QTimer::timeout, this, [this, f] {
            if (f->state != State::Waiting) return;
            f->state = State::Unavailable;
            emit changed(f->server->serverId());
        });
    }
    return slot.get();
}

void ServerFeeds::need(const std::shared_ptr<CamServer>& server) {
    Feed* f = feed(server);
    if (!f || f->state == State::Loaded || f->inFlight) return;
    if (f->state == State::Unavailable && f->retries->isActive()) return;
    load(*f);
}

void ServerFeeds::reload(const std::shared_ptr<CamServer>& server) {
    if (Feed* f = feed(server)) load(*f);
}

void ServerFeeds::load(Feed& f) {
    if (ended_ || isHeld(f.server.get())) return;
    f.retries->cancel();
    if (f.state != State::Loaded) {
        f.state = State::Waiting;
        emit changed(f.server->serverId());
    }
    f.inFlight = true;
    f.lists->loadCameras();
    f.silent.start();
}

void ServerFeeds::loaded(Feed& f, bool ok) {
    if (ended_) return;
    f.silent.stop();
    f.inFlight = false;
    if (ok) {
        f.retries->succeeded();
        f.state = State::Loaded;
    } else {
        // A retry's failure only plans the next one; the first failure
        // starts them. Either way the server is marked, never alerted.
        if (!f.retries->takeFailure() && !isHeld(f.server.get()))
            f.retries->start(f.server->host(), f.server->port());
        // Lists from before stay usable: its cells keep their cameras and
        // show their own warnings while the pictures do not come.
        f.state = State::Unavailable;
        qCInfo(lcFeeds) << "Lists did not come:" << f.server->name();
    }
    emit changed(f.server->serverId());
}

ServerFeeds::State ServerFeeds::state(const CamServer* server) const {
    const auto it = feeds_.find(server);
    if (it == feeds_.end()) return server && server->getCameras() ? State::Loaded : State::Idle;
    return it->second->state;
}

QString ServerFeeds::stateText(State state) {
    switch (state) {
        case State::Idle:
        case State::Waiting:
            return QCoreApplication::translate("Zorvan", "Loading…");
        case State::Unavailable:
            return QCoreApplication::translate("Zorvan", "Server is not available");
        case State::Loaded:
            break;
    }
    return {};
}

void ServerFeeds::listsArrived(const CamServer* server) {
    const auto it = feeds_.find(server);
    if (it != feeds_.end()) {
        it->second->retries->cancel();
        it->second->state = State::Loaded;
    }
    if (server) emit changed(server->serverId());
}

void ServerFeeds::listsFailed(const CamServer* server) {
    const auto it = feeds_.find(server);
    if (it != feeds_.end() && it->second->state != State::Waiting)
        it->second->state = State::Unavailable;
    if (server) emit changed(server->serverId());
}

void ServerFeeds::hold(const std::shared_ptr<CamServer>& server) {
    if (!server || ended_ || isHeld(server.get())) return;
    held_.push_back(server);
    if (const auto it = feeds_.find(server.get()); it != feeds_.end()) {
        // A load already out keeps the values it left with.
        Feed& f = *it->second;
        f.retries->cancel();
        f.lists->stopAllLoading();
        f.silent.stop();
        f.inFlight = false;
        if (f.state == State::Waiting) f.state = State::Idle;
    }
    emit holdsChanged();
}

bool ServerFeeds::isHeld(const CamServer* server) const {
    return server && std::any_of(held_.begin(), held_.end(),
                                 [server](const auto& s) { return s.get() == server; });
}

std::vector<std::shared_ptr<CamServer>> ServerFeeds::releaseAll() {
    std::vector<std::shared_ptr<CamServer>> released = std::exchange(held_, {});
    if (released.empty() || ended_) return released;
    emit holdsChanged();
    // Its address or credentials may be another server's now: the lists
    // come again, and the cells keep their cameras until they do.
    for (const auto& server : released) {
        if (const auto it = feeds_.find(server.get()); it != feeds_.end()) load(*it->second);
    }
    return released;
}

void ServerFeeds::passwordsKnown() {
    for (auto& [key, f] : feeds_) f->lists->passwordsKnown();
}

void ServerFeeds::prune() {
    const auto& servers = servers_();
    std::erase_if(feeds_, [&](const auto& entry) {
        return std::none_of(servers.begin(), servers.end(),
                            [&](const auto& s) { return s.get() == entry.first; });
    });
}

void ServerFeeds::end() {
    if (ended_) return;
    ended_ = true;
    for (auto& [key, f] : feeds_) {
        f->retries->cancel();
        f->lists->shutdown();
    }
}
