// SPDX-License-Identifier: GPL-3.0-or-later
#include "activitynotifier.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDateTime>
#include <QGuiApplication>
#include <QPointer>
#include <QVariantMap>

#include "activitywatch.h"

namespace {
const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
// Far more than a desktop shows at once; beyond it the oldest are forgotten
// (clicking one then does nothing), so that a run of days stays bounded.
constexpr std::size_t kMaxShown = 64;
}  // namespace

ActivityNotifier::ActivityNotifier(const QDBusConnection& bus, ActivityWatch* watch, Lookup lookup,
                                   QObject* parent)
    : QObject(parent),
      bus_(bus),
      lookup_(std::move(lookup)),
      clock_([] { return QDateTime::currentMSecsSinceEpoch(); }),
      inFront_([] { return QGuiApplication::applicationState() == Qt::ApplicationActive; }) {
    connect(watch, &ActivityWatch::activityChanged, this, &ActivityNotifier::activityChanged);
    if (bus_.isConnected()) {
        bus_.connect(kService, kPath, kService, QStringLiteral("ActionInvoked"), this,
                     SLOT(actionInvoked(uint, QString)));
        bus_.connect(kService, kPath, kService, QStringLiteral("NotificationClosed"), this,
                     SLOT(notificationClosed(uint, uint)));
    }
}

void ActivityNotifier::activityChanged(const QString& key, bool active) {
    if (!active || !bus_.isConnected() || inFront_()) return;
    const Camera camera = lookup_(key);
    if (!camera.notify) return;
    const qint64 now = clock_();
    if (const auto last = lastMs_.find(key); last != lastMs_.end() && now - last->second < kGapMs)
        return;
    lastMs_[key] = now;
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kService, "Notify");
    call << QStringLiteral("Zorvan") << uint(0) << QStringLiteral("zorvan")
         << QCoreApplication::translate("Zorvan", "Activity: %1").arg(camera.name) << camera.server
         << QStringList{QStringLiteral("default"),
                        QCoreApplication::translate("Zorvan", "Show Camera")}
         << QVariantMap{{QStringLiteral("category"), QStringLiteral("device")}} << int(-1);
    auto* pending = new QDBusPendingCallWatcher(bus_.asyncCall(call), this);
    connect(pending, &QDBusPendingCallWatcher::finished, this,
            [this, key](QDBusPendingCallWatcher* w) {
                const QDBusPendingReply<uint> reply = *w;
                w->deleteLater();
                if (reply.isError()) return;
                if (shown_.size() >= kMaxShown) shown_.erase(shown_.begin());
                shown_[reply.value()] = key;
            });
}

void ActivityNotifier::actionInvoked(uint id, const QString& action) {
    const auto it = shown_.find(id);
    if (it == shown_.end() || action != QLatin1String("default")) return;
    const QString key = it->second;
    emit showCamera(key);
}

void ActivityNotifier::notificationClosed(uint id, uint) {
    shown_.erase(id);
}
