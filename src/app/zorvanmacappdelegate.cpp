// SPDX-License-Identifier: GPL-3.0-or-later
#include "zorvanmacappdelegate.h"

#include "alertqueue.h"
#include "camserver.h"
#include "controlroomhub.h"
#include "keyring.h"
#include "livevideo.h"
#include "mainthreadcall.h"
#include "passwordvault.h"
#include "phonelist.h"
#include "picturesaver.h"
#include "playerview.h"
#include "reconnector.h"
#include "restwhilehidden.h"
#include "roomscreen.h"
#include "roomwindow.h"
#include "screenkeeper.h"
#include "serverfeeds.h"
#include "serverprobe.h"
#include "serverurl.h"
#include "settings.h"
#include "soundstatusline.h"
#include "timedpictureloader.h"
#include "touchimage.h"
#include "ui_zvmainwindow.h"
#include "wallmode.h"
#include "windowplacement.h"
#include "zvdatamanager.h"
#include "zvmainwindow.h"
#include "zvserversettings.h"
#include "zvtexts.h"

#include <QGuiApplication>
#include <QLoggingCategory>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QSlider>
#include <QTimer>
#include <QWidgetAction>

#include "TXJsonValue.h"

#include <algorithm>
#include <utility>

Q_LOGGING_CATEGORY(lcApp, "zorvan.app")

// Menu items show record names as they are: '&' is not a mnemonic here.
QAction* ZorvanMacAppDelegate::addRecordItem(QMenu* menu, const QString& title, int tag) {
    QAction* item = menu->addAction(QString(title).replace('&', "&&"));
    item->setCheckable(true);
    item->setProperty("title", title);
    item->setProperty("tag", tag);
    return item;
}

ZorvanMacAppDelegate::ZorvanMacAppDelegate(Settings& settings, QObject* parent)
    : QObject(parent),
      settings_(settings),
      window_(std::make_unique<ZVMainWindow>()),
      alerts_(std::make_unique<AlertQueue>(window_.get())) {
    createPictureKeepers();
    createVolumeSlider();
    connectCommands();
    createPictureCommands();
    createWallCommands();
    createLiveVideo();
    createRoom();
}

ZorvanMacAppDelegate::~ZorvanMacAppDelegate() {
    endWork();
    // The window's widgets outlive this controller's other members.
    mainImage()->removeEventFilter(this);
    window_->removeEventFilter(this);
}

void ZorvanMacAppDelegate::createPictureKeepers() {
    reconnector_ = std::make_unique<Reconnector>([this] {
        // Only the server that did not answer is retried: should another
        // have become current, its own load decides.
        const auto server = settings_.getCurrent();
        if (!dataManager_ || workEnded_ || isHeld(server.get()) || !server ||
            server != retrying_.lock())
            return false;
        dataManager_->loadCameras();
        return true;
    });
    rest_ =
        std::make_unique<RestWhileHidden>(window_.get(), [this] { return settings_.getCurrent(); });
    pictureProbe_ = std::make_unique<ServerProbe>();
    connect(pictureProbe_.get(), &ServerProbe::down, this,
            &ZorvanMacAppDelegate::pictureServerDown);
    connect(pictureProbe_.get(), &ServerProbe::back, this,
            &ZorvanMacAppDelegate::pictureServerBack);
}

TouchImage* ZorvanMacAppDelegate::mainImage() const {
    return window_->ui().mainImage;
}
QMenu* ZorvanMacAppDelegate::serversMenu() const {
    return window_->ui().serversMenu;
}
QMenu* ZorvanMacAppDelegate::camerasMenu() const {
    return window_->ui().camerasMenu;
}
QMenu* ZorvanMacAppDelegate::soundMenu() const {
    return window_->ui().soundMenu;
}

