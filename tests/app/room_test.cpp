// SPDX-License-Identifier: GPL-3.0-or-later
// The control room in the whole viewer: a layout's cells drawn from several
// servers, each asked on its own with its own credentials, and what a cell
// says when its server or camera is gone.

#include "camerawall.h"
#include "controlroomhub.h"
#include "layouthistory.h"
#include "layoutseditor.h"
#include "layoutsfile.h"
#include "namedlist.h"
#include "previewtouchimage.h"
#include "roomscreen.h"
#include "roomwindow.h"
#include "touchview.h"
#include "tourschedule.h"
#include "viewerkit.h"
#include "viewtitles.h"

#include "base64.h"

#include <QListWidget>
#include <QSpinBox>

namespace {

std::string basic(const std::string& login, const std::string& password) {
    const std::string pair = login + ":" + password;
    return "Basic " + codec::base64Encode(pair.data(), pair.size(), false);
}

}  // namespace

// Three servers, one of which swallows every connection: the cells of the
// other two live on, each server sees only its own credentials and its own
// cameras, the silent one's cells say so within seconds, and no alert stops
// anything.
TEST_F(ViewerFixture, EachServerOfALayoutIsAskedOnItsOwn) {
    ScriptedServer a(camerasServer(camerasDoc({"A0", "A1"})));
    ScriptedServer b(camerasServer(camerasDoc({"B0", "B1", "B2"}), "[]"));
    ScriptedServer c([](const ScriptedServer::Request&) {
        return ScriptedServer::of(ScriptedServer::Reply::Kind::Stall);
    });
    writeServers(dir.path(), {{"Alpha", a.port(), true}, {"Beta", b.port()}, {"Gamma", c.port()}});
    const struct {
        const ScriptedServer* server;
        const char* login;
        const char* password;
    } credentials[] = {{&a, "alpha", "pa"}, {&b, "beta", "pb"}, {&c, "gamma", "pc"}};
    QStringList ids;
    {
        auto store = Settings::createInFolder(dir.path(), "en");
        for (size_t i = 0; i < 3; ++i) {
            const auto& server = store->getServers()[i];
            server->setLogin(credentials[i].login);
            server->setPassword(credentials[i].password);
            ids << server->serverId();
        }
        store->save();
        auto file = LayoutsFile::openInFolder(dir.path());
        Layout lobby;
        lobby.name = "Lobby";
        lobby.resize(2, 3);
        const auto ref = [&](int server, const char* uri, const char* name) {
            CameraRef r;
            r.serverId = ids[server];
            r.cameraUri = uri;
            r.cameraName = name;
            return r;
        };
        lobby.setCell(0, 0, ref(0, "/c/1", "A1"));
        lobby.setCell(0, 1, ref(1, "/c/2", "B2"));
        lobby.setCell(0, 2, ref(2, "/c/0", "G0"));
        lobby.setCell(1, 0, ref(1, "/c/9", "Gone"));
        CameraRef removed = ref(0, "/c/0", "A0");
        removed.serverId = "{00000000-0000-4000-8000-000000000001}";
        lobby.setCell(1, 1, removed);
        lobby.setCell(1, 2, ref(0, "/c/1", "A1"));  // the same camera twice
        file->room().layouts.push_back(lobby);
        ASSERT_TRUE(file->save());
    }
    start();
    ASSERT_TRUE(app->window()->showLayout("Lobby"));
    CameraWall* wall = app->window()->roomScreen()->wall();
    const auto picture = [&](int cell) {
        return cameraOfPicture(wall->cell(cell)->imageView()->picture());
    };
    const auto note = [&](int cell) { return wall->cell(cell)->imageView()->note(); };
    ASSERT_TRUE(waitUntil([&] { return picture(0) == 1 && picture(1) == 2 && picture(5) == 1; }))
        << "Alpha's and Beta's cells show their own cameras beside a silent server";
    EXPECT_TRUE(waitUntil([&] { return note(2).contains("Server is not available"); }))
        << note(2).toStdString();
    EXPECT_EQ(note(3), "Camera not found: Gone");
    EXPECT_EQ(note(4), "Server removed");

    // Both keep coming while the third stays silent.
    const size_t before = picturesOf(a) + picturesOf(b);
    EXPECT_TRUE(waitUntil([&] {
        return picturesOf(a) >= 3 && picturesOf(b) >= 3 &&
               picturesOf(a) + picturesOf(b) > before + 4;
    }));
    for (const auto& [server, login, password] : credentials) {
        for (const auto& r : server->requests()) {
            EXPECT_EQ(r.headers.at("authorization"), basic(login, password)) << r.target;
            // Each server is asked for its own cell's camera only.
            if (server == &a && r.target.find("/image") != std::string::npos)
                EXPECT_EQ(r.target.rfind("/c/1/image", 0), 0u) << r.target;
            if (server == &b && r.target.find("/image") != std::string::npos)
                EXPECT_EQ(r.target.rfind("/c/2/image", 0), 0u) << r.target;
        }
    }
    EXPECT_GE(c.requests().size(), 1u);
    for (const QString& text : alerts->texts) EXPECT_NE(text, "Server is not available");
}

