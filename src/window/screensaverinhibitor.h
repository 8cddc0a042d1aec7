// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDBusConnection>
#include <QObject>

#include <cstdint>
#include <optional>

class QDBusPendingCallWatcher;

// Holds off the screen saver and the display's sleep while live pictures
// fill the screen, through the desktop's org.freedesktop.ScreenSaver
// inhibit interface on the session bus. The owner says what it wants with
// setInhibited(); the desktop's cookie is taken and given back behind it.
//
// Every call is asynchronous, so a slow or stuck desktop never holds up the
// window. A release asked for while the inhibit call is still under way
// gives the cookie back as soon as it arrives, also when the inhibitor is
// gone by then. Without a session bus or without the service it does
// nothing but say so in the log category "zorvan.screensaver".
class ScreenSaverInhibitor : public QObject {
    Q_OBJECT
public:
    explicit ScreenSaverInhibitor(QObject* parent = nullptr);
    // bus: the connection to ask on (the session bus in the viewer).
    explicit ScreenSaverInhibitor(const QDBusConnection& bus, QObject* parent = nullptr);
    // Gives back a held cookie without waiting for the answer.
    ~ScreenSaverInhibitor() override;

    // Asks for (on) or gives up the inhibition; repeating a wish does nothing.
    void setInhibited(bool on);
    // True while the desktop holds an inhibition for the viewer.
    bool isInhibited() const { return cookie_.has_value(); }
    // What the owner last asked for.
    bool isWanted() const { return wanted_; }

private:
    // Brings the desktop's state to the wish, unless a call is under way
    // (its answer brings it on).
    void follow();
    void onInhibitAnswered(QDBusPendingCallWatcher* watcher);

    QDBusConnection bus_;
    bool wanted_ = false;
    std::optional<std::uint32_t> cookie_;
    // The inhibit call under way, owned by this object; null when none.
    QDBusPendingCallWatcher* pending_ = nullptr;
};
