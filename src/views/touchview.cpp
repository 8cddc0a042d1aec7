// SPDX-License-Identifier: GPL-3.0-or-later
#include "touchview.h"

#include "previewtouchimage.h"

#include <QPainter>
#include <QRegion>

TouchView::TouchView(QWidget* parent) : QWidget(parent), imageView_(new PreviewTouchImage(this)) {
    imageView_->setGeometry(inner());
}

QRect TouchView::inner() const {
    const QRect r = rect().adjusted(kInset, kInset, -kInset, -kInset);
    return r.isValid() ? r : QRect(kInset, kInset, 0, 0);
}

void TouchView::resizeEvent(QResizeEvent*) {
    imageView_->setGeometry(inner());
}

void TouchView::setSelected(bool selected) {
    if (selected == selected_) return;
    selected_ = selected;
    update(QRegion(rect()).subtracted(QRegion(inner())));
}

void TouchView::setDropTarget(bool on) {
    if (on == dropTarget_) return;
    dropTarget_ = on;
    update(QRegion(rect()).subtracted(QRegion(inner())));
}

void TouchView::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setClipRegion(QRegion(rect()).subtracted(QRegion(inner())));
    p.fillRect(rect(), QColor(24, 24, 24));
    if (dropTarget_) {
        // A light blue ring, unlike the selection's, so both read apart.
        p.fillRect(rect().adjusted(1, 1, -1, -1), QColor(80, 170, 255));
        return;
    }
    if (!selected_) return;
    // An amber ring inside the cell's edges, clear of its neighbours'.
    p.fillRect(rect().adjusted(1, 1, -1, -1), QColor(255, 190, 0));
}