// Every window comes back at the next start showing what it showed, full
// screen included; a window the person closed does not.
TEST_F(ViewerFixture, WindowsComeBackAsTheyWereLeft) {
    ScriptedServer a(camerasServer());
    writeServers(dir.path(), {{"Alpha", a.port(), true}});
    start();
    const QString id = settings->getServers().front()->serverId();
    app->hub()->edit([&](ControlRoom& room) { room.layouts.push_back(lobbyLayout(id, 2)); });
    WindowState wall;
    wall.shows = WindowState::Shows::ServerWall;
    wall.serverId = id;
    WindowState camera;
    camera.shows = WindowState::Shows::Camera;
    camera.serverId = id;
    camera.camera = CameraRef{id, "/c/1", "Yard", 1};
    app->newWindow(&wall);
    app->newWindow(&camera)->setFullScreen(true);
    app->newWindow()->close();  // closed by the person: forgotten
    ASSERT_TRUE(app->window()->showLayout("Lobby"));
    ASSERT_TRUE(waitUntil([&] { return app->roomWindows().size() == 2; }));
    quit();

    start();
    ASSERT_EQ(app->roomWindows().size(), 2u);
    const struct {
        RoomScreen::Shows shows;
        QString serverId;
        bool fullScreen;
    } expected[] = {{RoomScreen::Shows::WallPage, id, false},
                    {RoomScreen::Shows::Camera, "", true}};
    for (size_t i = 0; i < 2; ++i) {
        RoomWindow* w = app->roomWindows()[i].get();
        EXPECT_EQ(w->screenView()->shows(), expected[i].shows) << i;
        EXPECT_EQ(w->screenView()->source().serverId, expected[i].serverId) << i;
        EXPECT_EQ(w->isFullScreenOn(), expected[i].fullScreen) << i;
    }
    EXPECT_EQ(app->window()->roomScreen()->shows(), RoomScreen::Shows::Layout);
    EXPECT_EQ(app->window()->roomScreen()->name(), "Lobby");
    // The camera alone shows its picture (camera 1's colour).
    CameraWall* single = app->roomWindows()[1]->screenView()->wall();
    EXPECT_TRUE(
        waitUntil([&] { return cameraOfPicture(single->cell(0)->imageView()->picture()) == 1; }));
}

