// SPDX-License-Identifier: GPL-3.0-or-later
// The screen saver inhibitor against a stand-in for the desktop's service on
// a private session bus: one cookie taken per wish, and every cookie given
// back, also when the release comes before the cookie or after the end.

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDBusVirtualObject>
#include <QMutex>

#include <gtest/gtest.h>
#include <memory>

#include "privatebus.h"
#include "screensaverinhibitor.h"
#include "testutil.h"

namespace {

// The desktop's side: logs the calls and hands out cookies from 7 on; with
// hold, keeps the Inhibit answers until answer(). Qt may call it on its
// bus thread, hence the lock.
class FakeScreenSaver : public QDBusVirtualObject {
public:
    explicit FakeScreenSaver(bool hold) : hold_(hold) {}
    QString introspect(const QString&) const override { return {}; }
    bool handleMessage(const QDBusMessage& m, const QDBusConnection& bus) override {
        QMutexLocker lock(&mutex_);
        if (m.member() == "Inhibit") {
            calls_ << "Inhibit";
            const QDBusMessage reply = m.createReply(QVariant::fromValue(next_++));
            hold_ ? held_.push_back(reply) : void(bus.send(reply));
        } else if (m.member() == "UnInhibit") {
            calls_ << "UnInhibit " + QString::number(m.arguments().value(0).toUInt());
            bus.send(m.createReply());
        } else {
            bus.send(m.createReply());  // anything else: an empty answer, to wait on
        }
        return true;
    }
    void answer(const QDBusConnection& bus) {
        QMutexLocker lock(&mutex_);
        for (const QDBusMessage& m : held_) bus.send(m);
        held_.clear();
    }
    QStringList calls() const {
        QMutexLocker lock(&mutex_);
        return calls_;
    }

private:
    mutable QMutex mutex_;
    const bool hold_;
    uint next_ = 7;
    QStringList calls_;
    std::vector<QDBusMessage> held_;
};

}  // namespace

TEST(ScreenSaverInhibitor, OneCookiePerWishAndEachGivenBack) {
    PrivateBus bus;
    if (bus.address().isEmpty()) GTEST_SKIP() << "no dbus-daemon " << bus.error().toStdString();
    const QString address = bus.address();
    const QDBusConnection desktop = QDBusConnection::connectToBus(address, "zv-desktop");
    const QDBusConnection viewer = QDBusConnection::connectToBus(address, "zv-viewer");
    ASSERT_TRUE(desktop.isConnected() && viewer.isConnected());
    ASSERT_TRUE(QDBusConnection(desktop).registerService("org.freedesktop.ScreenSaver"));

    const struct {
        bool hold;
        QStringList steps;
        QStringList calls;
        bool inhibitedAtEnd;
    } rows[] = {
        {false, {"on"}, {"Inhibit"}, true},
        {false, {"on", "on"}, {"Inhibit"}, true},
        {false, {"off"}, {}, false},
        {false, {"on", "off"}, {"Inhibit", "UnInhibit 7"}, false},
        {false, {"on", "off", "on"}, {"Inhibit", "UnInhibit 7", "Inhibit"}, true},
        {false, {"on", "destroy"}, {"Inhibit", "UnInhibit 7"}, false},
        {true, {"on", "off", "answer"}, {"Inhibit", "UnInhibit 7"}, false},
        {true, {"on", "off", "on", "answer"}, {"Inhibit"}, true},
        {true, {"on", "destroy", "answer"}, {"Inhibit", "UnInhibit 7"}, false},
    };
    // Calls the viewer sent before this one reach the fake before it.
    const auto settle = [&] {
        const QDBusPendingCall ping = viewer.asyncCall(QDBusMessage::createMethodCall(
            "org.freedesktop.ScreenSaver", "/org/freedesktop/ScreenSaver", "zv.Test", "Ping"));
        EXPECT_TRUE(waitUntil([&] { return ping.isFinished(); }));
    };
    for (const auto& row : rows) {
        const std::string name = (row.hold ? "held: " : "") + row.steps.join(' ').toStdString();
        FakeScreenSaver fake(row.hold);
        ASSERT_TRUE(
            QDBusConnection(desktop).registerVirtualObject("/org/freedesktop/ScreenSaver", &fake));
        auto inhibitor = std::make_unique<ScreenSaverInhibitor>(viewer);
        for (const QString& step : row.steps) {
            if (step == "destroy") inhibitor.reset();
            if (step == "answer") fake.answer(desktop);
            if (step != "on" && step != "off") continue;
            inhibitor->setInhibited(step == "on");
            // An Inhibit the fake has seen, answered unless held.
            if (step == "on")
                EXPECT_TRUE(waitUntil([&] {
                    return inhibitor->isInhibited() || (row.hold && !fake.calls().isEmpty());
                })) << name;
        }
        const auto inhibited = [&] { return inhibitor && inhibitor->isInhibited(); };
        EXPECT_TRUE(waitUntil([&] {
            return fake.calls() == row.calls && inhibited() == row.inhibitedAtEnd;
        })) << name;
        settle();
        EXPECT_EQ(fake.calls(), row.calls) << name;
        EXPECT_EQ(inhibited(), row.inhibitedAtEnd) << name;
        inhibitor.reset();
        settle();  // its last release reaches this row's fake, not the next one
        QDBusConnection(desktop).unregisterObject("/org/freedesktop/ScreenSaver");
    }
    QDBusConnection::disconnectFromBus("zv-viewer");
    QDBusConnection::disconnectFromBus("zv-desktop");
}
