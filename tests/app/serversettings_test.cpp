// SPDX-License-Identifier: GPL-3.0-or-later
// The server-list dialog with the whole viewer: what each close leaves in
// the store, in the settings file and in the servers menu, that nothing is
// asked of a half-typed address, and that only the server edited rests.

#include <QLineEdit>
#include <QTest>

#include "controlroomhub.h"
#include "ui_zvserversettings.h"
#include "viewerkit.h"
#include "zvserversettings.h"

namespace {

class ServerList : public ViewerFixture {
protected:
    ZVServerSettings* open() {
        app->preference();
        return AppAccess::settingsWindow(*app);
    }
    // Types into a field of the dialog as a person would.
    static void type(QLineEdit* field, const QString& text) {
        field->selectAll();
        QTest::keyClicks(field, text);
    }
};

}  // namespace

TEST_F(ServerList, OpensOnceWithNoSelectionAndEditsTheRecordAtOnce) {
    writeServers(dir.path(), {{"Alpha", 9, true}});
    start();
    ZVServerSettings* dialog = open();
    ASSERT_TRUE(dialog && dialog->isVisible());
    EXPECT_FALSE(dialog->ui().name->isEnabled()) << "nothing to edit without a selection";
    EXPECT_EQ(open(), dialog) << "the same window is brought to the front";
    dialog->selectRow(0);
    const Ui::ZVServerSettings& ui = dialog->ui();
    QStringList typed;
    for (QLineEdit* field : {ui.name, ui.address, ui.port, ui.login, ui.password, ui.fps}) {
        typed << QString(" a b/@:%1 ").arg(typed.size());
        type(field, typed.back());
    }
    const auto& r = *settings->getServers()[0];
    EXPECT_EQ(QStringList({r.name(), r.host(), r.port(), r.login(), r.password(), r.fps()}), typed)
        << "each field its own value, at once, as typed";
}

TEST_F(ServerList, EachCloseOrQuitLeavesTheDialogsListInTheStoreTheFileTheMenuAndThePolling) {
    // Steps: "#n" selects row n, "-" removes, "+Name" adds and names, "=Name" renames.
    // quit: instead of closing the dialog.
    // clang-format off
    const struct { const char* steps; QStringList after; bool quit = false; } cases[] = {
        {"", {"One", "Two", "Three"}},
        {"+Four +Five", {"One", "Two", "Three", "Four", "Five"}},
        {"#0 - -", {"Three"}},       // the next one is selected after a removal
        {"#0 -", {"Two", "Three"}},  // the current server removed: the first is loaded
        {"#1 =Second", {"One", "Second", "Three"}},
        {"-", {"One", "Two", "Three"}},  // nothing selected
        {"#0 - - -", {}},                // all removed: nothing is asked any more
        {"#1 - +New", {"One", "Three", "New"}, true},
    };
    // clang-format on
    ScriptedServer one(camerasServer()), two(camerasServer());
    for (const auto& c : cases) {
        SCOPED_TRACE(c.steps);
        writeServers(dir.path(), {{"One", one.port(), true}, {"Two", two.port()}, {"Three", 9}});
        start();
        const size_t fromOne = picturesOf(one);
        ASSERT_TRUE(waitUntil([&] { return picturesOf(one) > fromOne; }));
        const auto first = settings->getCurrent();
        ZVServerSettings* dialog = open();
        for (const QString& step : QString(c.steps).split(' ', Qt::SkipEmptyParts)) {
            if (step[0] == '#') dialog->selectRow(step.mid(1).toInt());
            if (step[0] == '-') dialog->removeServer();
            if (step[0] == '+') dialog->addServer();
            if (step[0] == '+' || step[0] == '=') type(dialog->ui().name, step.mid(1));
        }
        QFile::remove(dir.filePath("settings.dat"));
        if (!c.quit) {
            const size_t fromTwo = picturesOf(two);
            dialog->close();
            EXPECT_FALSE(dialog->isVisible());
            EXPECT_EQ(namesOf(*settings), c.after);
            EXPECT_EQ(titles(app->window()->serversMenu()), c.after)
                << "the servers menu is rebuilt";
            EXPECT_EQ(namesOf(*onDisk()), c.after) << "the file is written at the close";
            const auto current = settings->getCurrent();
            EXPECT_EQ(current ? current->name() : "", c.after.value(0));
            if (current != first) EXPECT_FALSE(first->isRefreshing()) << "one server polled";
            if (c.after.value(0) == "Two")
                EXPECT_TRUE(waitUntil([&] { return picturesOf(two) > fromTwo; }));
            if (!current) {    // nothing is asked any more
                spinFor(200);  // requests already out may still arrive
                const size_t asked = one.requests().size() + two.requests().size();
                app->openServer();
                spinFor(400);
                EXPECT_EQ(one.requests().size() + two.requests().size(), asked);
            }
        }
        quit();
        EXPECT_EQ(namesOf(*onDisk()), c.after);
    }
}

