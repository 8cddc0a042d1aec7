#pragma once

// Reaches the app layer's internals that only tests need: each class names
// its access struct as a friend, so its public header shows only what the
// viewer uses. The app's tests see every layer, so this brings the other
// layers' access structs along.

#include <QObject>

#include <functional>

#include "protocoltestaccess.h"
#include "reconnector.h"
#include "viewstestaccess.h"

struct ReconnectorTestAccess {
    static void setTiming(Reconnector& r, const Reconnector::Timing& timing) {
        r.setTiming(timing);
    }
    static int attempts(const Reconnector& r) { return r.attempts(); }
    // The probe's connects so far.
    static int probes(const Reconnector& r) { return r.probes(); }
    // The pause before the next attempt.
    static int pauseMs(const Reconnector& r) { return r.pauseMs(); }
    // Calls fn as each attempt starts.
    static void onAttempt(Reconnector& r, std::function<void()> fn) {
        QObject::connect(&r, &Reconnector::attempting, std::move(fn));
    }
};