// Edit Layouts renaming, moving, resizing or deleting what the windows show
// (the main window's layout, another window's tour): each window stays on it
// under its new name with its cells live, and so does its kept state; a
// deleted one leaves the window on the server's own view with a note why.
TEST_F(ViewerFixture, EditsOfWhatTheWindowsShowNeverStopThem) {
    ScriptedServer a(camerasServer());
    writeServers(dir.path(), {{"Alpha", a.port(), true}});
    start();
    const QString id = settings->getServers().front()->serverId();
    const Layout lobby{"Lobby", 1, 1, {CameraRef{id, "/c/1", "Yard", 1}}};
    const Layout yard{"Yard", 1, 1, {CameraRef{id, "/c/2", "Roof", 2}}};
    const Tour rounds{"Rounds", {{TourStep::Kind::Layout, "Yard", {}, 0, 3600}}, 3600};
    WindowState touring;
    touring.shows = WindowState::Shows::Tour;
    touring.name = "Rounds";
    RoomWindow* other = app->newWindow(&touring);
    QAction* edit = nullptr;
    for (QAction* action : app->window()->findChildren<QAction*>())
        if (action->text() == "Edit Layouts…") edit = action;
    const auto press = [](QListWidget* list, int row, const QString& button) {
        list->setCurrentRow(row);
        for (auto* b : list->parentWidget()->findChildren<QPushButton*>())
            if (b->text() == button) b->click();
    };
    using Act = std::function<void(LayoutsEditor&, QListWidget * layouts, QListWidget * tours)>;
    // clang-format off
    const struct { const char* edit; Act act; QString layout, tour; int cells; } cases[] = {
        {"rename", [](auto&, auto* l, auto* t) { l->item(0)->setText("Hall"), t->item(0)->setText("Night"); }, "Hall", "Night", 1},
        {"reorder", [&](auto&, auto* l, auto*) { press(l, 0, "Move Down"); }, "Lobby", "Rounds", 1},
        {"grid", [](auto& e, auto* l, auto*) { for (int row : {0, 1}) l->setCurrentRow(row), e.template findChild<QSpinBox*>("rows")->setValue(2); }, "Lobby", "Rounds", 2},
        {"delete", [&](auto&, auto* l, auto* t) { press(l, 0, "Delete"), press(t, 0, "Delete"); }, "", "", 1},
    };
    // clang-format on
    for (const auto& c : cases) {
        app->hub()->edit([&](ControlRoom& r) { r.layouts = {lobby, yard}, r.tours = {rounds}; });
        ASSERT_TRUE(app->window()->showLayout("Lobby"));
        other->apply(touring);
        QTimer::singleShot(0, [&] {
            auto* e = qobject_cast<LayoutsEditor*>(QApplication::activeModalWidget());
            c.act(*e, e->findChild<NamedList*>("layouts")->list(),
                  e->findChild<NamedList*>("tours")->list());
            e->accept();
        });
        edit->trigger();
        const struct {
            RoomScreen* screen;
            RoomScreen::Shows left;  // after a delete: the main window's picture view is shown
            QString name, gone;
            std::string path;
            TouchImage* noted;
        } windows[] = {
            {app->window()->roomScreen(), RoomScreen::Shows::Nothing, c.layout,
             "Layout “Lobby” was deleted", "/c/1/", app->window()->mainImage()},
            {other->screenView(), RoomScreen::Shows::Camera, c.tour, "Tour “Rounds” was deleted",
             "/c/2/", other->screenView()->wall()->cell(0)->imageView()}};
        for (size_t i = 0; i < 2; ++i) {
            const auto& w = windows[i];
            const WindowState& kept = app->hub()->room().windows.at(i);
            if (w.name.isEmpty()) {
                EXPECT_EQ(w.noted->noteText(), w.gone) << c.edit << i;
                EXPECT_EQ(w.screen->shows(), w.left) << c.edit << i;
                EXPECT_EQ(kept.serverId, id) << c.edit << i << " kept as the server's view";
                continue;
            }
            EXPECT_EQ(w.screen->name(), w.name) << c.edit << i;
            EXPECT_EQ(kept.name, w.name) << c.edit << i;
            EXPECT_EQ(w.screen->wall()->cellCount(), c.cells) << c.edit << i;
            const size_t asked = countOf(a, w.path);
            EXPECT_TRUE(waitUntil([&] { return countOf(a, w.path) > asked + 1; }, 10000))
                << c.edit << i << " the cells stay live";
        }
    }
}

