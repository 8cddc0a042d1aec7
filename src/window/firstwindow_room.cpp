// SPDX-License-Identifier: GPL-3.0-or-later
// The first window's layouts and tours (the Layouts and Tours menus, the
// camera panel, a camera opened out of a layout), Save Picture, a camera's
// Activity Settings, and what it shows for the layouts file.

#include "firstwindow.h"

#include "activitylistwindow.h"
#include "activitywatch.h"
#include "camerawall.h"
#include "camserver.h"
#include "controlroomhub.h"
#include "livevideo.h"
#include "previewtouchimage.h"
#include "restwhilehidden.h"
#include "roommenus.h"
#include "roomscreen.h"
#include "screenkeeper.h"
#include "settings.h"
#include "touchimage.h"
#include "touchview.h"
#include "ui_zvmainwindow.h"
#include "wallmode.h"
#include "windowpanel.h"
#include "windowrewind.h"

#include <QMenu>

#include <algorithm>
#include <climits>

void FirstWindow::createRoom() {
    Ui::ZVMainWindow& ui = *ui_;
    room_ = new RoomScreen(host_->hub(), ui.centralWidget);
    ui.centralLayout->addWidget(room_);
    room_->setVisible(false);

    // The camera panel, and the menus every window adds to its menu bar.
    panel_ = new WindowPanel(this, host_->hub());
    panel_->setView([this] {
        if (roomShown_) return PanelView::of(*room_);
        if (wall_ && wall_->server() && !cameraWall()->isHidden())
            return PanelView::of(*cameraWall(), wall_->server(),
                                 [this](int cell) { return wall_->cameraAt(cell); });
        return PanelView::of(*mainImage(), settings_.getCurrent(), settings_.cameraIdx());
    });
    // A camera chosen in the panel or the activity list is shown alone.
    const auto showAlone = [this](const CameraRef& ref) {
        const auto server = host_->hub()->server(ref.serverId);
        const auto cameras = server ? server->getCameras() : nullptr;
        const int k = cameras ? findCamera(*cameras, ref) : -1;
        if (k >= 0) showCameraOf(server, k, true);
    };
    connect(panel_, &WindowPanel::cameraActivated, this, showAlone);
    // A click on a desktop notification of activity brings the camera up here.
    connect(host_->hub(), &ControlRoomHub::showCameraAsked, this,
            [this, showAlone](const CameraRef& ref) {
                showAlone(ref);
                if (isMinimized()) showNormal();
                raise();
                activateWindow();
            });
    menus_ = RoomMenus::addWindowMenus(this, ui.viewMenu, panel_->action(), room_, false);
    rewind_ = new WindowRewind(this, host_->hub(), [this] { return pictureToSave(); });
    rewind_->addMenus(ui.menuViewer, ui.actionSavePicture, menus_.layouts->menuAction());
    connect(menus_.activityList, &QAction::triggered, this, [this, showAlone] {
        ActivityListWindow::open(this, host_->hub()->activityLog(), showAlone);
    });
    connect(menus_.saveLayout, &QAction::triggered, this, &FirstWindow::saveWallAsLayout);
    connect(menus_.lock, &QAction::toggled, this, &ZVMainWindow::stateChanged);
    connect(menus_.activity, &QAction::toggled, this,
            [this](bool on) { host_->hub()->activity()->setMarksShown(this, on); });
    connect(menus_.activitySettings, &QAction::triggered, this, [this] {
        TouchImage* view = pictureToSave();
        if (const auto camera = host_->hub()->activity()->cameraOf(view))
            host_->editActivity(this, *camera, view->picture());
    });
    connect(ui.viewMenu, &QMenu::aboutToShow, this, [this] {
        menus_.activitySettings->setEnabled(
            host_->hub()->activity()->cameraOf(pictureToSave()).has_value());
    });
    connect(menus_.editLayouts, &QAction::triggered, this, [this] {
        host_->editLayouts(this, roomShown_ && room_->shows() == RoomScreen::Shows::Layout
                                     ? room_->name()
                                     : QString());
    });
    connect(menus_.clearCell, &QAction::triggered, this, [this] {
        if (roomShown_) room_->setCell(room_->mode()->selected(), std::nullopt);
    });
    connect(menus_.tour.toggle, &QAction::triggered, this, &FirstWindow::toggleTour);
    connect(menus_.newWindow, &QAction::triggered, this, [this] { host_->openWindow(); });

    // The room's walls take dropped cameras and swapped cells, in a layout.
    for (CameraWall* wall : room_->findChildren<CameraWall*>()) {
        wall->setCamerasMenu(ui.camerasMenu);
        wall->setSaveAction(savePictureAction());
        connect(wall, &CameraWall::cameraDropped, this,
                [this](int cell, const CameraRef& ref) { room_->setCell(cell, ref); });
        connect(wall, &CameraWall::cellsSwapped, room_, &RoomScreen::swapCells);
        connect(wall, &CameraWall::saveRequested, this, [this, wall](int cell) {
            if (cell >= 0 && cell < wall->cellCount())
                host_->savePicture(wall->cell(cell)->imageView());
        });
        connect(wall, &CameraWall::selectedPictureChanged, this, &FirstWindow::updateSaveAction);
    }
    connect(room_, &RoomScreen::cameraActivated, this,
            [this](const std::shared_ptr<CamServer>& server, std::int64_t index) {
                showCameraOf(server, index, true);
            });
    connect(room_, &RoomScreen::shownDeleted, this, &FirstWindow::leaveDeleted);
    connect(room_, &RoomScreen::changed, this, [this] {
        updateRoomActions();
        updateSaveAction();
        if (roomShown_) {
            const LayoutMode::Camera selected = room_->selectedCamera();
            const auto cameras = selected.server ? selected.server->getCameras() : nullptr;
            applySoundAvailability(selected.server.get(),
                                   cameras && selected.index >= 0
                                       ? cameras->at(static_cast<size_t>(selected.index)).get()
                                       : nullptr);
        }
        followShown();
        emit stateChanged();
    });
    connect(room_, &RoomScreen::fullScreenKey, this, [this] { mainImage()->toggleFullScreen(); });
    connect(mainImage(), &TouchImage::fullScreenChanged, room_, &RoomScreen::setWindowFullScreen);
    room_->setWindowFullScreen(mainImage()->inFullScreen());
    connect(room_, &RoomScreen::escapePressed, this, [this] {
        if (mainImage()->inFullScreen()) mainImage()->setFullScreen(false);
    });
    // Ctrl+T starts the last tour under its new name.
    connect(host_->hub(), &ControlRoomHub::renamed, this,
            [this](const roomedits::Renames& renames) {
                if (const auto it = renames.tours.find(lastTour_); it != renames.tours.end())
                    lastTour_ = it->second;
            });
    // A server's lists or the server list change the names shown.
    connect(host_->hub(), &ControlRoomHub::serversChanged, this, &FirstWindow::followShown);
    connect(host_->hub(), &ControlRoomHub::roomChanged, this, [this] {
        rebuildRoomMenus();
        emit stateChanged();
    });
    rebuildRoomMenus();
}

