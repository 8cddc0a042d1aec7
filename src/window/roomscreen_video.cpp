// SPDX-License-Identifier: GPL-3.0-or-later
// A window's cells that play their camera's live video: which could, the
// share of the viewer's decodes they get, and their stills' rest.

#include "roomscreen.h"

#include "activitywatch.h"
#include "camerawall.h"
#include "camserver.h"
#include "controlroomhub.h"
#include "livevideo.h"
#include "previewtouchimage.h"
#include "serverfeeds.h"
#include "touchview.h"
#include "videobudget.h"

#include <QLayout>

void RoomScreen::followLiveVideo() {
    followVideo();
}

bool RoomScreen::isVideoPlaying(int cell) const {
    for (const auto& [c, v] : videos_)
        if ((cell < 0 || c == cell) && v.video->isPlaying()) return true;
    return false;
}

bool RoomScreen::wantsVideo(const LayoutMode::Camera& camera) const {
    return camera.server && !hub_->feeds()->isHeld(camera.server.get()) &&
           LiveVideo::wants(*camera.server, camera.index);
}

void RoomScreen::followVideo() {
    // An Active Cameras layout's cells first: they may show other cameras now.
    followActive();
    std::vector<VideoBudget::Candidate> wanted;
    CameraWall* wall = front().wall;
    const LayoutMode* mode = front().mode.get();
    // New cells have their sizes once laid out.
    if (wall->layout()) wall->layout()->activate();
    for (int i = 0; shows_ != Shows::Nothing && i < mode->cellCount() && i < wall->cellCount();
         ++i) {
        if (!wantsVideo(mode->cameraAt(i))) continue;
        const QWidget* cell = wall->cell(i);
        const qreal ratio = cell->devicePixelRatioF();
        const auto w = static_cast<std::int64_t>(cell->width() * ratio);
        const auto h = static_cast<std::int64_t>(cell->height() * ratio);
        if (shows_ != Shows::Camera && (w < VideoBudget::kMinWidth || h < VideoBudget::kMinHeight))
            continue;
        wanted.push_back({i, std::max<std::int64_t>(w * h, 1)});
    }
    hub_->videoBudget()->offer(this, std::move(wanted));
    playGranted();
    followActivity();
}

void RoomScreen::followActivity() {
    ActivityWatch* watch = hub_->activity();
    for (const Side& side : sides_) {
        for (int i = 0; i < side.wall->cellCount(); ++i) {
            ActivityWatch::Parts shown;
            const LayoutMode::Camera camera = side.mode->cameraAt(i);
            const auto cameras = camera.server ? camera.server->getCameras() : nullptr;
            if (&side == &front() && shows_ != Shows::Nothing && cameras && camera.index >= 0 &&
                camera.index < std::ssize(*cameras)) {
                const CameraView& c = *cameras->at(static_cast<size_t>(camera.index));
                shown = {camera.server->serverId(), c.uri, c.cameraName};
            }
            watch->watch(side.wall->cell(i)->imageView(), shown);
        }
    }
}

void RoomScreen::playGranted() {
    const std::set<int> granted = hub_->videoBudget()->granted(this);
    CameraWall* wall = front().wall;
    LayoutMode* mode = front().mode.get();
    // What no longer plays stops first: another side of the tour in
    // front, a cell made anew, a cell not granted.
    for (auto it = videos_.begin(); it != videos_.end();) {
        const int cell = it->first;
        const bool keep = videoMode_ == mode && granted.count(cell) && cell < wall->cellCount() &&
                          it->second.view == wall->cell(cell)->imageView() &&
                          wantsVideo(mode->cameraAt(cell));
        if (keep) {
            ++it;
            continue;
        }
        it->second.video->stop();
        if (videoMode_) videoMode_->setStillsResting(cell, false);
        it = videos_.erase(it);
    }
    videoMode_ = mode;
    for (const int cell : granted) {
        if (cell >= wall->cellCount() || cell >= mode->cellCount()) continue;
        const LayoutMode::Camera camera = mode->cameraAt(cell);
        if (!wantsVideo(camera)) continue;
        CellVideo& v = videos_[cell];
        if (!v.video) {
            v.view = wall->cell(cell)->imageView();
            v.video = std::make_unique<LiveVideo>(v.view);
            v.video->setResting(resting_);
            connect(v.video.get(), &LiveVideo::videoStarted, this, &RoomScreen::restStillsForVideo);
            connect(v.video.get(), &LiveVideo::videoEnded, this, &RoomScreen::restStillsForVideo);
        }
        // The same camera again goes on as it is.
        v.video->show(camera.server, camera.index);
    }
    restStillsForVideo();
}

void RoomScreen::restStillsForVideo() {
    if (!videoMode_) return;
    for (const auto& [cell, v] : videos_) videoMode_->setStillsResting(cell, v.video->isPlaying());
}
