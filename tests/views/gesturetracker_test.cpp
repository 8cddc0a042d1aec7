// SPDX-License-Identifier: GPL-3.0-or-later
// The touch-pad and wheel mapping: one camera step per gesture, in the
// direction of the view's rules, from sequences of synthetic Qt events.
// This is the lowest owner of the gesture rules; the view's and the menus'
// tests only check that events reach it.

#include <QNativeGestureEvent>
#include <QPointingDevice>
#include <QWheelEvent>

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "gesturetracker.h"

namespace {

using Step = GestureTracker::Step;
constexpr Step F = Step::Forward;
constexpr Step B = Step::Backward;

// One wheel event: how Qt reports the scroll (content movement), in pixels
// or, with angle set, in eighths of a degree.
// clang-format off
struct Wheel { Qt::ScrollPhase phase; QPoint delta; bool angle = false, inverted = false; quint64 ms = 0; };
// clang-format on

// Phased events, one a letter: b begin, e end, r/l fingers right/left, n
// fingers right with natural scrolling, v more vertical than horizontal, m
// momentum, a an angle click right.
std::vector<Wheel> phased(const std::string& letters) {
    // clang-format off
    const std::map<char, Wheel> kinds = {
        {'b', {Qt::ScrollBegin, {}}},               {'e', {Qt::ScrollEnd, {}}},
        {'r', {Qt::ScrollUpdate, {-20, 0}}},        {'l', {Qt::ScrollUpdate, {20, 0}}},
        {'n', {Qt::ScrollUpdate, {20, 0}, false, true}}, {'v', {Qt::ScrollUpdate, {-20, -25}}},
        {'m', {Qt::ScrollMomentum, {-50, 0}}},      {'a', {Qt::ScrollUpdate, {-120, 0}, true}},
    };
    // clang-format on
    std::vector<Wheel> out;
    for (char c : letters) out.push_back(kinds.at(c));
    return out;
}

std::vector<Step> feed(GestureTracker& tracker, const std::vector<Wheel>& events) {
    std::vector<Step> out;
    for (const Wheel& w : events) {
        QWheelEvent e(QPointF(10, 10), QPointF(10, 10), w.angle ? QPoint() : w.delta,
                      w.angle ? w.delta : QPoint(), Qt::NoButton, Qt::NoModifier, w.phase,
                      w.inverted);
        e.setTimestamp(w.ms);
        if (const Step s = tracker.wheel(e); s != Step::None) out.push_back(s);
    }
    return out;
}

std::vector<Wheel> repeat(int n, Wheel w, int spacingMs = 0) {
    std::vector<Wheel> out;
    for (int i = 0; i < n; ++i, w.ms += spacingMs) out.push_back(w);
    return out;
}

}  // namespace

TEST(GestureTracker, PhasedTwoFingerMovementStepsOnceAtItsEnd) {
    const std::pair<const char*, std::vector<Step>> cases[] = {
        {"brrre", {F}}, {"bllle", {B}},         {"bnnne", {F}},        // natural scrolling
        {"bre", {}},    {"bvvve", {}},          {"brrremmmmme", {F}},  // momentum after the end
        {"llle", {B}},  {"brrrebllle", {F, B}}, {"bae", {F}},          // no begin; two; angles
    };
    for (const auto& [letters, steps] : cases) {
        GestureTracker tracker;
        EXPECT_EQ(feed(tracker, phased(letters)), steps) << letters;
    }
}

TEST(GestureTracker, WheelWithoutPhasesStepsOncePerBurst) {
    const Wheel right{Qt::NoScrollPhase, {-120, 0}, true, false, 1000};
    const Wheel left{Qt::NoScrollPhase, {120, 0}, true, false, 1000};
    // Each case: the events, the steps, the index of the event that made the first step.
    // clang-format off
    const struct { const char* name; std::vector<Wheel> events; std::vector<Step> steps;
                   size_t stepAtEvent; } cases[] = {
        {"one tilt click right", {right}, {F}, 0},
        {"one tilt click left", {left}, {B}, 0},
        {"tilt held: events 30 ms apart", repeat(20, right, 30), {F}, 0},
        {"two clicks 400 ms apart", repeat(2, right, 400), {F, F}, 0},
        {"small pixel steps", repeat(12, {Qt::NoScrollPhase, {-6, 0}, false, false, 5000}, 10), {F}, 4},
        {"vertical wheel", repeat(5, {Qt::NoScrollPhase, {0, -120}, true, false, 1000}, 50), {}, 0},
        {"time going backwards", {right, {Qt::NoScrollPhase, {-120, 0}, true, false, 500}}, {F, F}, 0},
    };
    // clang-format on
    for (const auto& c : cases) {
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
    // One event a letter: b begin, e end, < and > pans left and right, z a
    // pinch, v a vertical pan, s a short one; digits a swipe at 0, 90, 180 or
    // 270 degrees (0 to 3).
    const std::pair<const char*, std::vector<Step>> cases[] = {
        {"b<<<e", {F}}, {"b>>e", {B}}, {"b<z<e", {}}, {"bve", {}}, {"bse", {}},
        {"e", {}},      {"2", {F}},    {"0", {B}},    {"13", {}},
    };
    // (type, pan delta, swipe angle)
    // clang-format off
    const std::map<char, std::tuple<Qt::NativeGestureType, QPointF, double>> kinds = {
        {'b', {Qt::BeginNativeGesture, {}, 0}},     {'e', {Qt::EndNativeGesture, {}, 0}},
        {'<', {Qt::PanNativeGesture, {-20, 2}, 0}}, {'>', {Qt::PanNativeGesture, {20, 0}, 0}},
        {'z', {Qt::ZoomNativeGesture, {}, 0.1}},    {'v', {Qt::PanNativeGesture, {3, -60}, 0}},
        {'s', {Qt::PanNativeGesture, {-10, 0}, 0}}, {'0', {Qt::SwipeNativeGesture, {}, 0}},
        {'1', {Qt::SwipeNativeGesture, {}, 90}},    {'2', {Qt::SwipeNativeGesture, {}, 180}},
        {'3', {Qt::SwipeNativeGesture, {}, 270}},
    };
    // clang-format on
    for (const auto& [letters, expected] : cases) {
        GestureTracker tracker;
        std::vector<Step> steps;
        for (const char* c = letters; *c; ++c) {
            const auto [type, delta, value] = kinds.at(*c);
            QNativeGestureEvent e(type, &touchpad, 3, QPointF(5, 5), QPointF(5, 5), QPointF(5, 5),
                                  value, delta);
            if (const Step s = tracker.nativeGesture(e); s != Step::None) steps.push_back(s);
        }
        EXPECT_EQ(steps, expected) << letters;
    }
}