void FirstWindow::rebuildRoomMenus() {
    const QString layout =
        roomShown_ && room_->shows() == RoomScreen::Shows::Layout ? room_->name() : QString();
    RoomMenus::fillLayouts(menus_.layouts, host_->hub()->room(), layout,
                           [this](const QString& name) { showLayout(name); });
    RoomMenus::addShortcutsTo(this, menus_.layouts);
    RoomMenus::fillTours(menus_.tours, host_->hub()->room(),
                         room_->isTouring() ? room_->name() : QString(),
                         [this](const QString& name) { startTour(name); });
    updateRoomActions();
}

void FirstWindow::updateRoomActions() {
    const bool touring = roomShown_ && room_->isTouring();
    menus_.tour.update(touring, room_->isTourPaused(), !host_->hub()->room().tours.empty());
    menus_.clearCell->setEnabled(roomShown_ && room_->shows() == RoomScreen::Shows::Layout &&
                                 room_->mode()->selected() >= 0);
    const bool layoutOn = roomShown_ && room_->shows() == RoomScreen::Shows::Layout;
    for (CameraWall* wall : room_->findChildren<CameraWall*>()) wall->setCellDragging(layoutOn);
    // Page keys belong to the tour while it runs.
    Ui::ZVMainWindow& ui = *ui_;
    if (roomShown_) {
        ui.actionNextPage->setEnabled(false);
        ui.actionPreviousPage->setEnabled(false);
    }
}

