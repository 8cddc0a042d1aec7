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

QString CameraView::currentResolution() const {
    if (!camera_) return QStringLiteral("0x0");
    const QSizeF size = camera_->boundsSize();
    // Truncation toward zero, as the server is asked for whole points.
    return QStringLiteral("%1x%2")
        .arg(static_cast<int>(size.width()))
        .arg(static_cast<int>(size.height()));
}

void CameraView::updateCamera(const QImage& image) {
    if (camera_) camera_->setPicture(image);
    setCanLoadNext(true);
}
