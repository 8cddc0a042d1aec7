// SPDX-License-Identifier: GPL-3.0-or-later
// The one-camera view's zoom: the wheel with Ctrl, the pinch, the keys and
// the drag that pans, and the larger picture size asked for while zoomed.

#include "touchimage.h"

#include <QKeyEvent>
#include <QNativeGestureEvent>
#include <QWheelEvent>

#include <cmath>

namespace {

// One wheel notch (120) or one key press zooms by the square root of 2, so
// two presses double the factor and six go from 1x to 8x.
constexpr double kNotch = 120.0;

}  // namespace

QSize TouchImage::askedPixels() const {
    // At 1x exactly what the view shows; zoomed, its detail, within the cap.
    return zoom_.zoomed() ? zoom_.askedSize(pixelSize()) : pixelSize();
}

void TouchImage::zoomAt(double factor, QPointF viewPoint) {
    const QRectF area = pictureArea();
    if (area.isEmpty()) return;
    const double before = zoom_.factor();
    const QRectF partBefore = zoom_.visible();
    zoom_.zoomAt(factor, QPointF((viewPoint.x() - area.left()) / area.width(),
                                 (viewPoint.y() - area.top()) / area.height()));
    if (zoom_.factor() == before && zoom_.visible() == partBefore) return;
    fitted_ = QImage();
    update();
}

void TouchImage::resetZoom() {
    if (!zoom_.zoomed()) return;
    zoom_.reset();
    fitted_ = QImage();
    update();
}

void TouchImage::panBy(QPointF viewDistance) {
    const QRectF area = pictureArea();
    if (area.isEmpty()) return;
    // The picture follows the pointer: a drag to the right shows what lies
    // further left.
    zoom_.pan(QPointF(-viewDistance.x() / area.width(), -viewDistance.y() / area.height()));
    fitted_ = QImage();
    update();
}

bool TouchImage::zoomEvent(QWheelEvent& event) {
    if (!(event.modifiers() & Qt::ControlModifier)) return false;
    const QPoint delta = event.angleDelta();
    const int notches = delta.y() != 0 ? delta.y() : delta.x();
    if (notches != 0)
        zoomAt(zoom_.factor() * std::pow(2.0, notches / kNotch / 2.0), event.position());
    return true;
}

void TouchImage::zoomGesture(const QNativeGestureEvent& event) {
    // The touch-pad reports how much the fingers spread since the last event.
    if (event.gestureType() != Qt::ZoomNativeGesture || !std::isfinite(event.value())) return;
    zoomAt(zoom_.factor() * (1.0 + event.value()), event.position());
}

bool TouchImage::zoomKey(const QKeyEvent& event) {
    // Shift too: "+" is a shifted key on many keyboards.
    const Qt::KeyboardModifiers mods =
        event.modifiers() & ~(Qt::KeypadModifier | Qt::GroupSwitchModifier | Qt::ShiftModifier);
    if (mods != Qt::NoModifier) return false;
    int step = 0;
    switch (event.key()) {
        case Qt::Key_Plus:
        case Qt::Key_Equal:
            step = 1;
            break;
        case Qt::Key_Minus:
            step = -1;
            break;
        case Qt::Key_0:
            resetZoom();
            return true;
        default:
            return false;
    }
    // Along the half powers of two, so that the steps land on 2x, 4x and
    // 8x exactly, wherever the wheel left the factor.
    const double halfSteps = std::round(2.0 * std::log2(zoom_.factor())) + step;
    zoomAt(std::pow(2.0, halfSteps / 2.0), QRectF(rect()).center());
    return true;
}