void ZorvanMacAppDelegate::connectCommands() {
    Ui::ZVMainWindow& ui = window_->ui();
    connect(ui.actionReload, &QAction::triggered, this, &ZorvanMacAppDelegate::openServer);
    connect(ui.actionQuit, &QAction::triggered, this, &ZorvanMacAppDelegate::quit);
    connect(ui.actionPreferences, &QAction::triggered, this, &ZorvanMacAppDelegate::preference);
    // An item chosen from the menu bar or from the picture's context menu
    // (the same menu) reaches the commands with the item as sender.
    connect(ui.serversMenu, &QMenu::triggered, this, &ZorvanMacAppDelegate::changeServer);
    connect(ui.camerasMenu, &QMenu::triggered, this, &ZorvanMacAppDelegate::changeCamera);
    connect(ui.mainImage, &TouchImage::cameraChosen, this, &ZorvanMacAppDelegate::changeCamera);
    // The toggle has already switched when triggered reports it.
    connect(ui.actionSound, &QAction::triggered, this,
            [this](bool checked) { changeSound(!checked); });
    connect(audioSlider_, &QSlider::valueChanged, this, &ZorvanMacAppDelegate::changeVolume);
    // The stream's state is shown whenever the toggle is on, whoever turned it.
    // Over whatever the window shows: the one camera, the wall or a layout.
    soundStatus_ = new SoundStatusLine(
        ui.centralWidget, [this] { return playerView_ ? playerView_->statusText() : QString(); });
    connect(ui.actionSound, &QAction::toggled, soundStatus_, &SoundStatusLine::setActive);
    // Nothing is known about sound before a camera is shown.
    applySoundAvailability(nullptr, nullptr);

    // The live rate and round-trip time over the picture, on request.
    liveFigures_ = new QAction(zvText("Show Picture Rate"), ui.menuViewer);
    liveFigures_->setCheckable(true);
    ui.menuViewer->insertAction(ui.actionPreferences, liveFigures_);
    connect(liveFigures_, &QAction::toggled, this,
            [this](bool on) { mainImage()->freshness().setShowStats(on); });
}

void ZorvanMacAppDelegate::applicationDidFinishLaunching() {
    MainThreadCall::reopen();
    if (!playerView_) playerView_ = std::make_unique<PlayerView>();
    audioSlider_->setMaximum(100);
    audioSlider_->setMinimum(0);
    audioSlider_->setValue(100);

    dataManager_ = std::make_unique<ZVDataManager>(settings_.getCurrent());
    dataManager_->setDelegate(this);
    pictureLoader_ = std::make_unique<TimedPictureLoader>(dataManager_.get(), mainImage());
    startPasswordVault();

    if (settings_.hasStoredFrame()) {
        window_->setGeometry(WindowPlacement::placed(settings_.getWinPosition()));
    } else {
        window_->setGeometry(WindowPlacement::centred());
    }
    window_->show();
    window_->raise();
    window_->activateWindow();
    screens_->keep(
        window_.get(), [this](bool on) { mainImage()->setFullScreen(on); },
        [this] { return mainImage()->inFullScreen(); });

    updateServers();
    restoreWindows();
    followShown();
}

void ZorvanMacAppDelegate::startPasswordVault() {
    if (vault_) return;
    // Before the first load, so that a load of a server whose password is
    // still in the keyring waits for it.
    vault_ = std::make_unique<PasswordVault>(settings_, std::make_unique<Keyring>());
    connect(vault_.get(), &PasswordVault::passwordsKnown, this, [this] {
        if (dataManager_ && !workEnded_) dataManager_->passwordsKnown();
        if (hub_ && !workEnded_) hub_->feeds()->passwordsKnown();
    });
    connect(vault_.get(), &PasswordVault::unavailable, this, [this] {
        qCInfo(lcApp) << "Alert: keyring not available";
        alerts_->add(
            zvText(PasswordVault::kUnavailableAlert), [] {}, nullptr);
    });
    connect(vault_.get(), &PasswordVault::passwordNotTaken, this, [this] {
        qCInfo(lcApp) << "Alert: keyring did not take a password";
        alerts_->add(
            zvText(PasswordVault::kNotTakenAlert), [] {}, nullptr);
    });
    // The current server was asked without its password, which could not
    // be read then: asked again now. A server the server list holds loads
    // at its close anyway.
    connect(vault_.get(), &PasswordVault::passwordsFound, this, [this](const QStringList& ids) {
        const auto current = settings_.getCurrent();
        if (!dataManager_ || workEnded_ || !current || isHeld(current.get())) return;
        if (!current->keyringId.isEmpty() && ids.contains(current->keyringId))
            dataManager_->loadCameras();
    });
    vault_->start();
}

void ZorvanMacAppDelegate::applicationWillTerminate() {
    // Quitting with the server list open keeps what the person did there.
    if (settingsWindow_ && settingsWindow_->isVisible()) {
        settingsWindow_->applyToStore();
        settingsWindow_->hide();
    }
    // In full screen the frame to keep is the one the window returns to.
    QRect frame = window_ ? window_->geometry() : QRect();
    if (window_ && mainImage()->inFullScreen() && mainImage()->frameBeforeFullScreen().isValid())
        frame = mainImage()->frameBeforeFullScreen();
    settings_.setWinPosition(QRectF(frame));
    settings_.save();
    storeWindows();
    endWork();
}

