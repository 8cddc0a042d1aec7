// SPDX-License-Identifier: GPL-3.0-or-later
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
#include "zorvanmacappdelegate.h"

struct ReconnectorTestAccess {
    static void setTiming(Reconnector& r, const Reconnector::Timing& timing) {
        r.setTiming(timing);
    }
    // The pause before the next attempt.
    static int pauseMs(const Reconnector& r) { return r.pauseMs(); }
    // A network change came during the attempt under way.
    static bool changeWaiting(const Reconnector& r) { return r.retryWhenDone_; }
    // Calls fn as each attempt starts.
    static void onAttempt(Reconnector& r, std::function<void()> fn) {
        QObject::connect(&r, &Reconnector::attempting, std::move(fn));
    }
};

// The controller's parts that only tests look into.
struct ZorvanMacAppDelegateTestAccess {
    using App = ZorvanMacAppDelegate;
    static QSlider* audioSlider(const App& a) { return a.window_->audioSlider_; }
    static ZVServerSettings* settingsWindow(const App& a) { return a.settingsWindow_.get(); }
    static PlayerView* playerView(const App& a) { return a.playerView_.get(); }
    static RestWhileHidden* restWhileHidden(const App& a) { return a.window_->rest_.get(); }
};
using AppAccess = ZorvanMacAppDelegateTestAccess;
