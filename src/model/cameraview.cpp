#include "cameraview.h"

#include "cameraimageview.h"

void CameraView::setCamera(CameraImageView* view) {
    camera_ = view;
    if (view) view->setDelegate(this);
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
