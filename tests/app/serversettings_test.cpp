// The server-list dialog with the whole viewer (offscreen): what each close
// leaves in the store, in the settings file and in the servers menu.

#include <QAction>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QTableView>
#include <QTest>
#include <QTranslator>

#include <gtest/gtest.h>

#include <functional>

#include "menutestkit.h"
#include "testutil.h"
#include "touchimage.h"
#include "ui_zvserversettings.h"
#include "viewerfixture.h"
#include "zorvanmacappdelegate.h"
#include "zvserversettings.h"

namespace {

QStringList menuTitles(QMenu* menu) {
    QStringList out;
    for (QAction* a : menu->actions()) out << a->property("title").toString();
    return out;
}

class ServerList : public ViewerFixture {
protected:
    ZVServerSettings* open() {
        app->preference();
        return app->settingsWindow();
    }
    // Types into a field of the dialog as a person would.
    static void type(QLineEdit* field, const QString& text) {
        field->selectAll();
        QTest::keyClicks(field, text);
    }
    // The same, with the event loop turning for ms after each keystroke.
    static void typeSlowly(QLineEdit* field, const QString& text, int ms) {
        field->selectAll();
        if (text.isEmpty()) QTest::keyClick(field, Qt::Key_Backspace);
        for (QChar ch : text) {
            QTest::keyClicks(field, QString(ch));
            spinFor(ms);
        }
    }
};

}  // namespace

TEST_F(ServerList, OpensOnceWithTheStoresRecordsAndNoSelection) {
    ScriptedServer a(camerasServer(camerasDoc({"Gate"})));
    writeServers(dir.path(), {{"Alpha", a.port(), true}, {"Beta", 9}}, 0);
    start();
    ZVServerSettings* dialog = open();
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(dialog->servers(), settings->getServers()) << "the same records, not copies";
    EXPECT_EQ(dialog->selectedServer(), nullptr);
    EXPECT_FALSE(dialog->ui().name->isEnabled()) << "nothing to edit without a selection";
    EXPECT_EQ(dialog->ui().password->echoMode(), QLineEdit::Password);
    EXPECT_EQ(
        dialog->ui().serversTable->model()->data(dialog->ui().serversTable->model()->index(1, 0)),
        "Beta");
    const std::pair<QLabel*, const char*> captions[] = {
        {dialog->ui().nameLbl, "Server:"},       {dialog->ui().addressLbl, "Address:"},
        {dialog->ui().portLbl, "Port:"},         {dialog->ui().loginLbl, "Username:"},
        {dialog->ui().passwordLbl, "Password:"}, {dialog->ui().fpsLbl, "fps:"}};
    for (const auto& [label, text] : captions) EXPECT_EQ(label->text(), text);

    dialog->selectRow(1);
    EXPECT_EQ(dialog->ui().port->text(), "9");
    EXPECT_EQ(open(), dialog) << "the same window is brought to the front";
    EXPECT_TRUE(dialog->isVisible());
}