// A tour goes from step to step by itself, each step's cells live, and the
// person's pause and Page Down act at once.
TEST_F(ViewerFixture, ATourStepsOnByItselfAndAtThePersonsWord) {
    ScriptedServer a(camerasServer());
    writeServers(dir.path(), {{"Alpha", a.port(), true}});
    start();
    const QString id = settings->getServers().front()->serverId();
    app->hub()->edit([&](ControlRoom& room) {
        Layout roof;
        roof.name = "Roof";
        roof.resize(1, 1);
        roof.setCell(0, 0, CameraRef{id, "/c/2", "Roof", 2});
        room.layouts.push_back(roof);
        Tour tour;
        tour.name = "Rounds";
        tour.steps = {{TourStep::Kind::Layout, "Roof", {}, 0, 1},
                      {TourStep::Kind::ServerWall, {}, id, 0, 1}};
        room.tours.push_back(tour);
    });
    ASSERT_TRUE(app->window()->startTour("Rounds"));
    RoomScreen* room = app->window()->roomScreen();
    const auto picture = [&](int cell) {
        CameraWall* wall = room->wall();
        return cell < wall->cellCount() ? cameraOfPicture(wall->cell(cell)->imageView()->picture())
                                        : -1;
    };
    // Roof alone, then Alpha's wall (Gate, Yard, Roof), then Roof again.
    ASSERT_TRUE(waitUntil([&] { return room->wall()->cellCount() == 1 && picture(0) == 2; }));
    ASSERT_TRUE(waitUntil([&] { return room->wall()->cellCount() == 4 && picture(1) == 1; }));
    ASSERT_TRUE(waitUntil([&] { return room->wall()->cellCount() == 1; }));
    room->pauseOrResumeTour();
    EXPECT_TRUE(room->isTourPaused());
    room->nextStep();
    EXPECT_EQ(room->wall()->cellCount(), 4) << "Page Down shows the next step at once";
    EXPECT_TRUE(room->isTourPaused()) << "and the pause stays";
    room->stopTourOnStep();
    EXPECT_EQ(room->shows(), RoomScreen::Shows::WallPage) << "the step stays on screen";
}

// A file of many windows brings back 16 of them, the main window among them;
// the others stay in the file through the saves, for a later start.
TEST_F(ViewerFixture, AtMostSixteenWindowsComeBack) {
    ScriptedServer a(camerasServer());
    writeServers(dir.path(), {{"Alpha", a.port(), true}});
    Settings::createInFolder(dir.path(), "en")->save();  // the server's identity, kept
    // Windows that show nothing (their layout is gone), cheap to bring back.
    WindowState gone;
    gone.shows = WindowState::Shows::Layout;
    gone.name = "Gone";
    {
        auto file = LayoutsFile::openInFolder(dir.path());
        file->room().windows.assign(20, gone);
        file->room().windows.back().screenName = "last";
        ASSERT_TRUE(file->save());
    }
    start();
    EXPECT_EQ(app->roomWindows().size(), 15u);
    EXPECT_TRUE(waitUntil([&] { return !alerts->texts.empty(); }));
    EXPECT_EQ(alerts->texts, std::vector<QString>{LayoutsFile::kWindowsHeldAlert});
    quit();
    const QByteArray kept = readAll(dir.path() + "/layouts.json");
    EXPECT_EQ(kept.count("\"shows\""), 20);
    EXPECT_TRUE(kept.contains("\"screen\" : \"last\"")) << "kept as it was";
}

