// SPDX-License-Identifier: GPL-3.0-or-later
#include "windowpanel.h"

#include "camerapanel.h"
#include "camserver.h"
#include "controlroomhub.h"
#include "serverfeeds.h"
#include "settings.h"
#include "zvtexts.h"

#include <QAction>
#include <QDockWidget>
#include <QMainWindow>

WindowPanel::WindowPanel(QMainWindow* window, ControlRoomHub* hub)
    : QObject(window),
      window_(window),
      hub_(hub),
      dock_(new QDockWidget(zvText("Cameras"), window)),
      panel_(new CameraPanel(dock_)),
      action_(new QAction(zvText("Cameras Panel"), window)) {
    action_->setCheckable(true);
    action_->setShortcut(QKeySequence(Qt::Key_F9));
    // The shortcut works while full screen hides the menu bar.
    window->addAction(action_);
    connect(action_, &QAction::triggered, this, &WindowPanel::setShown);
    dock_->setObjectName("camerasPanel");
    dock_->setWidget(panel_);
    window->addDockWidget(Qt::LeftDockWidgetArea, dock_);
    dock_->hide();
    connect(dock_, &QDockWidget::visibilityChanged, this, [this](bool visible) {
        if (!window_->isMinimized()) action_->setChecked(dock_->isVisible() || visible);
    });
    connect(panel_, &CameraPanel::serverExpanded, this, [this](const QString& id) {
        if (const auto server = hub_->server(id)) hub_->feeds()->need(server);
    });
    connect(panel_, &CameraPanel::cameraActivated, this, &WindowPanel::cameraActivated);
    connect(hub_, &ControlRoomHub::serversChanged, this, &WindowPanel::refresh);
}

bool WindowPanel::isShown() const {
    return dock_->isVisible();
}

void WindowPanel::setShown(bool on) {
    dock_->setVisible(on);
    action_->setChecked(on);
    if (!on) return;
    // Every server's lists are loaded in the background for the panel
    // (those the server list holds at its close).
    for (const auto& server : hub_->settings().getServers()) hub_->feeds()->need(server);
    refresh();
}

void WindowPanel::refresh() {
    if (!dock_->isVisible()) return;
    std::vector<PanelServer> rows;
    for (const auto& server : hub_->settings().getServers()) {
        PanelServer row;
        row.serverId = server->serverId();
        row.name = server->name();
        const auto state = hub_->feeds()->state(server.get());
        row.state = ServerFeeds::stateText(state);
        if (const auto cameras = server->getCameras()) {
            if (state == ServerFeeds::State::Loaded) row.state.clear();
            for (std::size_t i = 0; i < cameras->size(); ++i) {
                if (auto ref =
                        CameraRef::to(server->serverId(), *cameras, static_cast<std::int64_t>(i)))
                    row.cameras.push_back({cameras->at(i)->cameraName, *ref});
            }
        }
        rows.push_back(std::move(row));
    }
    panel_->setServers(rows);
}
