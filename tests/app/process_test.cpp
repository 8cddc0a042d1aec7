// The viewer executable itself: it quits cleanly on SIGTERM in the middle of
// a picture request to a stalled server, and leaves its settings file whole.

#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "viewerkit.h"

TEST(ViewerProcess, TerminatesCleanlyDuringAStalledPictureRequest) {
    ScriptedServer server([](const ScriptedServer::Request& r) {
        if (r.target.find("resolution=") != std::string::npos) {
            return ScriptedServer::of(ScriptedServer::Reply::Kind::Stall);
        }
        return camerasServer()(r);
    });
    QTemporaryDir home;
    const QString folder = home.path() + "/data/Zorvan";
    writeServers(folder, {{"Local", server.port(), true}}, 1);

    QProcess viewer;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("HOME", home.path());
    env.insert("XDG_DATA_HOME", home.path() + "/data");
    env.insert("QT_QPA_PLATFORM", "offscreen");
    viewer.setProcessEnvironment(env);
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