// Layouts whose saves fail (here the file's link leads nowhere yet) are
// said once and kept: the quit writes them once it can.
TEST_F(ViewerFixture, LayoutsThatCannotBeSavedAreSaidOnceAndKept) {
    ScriptedServer a(camerasServer());
    writeServers(dir.path(), {{"Alpha", a.port(), true}});
    ASSERT_TRUE(QFile::link(dir.path() + "/later/layouts.json", dir.path() + "/layouts.json"));
    start();
    for (const char* name : {"Kept", "Kept 2"})
        app->hub()->edit([&](ControlRoom& room) { room.layouts.push_back(Layout{name}); });
    EXPECT_TRUE(waitUntil([&] { return !alerts->texts.empty(); }, 5000));
    ASSERT_TRUE(writeAt(dir.path() + "/later/layouts.json", ""));
    quit();
    EXPECT_EQ(alerts->texts, std::vector<QString>{LayoutsFile::kSaveFailedAlert});
    EXPECT_EQ(LayoutsFile::openInFolder(dir.path())->room().layouts.size(), 2u);
}

// The tour's note as the schedule stands: the step, its place, and the time
// left or the pause's; seconds round up, so "0 s" never shows while running.
TEST(TourNote, SaysTheStepItsPlaceAndTheTimeLeftOrThePause) {
    constexpr std::int64_t s = TourSchedule::kSecondNs;
    // clang-format off
    const struct { const char* what; std::function<void(TourSchedule&)> act; std::int64_t at;
                   QString note; } cases[] = {
        {"at the start", [](TourSchedule&) {}, 0, "Lobby\nStep 1 of 3\n10 s left"},
        {"a moment later", [](TourSchedule&) {}, 500'000'000, "Lobby\nStep 1 of 3\n10 s left"},
        {"near its end", [](TourSchedule&) {}, 9 * s + 1, "Lobby\nStep 1 of 3\n1 s left"},
        {"the next step", [](TourSchedule& t) { t.next(2 * s); }, 4 * s, "Lobby\nStep 2 of 3\n18 s left"},
        {"paused by input", [](TourSchedule& t) { t.input(3 * s); }, 8 * s,
         "Lobby\nStep 1 of 3\nPaused — resumes in 25 s"},
        {"paused by the person", [](TourSchedule& t) { t.pause(3 * s); }, 8 * s, "Lobby\nStep 1 of 3\nPaused"},
    };
    // clang-format on
    for (const auto& c : cases) {
        TourSchedule tour({10 * s, 20 * s, 30 * s}, 30 * s);
        tour.start(0);
        c.act(tour);
        EXPECT_EQ(ViewTitles::tourNote("Lobby", tour, c.at).toStdString(), c.note.toStdString())
            << c.what;
    }
}

// The history of a layout's cells: undo and redo walk it, a new change
// drops what could be redone, renames keep it, deletions and changes made
// out of sight forget it, and it keeps at most kSteps.
TEST(LayoutHistory, TakesBackAndRedoesWhatWasSeen) {
    const auto grid = [](const char* name, int cam) {
        Layout l{name, 1, 1, {std::nullopt}};
        if (cam >= 0) l.cells[0] = CameraRef{"s", {}, {}, cam};
        return l;
    };
    LayoutHistory h;
    h.record(grid("L", -1), grid("L", 1));
    h.record(grid("L", 1), grid("L", 2));
    h.record(grid("L", 2), grid("M", 2));  // a rename alone is no step
    const auto cam = [](const std::optional<Layout>& l) {
        return !l ? -9 : l->cells[0] ? l->cells[0]->position : -1;
    };
    // clang-format off
    const struct { bool undo; int at, expected; } steps[] = {
        {true, 2, 1}, {true, 1, -1}, {true, -1, -9}, {false, -1, 1}, {false, 1, 2}, {false, 2, -9},
        {true, 2, 1}, {true, 3, -9},  // changed meanwhile: forgotten
        {true, 1, -9},
    };
    // clang-format on
    for (const auto& s : steps)
        EXPECT_EQ(cam(s.undo ? h.undo(grid("L", s.at)) : h.redo(grid("L", s.at))), s.expected)
            << s.undo << s.at;

    h.record(grid("L", 1), grid("L", 2));
    h.record(grid("L", 2), grid("L", 3));
    EXPECT_EQ(cam(h.undo(grid("L", 3))), 2);
    h.record(grid("L", 2), grid("L", 4));  // a new change: nothing to redo
    EXPECT_FALSE(h.canRedo("L"));
    h.rename({{"L", "Hall"}});
    EXPECT_EQ(h.undo(grid("Hall", 4))->name, "Hall");
    h.keepOnly({grid("Other", 0)});
    EXPECT_FALSE(h.canUndo("Hall"));
    for (int i = 0; i < 300; ++i) h.record(grid("L", i), grid("L", i + 1));
    int undone = 0;
    for (int at = 300; h.undo(grid("L", at)); --at) ++undone;
    EXPECT_EQ(undone, int(LayoutHistory::kSteps));
}