void ZorvanMacAppDelegate::endWork() {
    if (workEnded_) return;
    workEnded_ = true;
    alerts_->end();
    reconnector_->cancel();
    stopPictureProbe();
    for (const auto& server : settings_.getServers()) server->setPictureFailureListener({});
    rest_->end();
    live_->stop();
    // Sound first: its output must be silent and its threads gone while the
    // main loop still runs, and its temporary file must not outlive us.
    if (playerView_) playerView_->shutdown();
    wall_->stop();
    // Every window's pictures end, and the background loads with them.
    for (const auto& w : roomWindows_) w->screenView()->clear();
    room_->clear();
    hub_->end();
    for (const auto& server : settings_.getServers()) server->stopVideo();
    // Release workers waiting for the main thread (an alert's included),
    // then abort and join them.
    MainThreadCall::close();
    if (dataManager_) dataManager_->shutdown();
    // The servers outlive this controller (the settings store keeps them):
    // none may keep pointing at its picture loader.
    for (const auto& server : settings_.getServers())
        server->releaseDataManager(pictureLoader_.get());
}

// --- data manager reports ---

void ZorvanMacAppDelegate::mikrophonesDidLoaded(const tx::JsonValue& list) {
    MainThreadCall::run([&] {
        const std::shared_ptr<CamServer> server = settings_.getCurrent();
        if (server && !server->setMicrophones(list)) {
            qCInfo(lcApp) << "Microphone list is not a list";
            if (!reconnector_->takeFailure()) showAlert("Error");
        }
    });
}

void ZorvanMacAppDelegate::camerasDidLoaded(const tx::JsonValue& list) {
    MainThreadCall::run([&] {
        const std::shared_ptr<CamServer> server = settings_.getCurrent();
        if (!server) return;
        if (!server->setCameras(list)) {
            qCInfo(lcApp) << "Camera list is not a list";
            if (!reconnector_->takeFailure()) showAlert("Error");
            return;
        }
        reconnector_->succeeded();
        hub_->feeds()->listsArrived(server.get());
        // The server is back: its "not available" alert is no longer true.
        if (unavailableAlert_) unavailableAlert_->done(QMessageBox::Accepted);
        const auto cameras = server->getCameras();
        QMenu* menu = camerasMenu();
        menu->clear();
        int n = 0;
        for (const auto& camera : *cameras) addRecordItem(menu, camera->cameraName, n++);
        mainImage()->setCamerasMenu(menu);
        if (cameras->empty()) {
            // A wall of cameras the server no longer has would stay live.
            if (isWallOn(server.get())) showWall(server, -1);
            return;
        }

        // A camera named on the command line is chosen once its list is here.
        if (!pendingCamera_.isNull()) {
            CameraRef ref;
            ref.cameraName = std::exchange(pendingCamera_, QString());
            if (const int found = findCamera(*cameras, ref); found >= 0)
                settings_.setCameraIdx(found);
        }
        // Compared unsigned, so a negative stored index counts as out of range.
        const auto k = static_cast<std::uint64_t>(settings_.cameraIdx());
        if (k < cameras->size()) {
            showCamera(*server, static_cast<std::int64_t>(k));
            menu->actions().at(static_cast<qsizetype>(k))->setChecked(true);
            applySoundAvailability(server.get(), cameras->at(k).get());
        } else {
            // The stored index stays as it is until the user picks a camera.
            showCamera(*server, 0);
            menu->actions().at(0)->setChecked(true);
        }
    });
}

void ZorvanMacAppDelegate::previewsDidLoaded(const tx::JsonValue&) {}

void ZorvanMacAppDelegate::noConnection() {
    showAlert("Connection error");
}

void ZorvanMacAppDelegate::serverNotConnected() {
    if (isRetryFailure()) return;
    std::shared_ptr<CamServer> server;
    std::shared_ptr<const CameraList> listBefore;
    bool silent = false;
    MainThreadCall::run([&] {
        // Keep trying from now on, not from when the alert is dismissed: a
        // server that comes back while nobody is there to read the alert
        // still returns, and takes the alert away.
        server = settings_.getCurrent();
        if (!server || workEnded_) return;
        listBefore = server->getCameras();
        // The server list may have left the fields half-typed; its close
        // loads the server again.
        if (isHeld(server.get())) return;
        // The retries' own probe covers the pictures too: the lists' return
        // shows the camera again.
        stopPictureProbe();
        retrying_ = server;
        reconnector_->start(server->host(), server->port());
        // Over a layout or a tour the current server is one of many: its
        // cells say it, and no alert stops the others.
        hub_->feeds()->listsFailed(server.get());
        silent = roomShown_;
    });
    if (silent) return;
    showAlert("Server is not available", &unavailableAlert_);
    MainThreadCall::run([&] {
        // A fresh list that a retry brought meanwhile stays in the menu.
        if (server && server == settings_.getCurrent() && server->getCameras() != listBefore)
            return;
        camerasMenu()->clear();
    });
}

