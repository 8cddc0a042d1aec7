// SPDX-License-Identifier: GPL-3.0-or-later
// The application controller's sound: the volume slider, the Listen toggle,
// and which camera's microphone it plays (the shown camera's, or in a layout
// the selected cell's).

#include "zorvanmacappdelegate.h"

#include "camserver.h"
#include "layoutmode.h"
#include "phonelist.h"
#include "playerview.h"
#include "roomscreen.h"
#include "roomwindow.h"
#include "settings.h"
#include "ui_zvmainwindow.h"
#include "zvmainwindow.h"
#include "zvtexts.h"

#include <QLoggingCategory>
#include <QMenu>
#include <QSlider>
#include <QWidgetAction>

Q_DECLARE_LOGGING_CATEGORY(lcApp)

void ZorvanMacAppDelegate::createVolumeSlider() {
    // The slider sits in the sound menu right after the sound toggle.
    audioSlider_ = new QSlider(Qt::Horizontal);
    audioSlider_->setToolTip(zvText("Volume"));
    audioSlider_->setMinimumWidth(140);
    volumeAction_ = new QWidgetAction(soundMenu());
    volumeAction_->setDefaultWidget(audioSlider_);
    soundMenu()->addAction(volumeAction_);
}

bool ZorvanMacAppDelegate::startSound() {
    const CameraView* camera = nullptr;
    const std::shared_ptr<CamServer> server = soundServer(&camera);
    const std::shared_ptr<PhoneList> microphone = camera ? server->getMicrophone(camera) : nullptr;
    if (!microphone || !playerView_) return false;
    play(window_.get(), server, microphone->audioUri);
    return true;
}

void ZorvanMacAppDelegate::play(QWidget* window, const std::shared_ptr<CamServer>& server,
                                const QString& audioUri) {
    // One microphone plays at a time: the window that had it is told.
    if (soundWindow_ && soundWindow_ != window) {
        if (auto* other = qobject_cast<RoomWindow*>(soundWindow_.data())) {
            other->soundTaken();
        } else {
            window_->ui().actionSound->setChecked(false);
        }
    }
    soundWindow_ = window;
    playerView_->setCurrentServer(server);
    playerView_->playSound(audioUri);
    // The player forgets a volume set before its first stream existed;
    // the sound must still match what the slider shows.
    playerView_->setVolume(static_cast<float>(audioSlider_->value()));
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
    play(window, server, microphone->audioUri);
    return true;
}

void ZorvanMacAppDelegate::stopListening(QWidget* window) {
    if (soundWindow_ != window || !playerView_) return;
    playerView_->stopSound();
    soundWindow_ = nullptr;
}

QString ZorvanMacAppDelegate::soundStatus() const {
    return playerView_ ? playerView_->statusText() : QString();
}

int ZorvanMacAppDelegate::volume() const {
    return audioSlider_->value();
}

void ZorvanMacAppDelegate::setVolume(int value) {
    audioSlider_->setValue(value);  // the player follows the slider
}

void ZorvanMacAppDelegate::changeSound(bool wasOn) {
    QAction* toggle = window_->ui().actionSound;
    const CameraView* camera = nullptr;
    const std::shared_ptr<CamServer> server = soundServer(&camera);
    const std::shared_ptr<PhoneList> microphone = camera ? server->getMicrophone(camera) : nullptr;
    if (!microphone || !playerView_) {
        toggle->setChecked(false);
        qCInfo(lcApp) << "Cam without sound";
    } else if (isHeld(server.get())) {
        // The server's fields may be half-typed: the toggle only says
        // whether the sound starts when the server list closes.
        toggle->setChecked(!wasOn);
        soundWaits_ = true;
    } else if (!wasOn) {
        startSound();
        toggle->setChecked(true);
        qCInfo(lcApp) << "Start sound";
    } else {
        stopListening(window_.get());
        toggle->setChecked(false);
        qCInfo(lcApp) << "Stop sound";
    }
}

void ZorvanMacAppDelegate::changeVolume(int value) {
    if (playerView_) playerView_->setVolume(static_cast<float>(value));
}

void ZorvanMacAppDelegate::applySoundAvailability(CamServer* server, const CameraView* camera) {
    const bool hasMicrophone = server && camera && server->getMicrophone(camera);
    QMenu* sound = soundMenu();
    sound->menuAction()->setEnabled(hasMicrophone);  // entry 3 of its parent menu
    const QList<QAction*> entries = sound->actions();
    for (int i = 0; i < 2 && i < entries.size(); ++i) {
        entries[i]->setVisible(hasMicrophone);
        // The slider's widget action hands its enabled state to the slider.
        entries[i]->setEnabled(hasMicrophone);
    }
}

void ZorvanMacAppDelegate::stopSoundForSwitch() {
    // Another window's sound goes on.
    stopListening(window_.get());
    const QList<QAction*> entries = soundMenu()->actions();
    if (!entries.isEmpty()) entries.first()->setChecked(false);
}

std::shared_ptr<CamServer> ZorvanMacAppDelegate::soundServer(const CameraView** camera) const {
    *camera = nullptr;
    if (roomShown_) {
        const LayoutMode::Camera selected = room_->selectedCamera();
        const auto cameras = selected.server ? selected.server->getCameras() : nullptr;
        if (!cameras || selected.index < 0 ||
            static_cast<std::size_t>(selected.index) >= cameras->size())
            return nullptr;
        *camera = cameras->at(static_cast<size_t>(selected.index)).get();
        return selected.server;
    }
    const std::shared_ptr<CamServer> server = settings_.getCurrent();
    const auto cameras = server ? server->getCameras() : nullptr;
    // Compared unsigned, so a negative stored index counts as out of range.
    const auto k = static_cast<std::uint64_t>(settings_.cameraIdx());
    *camera = cameras && k < cameras->size() ? cameras->at(k).get() : nullptr;
    return server;
}
