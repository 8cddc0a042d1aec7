// SPDX-License-Identifier: GPL-3.0-or-later
#include "roomwindow.h"

#include "camerawall.h"
#include "camserver.h"
#include "controlroomhub.h"
#include "roommenus.h"
#include "roomscreen.h"
#include "screenkeeper.h"
#include "settings.h"
#include "viewtitles.h"
#include "zvtexts.h"

#include <QCloseEvent>
#include <QMenuBar>
#include <QScreen>
#include <QWindow>

RoomWindow::RoomWindow(ControlRoomHub* hub, QWidget* parent)
    : QMainWindow(parent), hub_(hub), room_(new RoomScreen(hub, this)) {
    setAttribute(Qt::WA_DeleteOnClose, false);
    setCentralWidget(room_);

    QMenu* window = menuBar()->addMenu(zvText("&Window"));
    QAction* open = window->addAction(zvText("New Window"));
    open->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_N));
    connect(open, &QAction::triggered, this, &RoomWindow::newWindowRequested);
    QAction* close = window->addAction(zvText("Close Window"));
    close->setShortcut(QKeySequence::Close);
    connect(close, &QAction::triggered, this, &QWidget::close);

    layoutsMenu_ = menuBar()->addMenu(zvText("&Layouts"));
    QAction* clearCell = layoutsMenu_->addAction(zvText("Clear Cell"));
    clearCell->setShortcut(QKeySequence(Qt::Key_Delete));
    connect(clearCell, &QAction::triggered, this,
            [this] { room_->setCell(room_->mode()->selected(), std::nullopt); });
    QMenu* view = menuBar()->addMenu(zvText("&View"));
    wallsMenu_ = view->addMenu(zvText("Server Walls"));
    toursMenu_ = view->addMenu(zvText("Tours"));
    tours_ = RoomMenus::addTourActions(toursMenu_, room_);
    connect(tours_.toggle, &QAction::triggered, this, [this] {
        if (room_->isTouring()) {
            lastTour_ = room_->name();
            room_->stopTourOnStep();
        } else {
            QString name = lastTour_;
            if (!hub_->room().tour(name) && !hub_->room().tours.empty())
                name = hub_->room().tours.front().name;
            room_->startTour(name);
        }
    });
    view->addSeparator();
    fullScreenAction_ = view->addAction(zvText("Full Screen"));
    fullScreenAction_->setShortcut(QKeySequence(Qt::Key_F11));
    connect(fullScreenAction_, &QAction::triggered, this, [this] { setFullScreen(!fullScreen_); });
    // The shortcuts work while full screen hides the menu bar.
    addActions({open, close, clearCell, tours_.toggle, tours_.pause, tours_.next, tours_.previous,
                fullScreenAction_});

    connect(room_, &RoomScreen::fullScreenKey, this, [this] { setFullScreen(!fullScreen_); });
    connect(room_, &RoomScreen::escapePressed, this, [this] {
        if (before_) {
            const WindowState back = *std::exchange(before_, std::nullopt);
            apply(back);
        } else if (fullScreen_) {
            setFullScreen(false);
        }
    });
    connect(room_, &RoomScreen::cameraActivated, this,
            [this](const std::shared_ptr<CamServer>& server, std::int64_t index) {
                const auto cameras = server->getCameras();
                if (!cameras || room_->shows() == RoomScreen::Shows::Camera) return;
                const auto ref = CameraRef::to(server->serverId(), *cameras, index);
                if (!ref) return;
                before_ = state();
                room_->showCamera(*ref);
            });
    // A layout takes cameras dragged from the main window's panel, and its
    // cells swap by dragging one onto another.
    for (CameraWall* wall : room_->findChildren<CameraWall*>()) {
        connect(wall, &CameraWall::cameraDropped, room_,
                [this](int cell, const CameraRef& ref) { room_->setCell(cell, ref); });
        connect(wall, &CameraWall::cellsSwapped, room_, &RoomScreen::swapCells);
    }
    connect(room_, &RoomScreen::changed, this, [this] {
        for (CameraWall* wall : room_->findChildren<CameraWall*>())
            wall->setCellDragging(room_->shows() == RoomScreen::Shows::Layout);
        updateTitle();
        rebuildMenus();
        emit stateChanged();
    });
    connect(hub_, &ControlRoomHub::roomChanged, this, &RoomWindow::rebuildMenus);
    // Escape from a camera goes back to its layout or tour under its new name.
    connect(hub_, &ControlRoomHub::renamed, this, [this](const roomedits::Renames& renames) {
        if (!before_) return;
        const auto& names =
            before_->shows == WindowState::Shows::Tour ? renames.tours : renames.layouts;
        if (const auto it = names.find(before_->name); it != names.end())
            before_->name = it->second;
    });
    connect(hub_, &ControlRoomHub::serversChanged, this, [this](const QString& id) {
        if (id.isEmpty()) rebuildMenus();
        updateTitle();
    });
    rebuildMenus();
    updateTitle();
}

