// SPDX-License-Identifier: GPL-3.0-or-later
#include "livevideo.h"

#include "activitywatch.h"
#include "camserver.h"
#include "rewindkeeper.h"
#include "touchimage.h"
#include "videoplayer.h"
#include "zvtexts.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QLoggingCategory>
#include <QSettings>

#include <algorithm>
#include <utility>

Q_DECLARE_LOGGING_CATEGORY(lcApp)

namespace {

QString preferenceKey(const CamServer& server) {
    return QStringLiteral("LiveVideo/") + server.serverId();
}

// Why the video ended, in the person's words.
QString reason(video::VideoStatus status) {
    using S = video::VideoStatus;
    switch (status) {
        case S::RefusedAddress:
            return zvText(QT_TRANSLATE_NOOP("Zorvan", "its address is not the server's"));
        case S::ConnectionFailed:
            return zvText(QT_TRANSLATE_NOOP("Zorvan", "no connection"));
        case S::NotVideo:
            return zvText(QT_TRANSLATE_NOOP("Zorvan", "the server sent no video"));
        case S::CodecUnavailable:
            return zvText(QT_TRANSLATE_NOOP("Zorvan", "a kind of video this viewer cannot play"));
        case S::RefusedSize:
            return zvText(QT_TRANSLATE_NOOP("Zorvan", "the video's pictures are too large"));
        case S::Stalled:
            return zvText(QT_TRANSLATE_NOOP("Zorvan", "no frame for 3 s"));
        case S::Ended:
            return zvText(QT_TRANSLATE_NOOP("Zorvan", "the server ended the video"));
        case S::Playing:
        case S::Stopped:
            break;
    }
    return {};
}

// The server stopped answering, as opposed to answering with something this
// viewer does not play.
bool serverStopped(video::VideoStatus status) {
    using S = video::VideoStatus;
    return status == S::ConnectionFailed || status == S::Stalled || status == S::Ended;
}

}  // namespace

LiveVideo::LiveVideo(TouchImage* view, QObject* parent)
    : QObject(parent), view_(view), player_(std::make_unique<video::VideoPlayer>()) {
    retry_.setSingleShot(true);
    connect(&retry_, &QTimer::timeout, this, &LiveVideo::start);
    connect(player_.get(), &video::VideoPlayer::frameReady, this, &LiveVideo::takeFrame);
    connect(player_.get(), &video::VideoPlayer::ended, this, &LiveVideo::ended);
    // A still that arrives shows that the server answers again.
    connect(view_, &TouchImage::pictureShown, this, [this] {
        if (!placingFrame_) serverBack();
    });
    connect(view_, &QObject::destroyed, this, &LiveVideo::stop);
}

LiveVideo::~LiveVideo() {
    player_->stop();
}

bool LiveVideo::isOn(const CamServer& server) {
    return QSettings().value(preferenceKey(server), true).toBool();
}

void LiveVideo::setOn(const CamServer& server, bool on) {
    QSettings().setValue(preferenceKey(server), on);
}

bool LiveVideo::wants(const CamServer& server, std::int64_t k) {
    const auto cameras = server.getCameras();
    if (!cameras || k < 0 || k >= std::ssize(*cameras)) return false;
    return !cameras->at(static_cast<size_t>(k))->videoUri.isEmpty() && isOn(server);
}

void LiveVideo::show(const std::shared_ptr<CamServer>& server, std::int64_t k) {
    const auto cameras = server ? server->getCameras() : nullptr;
    const bool inList = cameras && k >= 0 && static_cast<std::uint64_t>(k) < cameras->size();
    const QString uri = inList ? cameras->at(static_cast<size_t>(k))->videoUri : QString();
    const bool wanted = !uri.isEmpty() && isOn(*server);
    if (wanted && server_.lock() == server && camera_ == k && videoUri_ == uri) {
        // Shown again (its lists reloaded): the stills, started again with
        // it, rest again while the video plays; a video that the server
        // ended is tried again, the lists being its answer.
        if (stillsResting_) emit videoStarted();
        serverBack();
        return;
    }
    stop();
    if (!wanted) return;
    server_ = server;
    camera_ = k;
    videoUri_ = uri;
    const CameraView& shown = *cameras->at(static_cast<size_t>(k));
    keepKey_ = ActivityWatch::keyOf(server->serverId(), shown.uri, shown.cameraName);
    start();
}