void ZorvanMacAppDelegate::badResponse() {
    if (isRetryFailure()) return;
    // Over a layout or a tour the current server's cells say it instead.
    bool silent = false;
    MainThreadCall::run([&] {
        silent = roomShown_;
        if (silent) hub_->feeds()->listsFailed(settings_.getCurrent().get());
    });
    if (!silent) showAlert("Error");
}

bool ZorvanMacAppDelegate::isRetryFailure() {
    // Retries are silent: their failures only plan the next one.
    bool retry = false;
    MainThreadCall::run([&] { retry = reconnector_->takeFailure(); });
    return retry;
}

// --- helpers, main thread ---

void ZorvanMacAppDelegate::showCamera(CamServer& server, std::int64_t k) {
    stopPictureProbe();
    // Over a layout the lists only refresh the menus.
    if (roomShown_) return;
    if (isWallOn(&server) && !openedFromRoom_) {
        showWall(server.shared_from_this(), k);
        return;
    }
    const auto cameras = server.getCameras();
    // The picture counts as old after a few of this server's intervals.
    mainImage()->freshness().setRefreshIntervalMs(1000 / CamServer::refreshRate(server.fps()));
    cameras->at(static_cast<size_t>(k))->setCamera(mainImage());
    // At once, or when the window can be seen again; the camera's video,
    // where it has one, takes over from its first frame. A server the
    // server list holds (its lists were asked before its first edit) starts
    // neither until the close.
    rest_->videoCameraAtIndex(server, k);
    if (!isHeld(&server)) live_->show(server.shared_from_this(), k);
    followShown();
}

void ZorvanMacAppDelegate::pictureFailed(const std::shared_ptr<CamServer>& server,
                                         int failuresInARow) {
    // One lost picture is no outage; the retries' probe, if running, is enough.
    if (failuresInARow < 2 || isHeld(server.get()) || workEnded_ || pictureProbe_->isActive() ||
        reconnector_->isActive() || server != settings_.getCurrent())
        return;
    const QString host = server->host(), port = server->port();
    if (!ServerUrl::isSafeHost(host) || !ServerUrl::isSafePort(port)) return;
    probed_ = server;
    probedCamera_ = server->currentCameraIndex();
    pictureProbe_->start(host, static_cast<quint16>(port.toUInt()));
}

void ZorvanMacAppDelegate::pictureServerDown() {
    // The server takes no connections: no more picture requests until the
    // probe sees it back. (One that takes connections but sends no picture
    // keeps the refresh's own back-off.)
    const auto server = probed_.lock();
    if (!server || server != settings_.getCurrent() || !server->isRefreshing() ||
        server->currentCameraIndex() != probedCamera_) {
        stopPictureProbe();
        return;
    }
    qCInfo(lcApp) << "Pictures rest until the server takes connections again";
    server->stopVideo();
}

void ZorvanMacAppDelegate::pictureServerBack() {
    const auto server = probed_.lock();
    probed_.reset();
    // A wall shown meanwhile asks for its own pictures.
    if (!server || server != settings_.getCurrent() || isHeld(server.get()) || workEnded_ ||
        roomShown_ || (isWallOn(server.get()) && !openedFromRoom_))
        return;
    // Asks for a picture at once (or when the window can be seen again).
    rest_->videoCameraAtIndex(*server, probedCamera_);
}

void ZorvanMacAppDelegate::stopPictureProbe() {
    if (pictureProbe_) pictureProbe_->stop();
    probed_.reset();
}

void ZorvanMacAppDelegate::showAlert(const char* key, QPointer<QMessageBox>* shown) {
    qCInfo(lcApp) << "Alert:" << key;
    // The worker waits until the user has dismissed its alert.
    MainThreadCall::runAndWait(
        [&](std::function<void()> finish) { alerts_->add(zvText(key), std::move(finish), shown); });
}