void FirstWindow::setRoomShown(bool on) {
    Ui::ZVMainWindow& ui = *ui_;
    roomShown_ = on;
    if (on) {
        openedFromRoom_ = false;
        openedFromWall_ = false;
        stopPictureProbe();
        stopVideo();
        if (const auto current = settings_.getCurrent()) rest_->stopVideo(*current);
        wall_->stop();
        ui.mainImage->setVisible(false);
        ui.cameraWall->setVisible(false);
        ui.actionCameraWall->setChecked(false);
        rest_->setOneCameraShown(false);
        room_->setVisible(true);
        room_->setResting(rest_->resting());
        room_->wall()->setFocus();
    } else {
        room_->setVisible(false);
    }
    updateRoomActions();
    updateSaveAction();
    followShown();
}

bool FirstWindow::showLayout(const QString& name) {
    if (!host_->hub()->room().layout(name)) return false;
    stopSoundForSwitch();
    setRoomShown(true);
    room_->showLayout(name);
    rebuildRoomMenus();
    return true;
}

bool FirstWindow::startTour(const QString& name) {
    const Tour* tour = host_->hub()->room().tour(name);
    if (!tour || tour->steps.empty()) return false;
    stopSoundForSwitch();
    setRoomShown(true);
    lastTour_ = name;
    room_->startTour(name);
    rebuildRoomMenus();
    return true;
}

void FirstWindow::toggleTour() {
    if (roomShown_ && room_->isTouring()) {
        lastTour_ = room_->name();
        room_->stopTourOnStep();
        rebuildRoomMenus();
        return;
    }
    QString name = lastTour_;
    if (!host_->hub()->room().tour(name) && !host_->hub()->room().tours.empty())
        name = host_->hub()->room().tours.front().name;
    startTour(name);
}

void FirstWindow::leaveRoom() {
    if (!roomShown_ && !openedFromRoom_) return;
    openedFromRoom_ = false;
    room_->clear();
    setRoomShown(false);
    rebuildRoomMenus();
    const auto server = settings_.getCurrent();
    setWallShown(isWallOn(server.get()));
    const auto cameras = server ? server->getCameras() : nullptr;
    if (server && cameras && !cameras->empty()) {
        const auto k = static_cast<std::uint64_t>(settings_.cameraIdx());
        showCamera(*server, k < cameras->size() ? static_cast<std::int64_t>(k) : 0);
    }
    emit stateChanged();
}

void FirstWindow::showCameraOf(const std::shared_ptr<CamServer>& server, std::int64_t index,
                               bool back) {
    // A server the server list holds is asked nothing until its close.
    if (!server || isHeld(server.get())) return;
    host_->cancelRetries();
    stopSoundForSwitch();
    // The layout rests behind the camera, so that Escape brings it back at once.
    const bool fromRoom = roomShown_;
    if (fromRoom) {
        room_->setResting(true);
        room_->setVisible(false);
        roomShown_ = false;
    }
    openedFromRoom_ = fromRoom && back;
    if (settings_.getCurrent() != server) {
        host_->makeCurrent(server);
        for (QAction* item : serversMenu()->actions())
            item->setChecked(item->property("title").toString() == server->name());
    }
    settings_.setCameraIdx(index);
    settings_.saveSoon();
    wall_->stop();
    setWallShown(false);
    checkCamerasOnPage(server.get());
    followLiveVideo(server.get());
    updateRoomActions();
    // The lists come anew; the camera is shown when they arrive.
    host_->loadCurrent();
}

void FirstWindow::backToRoom() {
    openedFromRoom_ = false;
    setRoomShown(true);
    room_->setResting(rest_->resting());
    rebuildRoomMenus();
}

void FirstWindow::saveWallAsLayout() {
    Layout layout;
    if (roomShown_) {
        layout = room_->mode()->currentLayout();
    } else {
        const auto server = settings_.getCurrent();
        const auto cameras = server ? server->getCameras() : nullptr;
        if (!server || !cameras) return;
        if (wall_->server() == server) {
            const WallPages& pages = wall_->pages();
            layout.resize(pages.rows(), pages.columns());
            for (int i = 0; i < pages.rows() * pages.columns(); ++i) {
                const std::int64_t k = wall_->cameraAt(i);
                layout.cells[static_cast<size_t>(i)] =
                    k >= 0 ? CameraRef::to(server->serverId(), *cameras, k) : std::nullopt;
            }
        } else {
            layout.resize(1, 1);
            const auto k = static_cast<std::int64_t>(settings_.cameraIdx());
            layout.cells[0] = CameraRef::to(server->serverId(), *cameras, k);
        }
    }
    const QString name =
        host_->saveLayout(this, std::move(layout), roomShown_ ? room_->name() : QString());
    if (!name.isEmpty()) showLayout(name);
}

