// SPDX-License-Identifier: GPL-3.0-or-later
// A window's Active Cameras layout: its cells show the cameras that moved
// last, and the cameras it covers outside its cells are watched at a low
// rate and size by hidden views of their own, so that one off screen is
// noticed.

#include "roomscreen.h"

#include "activecells.h"
#include "activitywatch.h"
#include "camserver.h"
#include "controlroomhub.h"
#include "serverfeeds.h"
#include "serverurl.h"
#include "touchimage.h"
#include "wallfetcher.h"

#include <QTimer>

#include <chrono>

namespace {

// What a camera off screen is fetched at: enough for its activity.
constexpr QSize kHiddenSize(160, 120);
constexpr int kHiddenIntervalMs = 500;

std::int64_t activeClockMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

}  // namespace

struct RoomScreen::ActiveShow {
    struct Covered {
        CameraRef ref;
        ActivityWatch::Parts parts;
        std::shared_ptr<CamServer> server;
        std::int64_t index = -1;
        QString imageUri;
    };
    struct Hidden {
        std::unique_ptr<TouchImage> view;
        Covered camera;
        bool inFlight = false;
    };

    ~ActiveShow() {
        QObject::disconnect(activity);
        for (auto& [key, h] : hidden) drop(h);
    }
    void drop(Hidden& h) {
        if (h.inFlight)
            if (const auto it = fetchers.find(h.camera.ref.serverId); it != fetchers.end())
                it->second->cancel(h.camera.index);
        h.inFlight = false;
        if (h.view) watch->watch(h.view.get(), ActivityWatch::Parts{});
    }

    ActivityWatch* watch = nullptr;
    Layout layout;                       // as shown, its own cells its defaults
    std::vector<QString> defaults;       // each cell's own camera, by key
    std::map<QString, Covered> covered;  // by key
    std::unique_ptr<ActiveCells> cells;
    QTimer wake;                                               // for the next change due
    std::map<QString, Hidden> hidden;                          // by key
    std::map<QString, std::unique_ptr<WallFetcher>> fetchers;  // by serverId
    QTimer fetch;
    QMetaObject::Connection activity;
};

void RoomScreen::ActiveShowEnd::operator()(ActiveShow* show) const {
    delete show;
}

void RoomScreen::followActive() {
    const LayoutMode::Source& source = front().mode->source();
    if (shows_ == Shows::Nothing || source.kind != LayoutMode::Source::Kind::Layout ||
        !source.layout.active) {
        active_.reset();
        return;
    }
    const Layout& layout = source.layout;
    ActivityWatch* watch = hub_->activity();
    if (!active_ || !(active_->layout == layout)) {
        active_.reset(new ActiveShow);
        active_->watch = watch;
        active_->layout = layout;
        active_->wake.setSingleShot(true);
        connect(&active_->wake, &QTimer::timeout, this, &RoomScreen::followVideo);
        active_->fetch.setInterval(kHiddenIntervalMs);
        connect(&active_->fetch, &QTimer::timeout, this, &RoomScreen::fetchHiddenCameras);
        // Queued: the change is told while a view shows a picture, and the
        // cells that follow may drop that very view.
        active_->activity = connect(
            watch, &ActivityWatch::activityChanged, this,
            [this](const QString& key, bool on) {
                if (!active_ || !active_->covered.count(key)) return;
                active_->cells->setActive(key, on, activeClockMs());
                followVideo();
            },
            Qt::QueuedConnection);
    }
    ActiveShow& show = *active_;

    // What it covers, as the servers' lists stand now: the cameras chosen,
    // then every camera of the servers chosen, at most kMaxCameras.
    const auto found = [&](const QString& serverId,
                           auto&& index) -> std::optional<ActiveShow::Covered> {
        const auto server = hub_->server(serverId);
        if (!server) return std::nullopt;
        hub_->feeds()->need(server);
        const auto cameras = server->getCameras();
        const int k = cameras ? index(*cameras) : -1;
        if (k < 0 || k >= std::ssize(*cameras)) return std::nullopt;
        const CameraView& c = *cameras->at(static_cast<std::size_t>(k));
        return ActiveShow::Covered{*CameraRef::to(serverId, *cameras, k),
                                   {serverId, c.uri, c.cameraName},
                                   server,
                                   k,
                                   c.imageUri};
    };
    const auto keyOf = [](const ActiveShow::Covered& c) {
        return ActivityWatch::keyOf(c.parts.serverId, c.parts.cameraUri, c.parts.cameraName);
    };
    std::map<QString, ActiveShow::Covered> covered;
    const auto cover = [&](std::optional<ActiveShow::Covered> c) {
        if (c && covered.size() < ActiveCameras::kMaxCameras) covered.emplace(keyOf(*c), *c);
    };
    for (const CameraRef& ref : layout.active->cameras)
        cover(found(ref.serverId, [&](const CameraList& list) { return findCamera(list, ref); }));
    for (const QString& id : layout.active->servers) {
        const auto server = hub_->server(id);
        if (server) hub_->feeds()->need(server);
        const auto cameras = server ? server->getCameras() : nullptr;
        for (int k = 0; cameras && k < std::ssize(*cameras); ++k)
            cover(found(id, [k](const CameraList&) { return k; }));
    }
    // Each cell's own camera (none: empty); one that is not found stands
    // for itself.
    std::vector<QString> defaults;
    for (int i = 0; i < std::ssize(layout.cells); ++i) {
        const auto& ref = layout.cells[static_cast<std::size_t>(i)];
        const auto own = ref ? found(ref->serverId,
                                     [&](const CameraList& list) { return findCamera(list, *ref); })
                             : std::nullopt;
        defaults.push_back(own ? keyOf(*own) : ref ? QStringLiteral("\x01%1").arg(i) : QString());
    }
    const std::int64_t now = activeClockMs();
    if (!show.cells || defaults != show.defaults) {
        show.cells = std::make_unique<ActiveCells>(
            defaults, std::max(0, layout.active->holdSeconds * 1000 - ActivityWatch::kHoldMs));
        show.defaults = defaults;
        show.covered.clear();
    }
    // A camera covered anew starts as it is: it may be moving already.
    for (const auto& [key, c] : covered)
        if (!show.covered.count(key) && watch->isActive(key)) show.cells->setActive(key, true, now);
    show.covered = std::move(covered);
    show.cells->update(now);

    std::vector<std::optional<CameraRef>> refs;
    for (std::size_t i = 0; i < show.cells->cells().size(); ++i) {
        const QString& key = show.cells->cells()[i];
        const auto it = show.covered.find(key);
        const auto own = std::find(defaults.begin(), defaults.end(), key);
        if (key == defaults[i])
            refs.push_back(layout.cells[i]);
        else if (it != show.covered.end())
            refs.push_back(it->second.ref);
        else if (own != defaults.end())
            refs.push_back(layout.cells[static_cast<std::size_t>(own - defaults.begin())]);
        else
            refs.push_back(std::nullopt);
    }
    front().mode->showInCells(std::move(refs));
    const std::int64_t wake = show.cells->wakeMs();
    if (wake == ActiveCells::kNever)
        show.wake.stop();
    else
        show.wake.start(static_cast<int>(std::clamp<std::int64_t>(wake - now, 0, 3'600'000)));
    followHiddenCameras();
}

