// SPDX-License-Identifier: GPL-3.0-or-later
#include "restwhilehidden.h"

#include "camserver.h"

#include <QEvent>
#include <QLoggingCategory>
#include <QWindow>

Q_LOGGING_CATEGORY(lcRest, "zorvan.rest")

RestWhileHidden::RestWhileHidden(QWidget* window,
                                 std::function<std::shared_ptr<CamServer>()> currentServer,
                                 QObject* parent)
    : QObject(parent), window_(window), currentServer_(std::move(currentServer)) {
    window->installEventFilter(this);
}

bool RestWhileHidden::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
        case QEvent::Show:
            // The native window exists from the first show on; its exposure
            // tells when it is wholly covered, where the window system says.
            if (!handleWatched_ && window_ && window_->windowHandle()) {
                window_->windowHandle()->installEventFilter(this);
                handleWatched_ = true;
            }
            update();
            break;
        case QEvent::Expose:
            if (window_ && window_->windowHandle() && window_->windowHandle()->isExposed())
                exposedOnce_ = true;
            update();
            break;
        case QEvent::Hide:
        case QEvent::WindowStateChange:
            update();
            break;
        default:
            break;
    }
    return QObject::eventFilter(watched, event);
}

bool RestWhileHidden::windowHidden() const {
    if (!window_ || !window_->isVisible() || window_->isMinimized()) return true;
    // Exposure counts only once the window system has reported it at all:
    // one that never does must not keep the pictures away for good.
    const QWindow* handle = window_->windowHandle();
    return exposedOnce_ && handle && handle->isVisible() && !handle->isExposed();
}

void RestWhileHidden::end() {
    ended_ = true;
    stopped_.reset();
}

void RestWhileHidden::hold(bool held) {
    held_ = held;
    if (held_) stopped_.reset();
}

void RestWhileHidden::setOneCameraShown(bool shown) {
    oneCameraShown_ = shown;
    if (!shown) stopped_.reset();
}

void RestWhileHidden::update() {
    if (ended_) return;
    const bool hidden = windowHidden();
    if (hidden == resting_) return;
    resting_ = hidden;
    emit restingChanged(resting_);
    if (resting_) {
        qCInfo(lcRest) << "Window hidden: pictures rest";
        rest();
        return;
    }
    qCInfo(lcRest) << "Window shown: pictures resume";
    const std::shared_ptr<CamServer> server = stopped_.lock();
    stopped_.reset();
    if (!server || server != currentServer_() || held_ || !oneCameraShown_) return;
    // Asks for a picture at once and goes on at the server's rate.
    server->videoCameraAtIndex(stoppedIndex_);
}

void RestWhileHidden::rest() {
    const std::shared_ptr<CamServer> server = currentServer_();
    if (!server || !server->isRefreshing()) return;
    server->stopVideo();
    stopped_ = server;
    stoppedIndex_ = server->currentCameraIndex();
}

void RestWhileHidden::videoCameraAtIndex(CamServer& server, std::int64_t p) {
    if (ended_) return;
    if (held_ || !oneCameraShown_) {
        server.stopVideo();
        return;
    }
    if (!resting_) {
        server.videoCameraAtIndex(p);
        return;
    }
    // The refresh of whichever camera was shown before ends, as it would.
    server.stopVideo();
    stopped_ = server.weak_from_this();
    stoppedIndex_ = p;
}

void RestWhileHidden::stopVideo(CamServer& server) {
    server.stopVideo();
    if (stopped_.lock().get() == &server) stopped_.reset();
}