// --- pictures ---

void FirstWindow::createPictureCommands() {
    QAction* save = savePictureAction();
    // The shortcut works while full screen hides the menu bar.
    addAction(save);
    connect(save, &QAction::triggered, this, [this] { host_->savePicture(pictureToSave()); });

    // A context menu saves the picture it was opened on.
    mainImage()->setSaveAction(save);
    connect(mainImage(), &TouchImage::saveRequested, this,
            [this] { host_->savePicture(mainImage()); });
    connect(mainImage(), &TouchImage::savableChanged, this, &FirstWindow::updateSaveAction);
    CameraWall* wall = cameraWall();
    wall->setSaveAction(save);
    connect(wall, &CameraWall::saveRequested, this, [this](int cell) {
        if (cell >= 0 && cell < cameraWall()->cellCount())
            host_->savePicture(cameraWall()->cell(cell)->imageView());
    });
    connect(wall, &CameraWall::selectedPictureChanged, this, &FirstWindow::updateSaveAction);
    updateSaveAction();
}

TouchImage* FirstWindow::pictureToSave() const {
    CameraWall* wall = roomShown_ ? room_->wall() : cameraWall();
    if (wall->isHidden()) return mainImage();
    const int cell = wall->selectedCell();
    return cell >= 0 ? wall->cell(cell)->imageView() : nullptr;
}

void FirstWindow::updateSaveAction() {
    const TouchImage* view = pictureToSave();
    savePictureAction()->setEnabled(view && view->hasSavablePicture());
}

// --- what the window shows, for the layouts file ---

WindowState FirstWindow::state() const {
    WindowState state;
    if (roomShown_ || openedFromRoom_) {
        room_->describe(state);
    } else {
        state.shows = WindowState::Shows::Camera;
        if (const auto current = settings_.getCurrent()) state.serverId = current->serverId();
    }
    ScreenKeeper::describe(this, state);
    state.locked = layoutsLocked();
    state.fullScreen = mainImage()->inFullScreen();
    state.geometry = state.fullScreen && mainImage()->frameBeforeFullScreen().isValid()
                         ? mainImage()->frameBeforeFullScreen()
                         : geometry();
    return state;
}

WindowState FirstWindow::currentServerView() const {
    WindowState view;
    view.shows = WindowState::Shows::Camera;
    const auto server = settings_.getCurrent();
    if (!server) return view;
    view.serverId = server->serverId();
    if (isWallOn(server.get())) {
        view.shows = WindowState::Shows::ServerWall;
        return view;
    }
    // The camera by its place in the list until the list has come.
    const std::int64_t k = std::clamp<std::int64_t>(settings_.cameraIdx(), 0, INT_MAX);
    const auto cameras = server->getCameras();
    const auto ref = cameras ? CameraRef::to(view.serverId, *cameras, k) : std::nullopt;
    view.camera = ref ? *ref : CameraRef{view.serverId, {}, {}, static_cast<int>(k)};
    return view;
}

void FirstWindow::leaveDeleted(const QString& note) {
    if (!roomShown_ && !openedFromRoom_) return;  // it rested unseen
    if (roomShown_) {
        leaveRoom();
    } else {
        // The camera opened out of it stays; Escape has nothing to go back to.
        openedFromRoom_ = false;
        emit stateChanged();
    }
    CameraWall* wall = cameraWall();
    TouchImage* shown =
        wall->isHidden() || wall->cellCount() == 0 ? mainImage() : wall->cell(0)->imageView();
    shown->showNote(note);
}

bool FirstWindow::isFullScreenOn() const {
    return mainImage()->inFullScreen();
}

void FirstWindow::setFullScreen(bool on) {
    mainImage()->setFullScreen(on);
}

QRect FirstWindow::frameToKeep() const {
    if (mainImage()->inFullScreen() && mainImage()->frameBeforeFullScreen().isValid())
        return mainImage()->frameBeforeFullScreen();
    return geometry();
}
