// SPDX-License-Identifier: GPL-3.0-or-later
// The application controller's servers: the Servers and Cameras menus, the
// current server's load, and the server list with the rest of the servers
// it edits.

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
#include "zorvanmacappdelegate.h"
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

Q_DECLARE_LOGGING_CATEGORY(lcApp)

namespace {

// Items are matched by title: every item of menu titled title is checked and
// handed to fn with its position, in order; every other item is unchecked.
void forEachItemTitled(QMenu* menu, const QString& title,
                       const std::function<void(qsizetype, QAction*)>& fn) {
    const QList<QAction*> items = menu->actions();
    for (qsizetype i = 0; i < items.size(); ++i) {
        QAction* item = items[i];
        const bool match = item->property("title").toString() == title;
        item->setChecked(match);
        if (match) fn(i, item);
    }
}

}  // namespace

void ZorvanMacAppDelegate::fillServersMenu() {
    QMenu* menu = serversMenu();
    menu->clear();
    int n = 0;
    for (const auto& server : settings_.getServers()) addRecordItem(menu, server->name(), n++);
    // Names and the number of servers are in the title and the captions.
    followShown();
    const std::shared_ptr<CamServer> current = settings_.getCurrent();
    if (!current) return;
    const QString name = current->name();
    for (QAction* item : menu->actions())
        item->setChecked(item->property("title").toString() == name);
}

void ZorvanMacAppDelegate::updateServers() {
    // The server list's end (and start-up) decides anew: no silent retries
    // of a server that may no longer be current.
    reconnector_->cancel();
    fillServersMenu();

    const std::shared_ptr<CamServer> current = settings_.getCurrent();
    // The server list may have made another server current (the current one
    // removed): the one left stops refreshing, so that two servers are never
    // polled at once, and no longer takes this data manager's loads.
    const std::shared_ptr<CamServer> previous = dataManager_->currentServer();
    if (previous && previous != current) {
        previous->stopVideo();
        if (!current) dataManager_->setCurrentServer(nullptr);
    }
    followServer(current);
    if (!current) return;
    bindServer(current);
    dataManager_->loadCameras();
}

void ZorvanMacAppDelegate::bindServer(const std::shared_ptr<CamServer>& server) {
    stopPictureProbe();
    // The video of the server left (or of the same one, reloaded) ends; the
    // camera shown once the lists arrive opens its own.
    live_->stop();
    server->setPictureFailureListener([this, weak = std::weak_ptr<CamServer>(server)](int n) {
        if (const auto s = weak.lock()) pictureFailed(s, n);
    });
    dataManager_->setCurrentServer(server);
    // A server the server list holds starts no refresh until its close.
    rest_->hold(isHeld(server.get()));
    // Through the timing loader, so the view learns each picture's round trip.
    server->setDataManager(pictureLoader_.get());
    dataManager_->setDelegate(this);
}

void ZorvanMacAppDelegate::openServer() {
    reconnector_->cancel();
    // A server the server list holds is loaded at its close.
    if (dataManager_ && !isHeld(settings_.getCurrent().get())) dataManager_->loadCameras();
}

void ZorvanMacAppDelegate::changeServer(QAction* sender) {
    reconnector_->cancel();  // the person's own choice ends the silent retries
    if (!sender) return;
    // A server chosen leaves the layout for that server's own view.
    leaveRoom();
    const QString title = sender->property("title").toString();
    // The index goes to 0 and is written before the current server changes;
    // the new server reaches the file with the next write.
    settings_.setCameraIdx(0);
    settings_.saveSoon();
    forEachItemTitled(serversMenu(), title, [&](qsizetype i, QAction*) {
        if (const auto current = settings_.getCurrent()) current->stopVideo();
        // The menu is built from the store's list in order, so its positions
        // are the list's; a menu older than the list must not reach past it.
        const auto& servers = settings_.getServers();
        if (static_cast<size_t>(i) >= servers.size()) return;
        const std::shared_ptr<CamServer> chosen = servers[static_cast<size_t>(i)];
        settings_.setCurrent(chosen);
        bindServer(chosen);
        followServer(chosen);
        stopSoundForSwitch();
        // Before its list has arrived a server has no first camera, and the
        // sound entries are hidden until it does.
        const auto cameras = chosen->getCameras();
        applySoundAvailability(chosen.get(),
                               cameras && !cameras->empty() ? cameras->front().get() : nullptr);
    });
    // Chosen while the server list edits it, the server is loaded at its
    // close, when its fields are final.
    if (!isHeld(settings_.getCurrent().get())) dataManager_->loadCameras();
}

