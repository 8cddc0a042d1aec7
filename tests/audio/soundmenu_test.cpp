// SPDX-License-Identifier: GPL-3.0-or-later
// The sound menu of the whole viewer against the demo server: the toggle
// starts the stream, the status line shows its state, and the server list
// pauses it. (Which cameras offer sound is the application suite's; quitting
// with a running stream is the player front's.)

#include <QLabel>
#include <QLineEdit>
#include <QTest>

#include "demoserver.h"
#include "playerview.h"
#include "qvraudiostream.h"
#include "soundsink.h"
#include "viewerkit.h"
#include "zvserversettings.h"

using SoundMenu = ViewerFixture;

TEST_F(SoundMenu, StatusLineAndPauseForTheServerList) {
    NEED_SOUND_SERVER();
    DemoServer demo({"127.0.0.1", 0, "", "", 0});
    ASSERT_TRUE(demo.start()) << demo.errorString();
    writeServers(dir.path(), {{"Demo", demo.port(), true}});  // camera 0 has a microphone
    start();
    ASSERT_TRUE(waitUntil([&] { return !app->window()->camerasMenu()->actions().isEmpty(); }));
    QAction* toggle = app->window()->soundMenu()->actions().at(0);
    QLabel* line = app->window()->findChild<QLabel*>("soundStatusLine");
    ASSERT_NE(line, nullptr);
    toggle->trigger();
    const auto stream = AppAccess::playerView(*app)->netStreamer();
    ASSERT_TRUE(stream);
    ASSERT_TRUE(waitUntil([&] { return line->text() == "Playing"; }, 60000))
        << line->text().toStdString();
    EXPECT_TRUE(line->isVisibleTo(app->window()));

    // The server list open: the sound goes on until its server is edited
    // there; then nothing may reach a half-typed address, so it pauses (its
    // toggle stays on) and comes back at the close.
    app->preference();
    spinFor(300);
    EXPECT_EQ(stream->status(), QVRAudioStream::Playing) << "the list alone pauses nothing";
    ZVServerSettings* list = AppAccess::settingsWindow(*app);
    list->selectRow(0);
    QTest::keyClick(list->findChild<QLineEdit*>("name"), 'x');
    EXPECT_TRUE(waitUntil([&] { return !stream->isPlaying() && !stream->downloadThreadInUse(); }));
    EXPECT_TRUE(toggle->isChecked());
    spinFor(300);
    EXPECT_FALSE(stream->downloadThreadInUse()) << "no stream while the list is open";
    list->close();
    ASSERT_TRUE(waitUntil([&] { return stream->status() == QVRAudioStream::Playing; }, 60000));
    app->applicationWillTerminate();
}
