// SPDX-License-Identifier: GPL-3.0-or-later
// The cameras in the whole viewer, alone and on the wall: the cameras menu,
// the View menu's commands, the keys, wheel and clicks, the switch to one
// camera and back, the sound that follows the selection, and what is stored
// and written. Layout and paging are WallPages', the zoom's arithmetic
// ZoomState's.

#include <QFile>
#include <QSlider>
#include <QTest>
#include <QWheelEvent>

#include "camerawall.h"
#include "controlroomhub.h"
#include "previewtouchimage.h"
#include "roomscreen.h"
#include "roomwindow.h"
#include "touchview.h"
#include "ui_zvmainwindow.h"
#include "viewerkit.h"

TEST_F(ViewerFixture, CamerasAloneAndOnTheWallFollowEveryCommandKeyAndClick) {
    std::vector<std::string> names;
    for (int k = 0; k < 10; ++k) names.push_back("C" + std::to_string(k));
    ScriptedServer a(camerasServer(camerasDoc(names)));  // camera 1 has the microphone
    // Unknown values: no wall, four cameras a page.
    writeServers(dir.path(), {{"Alpha", a.port(), true, 7, -3}}, 6);
    start();
    ASSERT_TRUE(waitForPictureOf(6));
    // Through the viewer of the moment: the test starts a second one.
    const auto ui = [&]() -> Ui::ZVMainWindow& { return app->window()->ui(); };
    const auto wall = [&] { return app->window()->cameraWall(); };
    const auto wallShown = [&] {
        return !wall()->isHidden() && app->window()->mainImage()->isHidden();
    };
    const auto first = [&] { return wall()->cell(0)->imageView()->caption(); };
    const auto key = [&](Qt::Key k) {
        QTest::keyClick(wallShown() ? static_cast<QWidget*>(wall()) : app->window()->mainImage(),
                        k);
    };
    const auto cell = [&](int i) { return wall()->cell(i)->imageView(); };
    const auto menu = [&](int i) { app->window()->camerasMenu()->actions().at(i)->trigger(); };
    const auto rightClick = [&](int i) {
        QTest::mousePress(cell(i), Qt::RightButton);
        if (QWidget* menu = QApplication::activePopupWidget()) menu->close();
    };
    // Two wheel notches with Ctrl at the top left corner: 2x there, and the
    // pictures asked for and decoded at twice the view's size.
    const auto view = [&] { return app->window()->mainImage(); };
    const auto zoomIn = [&] {
        QWheelEvent wheel({0, 0}, view()->mapToGlobal(QPointF(0, 0)), {}, {0, 240}, Qt::NoButton,
                          Qt::ControlModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(view(), &wheel);
    };
    const auto shownAt = [&](int zoom) {
        return view()->picture().size() == view()->size() * zoom;
    };
    EXPECT_FALSE(wallShown());
    // first: the page's first camera, "" for one camera alone; selected: the
    // camera, stored, written and checked in the menu.
    // clang-format off
    const struct { const char* what; std::function<void()> act; QString first; int selected;
                   bool soundOn = false; std::function<bool()> shows = {}; } steps[] = {
        {"Ctrl+wheel, one camera", zoomIn, "", 6, false,
         [&] { return view()->zoom().visible() == QRectF(0, 0, .5, .5) && shownAt(2); }},
        {"the cameras menu, one camera", [&] { menu(1); }, "", 1, false,
         [&] { return view()->zoom().visible() == QRectF(0, 0, 1, 1) && shownAt(1); }},
        {"Right, one camera", [&] { key(Qt::Key_Right); }, "", 2},
        {"Left, one camera", [&] { key(Qt::Key_Left); }, "", 1},
        {"the cameras menu again", [&] { menu(6); }, "", 6},
        {"the camera shown", [&] { menu(6); }, "", 6},
        {"Ctrl+G", [&] { ui().actionCameraWall->trigger(); }, "C4", 6},
        {"nine a page", [&] { ui().camerasOnPageMenu->actions().at(2)->trigger(); }, "C0", 6},
        {"Enter", [&] { key(Qt::Key_Return); }, "", 6},
        {"Escape", [&] { key(Qt::Key_Escape); }, "C0", 6},
        {"Page Down", [&] { ui().actionNextPage->trigger(); }, "C9", 9},
        {"Page Up", [&] { ui().actionPreviousPage->trigger(); }, "C0", 0},
        {"Right", [&] { key(Qt::Key_Right); }, "C0", 1},
        {"sound on", [&] { ui().actionSound->trigger(); }, "C0", 1, true},
        {"a click on the selected camera", [&] { QTest::mouseClick(cell(1), Qt::LeftButton); },
         "C0", 1, true},
        {"the cameras menu", [&] { menu(9); }, "C9", 9},
        {"a click on an empty cell", [&] { QTest::mouseClick(cell(3), Qt::LeftButton); }, "C9", 9},
        {"Page Up again", [&] { ui().actionPreviousPage->trigger(); }, "C0", 0},
        {"a double click", [&] { QTest::mouseDClick(cell(2), Qt::LeftButton); }, "", 2},
        {"Escape to the camera's page", [&] { key(Qt::Key_Escape); }, "C0", 2},
        {"a right click on a camera", [&] { rightClick(1); }, "C0", 1},
    };
    // clang-format on
    for (const auto& s : steps) {
        SCOPED_TRACE(s.what);
        s.act();
        ASSERT_EQ(wallShown(), !s.first.isEmpty());
        if (wallShown()) EXPECT_EQ(first(), s.first);
        if (wallShown()) EXPECT_EQ(wall()->selectedCell(), s.selected % wall()->cellCount());
        if (!wallShown()) EXPECT_TRUE(waitForPictureOf(s.selected));
        if (s.shows) EXPECT_TRUE(waitUntil(s.shows)) << "the zoom and the size asked";
        EXPECT_EQ(settings->getCurrent()->previewRegim == 1, wallShown());
        EXPECT_EQ(settings->cameraIdx(), s.selected);
        EXPECT_EQ(checkedItems(app->window()->camerasMenu()), std::vector<int>{s.selected});
        EXPECT_EQ(soundAvailable(), s.selected == 1);
        EXPECT_EQ(AppAccess::audioSlider(*app)->isEnabled(), s.selected == 1);
        EXPECT_EQ(ui().actionSound->isChecked(), s.soundOn)
            << "sound ends with its camera, not with a click on it";
        ASSERT_TRUE(waitUntil([&] { return onDisk()->cameraIdx() == s.selected; })) << "written";
    }
    ASSERT_TRUE(waitUntil([&] { return cameraOfPicture(cell(1)->picture()) == 1; }))
        << "the cells are live";
    quit();
    EXPECT_EQ(onDisk()->getCurrent()->previewRegim, 1);
    EXPECT_EQ(onDisk()->getCurrent()->camOnPage, 9);
    start();  // the next start comes back on the same wall and page
    ASSERT_TRUE(waitUntil([&] { return wallShown() && first() == "C0"; }));
    EXPECT_EQ(wall()->selectedCell(), 1);

    a.setScript(camerasServer("[]"));  // a camera list emptied empties the wall
    app->openServer();
    ASSERT_TRUE(waitUntil([&] { return first() == ""; }));
    EXPECT_EQ(wall()->selectedCell(), -1);
    ui().actionNextPage->trigger();
    key(Qt::Key_Right);
    EXPECT_EQ(settings->cameraIdx(), 1) << "nothing to select";
    ui().actionCameraWall->trigger();
    EXPECT_FALSE(wallShown());
    EXPECT_EQ(settings->getCurrent()->previewRegim, 0);
}

// The shown camera's server stops taking connections (the probe stops its
// pictures), the person turns the wall on, and the server comes back: the
// cells ask for their pictures and the hidden one-camera view for none, also
// after the window is hidden and shown again.
TEST_F(ViewerFixture, UnderTheWallTheHiddenCameraViewAsksForNothing) {
    auto server = std::make_unique<ScriptedServer>(camerasServer());
    const int port = server->port();
    writeServers(dir.path(), {{"Local", port, true}}, 1);
    start();
    ASSERT_TRUE(waitForPictureOf(1));
    const QSize one = app->window()->mainImage()->askedPixels();
    const std::string oneSize =
        "resolution=" + std::to_string(one.width()) + "x" + std::to_string(one.height());
    const auto current = settings->getCurrent();
    server.reset();
    ASSERT_TRUE(waitUntil([&] { return !current->isRefreshing(); })) << "the probe's rest";
    app->window()->toggleWall(true);
    server = std::make_unique<ScriptedServer>(camerasServer(), port);
    ASSERT_TRUE(server->listening());
    ASSERT_TRUE(waitUntil([&] { return picturesOf(*server) >= 8; })) << "the cells are live";
    app->window()->hide();
    app->window()->show();
    spinFor(2500);
    EXPECT_EQ(countOf(*server, oneSize), 0u) << oneSize;
    EXPECT_FALSE(current->isRefreshing());
}

// Every window's title says what it shows, and a server's wall names each
// camera's server once the list holds more than one.
TEST_F(ViewerFixture, TitlesAndWallCaptionsSayWhatIsShown) {
    ScriptedServer a(camerasServer()), b(camerasServer()), c(camerasServer());
    const struct {
        std::vector<ServerEntry> servers;
        QString wallCell, oneCamera;
    } lists[] = {
        {{{"Shop", a.port(), true}}, "Gate", ""},
        {{{"Shop", a.port(), true}, {"Depot", b.port()}, {"Yard", c.port()}},
         "Gate — Shop",
         "Gate — Shop"},
    };
    for (const auto& list : lists) {
        SCOPED_TRACE(list.wallCell.toStdString());
        if (app) quit();
        writeServers(dir.path(), list.servers);
        QFile::remove(dir.path() + "/layouts.json");  // no window of the run before
        start();
        const QString shop = settings->getServers().front()->serverId();
        app->hub()->edit([&](ControlRoom& room) {
            room.layouts = {lobbyLayout(shop, 1)};
            room.tours = {{"Night",
                           {{TourStep::Kind::ServerWall, {}, shop, 0, 3600},
                            {TourStep::Kind::Layout, "Lobby", {}, 0, 3600}},
                           30}};
        });
        RoomWindow* other = app->newWindow();
        const auto shows = [&](WindowState::Shows what, const QString& name = {}) {
            WindowState state;
            state.shows = what;
            state.serverId = shop;
            state.camera = {shop, "/c/0", "Gate", 0};
            state.name = name;
            other->apply(state);
        };
        const auto wallOf = [&](RoomScreen* room) {
            return room->isVisible() ? room->wall() : app->window()->cameraWall();
        };
        // clang-format off
        const struct { const char* what; std::function<void()> act; QString title, cell; } steps[] = {
            {"one camera", [&] { shows(WindowState::Shows::Camera); }, "Gate — Shop — Zorvan", ""},
            {"the wall", [&] { app->window()->toggleWall(true); shows(WindowState::Shows::ServerWall); },
             "Shop — Camera Wall — Zorvan", list.wallCell},
            {"a layout", [&] { app->window()->showLayout("Lobby"); shows(WindowState::Shows::Layout, "Lobby"); },
             "Lobby — Zorvan", "Roof — Shop"},
            {"a tour", [&] { app->window()->startTour("Night"); shows(WindowState::Shows::Tour, "Night"); },
             "Night — Shop — Camera Wall (1/2) — Zorvan", list.wallCell},
            {"its next step", [&] { app->window()->roomScreen()->nextStep(); other->screenView()->nextStep(); },
             "Night — Lobby (2/2) — Zorvan", "Roof — Shop"},
        };
        // clang-format on
        for (const auto& s : steps) {
            SCOPED_TRACE(s.what);
            s.act();
            for (QWidget* window :
                 {static_cast<QWidget*>(app->window()), static_cast<QWidget*>(other)})
                EXPECT_TRUE(waitUntil([&] { return window->windowTitle() == s.title; }))
                    << window->windowTitle().toStdString();
            if (s.cell.isEmpty()) {
                EXPECT_EQ(app->window()->mainImage()->caption(), list.oneCamera);
                continue;
            }
            for (RoomScreen* room : {app->window()->roomScreen(), other->screenView()})
                EXPECT_TRUE(waitUntil([&] {
                    return wallOf(room)->cellCount() > 0 &&
                           wallOf(room)->cell(0)->imageView()->caption() == s.cell;
                })) << wallOf(room)->cell(0)->imageView()->caption().toStdString();
        }
    }
}

// The viewer on server a with the layout "Lobby" of one row of columns
// cells, its last showing camera 2.
class LobbyFixture : public ViewerFixture {
protected:
    void startWithLobby(const ScriptedServer& a, int columns) {
        writeServers(dir.path(), {{"Alpha", a.port(), true}});
        start();
        const QString id = settings->getServers().front()->serverId();
        app->hub()->edit(
            [&](ControlRoom& room) { room.layouts.push_back(lobbyLayout(id, columns)); });
    }
};

// Leaving full screen gives the screen saver back in either kind of window,
// also where the window covered its screen by itself (no window manager):
// Qt then drops the full-screen flag from the window's state without a
// word, and leaving full screen sends no state change either.
TEST_F(LobbyFixture, LeavingFullScreenGivesTheScreenSaverBack) {
    ScriptedServer a(camerasServer());
    startWithLobby(a, 2);
    ASSERT_TRUE(app->window()->showLayout("Lobby"));
    RoomWindow* other = app->newWindow();
    const struct {
        const char* name;
        std::function<void(bool)> setFullScreen;
        RoomScreen* screen;
        QWidget* window;
    } windows[] = {
        {"main", [&](bool on) { app->window()->mainImage()->setFullScreen(on); },
         app->window()->roomScreen(), app->window()->mainImage()->window()},
        {"other", [&](bool on) { other->setFullScreen(on); }, other->screenView(), other},
    };
    for (const auto& w : windows) {
        w.setFullScreen(true);
        spinFor(100);
        ASSERT_TRUE(w.screen->holdsScreenSaver()) << w.name;
        w.window->setGeometry(w.window->screen()->geometry().adjusted(0, 0, -1, -1));
        spinFor(50);
        w.setFullScreen(false);
        EXPECT_TRUE(waitUntil([&] { return !w.screen->holdsScreenSaver(); })) << w.name;
    }
}

// Other windows ask for pictures from their first show, with no window
// state change (no window manager); a kiosk start with --full-screen puts
// its window in front of the windows that came back over it.
TEST_F(LobbyFixture, OtherWindowsAreLiveAtOnceAndAKioskWindowIsInFront) {
    ScriptedServer a(camerasServer());
    startWithLobby(a, 1);
    app->window()->mainImage()->setFullScreen(true);
    RoomWindow* other = app->newWindow();
    ASSERT_TRUE(other->isVisible());
    EXPECT_FALSE(other->screenView()->isResting());
    EXPECT_TRUE(waitUntil([&] {
        return cameraOfPicture(other->screenView()->wall()->cell(0)->imageView()->picture()) == 2;
    }));
    app->newWindow();
    spinFor(50);
    QString message;
    ASSERT_EQ(app->applyCommandLine({"zorvan", "--layout", "Lobby", "--full-screen"}, &message), 0);
    EXPECT_TRUE(waitUntil([&] { return QApplication::activeWindow() == app->window(); }));
}

// The command line finds a layout, server or camera in any case, and an
// unknown name's error lists the known ones, refused before anything changes.
TEST_F(LobbyFixture, TheCommandLineFindsNamesAsTyped) {
    ScriptedServer a(camerasServer());
    startWithLobby(a, 2);
    ASSERT_TRUE(waitUntil([&] { return app->window()->camerasMenu()->actions().size() == 3; }));
    const struct {
        QStringList args;
        int status;
        const char* message;
        const char* title;  // what the first window shows then
    } rows[] = {
        {{"--layout", "LOBBY"}, 0, "", "Lobby — Zorvan"},
        {{"--layout", "Hall"}, 2, "No layout named \"Hall\". Layouts: Lobby.", "Lobby — Zorvan"},
        {{"--server", "alpha", "--camera", "YARD"}, 0, "", "Yard — Alpha — Zorvan"},
        {{"--server", "Beta"},
         2,
         "No server named \"Beta\". Servers: Alpha.",
         "Yard — Alpha — Zorvan"},
        {{"--server", "Alpha", "--camera", "Door"},
         2,
         "No camera named \"Door\" on Alpha. Cameras: Gate, Yard, Roof.",
         "Yard — Alpha — Zorvan"},
    };
    for (const auto& r : rows) {
        QString message;
        EXPECT_EQ(app->applyCommandLine(QStringList{"zorvan"} + r.args, &message), r.status)
            << r.args.join(' ').toStdString();
        EXPECT_EQ(message, r.message);
        EXPECT_TRUE(waitUntil([&] { return app->window()->windowTitle() == r.title; }))
            << r.title << " / " << app->window()->windowTitle().toStdString() << " / "
            << message.toStdString();
    }
}