void ZorvanMacAppDelegate::changeCamera(QAction* sender) {
    stopSoundForSwitch();
    if (!sender) return;
    leaveRoom();
    const QString title = sender->property("title").toString();
    forEachItemTitled(camerasMenu(), title, [&](qsizetype i, QAction* item) {
        settings_.setCameraIdx(i);
        const std::shared_ptr<CamServer> server = settings_.getCurrent();
        // The menu may still show another server's cameras (the new one's
        // list has not arrived) or an older list: only a camera that the
        // current server has at the item's position is shown.
        bool ok = false;
        const std::int64_t tag = item->property("tag").toLongLong(&ok);
        const auto cameras = server ? server->getCameras() : nullptr;
        const bool inList =
            ok && cameras && tag >= 0 && static_cast<std::uint64_t>(tag) < cameras->size();
        const CameraView* camera = inList ? cameras->at(static_cast<size_t>(tag)).get() : nullptr;
        applySoundAvailability(server.get(), camera);
        if (inList) {
            showCamera(*server, tag);
        } else if (server) {
            server->stopVideo();
        }
        // Quick steps (a held arrow key) are written together.
        settings_.saveSoon();
    });
}

void ZorvanMacAppDelegate::preference() {
    if (!settingsWindow_) {
        settingsWindow_ = std::make_unique<ZVServerSettings>(settings_);
        if (vault_) settingsWindow_->setPasswordVault(vault_.get());
        connect(settingsWindow_.get(), &ZVServerSettings::editing, this,
                &ZorvanMacAppDelegate::holdServer);
        connect(settingsWindow_.get(), &ZVServerSettings::closed, this,
                &ZorvanMacAppDelegate::endEditing);
    }
    beginEditing();
    settingsWindow_->showAndActivate();
}

void ZorvanMacAppDelegate::beginEditing() {
    if (workEnded_) return;
    editing_ = true;
}

bool ZorvanMacAppDelegate::isHeld(const CamServer* server) const {
    return server && hub_ && hub_->feeds()->isHeld(server);
}

void ZorvanMacAppDelegate::holdServer(const std::shared_ptr<CamServer>& server) {
    if (!server || workEnded_ || isHeld(server.get())) return;
    // Each keystroke changes the record at once, and a refresh, a retry or
    // the sound would read it: "18080" would be asked as 1, 18, 180 and 1808
    // on the way. Requests queued or sent before now keep the values they
    // were made with. Its lists, their retries and every window's cells of
    // it rest at once.
    hub_->feeds()->hold(server);
    if (wall_->server() == server) wall_->setResting(true);
    if (server == settings_.getCurrent()) {
        stopPictureProbe();
        reconnector_->cancel();
        rest_->hold(true);
        server->stopVideo();
        live_->stop();
    }
    // The sound toggle stays as it is: it says whether the sound starts
    // again at the close.
    if (playerView_ && playerView_->currentServer() == server) {
        playerView_->stopSound();
        soundWaits_ = true;
    }
}

void ZorvanMacAppDelegate::endEditing() {
    if (!editing_) {
        updateServers();
        return;
    }
    editing_ = false;
    const std::shared_ptr<CamServer> current = settings_.getCurrent();
    // The current server loads again if it was edited, or if it is another
    // one now (the one before removed); otherwise it went on all along.
    const bool reload =
        isHeld(current.get()) || !current || current != dataManager_->currentServer();
    // Servers removed leave their cells; the others are asked with their
    // final values.
    hub_->feeds()->prune();
    hub_->feeds()->releaseAll();
    emit hub_->serversChanged(QString());
    if (reload) {
        // Loads the current server's lists with the final values, which
        // starts the shown camera's refresh (or its wall) again.
        updateServers();
    } else {
        fillServersMenu();
    }
    if (!std::exchange(soundWaits_, false) || workEnded_) return;
    if (auto* other = qobject_cast<RoomWindow*>(soundWindow_.data())) {
        other->resumeSound();
        return;
    }
    QAction* toggle = window_->ui().actionSound;
    if (toggle->isChecked() && !startSound()) toggle->setChecked(false);
}
