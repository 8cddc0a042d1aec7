// SPDX-License-Identifier: GPL-3.0-or-later
#include "screensaverinhibitor.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QLoggingCategory>

#include "zvtexts.h"

Q_LOGGING_CATEGORY(lcScreenSaver, "zorvan.screensaver", QtInfoMsg)

namespace {

const char kService[] = "org.freedesktop.ScreenSaver";
const char kPath[] = "/org/freedesktop/ScreenSaver";
const char kInterface[] = "org.freedesktop.ScreenSaver";

// Gives a cookie back; the answer is of no use, so nobody waits for it.
void release(const QDBusConnection& bus, std::uint32_t cookie) {
    QDBusMessage m = QDBusMessage::createMethodCall(kService, kPath, kInterface, "UnInhibit");
    m << cookie;
    m.setAutoStartService(false);
    bus.asyncCall(m);
}

}  // namespace

ScreenSaverInhibitor::ScreenSaverInhibitor(QObject* parent)
    : ScreenSaverInhibitor(QDBusConnection::sessionBus(), parent) {}

ScreenSaverInhibitor::ScreenSaverInhibitor(const QDBusConnection& bus, QObject* parent)
    : QObject(parent), bus_(bus) {}

ScreenSaverInhibitor::~ScreenSaverInhibitor() {
    if (cookie_) release(bus_, *cookie_);
    if (!pending_) return;
    // The cookie still on its way is given back when it comes: the watcher
    // outlives this object and deletes itself then.
    pending_->disconnect(this);
    pending_->setParent(nullptr);
    QObject::connect(pending_, &QDBusPendingCallWatcher::finished,
                     [bus = bus_](QDBusPendingCallWatcher* w) {
                         const QDBusPendingReply<std::uint32_t> reply = *w;
                         if (!reply.isError()) release(bus, reply.value());
                         w->deleteLater();
                     });
}

void ScreenSaverInhibitor::setInhibited(bool on) {
    if (on == wanted_) return;
    wanted_ = on;
    follow();
}

void ScreenSaverInhibitor::follow() {
    if (pending_) return;
    if (!wanted_ && cookie_) {
        release(bus_, *cookie_);
        cookie_.reset();
    } else if (wanted_ && !cookie_) {
        if (!bus_.isConnected()) {
            qCInfo(lcScreenSaver) << "no session bus; the screen saver is left alone";
            return;
        }
        QDBusMessage m = QDBusMessage::createMethodCall(kService, kPath, kInterface, "Inhibit");
        m << QStringLiteral("Zorvan")
          << zvText(QT_TRANSLATE_NOOP("Zorvan", "Showing live pictures in full screen"));
        // A desktop without the service has no screen saver of this kind.
        m.setAutoStartService(false);
        pending_ = new QDBusPendingCallWatcher(bus_.asyncCall(m), this);
        connect(pending_, &QDBusPendingCallWatcher::finished, this,
                &ScreenSaverInhibitor::onInhibitAnswered);
    }
}

void ScreenSaverInhibitor::onInhibitAnswered(QDBusPendingCallWatcher* watcher) {
    pending_ = nullptr;
    watcher->deleteLater();
    const QDBusPendingReply<std::uint32_t> reply = *watcher;
    if (reply.isError()) {
        // Not asked again until the wish changes: the desktop answered.
        qCInfo(lcScreenSaver) << "the screen saver cannot be held off:" << reply.error().message();
        return;
    }
    cookie_ = reply.value();
    follow();
}
