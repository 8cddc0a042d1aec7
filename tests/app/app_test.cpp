// SPDX-License-Identifier: GPL-3.0-or-later
// The whole viewer against scripted servers: what a start shows, the alert
// each server answer leaves, the alerts' queue and the window's frame.

#include <QScreen>

#include "viewerkit.h"
#include "windowplacement.h"

TEST_F(ViewerFixture, EachServerAnswerLeavesItsAlertAndCamerasMenu) {
    // atReload: else the answer comes at the start; no script: the server is gone.
    // clang-format off
    const struct { bool stored, atReload; ScriptedServer::Script script;
                   std::vector<QString> alerts; int cameraItems; } cases[] = {
        {true, true, nullptr, {"Server is not available"}, 0},
        {true, true, camerasServer(kThree, "<b>"), {"Error"}, 3},
        {true, false, camerasServer("{}"), {"Error"}, 0},
        {true, false, camerasServer("[]", "[1]"), {}, 0},
        {false, false, camerasServer(), {}, 0},
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.stored << c.atReload << c.cameraItems);
        ScriptedServer server(camerasServer());
        writeServers(dir.path(), {}, 2);
        if (c.stored) writeServers(dir.path(), {{"Local", server.port(), true}}, 2);
        alerts->texts.clear();
        const auto answer = [&] { c.script ? server.setScript(c.script) : server.stop(); };
        if (!c.atReload) answer();
        start();
        if (c.atReload) {
            ASSERT_TRUE(waitForPictureOf(2));
            answer();
            app->openServer();
        }
        spinFor(400);
        ASSERT_TRUE(waitUntil([&] { return alerts->texts.size() >= c.alerts.size(); }));
        EXPECT_EQ(alerts->texts, c.alerts);
        EXPECT_EQ(app->window()->camerasMenu()->actions().size(), c.cameraItems);
        EXPECT_EQ(server.requests().empty(), !c.stored);
        quit();
    }
}

TEST_F(ViewerFixture, AlertsComeOneAtATimeInOrderAndARunOfTheSameIsShownOnce) {
    ScriptedServer server(camerasServer());
    writeServers(dir.path(), {{"Local", server.port(), true}});
    start();
    ASSERT_TRUE(waitForPictureOf(0));
    alerts->hold = true;
    std::vector<std::thread> reporters;
    reporters.emplace_back([&] { app->badResponse(); });
    ASSERT_TRUE(waitUntil([] { return QApplication::activeModalWidget() != nullptr; }));
    // (Not "Server is not available": its silent retries may close it.)
    for (int i = 0; i < 3; ++i) reporters.emplace_back([&] { app->noConnection(); });
    spinFor(300);  // these three have reached the main thread by now
    reporters.emplace_back([&] { app->badResponse(); });
    spinFor(300);
    alerts->hold = false;
    ASSERT_TRUE(waitUntil([&] { return alerts->texts.size() >= 3; }));
    spinFor(100);
    for (auto& t : reporters) t.join();  // each released by its own alert
    EXPECT_EQ(alerts->texts, (std::vector<QString>{"Error", "Connection error", "Error"}));
    EXPECT_EQ(alerts->maxOpen, 1) << "an alert opened over another";
}

TEST_F(ViewerFixture, FrameIsKeptAtQuitEvenInFullScreenAndPlacedWholeOnTheScreen) {
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    QRect centred(0, 0, 507, 363);
    centred.moveCenter(screen.center());
    start();  // a first start: no settings file
    EXPECT_EQ(app->window()->geometry(), centred);
    const QRect frame(100, 60, 600, 400);
    app->window()->setGeometry(frame);
    QTest::keyClick(app->window()->mainImage(), Qt::Key_F11);
    ASSERT_TRUE(app->window()->isFullScreen());
    quit();
    EXPECT_EQ(onDisk()->getWinPosition(), QRectF(frame)) << "the window's own frame";
    start();
    EXPECT_EQ(app->window()->geometry(), frame) << "the next start places it there";
    // Frames stored for another monitor come back whole on this one.
    // clang-format off
    const struct { QRectF stored; QRect placed; } cases[] = {
        {{-20000, 30000, 600, 400}, {screen.left(), screen.bottom() - 399, 600, 400}},
        {QRectF(screen.right() - 50, screen.bottom() - 50, 5000, 4000), screen},
    };
    // clang-format on
    for (const auto& c : cases) EXPECT_EQ(WindowPlacement::placed(c.stored), c.placed);
}
