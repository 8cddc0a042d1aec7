// SPDX-License-Identifier: GPL-3.0-or-later
#include "roomwindow.h"

#include "activitywatch.h"
#include "camerawall.h"
#include "camserver.h"
#include "controlroomhub.h"
#include "previewtouchimage.h"
#include "roommenus.h"
#include "roomscreen.h"
#include "screenkeeper.h"
#include "settings.h"
#include "soundstatusline.h"
#include "touchimage.h"
#include "touchview.h"
#include "ui_zvmainwindow.h"
#include "viewerhost.h"
#include "viewtitles.h"
#include "windowpanel.h"
#include "windowrewind.h"
#include "zvtexts.h"

#include <QCloseEvent>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QWindow>

RoomWindow::RoomWindow(ViewerHost* host, QWidget* parent)
    : ZVMainWindow(parent), host_(host), ui_(&ui()) {
    setAttribute(Qt::WA_DeleteOnClose, false);
    // The main window's menu bar and actions, texts and keys; the screen
    // takes the place of its one-camera view and wall.
    room_ = new RoomScreen(host_->hub(), this);
    setCentralWidget(room_);  // deletes the description's central widget
    ui_->centralWidget = nullptr;
    ui_->centralLayout = nullptr;
    ui_->mainImage = nullptr;
    ui_->cameraWall = nullptr;
    panel_ = new WindowPanel(this, host_->hub());
    panel_->setView([this] { return PanelView::of(*room_); });
    menus_ = RoomMenus::addWindowMenus(this, ui_->viewMenu, panel_->action(), room_, true);
    rewind_ = new WindowRewind(this, host_->hub(), [this] { return pictureToSave(); });
    rewind_->addMenus(ui_->menuViewer, ui_->actionSavePicture, menus_.layouts->menuAction());
    soundStatus_ = new SoundStatusLine(room_, [host] { return host->soundStatus(); });
    connect(ui_->actionSound, &QAction::toggled, soundStatus_, &SoundStatusLine::setActive);
    connectCommands();
    connect(menus_.lock, &QAction::toggled, this, &ZVMainWindow::stateChanged);
    connect(menus_.activity, &QAction::toggled, this,
            [this](bool on) { host_->hub()->activity()->setMarksShown(this, on); });
    connect(menus_.activitySettings, &QAction::triggered, this, [this] {
        TouchImage* view = pictureToSave();
        if (const auto camera = host_->hub()->activity()->cameraOf(view))
            host_->editActivity(this, *camera, view->picture());
    });
    connect(ui_->viewMenu, &QMenu::aboutToShow, this, [this] {
        menus_.activitySettings->setEnabled(
            host_->hub()->activity()->cameraOf(pictureToSave()).has_value());
    });

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
                if (room_->shows() != RoomScreen::Shows::Camera) showCameraAlone(server, index);
            });
    // A layout takes cameras dragged from any window's panel, and its cells
    // swap by dragging one onto another; each cell's context menu is the
    // cameras menu with Save Picture.
    for (CameraWall* wall : room_->findChildren<CameraWall*>()) {
        wall->setCamerasMenu(ui_->camerasMenu);
        wall->setSaveAction(ui_->actionSavePicture);
        connect(wall, &CameraWall::cameraDropped, room_,
                [this](int cell, const CameraRef& ref) { room_->setCell(cell, ref); });
        connect(wall, &CameraWall::cellsSwapped, room_, &RoomScreen::swapCells);
        connect(wall, &CameraWall::saveRequested, this, [this, wall](int cell) {
            if (cell >= 0 && cell < wall->cellCount())
                host_->savePicture(wall->cell(cell)->imageView());
        });
        connect(wall, &CameraWall::selectedPictureChanged, this, &RoomWindow::updateActions);
    }
    connect(room_, &RoomScreen::changed, this, [this] {
        for (CameraWall* wall : room_->findChildren<CameraWall*>())
            wall->setCellDragging(room_->shows() == RoomScreen::Shows::Layout);
        followSound();
        updateTitle();
        rebuildMenus();
        emit stateChanged();
    });
    ControlRoomHub* hub = host_->hub();
    connect(hub, &ControlRoomHub::roomChanged, this, &RoomWindow::rebuildMenus);
    // Escape from a camera goes back to its layout or tour, and Ctrl+T
    // starts the last tour, under their new names.
    connect(hub, &ControlRoomHub::renamed, this, [this](const roomedits::Renames& renames) {
        if (const auto it = renames.tours.find(lastTour_); it != renames.tours.end())
            lastTour_ = it->second;
        if (!before_) return;
        const auto& names =
            before_->shows == WindowState::Shows::Tour ? renames.tours : renames.layouts;
        if (const auto it = names.find(before_->name); it != names.end())
            before_->name = it->second;
    });
    connect(hub, &ControlRoomHub::serversChanged, this, [this](const QString& id) {
        if (id.isEmpty()) fillServersMenu();
        fillCamerasMenu();
        updateActions();
        updateTitle();
    });
    rebuildMenus();
    updateTitle();
}

RoomWindow::~RoomWindow() = default;

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
    state.locked = layoutsLocked();
    return state;
}

void RoomWindow::setFullScreen(bool on) {
    if (on == fullScreen_) return;
    fullScreen_ = on;
    menuBar()->setVisible(!on);
    ui_->actionFullScreen->setChecked(on);
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
