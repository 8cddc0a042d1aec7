// The live picture refresh of a server record: one repeating timer on the
// main thread asks for the shown camera's next picture, at most one request
// in flight, and fetched pictures are handed to the camera's view.

#include "camserver.h"

#include "mainthreadcall.h"
#include "pictureloader.h"

#include <QThread>
#include <QTimer>

#include <algorithm>
#include <cctype>
#include <climits>

CamServer::~CamServer() {
    // The last reference may be dropped on a worker thread or inside the
    // timer's own tick, so the timer is never deleted directly here. Its tick
    // only holds a weak reference, so it cannot reach this record any more.
    if (QTimer* t = timer_.release()) {
        if (t->thread() == QThread::currentThread()) t->stop();
        t->deleteLater();
    }
}

int CamServer::refreshIntervalMs(const QString& fps) {
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
    // per second; the timer never runs faster than once a millisecond.
    if (rate <= 0) rate = 8;
    const double ms = 1000.0 / static_cast<double>(rate);
    return std::max(1, static_cast<int>(ms + 0.5));
}

void CamServer::stopVideo() {
    timer_.reset();
    tickMissed_ = false;
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

    timer_ = std::make_unique<QTimer>();
    timer_->setTimerType(Qt::PreciseTimer);
    timer_->setInterval(refreshIntervalMs(fps()));
    std::weak_ptr<CamServer> weak = weak_from_this();
    QObject::connect(timer_.get(), &QTimer::timeout, [weak] {
        if (auto self = weak.lock()) self->tickVideo();
    });
    timer_->start();
    // Ask for the first picture now rather than one interval later, so a
    // camera switch shows its picture as soon as the server can answer.
    tickVideo();
}

void CamServer::tickVideo() {
    const auto cameras = getCameras();
    const std::int64_t index = currentCameraIndex_;
    if (!cameras || index < 0 || index >= static_cast<std::int64_t>(cameras->size())) return;
    CameraView* camera = (*cameras)[static_cast<size_t>(index)].get();
    PictureLoader* loader = dataManager();
    if (!loader) return;
    if (!camera->canLoadNext()) {
        // The previous picture is still on its way. Remember the tick, so the
        // next request goes out as soon as it arrives instead of waiting for
        // the next tick: the rate is then the lower of the configured rate
        // and what the server's response time allows. The timer rests until
        // then, so a slow server does not wake the main thread for nothing.
        tickMissed_ = true;
        if (timer_) timer_->stop();
        return;
    }
    camera->setCanLoadNext(false);
    tickMissed_ = false;
    loader->loadCameraIndex(index, camera->imageUri, camera->currentResolution());
}

void CamServer::updateCamera(std::int64_t p, const QImage& image) {
    const auto cameras = getCameras();  // keeps the record alive while we wait
    if (p < 0 || !cameras || p >= static_cast<std::int64_t>(cameras->size())) return;
    CameraView* camera = (*cameras)[static_cast<size_t>(p)].get();
    camera->setCanLoadNext(true);
    MainThreadCall::run([&] {
        camera->updateCamera(image);
        if (timer_ && p == currentCameraIndex_ && tickMissed_) {
            timer_->start();
            tickVideo();
        }
    });
}

void CamServer::pictureCancelled(std::int64_t p) {
    const auto cameras = getCameras();
    if (p < 0 || !cameras || p >= static_cast<std::int64_t>(cameras->size())) return;
    (*cameras)[static_cast<size_t>(p)]->setCanLoadNext(true);
    // A resting timer must not wait for a picture that will never come.
    if (timer_ && p == currentCameraIndex_ && tickMissed_) timer_->start();
}