void RoomScreen::followHiddenCameras() {
    if (!active_) return;
    ActiveShow& show = *active_;
    std::map<QString, const ActiveShow::Covered*> wanted;
    if (!resting_ && isVisible()) {
        const std::vector<QString>& inCells = show.cells->cells();
        for (const auto& [key, c] : show.covered)
            if (std::find(inCells.begin(), inCells.end(), key) == inCells.end())
                wanted.emplace(key, &c);
    }
    for (auto it = show.hidden.begin(); it != show.hidden.end();) {
        const auto w = wanted.find(it->first);
        const ActiveShow::Covered& was = it->second.camera;
        if (w != wanted.end() && w->second->server == was.server && w->second->index == was.index &&
            w->second->imageUri == was.imageUri) {
            ++it;
            continue;
        }
        show.drop(it->second);
        it = show.hidden.erase(it);
    }
    for (const auto& [key, c] : wanted) {
        if (show.hidden.count(key)) continue;
        ActiveShow::Hidden& h = show.hidden[key];
        h.camera = *c;
        // A child of the screen, so that its marks follow the window's;
        // never shown.
        h.view = std::make_unique<TouchImage>(this);
        h.view->hide();
        h.view->resize(kHiddenSize);
        show.watch->watch(h.view.get(), c->parts);
    }
    // One fetcher a server, made anew when the server's record is.
    std::erase_if(show.fetchers, [&](const auto& f) {
        return std::none_of(show.hidden.begin(), show.hidden.end(), [&](const auto& h) {
            return h.second.camera.server == f.second->server();
        });
    });
    for (const auto& [key, h] : show.hidden) {
        auto& fetcher = show.fetchers[h.camera.ref.serverId];
        if (!fetcher) {
            WallFetcher::Options options;
            options.decodeThreads = 1;
            fetcher = std::make_unique<WallFetcher>(h.camera.server, options);
        }
    }
    if (show.hidden.empty())
        show.fetch.stop();
    else if (!show.fetch.isActive())
        show.fetch.start();
}

void RoomScreen::fetchHiddenCameras() {
    if (!active_) return;
    ActiveShow& show = *active_;
    for (auto& [key, h] : show.hidden) {
        const auto fetcher = show.fetchers.find(h.camera.ref.serverId);
        if (h.inFlight || fetcher == show.fetchers.end() ||
            fetcher->second->server() != h.camera.server ||
            hub_->feeds()->isHeld(h.camera.server.get()) ||
            !ServerUrl::isSafePath(h.camera.imageUri))
            continue;
        h.inFlight = true;
        fetcher->second->requestPicture(h.camera.index, h.camera.imageUri, kHiddenSize,
                                        [this, key](const CameraPicture& picture) {
                                            // A camera dropped has cancelled its request: this one
                                            // is still watched.
                                            if (!active_) return;
                                            const auto it = active_->hidden.find(key);
                                            if (it == active_->hidden.end()) return;
                                            it->second.inFlight = false;
                                            it->second.view->setCameraPicture(picture);
                                        });
    }
}
