// SPDX-License-Identifier: GPL-3.0-or-later
// The application controller's servers: the current server's load after
// start-up and after the server list, and the server list with the rest of
// the servers it edits.

#include "zorvanmacappdelegate.h"

#include "camserver.h"
#include "controlroomhub.h"
#include "playerview.h"
#include "reconnector.h"
#include "serverfeeds.h"
#include "settings.h"
#include "zvdatamanager.h"
#include "zvserversettings.h"

#include <utility>

Q_DECLARE_LOGGING_CATEGORY(lcApp)

void ZorvanMacAppDelegate::updateServers() {
    // The server list's end (and start-up) decides anew: no silent retries
    // of a server that may no longer be current.
    reconnector_->cancel();
    window_->fillServersMenu();

    const std::shared_ptr<CamServer> current = settings_.getCurrent();
    // The server list may have made another server current (the current one
    // removed): the one left stops refreshing, so that two servers are never
    // polled at once, and no longer takes this data manager's loads.
    const std::shared_ptr<CamServer> previous = dataManager_->currentServer();
    if (previous && previous != current) {
        previous->stopVideo();
        if (!current) dataManager_->setCurrentServer(nullptr);
    }
    window_->followServer(current);
    if (!current) return;
    bindServer(current);
    dataManager_->loadCameras();
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
    if (server == settings_.getCurrent()) reconnector_->cancel();
    window_->serverHeld(server);
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
        window_->fillServersMenu();
    }
    if (!std::exchange(soundWaits_, false) || workEnded_) return;
    // The window that asked for the sound meanwhile, else the one whose
    // sound the hold stopped.
    ZVMainWindow* heard = soundAsked_ ? soundAsked_.data() : soundWindow_.data();
    soundAsked_ = nullptr;
    if (heard) heard->resumeSound();
}