TEST_F(ServerList, EachCloseLeavesTheDialogsListInTheStoreTheFileAndTheMenu) {
    using Act = std::function<void(ZVServerSettings&)>;
    struct Case {
        const char* name;
        Act act;
        QStringList after;
    } cases[] = {
        {"close without changes", [](ZVServerSettings&) {}, {"One", "Two", "Three"}},
        {"add two",
         [](ZVServerSettings& d) {
             d.addServer();
             type(d.ui().name, "Four");
             type(d.ui().address, "127.0.0.1");
             d.addServer();
             type(d.ui().name, "Five");
         },
         {"One", "Two", "Three", "Four", "Five"}},
        {"remove the first and the second",
         [](ZVServerSettings& d) {
             d.selectRow(0);
             d.removeServer();
             EXPECT_EQ(d.selectedServer(), d.servers().at(0)) << "the next one is selected";
             d.removeServer();
         },
         {"Three"}},
        {"edit a name",
         [](ZVServerSettings& d) {
             d.selectRow(1);
             type(d.ui().name, "Second");
         },
         {"One", "Second", "Three"}},
        {"remove with nothing selected",
         [](ZVServerSettings& d) { d.removeServer(); },
         {"One", "Two", "Three"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        writeServers(dir.path(), {{"One", 9, true}, {"Two", 9}, {"Three", 9}}, 0);
        start();
        ZVServerSettings* dialog = open();
        c.act(*dialog);
        QFile::remove(dir.path() + "/settings.dat");
        dialog->close();
        EXPECT_FALSE(dialog->isVisible());
        QStringList inStore;
        for (const auto& s : settings->getServers()) inStore << s->name();
        EXPECT_EQ(inStore, c.after);
        EXPECT_EQ(namesInFile(dir.path()), c.after) << "the file is written at the close";
        EXPECT_EQ(menuTitles(app->serversMenu()), c.after) << "the servers menu is rebuilt";
        app->applicationWillTerminate();
        app.reset();
    }
}

TEST_F(ServerList, FieldsChangeTheSelectedRecordAtOnceAsTyped) {
    writeServers(dir.path(), {{"Alpha", 9, true}}, 0);
    start();
    ZVServerSettings* dialog = open();
    dialog->selectRow(0);
    const auto record = settings->getServers()[0];
    const std::pair<QLineEdit*, std::function<QString()>> fields[] = {
        {dialog->ui().name, [&] { return record->name(); }},
        {dialog->ui().address, [&] { return record->host(); }},
        {dialog->ui().port, [&] { return record->port(); }},
        {dialog->ui().login, [&] { return record->login(); }},
        {dialog->ui().password, [&] { return record->password(); }},
        {dialog->ui().fps, [&] { return record->fps(); }},
    };
    for (const auto& [field, value] : fields) {
        type(field, " a b/@:x ");
        EXPECT_EQ(value(), " a b/@:x ") << field->objectName().toStdString();
    }
}

TEST_F(ServerList, RemovingTheCurrentServerStopsItAndLoadsTheFirst) {
    ScriptedServer a(camerasServer(camerasDoc({"Gate"})));
    ScriptedServer b(camerasServer(camerasDoc({"Dock"})));
    writeServers(dir.path(), {{"Beta", b.port()}, {"Alpha", a.port(), true}}, 0);
    start();
    ASSERT_TRUE(waitUntil([&] { return cameraOfPicture(app->mainImage()->picture()) == 0; }));
    const auto alpha = settings->getCurrent();
    ASSERT_EQ(alpha->name(), "Alpha");
    ZVServerSettings* dialog = open();
    dialog->selectRow(1);
    dialog->removeServer();
    dialog->close();
    EXPECT_EQ(settings->getCurrent()->name(), "Beta");
    EXPECT_FALSE(alpha->isRefreshing()) << "two servers are never polled at once";
    ASSERT_TRUE(waitUntil([&] { return picturesOf(b) > 0; }));
    const size_t fromA = picturesOf(a);
    spinFor(400);
    EXPECT_EQ(picturesOf(a), fromA);
    EXPECT_EQ(menuTitles(app->serversMenu()), QStringList{"Beta"});
}

TEST_F(ServerList, RemovingEveryServerStopsThePolling) {
    ScriptedServer a(camerasServer(camerasDoc({"Gate"})));
    writeServers(dir.path(), {{"Alpha", a.port(), true}}, 0);
    start();
    ASSERT_TRUE(waitUntil([&] { return picturesOf(a) > 0; }));
    ZVServerSettings* dialog = open();
    dialog->selectRow(0);
    dialog->removeServer();
    dialog->close();
    EXPECT_TRUE(settings->getServers().empty());
    EXPECT_TRUE(app->serversMenu()->isEmpty());
    spinFor(200);
    const size_t seen = a.requests().size();
    app->openServer();
    spinFor(400);
    EXPECT_EQ(a.requests().size(), seen) << "a removed server is not asked any more";
}

TEST_F(ServerList, QuittingWithTheDialogOpenKeepsWhatWasDone) {
    writeServers(dir.path(), {{"One", 9, true}, {"Two", 9}}, 0);
    start();
    ZVServerSettings* dialog = open();
    dialog->selectRow(1);
    dialog->removeServer();
    dialog->addServer();
    type(dialog->ui().name, "New");
    app->applicationWillTerminate();
    app.reset();
    EXPECT_EQ(namesInFile(dir.path()), (QStringList{"One", "New"}));
}

TEST_F(ServerList, CaptionsComeFromTheApplicationsTranslation) {
    struct Case {
        const char* table;
        const char* server;
        const char* password;
        const char* title;
    } cases[] = {
        {"ru", "Сервер:", "Пароль:", "Серверы"},
        {"zh_CN", "服务器：", "密码：", "服务器"},
    };
    auto store = Settings::createInFolder(dir.path(), "en");
    for (const Case& c : cases) {
        QTranslator translator;
        ASSERT_TRUE(translator.load(QStringLiteral(":/i18n/zorvan_%1.qm").arg(c.table)));
        QCoreApplication::installTranslator(&translator);
        {
            ZVServerSettings dialog(*store);
            EXPECT_EQ(dialog.ui().nameLbl->text(), c.server) << c.table;
            EXPECT_EQ(dialog.ui().passwordLbl->text(), c.password) << c.table;
            EXPECT_EQ(dialog.windowTitle(), c.title) << c.table;
            for (QWidget* button : {dialog.ui().addButton, dialog.ui().removeButton}) {
                const QString tip = button->toolTip();
                EXPECT_FALSE(tip.isEmpty() || tip.startsWith("Add") || tip.startsWith("Remove"))
                    << c.table << ": " << tip.toStdString();
            }
        }
        QCoreApplication::removeTranslator(&translator);
    }
}

// Whatever is typed as address and port, requests go to that address and
// port or nowhere: an address or port that would point the request at
// another server gives "Server is not available" and no request there, not
// even while it is being typed with the current server's pictures flowing.
TEST_F(ServerList, HostileTypedAddressesAndPortsReachNoOtherServer) {
    ScriptedServer other(camerasServer(camerasDoc({"Elsewhere"})));
    const QString o = QString::number(other.port());
    const std::pair<QString, QString> typed[] = {
        {"127.0.0.1:" + o + "/", "1"}, {"127.0.0.1", o + "/x"},  {"127.0.0.1", o + "@127.0.0.1"},
        {"x@127.0.0.1:" + o, ""},      {"127.0.0.1 ", " " + o},  {"", ""},
        {"127.0.0.1", "http"},         {"127.0.0.1/" + o, "80"},
    };
    for (const auto& [host, port] : typed) {
        SCOPED_TRACE((host + " | " + port).toStdString());
        ScriptedServer mine(camerasServer(camerasDoc({"Gate"})));
        writeServers(dir.path(), {{"Mine", mine.port(), true}}, 0);
        start();
        ASSERT_TRUE(waitUntil([&] { return picturesOf(mine) > 0; }));
        ZVServerSettings* dialog = open();
        dialog->selectRow(0);
        type(dialog->ui().address, host);
        typeSlowly(dialog->ui().port, port, 40);
        EXPECT_EQ(other.requests().size(), 0u) << "while typing";
        alerts->texts.clear();
        dialog->close();
        ASSERT_TRUE(waitUntil([&] { return !alerts->texts.empty(); }, 10000));
        EXPECT_EQ(alerts->texts.front(), "Server is not available");
        spinFor(200);
        EXPECT_EQ(other.requests().size(), 0u);
        quit();
    }
}

// A person retypes the current server's port or address one character at a
// time while its pictures flow (or its silent retries run), pausing between
// keystrokes. Every value on the way is an address where another server
// listens; none of them is asked anything, whatever else the person does
// meanwhile, and at the close the lists load from the final value.
TEST_F(ServerList, TypedAddressAndPortNeverReachAnotherServer) {
    using Midway = std::function<void(ZorvanMacAppDelegate&)>;
    const auto chooseItem = [](QMenu* menu, int i) {
        if (i < menu->actions().size()) menu->actions().at(i)->trigger();
    };
    struct Case {
        const char* name;
        bool address;    // retype the address's last part, else the whole port
        bool reachable;  // pictures flow before, else the retries run
        Midway midway;
        bool wall = false;  // every camera of the page asks, not the shown one alone
    } cases[] = {
        {"port, pictures flowing", false, true, {}},
        {"address, pictures flowing", true, true, {}},
        {"port, retries running", false, false, {}},
        {"port, a camera chosen midway", false, true,
         [&](ZorvanMacAppDelegate& a) { chooseItem(a.camerasMenu(), 1); }},
        {"port, the server chosen midway", false, true,
         [&](ZorvanMacAppDelegate& a) { chooseItem(a.serversMenu(), 0); }},
        {"port, a reload midway", false, true, [](ZorvanMacAppDelegate& a) { a.openServer(); }},
        {"port, the camera wall on", false, true, {}, true},
    };
    const auto script = camerasServer(camerasDoc({"Gate", "Yard"}));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        // The final server on a port of the kernel's choosing; every other
        // server listens where a half-typed value would point.
        ScriptedServer final(script, 0, c.address ? "127.0.0.12" : "127.0.0.1");
        ASSERT_TRUE(final.listening());
        const QString port = QString::number(final.port());
        std::vector<std::unique_ptr<ScriptedServer>> decoys;
        std::unique_ptr<ScriptedServer> initial;
        QString host = "127.0.0.1", typed = port;
        int initialPort = 0;
        if (c.address) {
            host = "127.0.0.5";
            typed = "12";  // 127.0.0.5 becomes 127.0.0.1, then 127.0.0.12
            decoys.push_back(std::make_unique<ScriptedServer>(script, final.port(), "127.0.0.1"));
            initialPort = final.port();
        } else {
            for (int n = 1; n < port.size(); ++n)
                decoys.push_back(std::make_unique<ScriptedServer>(script, port.left(n).toInt()));
        }
        if (c.reachable) {
            initial = std::make_unique<ScriptedServer>(script, initialPort, qPrintable(host));
            ASSERT_TRUE(initial->listening());
            initialPort = initial->port();
        } else {
            ScriptedServer gone(script);
            initialPort = gone.port();
        }
        writeServers(dir.path(), {{"Mine", initialPort, true, host}}, 0);
        start([&](ZorvanMacAppDelegate& a) {
            ReconnectorTestAccess::setTiming(*a.reconnector(), {100, 100, 5000});
        });
        if (c.reachable) {
            ASSERT_TRUE(waitUntil([&] { return picturesOf(*initial) > 0; }));
            if (c.wall) {
                app->toggleWall(true);
                const size_t before = picturesOf(*initial);
                ASSERT_TRUE(waitUntil([&] { return picturesOf(*initial) > before + 2; }));
            }
        } else {
            ASSERT_TRUE(waitUntil([&] { return app->reconnector()->isActive(); }));
            spinFor(300);
        }

        ZVServerSettings* dialog = open();
        dialog->selectRow(0);
        QLineEdit* field = c.address ? dialog->ui().address : dialog->ui().port;
        if (c.address) {
            field->setSelection(field->text().size() - 1, 1);
        } else {
            field->selectAll();
        }
        for (qsizetype k = 0; k < typed.size(); ++k) {
            QTest::keyClick(field, typed[k].toLatin1());
            spinFor(200);  // long enough for a picture tick and a retry
            if (c.midway && k == typed.size() / 2) c.midway(*app);
        }
        ASSERT_EQ(field->text(), c.address ? "127.0.0.12" : port);
        size_t asked = 0;
        for (const auto& d : decoys) asked += d->requests().size();
        EXPECT_EQ(asked, 0u) << "a half-typed value was asked";
        EXPECT_EQ(final.requests().size(), 0u) << "nothing leaves before the close";

        dialog->close();
        EXPECT_TRUE(waitUntil([&] { return picturesOf(final) > 0; }))
            << "the lists and pictures come from the final value";
        EXPECT_EQ(final.requests().front().target, "/microphones");
        for (const auto& d : decoys) asked += d->requests().size();
        EXPECT_EQ(asked, 0u);
        quit();
    }
}
