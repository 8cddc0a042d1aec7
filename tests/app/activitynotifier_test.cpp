// SPDX-License-Identifier: GPL-3.0-or-later
// Desktop notifications of activity, against a stand-in for the desktop's
// notification service on a private bus: only cameras whose notifications
// are on, only while no window of ours is in front, one a camera a minute,
// and a click asks for the camera.

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDBusVirtualObject>
#include <QMutex>
#include <QSignalSpy>

#include <gtest/gtest.h>

#include "activitynotifier.h"
#include "activitywatch.h"
#include "privatebus.h"
#include "testutil.h"

namespace {

// Logs each Notify's summary and answers with ids from 40 on.
class FakeNotifications : public QDBusVirtualObject {
public:
    QString introspect(const QString&) const override { return {}; }
    bool handleMessage(const QDBusMessage& m, const QDBusConnection& bus) override {
        QMutexLocker lock(&mutex_);
        if (m.member() == "Notify") summaries_ << m.arguments().value(3).toString();
        bus.send(m.member() == "Notify" ? m.createReply(QVariant::fromValue(next_++))
                                        : m.createReply());
        return true;
    }
    QStringList summaries() const {
        QMutexLocker lock(&mutex_);
        return summaries_;
    }

private:
    mutable QMutex mutex_;
    uint next_ = 40;
    QStringList summaries_;
};

}  // namespace

TEST(ActivityNotifier, OnlyChosenCamerasOnlyBehindOncePerMinuteAndAClickShows) {
    PrivateBus bus;
    if (bus.address().isEmpty()) GTEST_SKIP() << "no dbus-daemon " << bus.error().toStdString();
    QDBusConnection desktop = QDBusConnection::connectToBus(bus.address(), "zv-desktop");
    const QDBusConnection viewer = QDBusConnection::connectToBus(bus.address(), "zv-viewer");
    ASSERT_TRUE(desktop.registerService("org.freedesktop.Notifications"));
    // Each step: at that second, the camera becomes active (or quiet).
    const struct {
        const char* name;
        bool notify, inFront;
        std::vector<std::pair<int, bool>> steps;
        int notified;
    } rows[] = {
        {"notifications off", false, false, {{0, true}}, 0},
        {"a window in front", true, true, {{0, true}}, 0},
        {"behind", true, false, {{0, true}}, 1},
        {"going quiet says nothing", true, false, {{0, false}}, 0},
        {"again within the minute", true, false, {{0, true}, {30, false}, {59, true}}, 1},
        {"again after it", true, false, {{0, true}, {30, false}, {61, true}}, 2},
    };
    for (const auto& row : rows) {
        FakeNotifications fake;
        ASSERT_TRUE(desktop.registerVirtualObject("/org/freedesktop/Notifications", &fake));
        ActivityWatch watch;
        qint64 now = 1'000'000;
        ActivityNotifier notifier(viewer, &watch, [&](const QString&) {
            return ActivityNotifier::Camera{"Front door", "Shop", row.notify};
        });
        notifier.setClock([&] { return now; });
        notifier.setInFront([&] { return row.inFront; });
        QSignalSpy shown(&notifier, &ActivityNotifier::showCamera);
        for (const auto& [second, active] : row.steps) {
            now = 1'000'000 + second * 1000;
            emit watch.activityChanged("cam", active);
        }
        if (row.notified > 0)
            EXPECT_TRUE(waitUntil([&] { return fake.summaries().size() == row.notified; }))
                << row.name;
        // What the viewer sent has reached the fake by the time a later call does.
        const QDBusPendingCall ping = viewer.asyncCall(QDBusMessage::createMethodCall(
            "org.freedesktop.Notifications", "/org/freedesktop/Notifications", "zv.Test", "Ping"));
        EXPECT_TRUE(waitUntil([&] { return ping.isFinished(); })) << row.name;
        EXPECT_EQ(fake.summaries().size(), row.notified) << row.name;
        if (row.notified > 0) {
            EXPECT_EQ(fake.summaries().value(0), "Activity: Front door") << row.name;
            QDBusMessage click = QDBusMessage::createSignal(
                "/org/freedesktop/Notifications", "org.freedesktop.Notifications", "ActionInvoked");
            click << uint(40) << QString("default");
            desktop.send(click);
            EXPECT_TRUE(waitUntil([&] { return shown.size() == 1; })) << row.name;
            EXPECT_EQ(shown.value(0).value(0).toString(), "cam") << row.name;
        }
        desktop.unregisterObject("/org/freedesktop/Notifications");
    }
    QDBusConnection::disconnectFromBus("zv-viewer");
    QDBusConnection::disconnectFromBus("zv-desktop");
}
