// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// A session bus of the test's own (dbus-daemon on a private socket), so
// that the desktop's services can be played by stand-ins and nothing of the
// person's desktop is touched. Stopped with the object, by its process id.

#include <QProcess>
#include <QStandardPaths>
#include <QString>

#include <sys/prctl.h>
#include <csignal>

class PrivateBus {
public:
    // Empty address when dbus-daemon is missing or does not start.
    PrivateBus() {
        if (QStandardPaths::findExecutable("dbus-daemon").isEmpty()) return;
        daemon_.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
        daemon_.start("dbus-daemon", {"--session", "--nofork", "--print-address=1"});
        if (daemon_.waitForReadyRead(10000))
            address_ = QString::fromUtf8(daemon_.readLine().trimmed());
    }
    ~PrivateBus() {
        daemon_.terminate();
        daemon_.waitForFinished(10000);
    }
    PrivateBus(const PrivateBus&) = delete;
    PrivateBus& operator=(const PrivateBus&) = delete;
    const QString& address() const { return address_; }
    QString error() { return QString::fromUtf8(daemon_.readAllStandardError()); }

private:
    QProcess daemon_;
    QString address_;
};