RoomWindow::~RoomWindow() = default;

void RoomWindow::rebuildMenus() {
    const QString layout = room_->shows() == RoomScreen::Shows::Layout ? room_->name() : QString();
    const QString tour = room_->isTouring() ? room_->name() : QString();
    RoomMenus::fillLayouts(layoutsMenu_, hub_->room(), layout, [this](const QString& name) {
        before_.reset();
        room_->showLayout(name);
    });
    RoomMenus::addShortcutsTo(this, layoutsMenu_);
    RoomMenus::fillTours(toursMenu_, hub_->room(), tour, [this](const QString& name) {
        before_.reset();
        room_->startTour(name);
    });
    wallsMenu_->clear();
    for (const auto& server : hub_->settings().getServers()) {
        QAction* item = wallsMenu_->addAction(QString(server->name()).replace('&', "&&"));
        item->setCheckable(true);
        item->setChecked(room_->shows() == RoomScreen::Shows::WallPage &&
                         room_->source().serverId == server->serverId());
        connect(item, &QAction::triggered, this, [this, id = server->serverId()] {
            before_.reset();
            room_->showWallPage(id, 0);
        });
    }
    tours_.update(room_->isTouring(), room_->isTourPaused(), !hub_->room().tours.empty());
}

void RoomWindow::updateTitle() {
    setWindowTitle(ViewTitles::window(room_->title()));
}

void RoomWindow::apply(const WindowState& state) {
    switch (state.shows) {
        case WindowState::Shows::Layout:
            if (!room_->showLayout(state.name)) room_->clear();
            break;
        case WindowState::Shows::Tour:
            if (!room_->startTour(state.name)) room_->clear();
            break;
        case WindowState::Shows::ServerWall:
            room_->showWallPage(state.serverId, 0);
            break;
        case WindowState::Shows::Camera: {
            CameraRef ref = state.camera;
            if (ref.serverId.isEmpty()) ref.serverId = state.serverId;
            room_->showCamera(ref);
            break;
        }
    }
}

WindowState RoomWindow::state() const {
    WindowState state;
    room_->describe(state);
    ScreenKeeper::describe(this, state);
    state.geometry = fullScreen_ ? frameBeforeFullScreen_ : geometry();
    state.fullScreen = fullScreen_;
    return state;
}

void RoomWindow::setFullScreen(bool on) {
    if (on == fullScreen_) return;
    fullScreen_ = on;
    menuBar()->setVisible(!on);
    if (on) {
        frameBeforeFullScreen_ = geometry();
        setWindowState(windowState() | Qt::WindowFullScreen);
        // Without a window manager nobody acts on the request: fill the
        // screen ourselves.
        if (QScreen* s = screen()) setGeometry(s->geometry());
    } else {
        setWindowState(windowState() & ~Qt::WindowFullScreen);
        if (frameBeforeFullScreen_.isValid()) setGeometry(frameBeforeFullScreen_);
    }
    room_->setWindowFullScreen(on);
    if (isVisible()) show();
    emit stateChanged();
}

void RoomWindow::updateResting() {
    room_->setResting(isMinimized() || !isVisible());
}

void RoomWindow::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange) updateResting();
}

void RoomWindow::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    updateResting();
}

void RoomWindow::hideEvent(QHideEvent* event) {
    QMainWindow::hideEvent(event);
    updateResting();
}

void RoomWindow::closeEvent(QCloseEvent* event) {
    QMainWindow::closeEvent(event);
    if (!event->isAccepted()) return;
    // The viewer's quit closes every window too: what it shows is kept
    // until the controller knows which of the two it was.
    emit closed(this);
}
