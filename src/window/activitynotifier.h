// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>

#include <functional>
#include <map>

class ActivityWatch;

// Tells the desktop (its notification service on the session bus) when a
// camera whose notifications are on becomes active while no window of the
// viewer is in front: at most one a camera a minute, so that a camera that
// keeps moving never floods the desktop. Clicking a notification asks for
// the camera to be shown. A desktop without the service gets nothing and
// loses nothing. Main thread only.
class ActivityNotifier : public QObject {
    Q_OBJECT

public:
    static constexpr qint64 kGapMs = 60000;

    // What the notifier needs of a camera, by its activity key.
    struct Camera {
        QString name;
        QString server;
        bool notify = false;  // its notifications are on
    };
    using Lookup = std::function<Camera(const QString& key)>;

    ActivityNotifier(const QDBusConnection& bus, ActivityWatch* watch, Lookup lookup,
                     QObject* parent = nullptr);

    // For tests: the clock (ms) and whether a window of the viewer is in
    // front (by default, whether the application is the active one).
    void setClock(std::function<qint64()> clock) { clock_ = std::move(clock); }
    void setInFront(std::function<bool()> inFront) { inFront_ = std::move(inFront); }

signals:
    // A notification of key's camera was clicked.
    void showCamera(const QString& key);

private slots:
    void actionInvoked(uint id, const QString& action);
    void notificationClosed(uint id, uint reason);

private:
    void activityChanged(const QString& key, bool active);

    QDBusConnection bus_;
    Lookup lookup_;
    std::function<qint64()> clock_;
    std::function<bool()> inFront_;
    std::map<QString, qint64> lastMs_;  // per camera key: its last notification
    std::map<uint, QString> shown_;     // notifications still on the desktop
};
