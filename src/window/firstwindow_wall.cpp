// SPDX-License-Identifier: GPL-3.0-or-later
// The first window's camera wall (the View menu, the wall's keys, paging
// and selection, the switch between the wall and one camera) and its live
// video (View > Live Video, and the hand-over between the shown camera's
// video and its stills).

#include "firstwindow.h"

#include "camerawall.h"
#include "camserver.h"
#include "controlroomhub.h"
#include "livevideo.h"
#include "restwhilehidden.h"
#include "roommenus.h"
#include "roomscreen.h"
#include "serverprobe.h"
#include "settings.h"
#include "touchimage.h"
#include "ui_zvmainwindow.h"
#include "videobudget.h"
#include "wallmode.h"
#include "wallpages.h"

#include <QActionGroup>
#include <QKeyEvent>
#include <QMenu>

bool FirstWindow::isWallOn(const CamServer* server) {
    // Any stored value other than 1 means one camera, and is kept as it is
    // until the person switches.
    return server && server->previewRegim == 1;
}

void FirstWindow::createWallCommands() {
    Ui::ZVMainWindow& ui = *ui_;
    wall_ = std::make_unique<WallMode>(ui.cameraWall);
    // The View menu's shortcuts work while full screen hides the menu bar.
    addActions(
        {ui.actionCameraWall, ui.actionNextPage, ui.actionPreviousPage, ui.actionFullScreen});
    camerasOnPage_ = RoomMenus::addCamerasOnPage(ui.camerasOnPageMenu, this,
                                                 [this](int n) { setCamerasOnPage(n); });
    connect(ui.actionCameraWall, &QAction::triggered, this, &FirstWindow::toggleWall);
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
    connect(wall, &CameraWall::cellActivated, this, &FirstWindow::openFromWall);
    connect(wall, &CameraWall::pageStep, this, &FirstWindow::turnPage);
    connect(wall, &CameraWall::arrowKey, this, &FirstWindow::moveSelection);
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

bool FirstWindow::eventFilter(QObject* watched, QEvent* event) {
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
    return ZVMainWindow::eventFilter(watched, event);
}

void FirstWindow::setWallShown(bool on) {
    Ui::ZVMainWindow& ui = *ui_;
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

void FirstWindow::followServer(const std::shared_ptr<CamServer>& server) {
    checkCamerasOnPage(server.get());
    followLiveVideo(server.get());
    if (wall_->server() == server && server) return;
    openedFromWall_ = false;
    // The server left gets no more wall requests; the new one's wall fills
    // when its camera list arrives.
    wall_->clear(server.get());
    setWallShown(isWallOn(server.get()) && !openedFromRoom_);
}

void FirstWindow::showWall(const std::shared_ptr<CamServer>& server, std::int64_t selected) {
    // The one-camera refresh ends for good, and so does the probe that
    // would start it again when the server comes back: the wall asks for
    // the pictures.
    if (roomShown_) return;
    stopPictureProbe();
    stopVideo();
    rest_->stopVideo(*server);
    setWallShown(true);
    wall_->setResting(rest_->resting() || isHeld(server.get()));
    wall_->show(server, selected);
    followShown();
}

void FirstWindow::toggleWall(bool on) {
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

void FirstWindow::setCamerasOnPage(int n) {
    const std::shared_ptr<CamServer> server = settings_.getCurrent();
    if (!server) return;
    server->camOnPage = n;
    settings_.saveSoon();
    checkCamerasOnPage(server.get());
    if (wall_->server() == server) wall_->show(server, wall_->selected());
    if (!wall_->server() && isWallOn(server.get())) wall_->clear(server.get());
    followActivity();
}

void FirstWindow::checkCamerasOnPage(const CamServer* server) {
    const int cells = WallPages::cellsFor(server ? server->camOnPage : 0);
    for (QAction* item : camerasOnPage_->actions())
        item->setChecked(server && item->text().toInt() == cells);
}

void FirstWindow::selectCamera(std::int64_t k) {
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
    followActivity();
    settings_.saveSoon();
}

void FirstWindow::openFromWall(int cell) {
    const std::int64_t k = wall_->cameraAt(cell);
    const std::shared_ptr<CamServer> server = wall_->server();
    if (k < 0 || !server) return;
    if (wall_->selected() != k) selectCamera(k);
    toggleWall(false);
    openedFromWall_ = true;
}

void FirstWindow::turnPage(bool forward) {
    if (!wall_->server()) return;
    selectCamera(wall_->pages().turnPage(wall_->selected(), forward));
}

void FirstWindow::moveSelection(int key) {
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

// --- live video ---

void FirstWindow::createLiveVideo() {
    live_ = std::make_unique<LiveVideo>(mainImage());
    QAction* item = ui_->actionLiveVideo;
    // The shortcut works while full screen hides the menu bar.
    addAction(item);
    connect(item, &QAction::triggered, this, &FirstWindow::setLiveVideo);
    // The stills rest while the video plays; they come again when it ends.
    connect(live_.get(), &LiveVideo::videoStarted, this, [this] {
        if (const auto server = settings_.getCurrent()) {
            stopPictureProbe();
            rest_->stopVideo(*server);
        }
    });
    connect(live_.get(), &LiveVideo::videoEnded, this, &FirstWindow::resumeStills);
    connect(rest_.get(), &RestWhileHidden::restingChanged, live_.get(), &LiveVideo::setResting);
    // The shown camera's server takes connections again: a video it ended
    // comes back with it, not a minute later. (The probe only ever watches
    // the shown camera's server.)
    connect(pictureProbe_.get(), &ServerProbe::back, live_.get(), &LiveVideo::serverBack);
    // Other windows' cells took or gave back decodes of the viewer's budget.
    connect(host_->hub()->videoBudget(), &VideoBudget::changed, this,
            &FirstWindow::followVideoGrant);
    followLiveVideo(nullptr);
}

void FirstWindow::playVideo(const std::shared_ptr<CamServer>& server, std::int64_t k) {
    videoServer_ = server;
    videoCamera_ = k;
    std::vector<VideoBudget::Candidate> wanted;
    if (!ended_ && LiveVideo::wants(*server, k)) {
        const qreal ratio = mainImage()->devicePixelRatioF();
        wanted.push_back({0, std::max<std::int64_t>(
                                 1, static_cast<std::int64_t>(mainImage()->width() * ratio) *
                                        static_cast<std::int64_t>(mainImage()->height() * ratio))});
    }
    host_->hub()->videoBudget()->offer(this, std::move(wanted));
    followVideoGrant();
}

void FirstWindow::stopVideo() {
    videoServer_.reset();
    live_->stop();
    host_->hub()->videoBudget()->withdraw(this);
}

void FirstWindow::followVideoGrant() {
    const auto server = videoServer_.lock();
    if (server && host_->hub()->videoBudget()->granted(this).count(0)) {
        live_->show(server, videoCamera_);
        return;
    }
    // Beyond the budget (or nothing asked): the stills.
    const bool playing = live_->isPlaying();
    live_->stop();
    if (playing) resumeStills();
}

void FirstWindow::followLiveVideo(const CamServer* server) {
    QAction* item = ui_->actionLiveVideo;
    item->setEnabled(server != nullptr);
    item->setChecked(server && LiveVideo::isOn(*server));
}

void FirstWindow::setLiveVideo(bool on) {
    const std::shared_ptr<CamServer> server = settings_.getCurrent();
    if (!server) return;
    LiveVideo::setOn(*server, on);
    if (isWallOn(server.get()) || isHeld(server.get()) || ended_) return;
    if (on) {
        playVideo(server, server->currentCameraIndex());
        return;
    }
    const bool playing = live_->isPlaying();
    stopVideo();
    if (playing) resumeStills();
}

void FirstWindow::resumeStills() {
    const std::shared_ptr<CamServer> server = settings_.getCurrent();
    if (!server || ended_ || isHeld(server.get()) || isWallOn(server.get()) ||
        server->isRefreshing())
        return;
    rest_->videoCameraAtIndex(*server, server->currentCameraIndex());
}
