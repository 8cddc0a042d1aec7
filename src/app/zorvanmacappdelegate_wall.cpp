// SPDX-License-Identifier: GPL-3.0-or-later
// The application controller's camera wall: the View menu, the wall's keys,
// paging and selection, and the switch between the wall and one camera.

#include "zorvanmacappdelegate.h"

#include "camerawall.h"
#include "camserver.h"
#include "livevideo.h"
#include "restwhilehidden.h"
#include "roommenus.h"
#include "roomscreen.h"
#include "settings.h"
#include "soundstatusline.h"
#include "touchimage.h"
#include "ui_zvmainwindow.h"
#include "wallmode.h"
#include "wallpages.h"
#include "zvmainwindow.h"

#include <QActionGroup>
#include <QApplication>
#include <QKeyEvent>
#include <QMenu>

CameraWall* ZorvanMacAppDelegate::cameraWall() const {
    return window_->ui().cameraWall;
}

bool ZorvanMacAppDelegate::isWallOn(const CamServer* server) {
    // Any stored value other than 1 means one camera, and is kept as it is
    // until the person switches.
    return server && server->previewRegim == 1;
}

void ZorvanMacAppDelegate::createWallCommands() {
    Ui::ZVMainWindow& ui = window_->ui();
    wall_ = std::make_unique<WallMode>(ui.cameraWall);
    // The View menu's shortcuts work while full screen hides the menu bar.
    window_->addActions(
        {ui.actionCameraWall, ui.actionNextPage, ui.actionPreviousPage, ui.actionFullScreen});
    camerasOnPage_ = RoomMenus::addCamerasOnPage(ui.camerasOnPageMenu, this,
                                                 [this](int n) { setCamerasOnPage(n); });
    connect(ui.actionCameraWall, &QAction::triggered, this, &ZorvanMacAppDelegate::toggleWall);
    connect(ui.actionNextPage, &QAction::triggered, this, [this] { turnPage(true); });
    connect(ui.actionPreviousPage, &QAction::triggered, this, [this] { turnPage(false); });
    connect(ui.actionFullScreen, &QAction::triggered, this,
            [this] { mainImage()->toggleFullScreen(); });

    CameraWall* wall = ui.cameraWall;
    wall->setCamerasMenu(ui.camerasMenu);
    // A press on the selected cell only focuses the wall: selecting again
    // would end the sound of the camera being listened to.
    connect(wall, &CameraWall::cellPressed, this, [this](int cell) {
        if (const std::int64_t k = wall_->cameraAt(cell); k != wall_->selected()) selectCamera(k);
    });
    connect(wall, &CameraWall::cellActivated, this, &ZorvanMacAppDelegate::openFromWall);
    connect(wall, &CameraWall::pageStep, this, &ZorvanMacAppDelegate::turnPage);
    connect(wall, &CameraWall::arrowKey, this, &ZorvanMacAppDelegate::moveSelection);
    connect(wall, &CameraWall::fullScreenKey, this, [this] { mainImage()->toggleFullScreen(); });
    connect(wall, &CameraWall::escapePressed, this, [this] {
        if (mainImage()->inFullScreen()) mainImage()->setFullScreen(false);
    });
    connect(rest_.get(), &RestWhileHidden::restingChanged, this, [this](bool resting) {
        wall_->setResting(resting || isHeld(wall_->server().get()));
        if (roomShown_) room_->setResting(resting);
    });
    // Escape from a camera opened out of the wall goes back to it; in full
    // screen the picture's own Escape leaves full screen first.
    mainImage()->installEventFilter(this);
    setWallShown(false);
}

bool ZorvanMacAppDelegate::eventFilter(QObject* watched, QEvent* event) {
    // Closing the main window quits the viewer, other windows and all.
    if (watched == window_.get() && event->type() == QEvent::Close && !roomWindows_.empty())
        QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection);
    if (event->type() == QEvent::KeyPress && watched == mainImage() &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape &&
        static_cast<QKeyEvent*>(event)->modifiers() == Qt::NoModifier &&
        !mainImage()->inFullScreen() && openedFromWall_) {
        toggleWall(true);
        return true;
    }
    if (event->type() == QEvent::KeyPress && watched == mainImage() &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape &&
        static_cast<QKeyEvent*>(event)->modifiers() == Qt::NoModifier &&
        !mainImage()->inFullScreen() && openedFromRoom_) {
        backToRoom();
        return true;
    }
    return QObject::eventFilter(watched, event);
}

void ZorvanMacAppDelegate::setWallShown(bool on) {
    Ui::ZVMainWindow& ui = window_->ui();
    ui.actionCameraWall->setChecked(on);
    ui.actionNextPage->setEnabled(on);
    ui.actionPreviousPage->setEnabled(on);
    // A layout or tour keeps the window; the choice is kept for its end.
    ui.mainImage->setVisible(!on && !roomShown_);
    ui.cameraWall->setVisible(on && !roomShown_);
    rest_->setOneCameraShown(!on && !roomShown_);
    if (roomShown_) {
        room_->wall()->setFocus();
    } else if (on) {
        ui.cameraWall->setFocus();
    } else {
        ui.mainImage->setFocus();
    }
    updateSaveAction();
    followShown();
}

