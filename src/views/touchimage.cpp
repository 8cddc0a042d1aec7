#include "touchimage.h"

#include "cameraview.h"

#include <QMenu>
#include <QPainter>

TouchImage::TouchImage(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMinimumSize(64, 48);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

void TouchImage::setPicture(const QImage& image) {
    picture_ = image;
    update();
}

void TouchImage::setDelegate(CameraView* record) {
    delegate_ = record ? record->weak_from_this() : std::weak_ptr<CameraView>();
}

QSizeF TouchImage::boundsSize() const {
    return QSizeF(width(), height());
}

void TouchImage::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), Qt::black);
    if (picture_.isNull()) return;
    // Fit inside the view, aspect kept, centred. The server already sends
    // pictures at the view's size, so this is usually a plain copy.
    QSize target = picture_.size().scaled(size(), Qt::KeepAspectRatio);
    QRect place(QPoint(0, 0), target);
    place.moveCenter(rect().center());
    if (target == picture_.size()) {
        p.drawImage(place.topLeft(), picture_);
    } else {
        p.setRenderHint(QPainter::SmoothPixmapTransform);
        p.drawImage(place, picture_);
    }
}
