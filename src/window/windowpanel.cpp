// SPDX-License-Identifier: GPL-3.0-or-later
#include "windowpanel.h"

#include "camerapanel.h"
#include "camerawall.h"
#include "camserver.h"
#include "controlroomhub.h"
#include "previewtouchimage.h"
#include "roomscreen.h"
#include "serverfeeds.h"
#include "settings.h"
#include "touchimage.h"
#include "touchview.h"
#include "zvtexts.h"

#include <QAction>
#include <QDockWidget>
#include <QMainWindow>

#include "activitywatch.h"

#include <algorithm>
#include <map>
#include <utility>

namespace {

PanelView::Shown shownIn(TouchImage& image, const CamServer& server, std::int64_t index,
                         bool inLayout) {
    PictureFreshness& freshness = image.freshness();
    return {server.serverId(), index,   !image.picture().isNull(), freshness.isStale(),
            freshness.ageMs(), inLayout};
}

}  // namespace

PanelView PanelView::of(RoomScreen& room) {
    PanelView view;
    view.picture = room.wall();
    LayoutMode* mode = room.mode();
    CameraWall* wall = room.wall();
    const bool inLayout = room.shows() != RoomScreen::Shows::Camera;
    for (int i = 0; mode && wall && i < mode->cellCount() && i < wall->cellCount(); ++i) {
        const LayoutMode::Camera camera = mode->cameraAt(i);
        if (!camera.server) continue;
        view.shown.push_back(
            shownIn(*wall->cell(i)->imageView(), *camera.server, camera.index, inLayout));
    }
    // The selected cell's server, else the first cell's, else a wall page's.
    if (mode && mode->selected() >= 0)
        if (const auto camera = mode->cameraAt(mode->selected()); camera.server)
            view.serverId = camera.server->serverId();
    if (view.serverId.isEmpty() && !view.shown.empty()) view.serverId = view.shown[0].serverId;
    if (view.serverId.isEmpty()) view.serverId = room.source().serverId;
    return view;
}

PanelView PanelView::of(CameraWall& wall, const std::shared_ptr<CamServer>& server,
                        const std::function<std::int64_t(int)>& cameraAt) {
    PanelView view;
    view.picture = &wall;
    if (!server) return view;
    view.serverId = server->serverId();
    for (int i = 0; i < wall.cellCount(); ++i)
        if (const std::int64_t k = cameraAt(i); k >= 0)
            view.shown.push_back(shownIn(*wall.cell(i)->imageView(), *server, k, true));
    return view;
}

PanelView PanelView::of(TouchImage& image, const std::shared_ptr<CamServer>& server,
                        std::int64_t index) {
    PanelView view;
    view.picture = &image;
    if (!server) return view;
    view.serverId = server->serverId();
    if (index >= 0) view.shown.push_back(shownIn(image, *server, index, false));
    return view;
}

WindowPanel::WindowPanel(QMainWindow* window, ControlRoomHub* hub)
    : QObject(window),
      window_(window),
      hub_(hub),
      dock_(new QDockWidget(zvText("Cameras"), window)),
      panel_(new CameraPanel(dock_)),
      action_(new QAction(zvText("Cameras Panel"), window)),
      find_(new QAction(zvText("Find Camera"), window)) {
    action_->setCheckable(true);
    action_->setShortcut(QKeySequence(Qt::Key_F9));
    // The shortcut works while full screen hides the menu bar.
    window->addAction(action_);
    connect(action_, &QAction::triggered, this, &WindowPanel::setShown);
    // Ctrl+F from the window, or from the panel floating on its own.
    find_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F));
    window->addAction(find_);
    dock_->addAction(find_);
    connect(find_, &QAction::triggered, this, &WindowPanel::find);
    dock_->setObjectName("camerasPanel");
    dock_->setWidget(panel_);
    window->addDockWidget(Qt::LeftDockWidgetArea, dock_);
    dock_->hide();
    // The states change with time: told once a second while they can be seen.
    ticker_.setInterval(1000);
    connect(&ticker_, &QTimer::timeout, this, [this] {
        if (!window_->isMinimized()) refresh();
    });
    connect(dock_, &QDockWidget::visibilityChanged, this, [this](bool visible) {
        if (!window_->isMinimized()) action_->setChecked(dock_->isVisible() || visible);
        if (visible) {
            ticker_.start();
        } else {
            ticker_.stop();
        }
    });
    connect(panel_, &CameraPanel::serverExpanded, this, [this](const QString& id) {
        if (const auto server = hub_->server(id)) hub_->feeds()->need(server);
    });
    connect(panel_, &CameraPanel::cameraActivated, this, &WindowPanel::cameraActivated);
    connect(panel_, &CameraPanel::searchLeft, this, [this] {
        QWidget* picture = view_ ? view_().picture : nullptr;
        if (picture && picture->isVisible()) {
            picture->setFocus(Qt::OtherFocusReason);
        } else if (QWidget* central = window_->centralWidget()) {
            central->setFocus(Qt::OtherFocusReason);
        }
    });
    connect(hub_, &ControlRoomHub::serversChanged, this, &WindowPanel::refresh);
}

