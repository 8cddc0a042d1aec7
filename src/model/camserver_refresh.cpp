// SPDX-License-Identifier: GPL-3.0-or-later
// The live picture refresh of a server record: a timer on the main thread
// asks for the shown camera's next picture on the schedule's slots, with at
// most one picture request of this server in flight at any moment, and
// fetched pictures are handed to the shown camera's view.

#include "camserver.h"

#include "mainthreadcall.h"
#include "pictureloader.h"
#include "serverurl.h"

#include <QLoggingCategory>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <cctype>
#include <climits>

Q_LOGGING_CATEGORY(lcRefresh, "zorvan.refresh")

CamServer::~CamServer() {
    // The last reference may be dropped on a worker thread or inside the
    // timer's own tick, so the timer is never deleted directly here. Its tick
    // only holds a weak reference, so it cannot reach this record any more.
    if (QTimer* t = timer_.release()) {
        if (t->thread() == QThread::currentThread()) t->stop();
        t->deleteLater();
    }
}

int CamServer::refreshRate(const QString& fps) {
    // The leading integer of the text: optional blanks, an optional sign,
    // decimal digits. No digits give 0.
    const QByteArray text = fps.toLatin1();
    const char* c = text.constData();
    while (*c && std::isspace(static_cast<unsigned char>(*c))) ++c;
    bool negative = false;
    if (*c == '-' || *c == '+') negative = (*c++ == '-');
    long long rate = 0;
    while (*c >= '0' && *c <= '9') {
        rate = std::min<long long>(rate * 10 + (*c++ - '0'), INT_MAX);
    }
    if (negative) rate = -rate;
    // A rate of 0, no number, or a negative rate all mean the default of 8
    // per second; no more than one picture a millisecond is ever asked for.
    if (rate <= 0) rate = 8;
    return static_cast<int>(std::min<long long>(rate, 1000));
}

void CamServer::stopVideo() {
    timer_.reset();
}

void CamServer::videoCameraAtIndex(std::int64_t p) {
    if (!MainThreadCall::isMainThread()) {
        // The timer belongs to the main thread's event loop.
        MainThreadCall::run([&] { videoCameraAtIndex(p); });
        return;
    }
    stopVideo();
    const auto cameras = getCameras();
    if (p < 0 || !cameras || p >= static_cast<std::int64_t>(cameras->size())) return;
    currentCameraIndex_ = p;
    (*cameras)[static_cast<size_t>(p)]->setCanLoadNext(true);

    schedule_ = RefreshSchedule(refreshRate(fps()));
    schedule_.start(RefreshSchedule::nowNs());
    timer_ = std::make_unique<QTimer>();
    timer_->setTimerType(Qt::PreciseTimer);
    timer_->setSingleShot(true);
    std::weak_ptr<CamServer> weak = weak_from_this();
    QObject::connect(timer_.get(), &QTimer::timeout, [weak] {
        if (auto self = weak.lock()) self->tickVideo();
    });
    // Ask for the first picture now rather than one period later, so a
    // camera switch shows its picture as soon as the server can answer.
    tickVideo();
}

void CamServer::tickVideo() {
    if (!timer_) return;
    const auto cameras = getCameras();
    const std::int64_t index = currentCameraIndex_;
    if (!cameras || index < 0 || index >= static_cast<std::int64_t>(cameras->size())) return;
    CameraView* camera = (*cameras)[static_cast<size_t>(index)].get();
    PictureLoader* loader = dataManager();
    if (!loader) return;
    // A request of this server is still on its way (perhaps for a camera
    // shown before): the timer rests, and its answer calls this again.
    if (pictureInFlight_.load() || !camera->canLoadNext()) return;
    const std::int64_t now = RefreshSchedule::nowNs();
    if (const std::int64_t wait = schedule_.waitNs(now); wait > 0) {
        timer_->start(RefreshSchedule::timerMs(wait));
        return;
    }
    if (!ServerUrl::isSafePath(camera->imageUri)) {
        // A path that is absent or could send the request to another host:
        // no request, no picture, and no more ticks for this camera.
        if (!camera->pathRefused) {
            camera->pathRefused = true;
            qCInfo(lcRefresh) << "No picture request for camera" << camera->cameraName
                              << "with image path" << camera->imageUri;
        }
        camera->updateCamera(QImage());
        return;
    }
    camera->setCanLoadNext(false);
    pictureInFlight_ = true;
    schedule_.requested(now);
    loader->loadCameraIndex(index, camera->imageUri, camera->currentResolution());
}

void CamServer::updateCamera(std::int64_t p, const CameraPicture& picture) {
    pictureInFlight_ = false;
    // The worker hands the picture over and goes back to its pool without
    // waiting for the main thread: a picture wakes one thread fewer, and the
    // next request finds this same worker idle, its connection and decode
    // buffers still warm. The record stays alive until the picture is placed.
    MainThreadCall::post(
        [self = shared_from_this(), p, picture] { self->placePicture(p, picture); });
}

void CamServer::placePicture(std::int64_t p, const CameraPicture& picture) {
    const QImage& image = picture.image;
    const auto cameras = getCameras();
    if (p >= 0 && cameras && p < static_cast<std::int64_t>(cameras->size())) {
        CameraView* camera = (*cameras)[static_cast<size_t>(p)].get();
        if (timer_ && p == currentCameraIndex_) {
            camera->updateCamera(picture);
            schedule_.answered(!image.isNull());
            if (image.isNull() && pictureFailed_) {
                // The listener may stop the refresh: it is told last.
                const auto listener = pictureFailed_;
                tickVideo();
                listener(schedule_.failures());
                return;
            }
        } else {
            // A late picture of a camera (or server) no longer shown: it
            // must not land in the view that now shows another one.
            camera->setCanLoadNext(true);
        }
    }
    tickVideo();
}

void CamServer::pictureCancelled(std::int64_t p) {
    pictureInFlight_ = false;
    const auto cameras = getCameras();
    if (p >= 0 && cameras && p < static_cast<std::int64_t>(cameras->size()))
        (*cameras)[static_cast<size_t>(p)]->setCanLoadNext(true);
    // A resting timer must not wait for a picture that will never come.
    if (MainThreadCall::isMainThread()) tickVideo();
}
