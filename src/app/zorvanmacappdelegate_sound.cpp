// SPDX-License-Identifier: GPL-3.0-or-later
// The application controller's sound: one microphone plays at a time, for
// the window whose Listen asked for it, at the volume every window shows.

#include "zorvanmacappdelegate.h"

#include "camserver.h"
#include "phonelist.h"
#include "playerview.h"
#include "zvmainwindow.h"

#include <QLoggingCategory>

#include <algorithm>

Q_DECLARE_LOGGING_CATEGORY(lcApp)

void ZorvanMacAppDelegate::play(QWidget* window, const std::shared_ptr<CamServer>& server,
                                const QString& audioUri) {
    // One microphone plays at a time: the window that had it is told.
    if (soundWindow_ && soundWindow_ != window) soundWindow_->soundTaken();
    soundWindow_ = qobject_cast<ZVMainWindow*>(window);
    playerView_->setCurrentServer(server);
    playerView_->playSound(audioUri);
    // The player forgets a volume set before its first stream existed;
    // the sound must still match what the sliders show.
    playerView_->setVolume(static_cast<float>(volume_));
}

bool ZorvanMacAppDelegate::listen(QWidget* window, const std::shared_ptr<CamServer>& server,
                                  std::int64_t k) {
    const auto cameras = server ? server->getCameras() : nullptr;
    if (!cameras || k < 0 || k >= std::ssize(*cameras) || !playerView_ || workEnded_ ||
        isHeld(server.get()))
        return false;
    const auto microphone = server->getMicrophone(cameras->at(static_cast<size_t>(k)).get());
    if (!microphone) return false;
    soundWaits_ = false;
    soundAsked_ = nullptr;
    play(window, server, microphone->audioUri);
    return true;
}

void ZorvanMacAppDelegate::listenLater(ZVMainWindow* window) {
    soundWaits_ = true;
    soundAsked_ = window;
}

void ZorvanMacAppDelegate::stopListening(QWidget* window) {
    if (soundAsked_ == window) soundAsked_ = nullptr;
    if (soundWindow_ != window || !playerView_) return;
    playerView_->stopSound();
    soundWindow_ = nullptr;
}

QString ZorvanMacAppDelegate::soundStatus() const {
    return playerView_ ? playerView_->statusText() : QString();
}

void ZorvanMacAppDelegate::setVolume(int value) {
    volume_ = std::clamp(value, 0, 100);
    if (playerView_) playerView_->setVolume(static_cast<float>(volume_));
}