// A person retypes the current server's port one digit at a time while its
// pictures flow (or its silent retries run), pausing between keystrokes.
// Every value on the way is a port where another server listens; none of
// them is asked anything, whatever else the person does meanwhile, and at
// the close the lists load from the final value.
TEST_F(ServerList, TypedPortNeverReachesAnotherServer) {
    // reachable: pictures flow before, else the retries run; wall 1: every
    // camera of the page asks, not the shown one alone.
    // clang-format off
    const struct { const char* name; bool reachable; std::function<void(ZorvanMacAppDelegate&)> midway;
                   int wall = 0; } cases[] = {
        {"pictures flowing", true, {}},
        {"retries running", false, {}},
        {"a camera chosen midway", true,
         [](auto& a) { a.window()->changeCamera(a.window()->camerasMenu()->actions().value(1)); }},
        {"the server chosen midway", true,
         [](auto& a) { a.window()->changeServer(a.window()->serversMenu()->actions().value(0)); }},
        {"a reload midway", true, [](ZorvanMacAppDelegate& a) { a.openServer(); }},
        {"the camera wall on", true, {}, 1},
    };
    // clang-format on
    const auto script = camerasServer(camerasDoc({"Gate", "Yard"}));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        // The final server on a port of the kernel's choosing; every other
        // server listens where a half-typed value would point.
        ScriptedServer final(script);
        const QString port = QString::number(final.port());
        std::vector<std::unique_ptr<ScriptedServer>> decoys;
        for (int n = 1; n < port.size(); ++n)
            decoys.push_back(std::make_unique<ScriptedServer>(script, port.left(n).toInt()));
        auto initial = std::make_unique<ScriptedServer>(script);
        writeServers(dir.path(), {{"Mine", initial->port(), true, c.wall}});
        if (!c.reachable) initial.reset();
        start([&](ZorvanMacAppDelegate& a) {
            ReconnectorTestAccess::setTiming(*a.reconnector(), {100, 100, 5000});
        });
        ASSERT_TRUE(waitUntil([&] {
            return initial ? picturesOf(*initial) > 2u * c.wall : app->reconnector()->isActive();
        }));
        ZVServerSettings* dialog = open();
        dialog->selectRow(0);
        dialog->ui().port->selectAll();
        for (qsizetype k = 0; k < port.size(); ++k) {
            QTest::keyClick(dialog->ui().port, port[k].toLatin1());
            spinFor(200);  // long enough for a picture tick and a retry
            if (c.midway && k == port.size() / 2) c.midway(*app);
        }
        const auto asked = [&] {
            size_t n = 0;
            for (const auto& d : decoys) n += d->requests().size();
            return n;
        };
        EXPECT_EQ(asked(), 0u) << "a half-typed value was asked";
        EXPECT_EQ(final.requests().size(), 0u) << "nothing leaves before the close";
        dialog->close();
        EXPECT_TRUE(waitUntil([&] { return picturesOf(final) > 0; }))
            << "the lists and pictures come from the final value";
        EXPECT_EQ(final.requests().front().target, "/microphones");
        EXPECT_EQ(asked(), 0u);
        quit();
    }
}

// A person retypes one server's port, a character at a time, while three
// servers' pictures flow in two windows: Alpha's wall (current) or the
// layout in the main window, and the layout of all three in another. The
// other two go on; the edited one is asked nothing until the close (least
// of all at a half-typed port, where another server listens), then resumes
// at its new port.
TEST_F(ServerList, OnlyTheServerBeingEditedRests) {
    const struct {
        size_t edited;
        bool mainShowsLayout;
    } cases[] = {{0, false}, {1, false}, {2, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.edited);
        std::vector<std::unique_ptr<ScriptedServer>> servers, decoys;
        for (int i = 0; i < 3; ++i)
            servers.push_back(std::make_unique<ScriptedServer>(camerasServer()));
        ScriptedServer final(camerasServer());
        const QString port = QString::number(final.port());
        for (int n = 1; n < port.size(); ++n)
            decoys.push_back(
                std::make_unique<ScriptedServer>(camerasServer(), port.left(n).toInt()));
        QFile::remove(dir.filePath("layouts.json"));
        writeServers(dir.path(), {{"Alpha", servers[0]->port(), true, 1},
                                  {"Beta", servers[1]->port()},
                                  {"Gamma", servers[2]->port()}});
        start();
        app->hub()->edit([&](ControlRoom& room) {
            room.layouts.push_back({"Lobby", 1, 3, {}});
            for (const auto& s : settings->getServers())
                room.layouts.back().cells.push_back(CameraRef{s->serverId(), "/c/1", "Yard", 1});
        });
        app->newWindow();
        if (c.mainShowsLayout) ASSERT_TRUE(app->window()->showLayout("Lobby"));
        // The edited server's requests of any kind, the others' pictures.
        const auto seen = [&](size_t i) {
            return i == c.edited ? servers[i]->requests().size() : picturesOf(*servers[i]);
        };
        ASSERT_TRUE(waitUntil([&] {
            return picturesOf(*servers[0]) && picturesOf(*servers[1]) && picturesOf(*servers[2]);
        }));
        ZVServerSettings* dialog = open();
        dialog->selectRow(int(c.edited));
        dialog->ui().port->selectAll();
        std::vector<size_t> before;
        for (qsizetype k = 0; k < port.size(); ++k) {
            QTest::keyClick(dialog->ui().port, port[k].toLatin1());
            spinFor(200);  // a request sent before the first keystroke has arrived by now
            for (size_t i = 0; i < 3 && k == 0; ++i) before.push_back(seen(i));
        }
        for (size_t i = 0; i < 3; ++i)
            EXPECT_EQ(seen(i) > before[i], i != c.edited) << i << " (edited: rests, others: go on)";
        size_t asked = final.requests().size();
        for (const auto& d : decoys) asked += d->requests().size();
        dialog->close();
        EXPECT_TRUE(waitUntil([&] { return picturesOf(final) > 0; })) << "resumes at its new port";
        for (const auto& d : decoys) asked += d->requests().size();
        EXPECT_EQ(asked, 0u) << "a half-typed or unfinished value was asked";
        quit();
    }
}