void ZorvanMacAppDelegate::followServer(const std::shared_ptr<CamServer>& server) {
    checkCamerasOnPage(server.get());
    followLiveVideo(server.get());
    if (wall_->server() == server && server) return;
    openedFromWall_ = false;
    // The server left gets no more wall requests; the new one's wall fills
    // when its camera list arrives.
    wall_->clear(server.get());
    setWallShown(isWallOn(server.get()) && !openedFromRoom_);
}

void ZorvanMacAppDelegate::showWall(const std::shared_ptr<CamServer>& server,
                                    std::int64_t selected) {
    // The one-camera refresh ends for good, and so does the probe that
    // would start it again when the server comes back: the wall asks for
    // the pictures.
    if (roomShown_) return;
    stopPictureProbe();
    live_->stop();
    rest_->stopVideo(*server);
    setWallShown(true);
    wall_->setResting(rest_->resting() || isHeld(server.get()));
    wall_->show(server, selected);
    followShown();
}

void ZorvanMacAppDelegate::toggleWall(bool on) {
    // The server's own wall or camera replaces a layout or tour.
    leaveRoom();
    const std::shared_ptr<CamServer> server = settings_.getCurrent();
    openedFromWall_ = false;
    if (!server) {
        setWallShown(false);
        return;
    }
    server->previewRegim = on ? 1 : 0;
    settings_.saveSoon();
    const auto cameras = server->getCameras();
    const auto count = static_cast<std::int64_t>(cameras ? cameras->size() : 0);
    const std::int64_t stored = settings_.cameraIdx();
    // A stored index outside the list shows the first camera, as at load.
    const std::int64_t k = stored >= 0 && stored < count ? stored : 0;
    if (on) {
        showWall(server, k);
        return;
    }
    wall_->clear(server.get());
    setWallShown(false);
    if (k < count) showCamera(*server, k);
}

void ZorvanMacAppDelegate::setCamerasOnPage(int n) {
    const std::shared_ptr<CamServer> server = settings_.getCurrent();
    if (!server) return;
    server->camOnPage = n;
    settings_.saveSoon();
    checkCamerasOnPage(server.get());
    if (wall_->server() == server) wall_->show(server, wall_->selected());
    if (!wall_->server() && isWallOn(server.get())) wall_->clear(server.get());
}

void ZorvanMacAppDelegate::checkCamerasOnPage(const CamServer* server) {
    const int cells = WallPages::cellsFor(server ? server->camOnPage : 0);
    for (QAction* item : camerasOnPage_->actions())
        item->setChecked(server && item->text().toInt() == cells);
}

void ZorvanMacAppDelegate::selectCamera(std::int64_t k) {
    const std::shared_ptr<CamServer> server = wall_->server();
    if (!server || server != settings_.getCurrent()) return;
    const auto cameras = server->getCameras();
    if (!cameras || k < 0 || static_cast<std::uint64_t>(k) >= cameras->size()) return;
    // The sound of the camera left ends, as with any camera change, and
    // Listen is offered as the newly selected camera allows.
    stopSoundForSwitch();
    settings_.setCameraIdx(k);
    const QList<QAction*> items = camerasMenu()->actions();
    for (qsizetype i = 0; i < items.size(); ++i) {
        bool ok = false;
        items[i]->setChecked(items[i]->property("tag").toLongLong(&ok) == k && ok);
    }
    applySoundAvailability(server.get(), cameras->at(static_cast<size_t>(k)).get());
    wall_->show(server, k);
    settings_.saveSoon();
}

void ZorvanMacAppDelegate::openFromWall(int cell) {
    const std::int64_t k = wall_->cameraAt(cell);
    const std::shared_ptr<CamServer> server = wall_->server();
    if (k < 0 || !server) return;
    if (wall_->selected() != k) selectCamera(k);
    toggleWall(false);
    openedFromWall_ = true;
}

void ZorvanMacAppDelegate::turnPage(bool forward) {
    if (!wall_->server()) return;
    selectCamera(wall_->pages().turnPage(wall_->selected(), forward));
}

void ZorvanMacAppDelegate::moveSelection(int key) {
    if (!wall_->server()) return;
    WallPages::Move move = WallPages::Move::Right;
    switch (key) {
        case Qt::Key_Left:
            move = WallPages::Move::Left;
            break;
        case Qt::Key_Up:
            move = WallPages::Move::Up;
            break;
        case Qt::Key_Down:
            move = WallPages::Move::Down;
            break;
        default:
            break;
    }
    selectCamera(wall_->pages().move(wall_->selected(), move));
}
