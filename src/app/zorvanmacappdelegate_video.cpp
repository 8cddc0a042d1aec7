// SPDX-License-Identifier: GPL-3.0-or-later
// The application controller's live video: View > Live Video, and the
// hand-over between the shown camera's video and its still pictures.

#include "zorvanmacappdelegate.h"

#include "camserver.h"
#include "livevideo.h"
#include "restwhilehidden.h"
#include "serverprobe.h"
#include "settings.h"
#include "ui_zvmainwindow.h"
#include "zvmainwindow.h"

void ZorvanMacAppDelegate::createLiveVideo() {
    live_ = std::make_unique<LiveVideo>(mainImage());
    QAction* item = window_->ui().actionLiveVideo;
    // The shortcut works while full screen hides the menu bar.
    window_->addAction(item);
    connect(item, &QAction::triggered, this, &ZorvanMacAppDelegate::setLiveVideo);
    // The stills rest while the video plays; they come again when it ends.
    connect(live_.get(), &LiveVideo::videoStarted, this, [this] {
        if (const auto server = settings_.getCurrent()) {
            stopPictureProbe();
            rest_->stopVideo(*server);
        }
    });
    connect(live_.get(), &LiveVideo::videoEnded, this, &ZorvanMacAppDelegate::resumeStills);
    connect(rest_.get(), &RestWhileHidden::restingChanged, live_.get(), &LiveVideo::setResting);
    // The shown camera's server takes connections again: a video it ended
    // comes back with it, not a minute later. (The probe only ever watches
    // the shown camera's server.)
    connect(pictureProbe_.get(), &ServerProbe::back, live_.get(), &LiveVideo::serverBack);
    followLiveVideo(nullptr);
}

void ZorvanMacAppDelegate::followLiveVideo(const CamServer* server) {
    QAction* item = window_->ui().actionLiveVideo;
    item->setEnabled(server != nullptr);
    item->setChecked(server && LiveVideo::isOn(*server));
}

void ZorvanMacAppDelegate::setLiveVideo(bool on) {
    const std::shared_ptr<CamServer> server = settings_.getCurrent();
    if (!server) return;
    LiveVideo::setOn(*server, on);
    if (isWallOn(server.get()) || isHeld(server.get()) || workEnded_) return;
    if (on) {
        live_->show(server, server->currentCameraIndex());
        return;
    }
    const bool playing = live_->isPlaying();
    live_->stop();
    if (playing) resumeStills();
}

void ZorvanMacAppDelegate::resumeStills() {
    const std::shared_ptr<CamServer> server = settings_.getCurrent();
    if (!server || workEnded_ || isHeld(server.get()) || isWallOn(server.get()) ||
        server->isRefreshing())
        return;
    rest_->videoCameraAtIndex(*server, server->currentCameraIndex());
}