void LiveVideo::stop() {
    retry_.stop();
    player_->stop();
    playing_ = false;
    stillsResting_ = false;  // whoever stops the video sees to the stills
    waitingForServer_ = false;
    shortTries_ = 0;
    server_.reset();
    camera_ = -1;
    videoUri_.clear();
}

void LiveVideo::setResting(bool resting) {
    if (resting == resting_) return;
    resting_ = resting;
    if (resting) {
        retry_.stop();
        player_->stop();
        playing_ = false;
    } else if (!videoUri_.isEmpty()) {
        start();
    }
}

void LiveVideo::serverBack() {
    if (!waitingForServer_ || resting_ || videoUri_.isEmpty()) return;
    // From the event loop, never inside the view's own signal; no sooner
    // than the gap after the last try.
    const qint64 wait = std::max<qint64>(0, gapMs() - tried_.elapsed());
    if (!retry_.isActive() || retry_.remainingTime() > wait) retry_.start(static_cast<int>(wait));
}

int LiveVideo::gapMs() const {
    // 2, 4, 8, 16, 32, 60, 60... seconds.
    const qint64 gap = qint64(kFirstGapMs) << std::clamp(shortTries_ - 1, 0, 20);
    return static_cast<int>(std::min<qint64>(gap, kRetryMs));
}

void LiveVideo::start() {
    const auto server = server_.lock();
    if (!server || resting_ || videoUri_.isEmpty() || !view_) return;
    playing_ = false;
    waitingForServer_ = false;
    // Its password is still being read from the keyring: asked shortly,
    // never without it.
    if (server->passwordPending()) {
        retry_.start(kPasswordWaitMs);
        return;
    }
    qCInfo(lcApp) << "Live video for camera" << camera_;
    tried_.start();
    player_->play(video::VideoPlayer::source(server->host(), server->port(), videoUri_,
                                             server->login(), server->password()),
                  target(),
                  RewindKeeper::instance() ? RewindKeeper::instance()->keepVideo(keepKey_)
                                           : nullptr);
}

video::Target LiveVideo::target() const {
    // The part zoomed to is cropped before the frame is scaled to the view.
    if (!view_) return {};
    const QRectF zoomed = view_->zoom().visible();
    return {view_->pixelSize(), zoomed == QRectF(0, 0, 1, 1) ? QRectF() : zoomed};
}

void LiveVideo::takeFrame() {
    std::optional<video::VideoFrame> frame = player_->takeFrame();
    if (!frame || videoUri_.isEmpty() || !view_) return;
    // The next frames follow the view's size and zoom as they are now.
    player_->setTarget(target());
    CameraPicture picture(frame->image, frame->jpeg, QDateTime::currentDateTimeUtc());
    if (frame->saved == video::VideoFrame::Saved::AsDecodedPng) {
        const QImage shown = frame->image;
        picture.lossless = frame->full ? frame->full : [shown] { return shown; };
    }
    if (frame->crop.isValid()) picture.part = frame->crop;
    placingFrame_ = true;
    view_->setCameraPicture(picture);
    placingFrame_ = false;
    if (!playing_) {
        qCInfo(lcApp) << "Live video plays for camera" << camera_;
        playing_ = true;
        played_.start();
        stillsResting_ = true;
        emit videoStarted();
    }
}

void LiveVideo::ended(video::VideoStatus status, const QString& detail) {
    qCInfo(lcApp) << "Live video ended:" << detail;
    const bool steady = playing_ && played_.elapsed() >= kSteadyMs;
    playing_ = false;
    if (videoUri_.isEmpty()) return;
    if (view_)
        view_->showNote(
            zvText(QT_TRANSLATE_NOOP("Zorvan", "Live video unavailable: %1. Showing pictures."))
                .arg(reason(status)));
    waitingForServer_ = serverStopped(status);
    shortTries_ = waitingForServer_ && !steady ? std::min(shortTries_ + 1, 20) : 0;
    retry_.start(kRetryMs);
    // The stills rest since an earlier frame (perhaps before the window was
    // hidden and this start failed): they come back.
    if (std::exchange(stillsResting_, false)) emit videoEnded();
}