void WindowPanel::setView(ViewOf view) {
    view_ = std::move(view);
}

bool WindowPanel::isShown() const {
    return dock_->isVisible();
}

void WindowPanel::setShown(bool on) {
    dock_->setVisible(on);
    action_->setChecked(on);
    if (!on) {
        ticker_.stop();
        return;
    }
    ticker_.start();
    // Every server's lists are loaded in the background for the panel
    // (those the server list holds at its close).
    for (const auto& server : hub_->settings().getServers()) hub_->feeds()->need(server);
    refresh();
    // It opens on the server of what the window shows.
    if (view_)
        if (const QString id = view_().serverId; !id.isEmpty()) panel_->expandServer(id);
}

void WindowPanel::find() {
    if (!isShown()) setShown(true);
    dock_->raise();
    panel_->focusSearch();
}

void WindowPanel::refresh() {
    if (!dock_->isVisible()) return;
    // What the window shows, by camera: the freshest of its cells.
    using Seen = PanelServer::Camera::Seen;
    std::map<std::pair<QString, std::int64_t>, PanelServer::Camera> shown;
    const auto rank = [](Seen seen) {
        return seen == Seen::Live ? 3 : seen == Seen::Waiting ? 2 : seen == Seen::Stale ? 1 : 0;
    };
    if (view_) {
        for (const PanelView::Shown& s : view_().shown) {
            const Seen seen = s.stale ? Seen::Stale : s.hasPicture ? Seen::Live : Seen::Waiting;
            PanelServer::Camera& c = shown[{s.serverId, s.index}];
            if (rank(seen) > rank(c.seen)) {
                c.seen = seen;
                c.ageMs = s.ageMs;
            } else if (seen == c.seen) {
                c.ageMs = std::min(c.ageMs, s.ageMs);
            }
            c.inLayout = c.inLayout || s.inLayout;
        }
    }
    std::vector<PanelServer> rows;
    for (const auto& server : hub_->settings().getServers()) {
        PanelServer row;
        row.serverId = server->serverId();
        row.name = server->name();
        const auto state = hub_->feeds()->state(server.get());
        row.state = ServerFeeds::stateText(state);
        row.unavailable = state == ServerFeeds::State::Unavailable;
        if (const auto cameras = server->getCameras()) {
            if (state == ServerFeeds::State::Loaded) row.state.clear();
            for (std::size_t i = 0; i < cameras->size(); ++i) {
                const auto k = static_cast<std::int64_t>(i);
                auto ref = CameraRef::to(server->serverId(), *cameras, k);
                if (!ref) continue;
                PanelServer::Camera camera{cameras->at(i)->cameraName, *ref};
                camera.active = hub_->activity()->isActive(ActivityWatch::keyOf(
                    server->serverId(), cameras->at(i)->uri, cameras->at(i)->cameraName));
                if (const auto it = shown.find({row.serverId, k}); it != shown.end()) {
                    camera.seen = it->second.seen;
                    camera.ageMs = it->second.ageMs;
                    camera.inLayout = it->second.inLayout;
                }
                row.cameras.push_back(std::move(camera));
            }
        }
        rows.push_back(std::move(row));
    }
    panel_->setServers(rows);
}
