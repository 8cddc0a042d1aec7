// SPDX-License-Identifier: GPL-3.0-or-later
// The viewer executable itself: it quits cleanly on SIGTERM in the middle of
// a picture request to a stalled server, and leaves its settings file whole;
// a second start on the same settings hands over to the running viewer.

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

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

TEST(ViewerProcess, TerminatesCleanlyDuringAStalledPictureRequest) {
    ScriptedServer server([](const ScriptedServer::Request& r) {
        if (r.target.find("resolution=") != std::string::npos) {
            return ScriptedServer::of(ScriptedServer::Reply::Kind::Stall);
        }
        return camerasServer()(r);
    });
    QTemporaryDir home, runtime;
    const QString folder = home.path() + "/data/Zorvan";
    writeServers(folder, {{"Local", server.port(), true}}, 1);

    QProcess viewer;
    viewer.setProcessEnvironment(viewerEnvironment(home, runtime));
    viewer.setProcessChannelMode(QProcess::ForwardedChannels);
    viewer.start(ZORVAN_VIEWER_BINARY, {});
    ASSERT_TRUE(viewer.waitForStarted());
    ASSERT_TRUE(server.waitForRequests(3)) << "lists, then the stalled picture";

    viewer.terminate();
    ASSERT_TRUE(viewer.waitForFinished(60000));
    EXPECT_EQ(viewer.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(viewer.exitCode(), 0);

    EXPECT_EQ(Settings::createInFolder(folder, "en")->cameraIdx(), 1) << "the file is whole";
}

TEST(ViewerProcess, ASecondStartHandsOverToTheRunningViewer) {
    ScriptedServer server(camerasServer());
    QTemporaryDir home, runtime;
    const QString folder = home.path() + "/data/Zorvan";
    writeServers(folder, {{"Local", server.port(), true}}, 2);

    QProcess first;
    first.setProcessEnvironment(viewerEnvironment(home, runtime));
    first.setProcessChannelMode(QProcess::ForwardedChannels);
    first.start(ZORVAN_VIEWER_BINARY, {});
    ASSERT_TRUE(first.waitForStarted());
    ASSERT_TRUE(waitUntil(
        [&] { return !QDir(runtime.path()).entryList({"*.socket"}, QDir::System).isEmpty(); },
        60000))
        << "the first viewer listens for later starts";

    // No usable display: the second start must not make a window to hand over.
    QProcess second;
    QProcessEnvironment env = viewerEnvironment(home, runtime);
    env.insert("QT_QPA_PLATFORM", "no-such-platform");
    second.setProcessEnvironment(env);
    second.setProcessChannelMode(QProcess::ForwardedChannels);
    second.start(ZORVAN_VIEWER_BINARY, {"--anything"});
    ASSERT_TRUE(second.waitForFinished(60000));
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_EQ(first.state(), QProcess::Running);

    first.terminate();
    ASSERT_TRUE(first.waitForFinished(60000));
    EXPECT_EQ(first.exitCode(), 0);
    EXPECT_EQ(Settings::createInFolder(folder, "en")->cameraIdx(), 2) << "the file is whole";
}