// In either kind of window a drop, a swap and a clear are taken back with
// Undo and done again with Redo; while its layouts are locked they are
// refused, with a note over the cell that says how to unlock.
TEST_F(ViewerFixture, ALayoutsChangesAreUndoneAndRefusedWhileLocked) {
    ScriptedServer a(camerasServer());
    writeServers(dir.path(), {{"Alpha", a.port(), true}});
    start();
    const QString id = settings->getServers().front()->serverId();
    const CameraRef gate{id, "/c/0", "Gate", 0}, yard{id, "/c/1", "Yard", 1};
    app->hub()->edit([&](ControlRoom& r) { r.layouts = {Layout{"Lobby", 1, 2, {gate, {}}}}; });
    ASSERT_TRUE(app->window()->showLayout("Lobby"));
    WindowState lobby;
    lobby.shows = WindowState::Shows::Layout;
    lobby.name = "Lobby";
    RoomWindow* other = app->newWindow(&lobby);
    const auto cells = [&] {
        QString s;
        for (const auto& c : app->hub()->room().layouts.front().cells)
            s += c ? c->cameraName : QString("-");
        return s.toStdString();
    };
    const struct {
        const char* name;
        ZVMainWindow* window;
        RoomScreen* screen;
    } windows[] = {{"first", app->window(), app->window()->roomScreen()},
                   {"other", other, other->screenView()}};
    for (const auto& w : windows) {
        RoomScreen* room = w.screen;
        room->setCell(1, yard);          // a drop
        room->swapCells(0, 1);           // a swap
        room->setCell(0, std::nullopt);  // a clear
        ASSERT_EQ(cells(), "-Gate") << w.name;
        const std::pair<QAction*, const char*> walk[] = {{w.window->menus().undo, "YardGate"},
                                                         {w.window->menus().undo, "GateYard"},
                                                         {w.window->menus().undo, "Gate-"},
                                                         {w.window->menus().redo, "GateYard"}};
        for (const auto& [action, expected] : walk) {
            EXPECT_TRUE(action->isEnabled()) << w.name << expected;
            action->trigger();
            EXPECT_EQ(cells(), expected) << w.name;
        }
        w.window->menus().lock->trigger();
        ASSERT_TRUE(w.window->layoutsLocked());
        EXPECT_TRUE(app->hub()->room().windows.at(&w - windows).locked) << w.name << " kept";
        room->setCell(0, std::nullopt);
        room->swapCells(0, 1);
        w.window->menus().undo->trigger();
        EXPECT_EQ(cells(), "GateYard") << w.name << " nothing changes while locked";
        EXPECT_EQ(room->wall()->cell(0)->imageView()->noteText(), RoomScreen::lockedText());
        w.window->setLayoutsLocked(false);
        w.window->menus().undo->trigger();
        EXPECT_EQ(cells(), "Gate-") << w.name;
    }
    lobby.locked = true;
    EXPECT_TRUE(app->newWindow(&lobby)->layoutsLocked()) << "a kept lock comes back";
}
