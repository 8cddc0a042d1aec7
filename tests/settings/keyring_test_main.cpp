// GoogleTest main of the keyring suites. With ZORVAN_REAL_KEYRING it starts
// a private D-Bus session (no service activation, so nothing else starts on
// it) and gnome-keyring-daemon unlocked with a test password, and stops both
// by their process ids at the end; without, the session bus address leads
// nowhere, as on a machine without a keyring.

#include <QApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <sys/prctl.h>

#include <csignal>

#include "keyringenv.h"

namespace keyringenv {
QString unavailableReason;
QString root;

Entry lookup(const QString& key) {
    Entry e;
    QProcess p;
    p.start(QStringLiteral("secret-tool"),
            {QStringLiteral("search"), QStringLiteral("--all"), QStringLiteral("user"), key,
             QStringLiteral("server"), QStringLiteral("Zorvan")});
    if (!p.waitForFinished(10000)) return e;
    // "label = ..." and "secret = ..." lines, on stdout (or stderr for the
    // item's path).
    const QString out = QString::fromUtf8(p.readAllStandardOutput() + p.readAllStandardError());
    for (const QString& line : out.split(u'\n')) {
        if (line.startsWith(QLatin1String("label = "))) {
            e.found = true;
            e.label = line.mid(8);
        } else if (line.startsWith(QLatin1String("secret = "))) {
            e.secret = line.mid(9);
        }
    }
    return e;
}
}  // namespace keyringenv

namespace {

#ifdef ZORVAN_REAL_KEYRING
const char kBusConfig[] =
    R"(<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:path=%1</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
)";

bool defaultCollectionReady() {
    QDBusMessage m =
        QDBusMessage::createMethodCall("org.freedesktop.secrets", "/org/freedesktop/secrets",
                                       "org.freedesktop.Secret.Service", "ReadAlias");
    m << QStringLiteral("default");
    // A connection of its own each time: the shared one, once failed, stays
    // failed, and the code under test needs it.
    static int n = 0;
    const QString name = QStringLiteral("keyring-test-%1").arg(++n);
    QDBusMessage r;
    {
        QDBusConnection bus = QDBusConnection::connectToBus(QDBusConnection::SessionBus, name);
        r = bus.call(m, QDBus::Block, 2000);
    }
    QDBusConnection::disconnectFromBus(name);
    return r.type() == QDBusMessage::ReplyMessage && !r.arguments().isEmpty() &&
           r.arguments().first().value<QDBusObjectPath>().path() != u"/";
}

void stop(QProcess& p) {
    if (p.state() == QProcess::NotRunning) return;
    p.terminate();  // by its own process id
    if (!p.waitForFinished(5000)) {
        p.kill();
        p.waitForFinished(5000);
    }
}
#endif

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    testing::InitGoogleTest(&argc, argv);
    QTemporaryDir dir;
    keyringenv::root = dir.path();
    for (const char* sub : {"home", "config", "data", "run"}) QDir(dir.path()).mkdir(sub);
    QFile::setPermissions(dir.path() + "/run",
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    qputenv("HOME", QFile::encodeName(dir.path() + "/home"));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(dir.path() + "/config"));
    qputenv("XDG_DATA_HOME", QFile::encodeName(dir.path() + "/data"));
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(dir.path() + "/run"));
    const QString bus = dir.path() + "/run/bus";
    qputenv("DBUS_SESSION_BUS_ADDRESS", QFile::encodeName("unix:path=" + bus));
    // Nothing may fall back to a desktop's own keyring.
    qunsetenv("DISPLAY");
    qunsetenv("WAYLAND_DISPLAY");

    QApplication app(argc, argv);
    QApplication::setOrganizationName("Zorvan");
    QApplication::setApplicationName("Zorvan");
    int rc = 0;
#ifdef ZORVAN_REAL_KEYRING
    QProcess busDaemon, keyring;
    // Should this process die before it stops them, they end with it.
    for (QProcess* p : {&busDaemon, &keyring})
        p->setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
    if (GTEST_FLAG_GET(list_tests)) return RUN_ALL_TESTS();  // listing needs no keyring
    {
        QFile config(dir.path() + "/bus.conf");
        config.open(QIODevice::WriteOnly);
        config.write(QString::fromLatin1(kBusConfig).arg(bus).toUtf8());
    }
    // It prints its address once it accepts connections.
    busDaemon.start("dbus-daemon",
                    {"--config-file=" + dir.path() + "/bus.conf", "--nofork", "--print-address=1"});
    QElapsedTimer t;
    t.start();
    if (!busDaemon.waitForStarted(5000)) {
        keyringenv::unavailableReason = "dbus-daemon did not start";
    } else {
        busDaemon.waitForReadyRead(10000);
        keyring.start("gnome-keyring-daemon", {"--unlock", "--components=secrets", "--foreground"});
        if (!keyring.waitForStarted(5000)) {
            keyringenv::unavailableReason = "gnome-keyring-daemon did not start";
        } else {
            // The test password on its standard input, then its end.
            keyring.write("test");
            keyring.waitForBytesWritten(5000);
            keyring.closeWriteChannel();
            while (!defaultCollectionReady() && t.elapsed() < 15000) {
                QCoreApplication::processEvents();
                QThread::msleep(50);
            }
            if (!defaultCollectionReady()) {
                keyringenv::unavailableReason =
                    "gnome-keyring-daemon gave no unlocked keyring: " +
                    QString::fromLocal8Bit(keyring.readAllStandardError()).trimmed();
            }
        }
    }
    rc = RUN_ALL_TESTS();
    // GLib's shared session connection ends its process with SIGTERM when
    // the bus goes away under it; here the bus going away is the plan.
    std::signal(SIGTERM, SIG_IGN);
    stop(keyring);
    stop(busDaemon);
#else
    rc = RUN_ALL_TESTS();
#endif
    return rc;
}
