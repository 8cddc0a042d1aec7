// SPDX-License-Identifier: GPL-3.0-or-later
#include "zorvanmacappdelegate.h"

#include "alertqueue.h"
#include "camserver.h"
#include "commandline.h"
#include "controlroomhub.h"
#include "focuskeeper.h"
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

#include <QFileInfo>
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

ZorvanMacAppDelegate::ZorvanMacAppDelegate(Settings& settings, QObject* parent)
    : QObject(parent),
      settings_(settings),
      hub_(std::make_unique<ControlRoomHub>(settings_,
                                            QFileInfo(settings_.pathToDataFile()).path())),
      screens_(std::make_unique<ScreenKeeper>()),
      window_(std::make_unique<FirstWindow>(this, settings_)),
      alerts_(std::make_unique<AlertQueue>(window_.get())),
      focus_(std::make_unique<FocusKeeper>()),
      saver_(std::make_unique<PictureSaver>()) {
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
    connect(window_.get(), &ZVMainWindow::stateChanged, this, &ZorvanMacAppDelegate::storeWindows);
    connect(hub_.get(), &ControlRoomHub::roomChanged, this, &ZorvanMacAppDelegate::storeWindows);
}

ZorvanMacAppDelegate::~ZorvanMacAppDelegate() {
    endWork();
}

void ZorvanMacAppDelegate::applicationDidFinishLaunching() {
    MainThreadCall::reopen();
    if (!playerView_) playerView_ = std::make_unique<PlayerView>();
    setVolume(volume_);

    dataManager_ = std::make_unique<ZVDataManager>(settings_.getCurrent());
    dataManager_->setDelegate(this);
    window_->start(dataManager_.get());
    startPasswordVault();

    if (settings_.hasStoredFrame()) {
        window_->setGeometry(WindowPlacement::placed(settings_.getWinPosition()));
    } else {
        window_->setGeometry(WindowPlacement::centred());
    }
    window_->show();
    window_->raise();
    window_->activateWindow();
    FirstWindow* w = window_.get();
    screens_->keep(
        w, [w](bool on) { w->setFullScreen(on); }, [w] { return w->isFullScreenOn(); });

    updateServers();
    restoreWindows();
    window_->followShown();
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
    settings_.setWinPosition(QRectF(window_->frameToKeep()));
    settings_.save();
    storeWindows();
    endWork();
}

void ZorvanMacAppDelegate::endWork() {
    if (workEnded_) return;
    workEnded_ = true;
    alerts_->end();
    reconnector_->cancel();
    window_->end();
    // Sound first: its output must be silent and its threads gone while the
    // main loop still runs, and its temporary file must not outlive us.
    if (playerView_) playerView_->shutdown();
    // Every window's pictures end, and the background loads with them.
    for (const auto& w : roomWindows_) w->screenView()->clear();
    hub_->end();
    for (const auto& server : settings_.getServers()) server->stopVideo();
    // Release workers waiting for the main thread (an alert's included),
    // then abort and join them.
    MainThreadCall::close();
    if (dataManager_) dataManager_->shutdown();
    // The servers outlive this controller (the settings store keeps them):
    // none may keep pointing at the first window's picture loader.
    for (const auto& server : settings_.getServers()) window_->release(*server);
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
        // A camera named on the command line is chosen once its list is here.
        if (!pendingCamera_.isNull()) {
            QStringList names;
            for (const auto& camera : *server->getCameras()) names << camera->cameraName;
            const qsizetype k = CommandLine::findName(names, std::exchange(pendingCamera_, {}));
            if (k >= 0) settings_.setCameraIdx(k);
        }
        window_->camerasArrived(*server);
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
        window_->retriesStarted();
        retrying_ = server;
        reconnector_->start(server->host(), server->port());
        // Over a layout or a tour the current server is one of many: its
        // cells say it, and no alert stops the others.
        hub_->feeds()->listsFailed(server.get());
        silent = window_->showsRoom();
    });
    if (silent) return;
    showAlert("Server is not available", &unavailableAlert_);
    MainThreadCall::run([&] {
        // A fresh list that a retry brought meanwhile stays in the menu.
        if (server && server == settings_.getCurrent() && server->getCameras() != listBefore)
            return;
        window_->camerasLost();
    });
}

void ZorvanMacAppDelegate::badResponse() {
    if (isRetryFailure()) return;
    // Over a layout or a tour the current server's cells say it instead.
    bool silent = false;
    MainThreadCall::run([&] {
        silent = window_->showsRoom();
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

// --- the current server's loads ---

void ZorvanMacAppDelegate::bindServer(const std::shared_ptr<CamServer>& server) {
    dataManager_->setCurrentServer(server);
    window_->bind(server);
    dataManager_->setDelegate(this);
}

void ZorvanMacAppDelegate::makeCurrent(const std::shared_ptr<CamServer>& server) {
    if (const auto current = settings_.getCurrent()) current->stopVideo();
    settings_.setCurrent(server);
    bindServer(server);
}

void ZorvanMacAppDelegate::loadCurrent() {
    reconnector_->cancel();
    // A server the server list holds is loaded at its close.
    if (dataManager_ && !workEnded_ && !isHeld(settings_.getCurrent().get()))
        dataManager_->loadCameras();
}

void ZorvanMacAppDelegate::cancelRetries() {
    reconnector_->cancel();
}

bool ZorvanMacAppDelegate::isRetrying() const {
    return reconnector_->isActive();
}

void ZorvanMacAppDelegate::showAlert(const char* key, QPointer<QMessageBox>* shown) {
    qCInfo(lcApp) << "Alert:" << key;
    // The worker waits until the user has dismissed its alert.
    MainThreadCall::runAndWait(
        [&](std::function<void()> finish) { alerts_->add(zvText(key), std::move(finish), shown); });
}
