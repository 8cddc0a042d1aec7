// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QPointF>

#include <cstdint>

class QNativeGestureEvent;
class QWheelEvent;

// Turns the touch-pad and wheel events that Qt delivers into at most one
// camera step per gesture. Pure bookkeeping over the events' own values and
// timestamps, with no timers, so that it can be driven by synthetic events.
//
// The mapping:
// - A two-finger movement arrives as wheel events. With scroll phases
//   (ScrollBegin, ScrollUpdate..., ScrollEnd) the gesture's whole movement is
//   judged at its end; momentum events that follow belong to the finished
//   gesture and are ignored. Without phases (X11 touch-pads, mice) the events
//   of one burst, ended by a quiet time of kQuietMs, make one gesture, judged
//   as it goes, so a horizontal tilt-wheel click steps at once and holding
//   the tilt or sliding on a touch-pad steps only once.
//   The fingers moving right (the content scrolling left, or the wheel
//   tilted right) is a step forward, as in the view's two-finger rule.
// - A multi-finger swipe arrives as native gestures: BeginNativeGesture,
//   PanNativeGesture with deltas, EndNativeGesture; judged at its end. A
//   gesture that also zoomed or rotated is a pinch and steps nothing. A
//   SwipeNativeGesture carries its angle (0 right, 90 up, 180 left). Swipes
//   follow the view's swipe rule: the fingers moving left (a positive
//   horizontal delta, "swipe left") is a step forward.
// A movement counts as horizontal when its horizontal distance is larger
// than its vertical distance and at least kMinDistance pixels (wheel angles
// count half a pixel per eighth of a degree, so a wheel notch is 60 pixels).
class GestureTracker {
public:
    enum class Step { None, Forward, Backward };

    static constexpr int kQuietMs = 250;
    static constexpr double kMinDistance = 30.0;

    Step wheel(const QWheelEvent& event);
    Step nativeGesture(const QNativeGestureEvent& event);

    // The camera step of a swipe with the platform's horizontal delta: a
    // positive delta is forward, a negative one backward, zero nothing.
    static Step swipe(double deltaX);

private:
    static Step judgeTwoFinger(QPointF fingerMove);

    // A phased wheel gesture in progress and its finger movement so far.
    bool scrolling_ = false;
    QPointF scrollMove_;

    // The current burst of wheel events without phases.
    bool inBurst_ = false;
    bool burstStepped_ = false;
    std::uint64_t lastBurstEventMs_ = 0;
    QPointF burstMove_;

    // A native gesture in progress.
    bool nativeActive_ = false;
    bool nativeIsPinch_ = false;
    QPointF nativeMove_;
};
