// SPDX-License-Identifier: GPL-3.0-or-later
#include "previewtouchimage.h"

#include <QApplication>
#include <QFontMetrics>
#include <QMouseEvent>
#include <QNativeGestureEvent>
#include <QPainter>
#include <QWheelEvent>

#include <algorithm>

PreviewTouchImage::PreviewTouchImage(QWidget* parent) : TouchImage(parent) {
    setFocusPolicy(Qt::NoFocus);
    setMinimumSize(0, 0);
}

void PreviewTouchImage::setNote(const QString& note) {
    if (note == note_) return;
    note_ = note;
    update();
}

void PreviewTouchImage::setZoomable(bool on) {
    zoomable_ = on;
    if (!on) resetZoom();
}

void PreviewTouchImage::paintEvent(QPaintEvent* event) {
    TouchImage::paintEvent(event);
    if (note_.isEmpty()) return;
    QPainter p(this);
    PictureFreshness::paintWarning(p, rect(), note_);
}

void PreviewTouchImage::mousePressEvent(QMouseEvent* event) {
    // Either button selects the cell, so the cameras menu the right button
    // opens, and Listen in it, are about the camera under the pointer.
    if (event->button() == Qt::LeftButton || event->button() == Qt::RightButton) emit pressed();
    if (event->button() == Qt::LeftButton) {
        dragFrom_ = event->position();
        panFrom_ = event->globalPosition();
        event->accept();
        return;
    }
    TouchImage::mousePressEvent(event);  // the right button's cameras menu
}

void PreviewTouchImage::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        emit activated();
        event->accept();
        return;
    }
    TouchImage::mouseDoubleClickEvent(event);
}

void PreviewTouchImage::mouseMoveEvent(QMouseEvent* event) {
    event->accept();  // a cell does not move the window
    // Zoomed in, a drag moves the picture under the cell instead of the cell.
    if (zoomable_ && zoom().zoomed() && panFrom_ && (event->buttons() & Qt::LeftButton)) {
        dragFrom_.reset();
        panBy(event->globalPosition() - *panFrom_);
        panFrom_ = event->globalPosition();
        return;
    }
    if (!dragEnabled_ || !dragFrom_ || !(event->buttons() & Qt::LeftButton)) return;
    if ((event->position() - *dragFrom_).manhattanLength() < QApplication::startDragDistance())
        return;
    dragFrom_.reset();
    emit dragRequested();
}

void PreviewTouchImage::wheelEvent(QWheelEvent* event) {
    if (!zoomable_ || !zoomEvent(*event)) apply(gestures_.wheel(*event));
    event->accept();
}

bool PreviewTouchImage::event(QEvent* event) {
    if (event->type() == QEvent::NativeGesture) {
        // A pinch zooms; the tracker, which sees it too, then turns no page.
        const auto& gesture = *static_cast<QNativeGestureEvent*>(event);
        if (zoomable_) zoomGesture(gesture);
        apply(gestures_.nativeGesture(gesture));
        event->accept();
        return true;
    }
    return TouchImage::event(event);
}

void PreviewTouchImage::apply(GestureTracker::Step step) {
    if (step != GestureTracker::Step::None) emit pageStep(step == GestureTracker::Step::Forward);
}
