// SPDX-License-Identifier: GPL-3.0-or-later
// GoogleTest main of the keyring suites. With ZORVAN_REAL_KEYRING it starts
// a private D-Bus session (no service activation, so nothing else starts on
// it) and gnome-keyring-daemon unlocked with a test password, and stops both
// by their process ids at the end; without, the session bus address leads
// nowhere, as on a machine without a keyring.

#include <QApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/prctl.h>

#include <csignal>

#include "keyringenv.h"
#include "testutil.h"

namespace keyringenv {
QString unavailableReason;

Entry lookup(const QString& key) {
    Entry e;
    QProcess p;
    p.start("secret-tool", {"search", "--all", "user", key, "server", "Zorvan"});
    if (!p.waitForFinished(10000)) return e;
    // "label = ..." and "secret = ..." lines, on stdout (or stderr for the
    // item's path).
    const QString out = QString::fromUtf8(p.readAllStandardOutput() + p.readAllStandardError());
    for (const QString& line : out.split(u'\n')) {
        if (line.startsWith("label = ")) e.label = line.mid(8);
        if (line.startsWith("secret = ")) e.secret = line.mid(9);
    }
    return e;
}

namespace {

const char kLogin[] = "/org/freedesktop/secrets/collection/login";

// Asked from another process: a failed call would spoil this process's
// shared bus connection, which the code under test needs.
bool loginCollectionLocked(bool locked) {
    QProcess p;
    p.start("dbus-send", {"--session", "--print-reply", "--dest=org.freedesktop.secrets", kLogin,
                          "org.freedesktop.DBus.Properties.Get",
                          "string:org.freedesktop.Secret.Collection", "string:Locked"});
    return p.waitForFinished(5000) && p.exitCode() == 0 &&
           p.readAllStandardOutput().contains(locked ? "boolean true" : "boolean false");
}

}  // namespace

bool lockKeyring() {
    QProcess::execute("dbus-send",
                      {"--session", "--type=method_call", "--dest=org.freedesktop.secrets",
                       "/org/freedesktop/secrets", "org.freedesktop.Secret.Service.Lock",
                       QString("array:objpath:") + kLogin});
    return waitUntil([] { return loginCollectionLocked(true); }, 10000);
}

bool unlockKeyring() {
    // The standard Unlock asks the person through a prompt, which a test
    // has not got; gnome-keyring's own interface takes the password. On a
    // connection of its own, closed after.
    {
        QDBusConnection bus = QDBusConnection::connectToBus(QDBusConnection::SessionBus, "unlock");
        const auto call = [&](const char* interface, const char* method, const QVariantList& args) {
            QDBusMessage m = QDBusMessage::createMethodCall(
                "org.freedesktop.secrets", "/org/freedesktop/secrets", interface, method);
            m.setArguments(args);
            return bus.call(m, QDBus::Block, 5000).arguments();
        };
        const QVariantList opened = call("org.freedesktop.Secret.Service", "OpenSession",
                                         {"plain", QVariant::fromValue(QDBusVariant(QString()))});
        QDBusArgument secret;  // (session, parameters, value, content type)
        secret.beginStructure();
        secret << qdbus_cast<QDBusObjectPath>(opened.value(1)) << QByteArray() << QByteArray("test")
               << QString("text/plain");
        secret.endStructure();
        call("org.gnome.keyring.InternalUnsupportedGuiltRiddenInterface",
             "UnlockWithMasterPassword",
             {QVariant::fromValue(QDBusObjectPath(kLogin)), QVariant::fromValue(secret)});
    }
    QDBusConnection::disconnectFromBus("unlock");
    return waitUntil([] { return loginCollectionLocked(false); }, 10000);
}

}  // namespace keyringenv

#ifdef ZORVAN_REAL_KEYRING
// A session bus that starts no services of its own.
const char kBusConfig[] = R"(<busconfig><type>session</type><listen>unix:path=%1</listen>
  <policy context="default"><allow send_destination="*" eavesdrop="true"/>
  <allow eavesdrop="true"/><allow own="*"/></policy></busconfig>)";
#endif

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    testing::InitGoogleTest(&argc, argv);
    QTemporaryDir dir;
    for (const auto& [var, sub] : {std::pair{"HOME", "home"},
                                   {"XDG_CONFIG_HOME", "config"},
                                   {"XDG_DATA_HOME", "data"},
                                   {"XDG_RUNTIME_DIR", "run"}}) {
        QDir(dir.path()).mkdir(sub, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        qputenv(var, QFile::encodeName(dir.path() + "/" + sub));
    }
    const QString bus = dir.path() + "/run/bus";
    qputenv("DBUS_SESSION_BUS_ADDRESS", QFile::encodeName("unix:path=" + bus));
    // Nothing may fall back to a desktop's own keyring.
    qunsetenv("DISPLAY");
    qunsetenv("WAYLAND_DISPLAY");

    QApplication app(argc, argv);
    QApplication::setOrganizationName("Zorvan");
    QApplication::setApplicationName("Zorvan");
#ifndef ZORVAN_REAL_KEYRING
    return RUN_ALL_TESTS();
#else
    QProcess busDaemon, keyring;
    // Should this process die before it stops them, they end with it.
    for (QProcess* p : {&busDaemon, &keyring})
        p->setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
    if (GTEST_FLAG_GET(list_tests)) return RUN_ALL_TESTS();  // listing needs no keyring
    writeAt(dir.path() + "/bus.conf", QString::fromLatin1(kBusConfig).arg(bus).toUtf8());
    // It prints its address once it accepts connections.
    busDaemon.start("dbus-daemon",
                    {"--config-file=" + dir.path() + "/bus.conf", "--nofork", "--print-address=1"});
    if (busDaemon.waitForReadyRead(10000)) {
        keyring.start("gnome-keyring-daemon", {"--unlock", "--components=secrets", "--foreground"});
        keyring.write("test");  // the test password on its standard input, then its end
        keyring.closeWriteChannel();
    }
    if (!waitUntil([] { return keyringenv::loginCollectionLocked(false); }, 15000)) {
        keyringenv::unavailableReason = "no unlocked keyring on a private bus: " +
                                        QString::fromLocal8Bit(busDaemon.readAllStandardError() +
                                                               keyring.readAllStandardError());
    }
    const int rc = RUN_ALL_TESTS();
    // GLib's shared session connection ends its process with SIGTERM when
    // the bus goes away under it; here the bus going away is the plan.
    std::signal(SIGTERM, SIG_IGN);
    for (QProcess* p : {&keyring, &busDaemon}) {
        p->terminate();  // by its own process id (the destructor kills what is left)
        p->waitForFinished(5000);
    }
    return rc;
#endif
}
