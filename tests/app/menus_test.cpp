// SPDX-License-Identifier: GPL-3.0-or-later
// The servers menu and cameras of the same name: what each choice shows,
// stores and writes to the settings file. The cameras menu and keys with
// one camera and on the wall are the wall test's.

#include "viewerkit.h"

TEST_F(ViewerFixture, TwinCamerasAndServersChosenAreShownStoredAndWritten) {
    ScriptedServer a(camerasServer(camerasDoc({"Gate", "Yard", "Twin", "Twin"})));
    ScriptedServer b(camerasServer(camerasDoc({"Dock", "Lobby"}), "[]"));
    // A stored index beyond the list: camera 0.
    writeServers(dir.path(), {{"Alpha", a.port(), true}, {"Beta", b.port()}}, 7);
    start();
    ASSERT_TRUE(waitForPictureOf(0));
    app->window()->camerasMenu()->actions().at(2)->trigger();  // same names: the later one
    EXPECT_EQ(checkedItems(app->window()->camerasMenu()), (std::vector<int>{2, 3}));
    EXPECT_EQ(settings->cameraIdx(), 3);
    ASSERT_TRUE(waitForPictureOf(3));

    // Another server: its first camera, and the old one's refresh ends.
    const auto alpha = settings->getCurrent();
    const auto beta = [&] { app->window()->serversMenu()->actions().at(1)->trigger(); };
    beta();
    EXPECT_FALSE(alpha->isRefreshing()) << "only the current server is polled";
    EXPECT_EQ(checkedItems(app->window()->serversMenu()), std::vector<int>{1});
    EXPECT_EQ(settings->cameraIdx(), 0);
    EXPECT_FALSE(soundAvailable()) << "Beta's lists have not arrived";
    EXPECT_TRUE(waitUntil([&] { return onDisk()->cameraIdx() == 0; })) << "and written";
    ASSERT_TRUE(waitUntil([&] { return titles(app->window()->camerasMenu()).size() == 2; }));
    ASSERT_TRUE(waitForPictureOf(0));
    QTest::keyClick(app->window()->mainImage(), Qt::Key_Right);
    const size_t lists = countOf(b, "/cameras");
    beta();  // the current server again: a fresh load from camera 0
    EXPECT_EQ(settings->cameraIdx(), 0);
    ASSERT_TRUE(waitUntil([&] { return countOf(b, "/cameras") > lists; }));
    ASSERT_TRUE(waitForPictureOf(0));
    quit();
    EXPECT_EQ(onDisk()->getCurrent()->name(), "Beta");
}
