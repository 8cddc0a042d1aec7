// SPDX-License-Identifier: GPL-3.0-or-later
// The camera wall's refresh: one schedule, gate and timer per camera on the
// page, all on the main thread, feeding a loader that fetches many cameras
// of one server at once.

#include "wallrefresh.h"

#include "cameraimageview.h"
#include "camserver.h"
#include "refreshschedule.h"
#include "serverurl.h"
#include "wallloader.h"

#include <QImage>
#include <QTimer>

#include <algorithm>
#include <climits>

struct WallRefresh::Camera {
    Camera(std::int64_t index, CameraImageView* view, QString imageUri, std::uint64_t generation,
           int rate)
        : index(index),
          views{view},
          imageUri(std::move(imageUri)),
          generation(generation),
          schedule(rate) {}

    // The size to ask for: the largest that the views ask (the others scale
    // the picture down as they paint it). A zoomed view asks for more than
    // it shows, for the detail of the part zoomed to.
    QSize askedSize() const {
        const auto area = [](QSize size) { return qint64(size.width()) * size.height(); };
        QSize largest = views.front()->askedPixels();
        for (const CameraImageView* view : views)
            if (const QSize size = view->askedPixels(); area(size) > area(largest)) largest = size;
        return largest;
    }
    void show(const CameraPicture& picture) const {
        for (CameraImageView* view : views) view->setCameraPicture(picture);
    }

    std::int64_t index;
    // Every cell of the page that shows this camera; never empty.
    std::vector<CameraImageView*> views;
    QString imageUri;
    std::uint64_t generation;
    RefreshSchedule schedule;
    QTimer timer;  // single shot, set for the next slot
    bool inFlight = false;
    bool refused = false;  // no path, or one that could leave the server
};

WallRefresh::WallRefresh(std::shared_ptr<CamServer> server, WallLoader* loader)
    : server_(std::move(server)), loader_(loader), self_(std::make_shared<WallRefresh*>(this)) {}

WallRefresh::~WallRefresh() {
    stop();
}

WallRefresh::Camera* WallRefresh::find(std::int64_t index) const {
    for (const auto& camera : cameras_)
        if (camera->index == index) return camera.get();
    return nullptr;
}

void WallRefresh::showPage(std::vector<Cell> cells) {
    const auto list = server_ ? server_->getCameras() : nullptr;
    const std::int64_t count = list ? static_cast<std::int64_t>(list->size()) : 0;
    const int rate = server_ ? CamServer::refreshRate(server_->fps()) : 8;

    std::vector<std::unique_ptr<Camera>> kept;
    std::vector<Camera*> joined;
    for (const Cell& cell : cells) {
        if (!cell.view) continue;
        // A camera shown in several cells is asked once, for all of them.
        auto again = std::find_if(kept.begin(), kept.end(),
                                  [&](const auto& c) { return c->index == cell.cameraIndex; });
        if (again != kept.end()) {
            auto& views = (*again)->views;
            if (std::find(views.begin(), views.end(), cell.view) == views.end())
                views.push_back(cell.view);
            continue;
        }
        if (cell.cameraIndex < 0 || cell.cameraIndex >= count) {
            cell.view->setPicture(QImage());
            continue;
        }
        const QString& uri = (*list)[static_cast<size_t>(cell.cameraIndex)]->imageUri;
        // The same camera in the same first view, asking the same path, goes
        // on as it was: its request in flight and its schedule stay. Its
        // other cells are those of the new page.
        auto same = std::find_if(cameras_.begin(), cameras_.end(), [&](const auto& c) {
            return c && c->index == cell.cameraIndex && c->views.front() == cell.view &&
                   c->imageUri == uri;
        });
        if (same != cameras_.end()) {
            (*same)->views.assign(1, cell.view);
            kept.push_back(std::move(*same));
            continue;
        }
        auto camera =
            std::make_unique<Camera>(cell.cameraIndex, cell.view, uri, nextGeneration_++, rate);
        camera->timer.setSingleShot(true);
        camera->timer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&camera->timer, &QTimer::timeout, [this, c = camera.get()] { tick(*c); });
        joined.push_back(camera.get());
        kept.push_back(std::move(camera));
    }
    // Whatever is left has left the page: its answer must never land.
    for (const auto& gone : cameras_) {
        if (gone && gone->inFlight && loader_) loader_->cancel(gone->index);
    }
    cameras_ = std::move(kept);

    const std::int64_t now = RefreshSchedule::nowNs();
    for (Camera* camera : joined) {
        camera->schedule.start(now);
        tick(*camera);
    }
}

void WallRefresh::stop() {
    for (const auto& camera : cameras_) {
        if (camera->inFlight && loader_) loader_->cancel(camera->index);
    }
    cameras_.clear();
}

void WallRefresh::setResting(bool resting) {
    if (resting == resting_) return;
    resting_ = resting;
    const std::int64_t now = RefreshSchedule::nowNs();
    for (const auto& camera : cameras_) {
        if (resting) {
            camera->timer.stop();
        } else {
            camera->schedule.start(now);
            tick(*camera);
        }
    }
}

void WallRefresh::tick(Camera& camera) {
    // Resting, or the previous picture is still on its way (its answer
    // calls this again), or nothing may ever be asked for this camera.
    if (resting_ || camera.inFlight || camera.refused || !loader_) return;
    const std::int64_t now = RefreshSchedule::nowNs();
    if (const std::int64_t wait = camera.schedule.waitNs(now); wait > 0) {
        camera.timer.start(RefreshSchedule::timerMs(wait));
        return;
    }
    if (!ServerUrl::isSafePath(camera.imageUri)) {
        // A path that could send the credentials to another host: no
        // request and no picture for this camera while it is on the page.
        camera.refused = true;
        camera.show(CameraPicture(QImage()));
        return;
    }
    camera.inFlight = true;
    camera.schedule.requested(now);
    std::weak_ptr<WallRefresh*> weak = self_;
    loader_->requestPicture(
        camera.index, camera.imageUri, camera.askedSize(),
        [weak, index = camera.index, generation = camera.generation](const CameraPicture& picture) {
            if (auto self = weak.lock()) (*self)->answered(index, generation, picture);
        });
}

void WallRefresh::answered(std::int64_t index, std::uint64_t generation,
                           const CameraPicture& picture) {
    Camera* camera = find(index);
    // A camera that left the page, or left and came back since it asked:
    // this picture is not for the view that now shows it.
    if (!camera || camera->generation != generation || !camera->inFlight) return;
    camera->inFlight = false;
    camera->schedule.answered(!picture.image.isNull());
    camera->show(picture);
    tick(*camera);
}
