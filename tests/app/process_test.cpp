// SPDX-License-Identifier: GPL-3.0-or-later
// The viewer executable itself: one viewer per settings file, and a clean
// end on SIGTERM.

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "layoutsfile.h"
#include "viewerkit.h"

namespace {

// The viewer's environment: home, data and runtime folders of the test's own.
QProcessEnvironment viewerEnvironment(const QTemporaryDir& home, const QTemporaryDir& runtime) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("HOME", home.path());
    env.insert("XDG_DATA_HOME", home.path() + "/data");
    env.insert("XDG_RUNTIME_DIR", runtime.path());
    env.insert("QT_QPA_PLATFORM", "offscreen");
    return env;
}

}  // namespace

// A second start on the same settings hands over to the running viewer and
// ends (without a display: it makes no window), and the running viewer then
// quits cleanly on SIGTERM in the middle of a request to a stalled server,
// its settings file whole.
TEST(ViewerProcess, ASecondStartHandsOverAndSigtermEndsCleanlyDuringAStall) {
    ScriptedServer server([](const ScriptedServer::Request& r) {
        if (r.target.find("resolution=") != std::string::npos) {
            return ScriptedServer::of(ScriptedServer::Reply::Kind::Stall);
        }
        return camerasServer()(r);
    });
    QTemporaryDir home, runtime;
    const QString folder = home.path() + "/data/Zorvan";
    writeServers(folder, {{"Local", server.port(), true}}, 1);
    {
        QFile layouts(folder + "/layouts.json");
        ASSERT_TRUE(layouts.open(QIODevice::WriteOnly));
        layouts.write(R"({"layouts":[{"name":"Lobby","rows":1,"columns":2,"cells":[null,null]}]})");
    }

    QProcess first;
    first.setProcessEnvironment(viewerEnvironment(home, runtime));
    first.setProcessChannelMode(QProcess::ForwardedChannels);
    first.start(ZORVAN_VIEWER_BINARY, {});
    ASSERT_TRUE(first.waitForStarted());
    ASSERT_TRUE(server.waitForRequests(3)) << "lists, then the stalled picture";
    ASSERT_TRUE(waitUntil([&] {
        return !QDir(runtime.path()).entryList({"*.socket"}, QDir::System).isEmpty();
    })) << "the first viewer listens for later starts";

    QProcessEnvironment env = viewerEnvironment(home, runtime);
    env.insert("QT_QPA_PLATFORM", "no-such-platform");
    // The running viewer shows what a later start names; a name it does not
    // know is that start's error.
    const std::pair<QStringList, int> starts[] = {{{"--tour", "Nowhere"}, 2},
                                                  {{"--layout", "Lobby"}, 0}};
    for (const auto& [arguments, status] : starts) {
        QProcess second;
        second.setProcessEnvironment(env);
        second.setProcessChannelMode(QProcess::ForwardedChannels);
        second.start(ZORVAN_VIEWER_BINARY, arguments);
        ASSERT_TRUE(second.waitForFinished(60000));
        EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(second.exitCode(), status) << arguments.join(' ').toStdString();
        EXPECT_EQ(first.state(), QProcess::Running);
    }

    first.terminate();
    ASSERT_TRUE(first.waitForFinished(60000));
    EXPECT_EQ(first.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(first.exitCode(), 0);
    EXPECT_EQ(Settings::createInFolder(folder, "en")->cameraIdx(), 1) << "the file is whole";
    const auto windows = LayoutsFile::openInFolder(folder)->room().windows;
    ASSERT_FALSE(windows.empty());
    EXPECT_EQ(windows[0].shows, WindowState::Shows::Layout);
    EXPECT_EQ(windows[0].name, "Lobby") << "the layout handed over is kept for the next start";
}

// A start that fails (a layout nobody has) and a plain start at the same
// instant: whichever takes the lock first, the plain one ends as the viewer,
// either from the start or once the failing one has let the lock go.
TEST(ViewerProcess, APlainStartRacingAFailingOneEndsAsTheViewer) {
    ScriptedServer server(camerasServer());
    QTemporaryDir home;
    writeServers(home.path() + "/data/Zorvan", {{"Local", server.port(), true}}, 1);
    for (int round = 0; round < 4; ++round) {
        SCOPED_TRACE(round);
        QTemporaryDir runtime;
        QProcess failing, plain;
        for (QProcess* p : {&failing, &plain}) {
            p->setProcessEnvironment(viewerEnvironment(home, runtime));
            p->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        }
        // Each goes first in turn.
        if (round % 2) plain.start(ZORVAN_VIEWER_BINARY, {});
        failing.start(ZORVAN_VIEWER_BINARY, {"--layout", "NoSuch"});
        if (round % 2 == 0) plain.start(ZORVAN_VIEWER_BINARY, {});
        ASSERT_TRUE(failing.waitForStarted() && plain.waitForStarted());
        ASSERT_TRUE(failing.waitForFinished(60000));
        EXPECT_EQ(failing.exitCode(), 2);
        ASSERT_TRUE(waitUntil([&] {
            return plain.state() != QProcess::Running ||
                   !QDir(runtime.path()).entryList({"*.socket"}, QDir::System).isEmpty();
        }));
        ASSERT_EQ(plain.state(), QProcess::Running) << "exit " << plain.exitCode();
        plain.terminate();
        ASSERT_TRUE(plain.waitForFinished(60000));
        EXPECT_EQ(plain.exitCode(), 0);
    }
}
