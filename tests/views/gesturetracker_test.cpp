// The touch-pad and wheel mapping: one camera step per gesture, in the
// direction of the view's rules, from sequences of synthetic Qt events.

#include <QNativeGestureEvent>
#include <QPointingDevice>
#include <QWheelEvent>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "gesturetracker.h"

namespace {

using Step = GestureTracker::Step;
constexpr Step F = Step::Forward;
constexpr Step B = Step::Backward;

// One wheel event: how Qt reports the scroll (content movement), in pixels
// or, with angle set, in eighths of a degree.
struct Wheel {
    Qt::ScrollPhase phase;
    QPoint delta;
    bool angle = false;
    bool inverted = false;
    quint64 ms = 0;
};

std::vector<Step> feed(GestureTracker& tracker, const std::vector<Wheel>& events) {
    std::vector<Step> out;
    for (const Wheel& w : events) {
        QWheelEvent e(QPointF(10, 10), QPointF(10, 10), w.angle ? QPoint() : w.delta,
                      w.angle ? w.delta : QPoint(), Qt::NoButton, Qt::NoModifier, w.phase,
                      w.inverted);
        e.setTimestamp(w.ms);
        const Step s = tracker.wheel(e);
        if (s != Step::None) out.push_back(s);
    }
    return out;
}

std::vector<Wheel> repeat(int n, Wheel w, int spacingMs = 0) {
    std::vector<Wheel> out;
    for (int i = 0; i < n; ++i) {
        out.push_back(w);
        w.ms += spacingMs;
    }
    return out;
}

std::vector<Wheel> operator+(std::vector<Wheel> a, const std::vector<Wheel>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

const Wheel kBegin{Qt::ScrollBegin, {}};
const Wheel kEnd{Qt::ScrollEnd, {}};

}  // namespace

TEST(GestureTracker, PhasedTwoFingerMovementStepsOnceAtItsEnd) {
    // Content scrolling right (negative x) is the fingers moving right.
    const Wheel right{Qt::ScrollUpdate, {-20, 0}};
    const Wheel left{Qt::ScrollUpdate, {20, 0}};
    struct Case {
        const char* name;
        std::vector<Wheel> events;
        std::vector<Step> steps;
    } cases[] = {
        {"fingers right", std::vector{kBegin} + repeat(3, right) + std::vector{kEnd}, {F}},
        {"fingers left", std::vector{kBegin} + repeat(3, left) + std::vector{kEnd}, {B}},
        {"natural scrolling",
         std::vector{kBegin} + repeat(3, {Qt::ScrollUpdate, {20, 0}, false, true}) +
             std::vector{kEnd},
         {F}},
        {"too short", std::vector{kBegin} + repeat(1, right) + std::vector{kEnd}, {}},
        {"more vertical than horizontal",
         std::vector{kBegin} + repeat(3, {Qt::ScrollUpdate, {-20, -25}}) + std::vector{kEnd},
         {}},
        {"momentum after the end",
         std::vector{kBegin} + repeat(3, right) + std::vector{kEnd} +
             repeat(5, {Qt::ScrollMomentum, {-50, 0}}) + std::vector{kEnd},
         {F}},
        {"update without a begin", repeat(3, left) + std::vector{kEnd}, {B}},
        {"two gestures",
         std::vector{kBegin} + repeat(3, right) + std::vector{kEnd, kBegin} + repeat(3, left) +
             std::vector{kEnd},
         {F, B}},
        {"angle deltas",
         std::vector{kBegin} + repeat(1, {Qt::ScrollUpdate, {-120, 0}, true}) + std::vector{kEnd},
         {F}},
    };
    for (const Case& c : cases) {
        GestureTracker tracker;
        EXPECT_EQ(feed(tracker, c.events), c.steps) << c.name;
    }
}

TEST(GestureTracker, WheelWithoutPhasesStepsOncePerBurst) {
    const Wheel tiltRight{Qt::NoScrollPhase, {-120, 0}, true, false, 1000};
    const Wheel tiltLeft{Qt::NoScrollPhase, {120, 0}, true, false, 1000};
    struct Case {
        const char* name;
        std::vector<Wheel> events;
        std::vector<Step> steps;
        size_t stepAtEvent;  // index of the event that made the first step
    } cases[] = {
        {"one tilt click right", {tiltRight}, {F}, 0},
        {"one tilt click left", {tiltLeft}, {B}, 0},
        {"tilt held: events 30 ms apart", repeat(20, tiltRight, 30), {F}, 0},
        {"two clicks 400 ms apart", repeat(2, tiltRight, 400), {F, F}, 0},
        {"touch-pad slide in small pixel steps",
         repeat(12, {Qt::NoScrollPhase, {-6, 0}, false, false, 5000}, 10),
         {F},
         4},
        {"vertical wheel", repeat(5, {Qt::NoScrollPhase, {0, -120}, true, false, 1000}, 50), {}, 0},
        {"time going backwards starts a new burst",
         {tiltRight, {Qt::NoScrollPhase, {-120, 0}, true, false, 500}},
         {F, F},
         0},
    };
    for (const Case& c : cases) {
        GestureTracker tracker;
        EXPECT_EQ(feed(tracker, c.events), c.steps) << c.name;
        if (c.steps.empty()) continue;
        GestureTracker again;
        const std::vector<Wheel> upTo(c.events.begin(), c.events.begin() + c.stepAtEvent + 1);
        EXPECT_EQ(feed(again, upTo).size(), 1u) << c.name << ": steps as soon as it is clear";
    }
}

TEST(GestureTracker, NativeGesturesFollowTheSwipeRule) {
    static QPointingDevice touchpad("test touch-pad", 4242, QInputDevice::DeviceType::TouchPad,
                                    QPointingDevice::PointerType::Finger,
                                    QInputDevice::Capability::Position, 3, 0);
    struct Native {
        Qt::NativeGestureType type;
        QPointF delta;
        double value = 0;
    };
    const Native begin{Qt::BeginNativeGesture, {}};
    const Native end{Qt::EndNativeGesture, {}};
    const Native panLeft{Qt::PanNativeGesture, {-20, 2}};
    const Native panRight{Qt::PanNativeGesture, {20, 0}};
    struct Case {
        const char* name;
        std::vector<Native> events;
        std::vector<Step> steps;
    } cases[] = {
        {"fingers left: next camera", {begin, panLeft, panLeft, panLeft, end}, {F}},
        {"fingers right: previous camera", {begin, panRight, panRight, end}, {B}},
        {"pinch with movement",
         {begin, panLeft, {Qt::ZoomNativeGesture, {}, 0.1}, panLeft, end},
         {}},
        {"vertical", {begin, {Qt::PanNativeGesture, {3, -60}}, end}, {}},
        {"short", {begin, {Qt::PanNativeGesture, {-10, 0}}, end}, {}},
        {"end without a begin", {end}, {}},
        {"swipe at 180 degrees (left)", {{Qt::SwipeNativeGesture, {}, 180}}, {F}},
        {"swipe at 0 degrees (right)", {{Qt::SwipeNativeGesture, {}, 0}}, {B}},
        {"swipes up and down",
         {{Qt::SwipeNativeGesture, {}, 90}, {Qt::SwipeNativeGesture, {}, 270}},
         {}},
    };
    for (const Case& c : cases) {
        GestureTracker tracker;
        std::vector<Step> steps;
        for (const Native& n : c.events) {
            QNativeGestureEvent e(n.type, &touchpad, 3, QPointF(5, 5), QPointF(5, 5), QPointF(5, 5),
                                  n.value, n.delta);
            const Step s = tracker.nativeGesture(e);
            if (s != Step::None) steps.push_back(s);
        }
        EXPECT_EQ(steps, c.steps) << c.name;
    }
}
