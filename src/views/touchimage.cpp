#include "touchimage.h"

#include "cameraview.h"

#include <QMenu>
#include <QPainter>

TouchImage::TouchImage(QWidget* parent)
    : QWidget(parent), freshness_(new PictureFreshness([this] { update(); }, this)) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMinimumSize(64, 48);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

void TouchImage::setPicture(const QImage& image) {
    freshness_->pictureArrived(!image.isNull());
    // A failed picture leaves the last good one; its age tells the rest.
    if (image.isNull()) return;
    picture_ = image;
    update();
}

void TouchImage::clearPicture() {
    picture_ = QImage();
    // No camera is shown any more: nothing to warn of until one is.
    shownServer_ = nullptr;
    shownImageUri_.clear();
    freshness_->stop();
    update();
}

void TouchImage::setDelegate(CameraView* record) {
    delegate_ = record;
    const void* server = record ? record->server : nullptr;
    const QString imageUri = record ? record->imageUri : QString();
    // The same camera again (its list reloaded, say) keeps its picture.
    if (record && server == shownServer_ && imageUri == shownImageUri_) return;
    shownServer_ = server;
    shownImageUri_ = imageUri;
    picture_ = QImage();
    if (record) {
        freshness_->restart();
    } else {
        freshness_->stop();
    }
    update();
}

QSizeF TouchImage::boundsSize() const {
    return QSizeF(width(), height());
}

void TouchImage::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), Qt::black);
    if (!picture_.isNull()) drawPicture(p);
    freshness_->paint(p, rect());
}

void TouchImage::drawPicture(QPainter& p) {
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
