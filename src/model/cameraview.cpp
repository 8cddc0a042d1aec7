// SPDX-License-Identifier: GPL-3.0-or-later
#include "cameraview.h"

#include "cameraimageview.h"

CameraImageView::~CameraImageView() {
    if (auto record = shown_.lock(); record && record->camera_ == this) record->camera_ = nullptr;
}

void CameraView::setCamera(CameraImageView* view) {
    if (camera_ && camera_ != view && camera_->shown_.lock().get() == this) camera_->shown_.reset();
    camera_ = view;
    if (!view) return;
    if (auto previous = view->shown_.lock(); previous && previous.get() != this)
        previous->camera_ = nullptr;
    view->shown_ = weak_from_this();
    view->setDelegate(this);
}

QSize CameraImageView::pixelSize() const {
    const QSizeF size = boundsSize() * pixelRatio();
    // Truncation toward zero: the server is asked for whole pixels.
    return {static_cast<int>(size.width()), static_cast<int>(size.height())};
}

QString CameraView::currentResolution() const {
    if (!camera_) return QStringLiteral("0x0");
    // In device pixels rather than points, so the picture is sharp on a
    // high-density screen.
    const QSize size = camera_->askedPixels();
    return QStringLiteral("%1x%2").arg(size.width()).arg(size.height());
}

void CameraView::updateCamera(const CameraPicture& picture) {
    if (camera_) camera_->setCameraPicture(picture);
    setCanLoadNext(true);
}
