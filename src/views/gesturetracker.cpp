// SPDX-License-Identifier: GPL-3.0-or-later
#include "gesturetracker.h"

#include <QElapsedTimer>
#include <QLoggingCategory>
#include <QNativeGestureEvent>
#include <QWheelEvent>

#include <cmath>
#include <numbers>

Q_LOGGING_CATEGORY(lcGesture, "zorvan.gesture")

namespace {

// The fingers' movement that a wheel event stands for, in pixels: positive
// x is the fingers (or the tilted wheel) moving right. Qt reports how the
// content should scroll, which is the opposite of the fingers unless the
// platform says the delta is inverted ("natural" scrolling).
QPointF fingerMovement(const QWheelEvent& event) {
    QPointF d = event.pixelDelta().isNull() ? QPointF(event.angleDelta()) * 0.5
                                            : QPointF(event.pixelDelta());
    return event.inverted() ? d : -d;
}

bool isHorizontal(QPointF move) {
    return std::abs(move.x()) > std::abs(move.y()) &&
           std::abs(move.x()) >= GestureTracker::kMinDistance;
}

// Synthetic events may come without a time; a steady clock stands in.
std::uint64_t eventTimeMs(const QInputEvent& event) {
    if (event.timestamp() != 0) return event.timestamp();
    static QElapsedTimer clock;
    if (!clock.isValid()) clock.start();
    return static_cast<std::uint64_t>(clock.elapsed()) + 1;
}

}  // namespace

GestureTracker::Step GestureTracker::judgeTwoFinger(QPointF fingerMove) {
    if (!isHorizontal(fingerMove)) return Step::None;
    return fingerMove.x() > 0 ? Step::Forward : Step::Backward;
}

GestureTracker::Step GestureTracker::swipe(double deltaX) {
    if (deltaX == 0.0) return Step::None;
    if (deltaX > 0.0) {
        qCInfo(lcGesture) << "swipe left";
        return Step::Forward;
    }
    qCInfo(lcGesture) << "swipe right";
    return Step::Backward;
}

GestureTracker::Step GestureTracker::wheel(const QWheelEvent& event) {
    const QPointF move = fingerMovement(event);
    switch (event.phase()) {
        case Qt::ScrollBegin:
            scrolling_ = true;
            scrollMove_ = move;
            return Step::None;
        case Qt::ScrollUpdate:
            // An update without a begin (one lost on the way) starts a gesture.
            if (!scrolling_) scrollMove_ = QPointF();
            scrolling_ = true;
            scrollMove_ += move;
            return Step::None;
        case Qt::ScrollEnd: {
            if (!scrolling_) return Step::None;  // the end after momentum
            scrolling_ = false;
            return judgeTwoFinger(scrollMove_ + move);
        }
        case Qt::ScrollMomentum:
            return Step::None;
        case Qt::NoScrollPhase:
            break;
    }

    const std::uint64_t now = eventTimeMs(event);
    if (!inBurst_ || now < lastBurstEventMs_ || now - lastBurstEventMs_ > kQuietMs) {
        inBurst_ = true;
        burstStepped_ = false;
        burstMove_ = QPointF();
    }
    lastBurstEventMs_ = now;
    burstMove_ += move;
    if (burstStepped_) return Step::None;
    const Step step = judgeTwoFinger(burstMove_);
    burstStepped_ = step != Step::None;
    return step;
}

GestureTracker::Step GestureTracker::nativeGesture(const QNativeGestureEvent& event) {
    switch (event.gestureType()) {
        case Qt::BeginNativeGesture:
            nativeActive_ = true;
            nativeIsPinch_ = false;
            nativeMove_ = QPointF();
            return Step::None;
        case Qt::PanNativeGesture:
            if (!nativeActive_) {
                nativeActive_ = true;
                nativeIsPinch_ = false;
                nativeMove_ = QPointF();
            }
            nativeMove_ += event.delta();
            return Step::None;
        case Qt::ZoomNativeGesture:
        case Qt::RotateNativeGesture:
        case Qt::SmartZoomNativeGesture:
            nativeIsPinch_ = true;  // pinching is ignored, and so is its movement
            return Step::None;
        case Qt::SwipeNativeGesture: {
            qCInfo(lcGesture) << "swipe event" << event.value();
            // The angle's horizontal part, with left positive; vertical swipes
            // (90 and 270 degrees) give no horizontal delta.
            double dx = -std::cos(event.value() * std::numbers::pi / 180.0);
            if (std::abs(dx) < 1e-6) dx = 0.0;
            return swipe(dx);
        }
        case Qt::EndNativeGesture: {
            const bool wasActive = nativeActive_;
            nativeActive_ = false;
            if (!wasActive || nativeIsPinch_) return Step::None;
            qCInfo(lcGesture) << "swipe event" << nativeMove_;
            if (!isHorizontal(nativeMove_)) return Step::None;
            return swipe(nativeMove_.x() < 0 ? 1.0 : -1.0);
        }
        default:
            return Step::None;
    }
}
