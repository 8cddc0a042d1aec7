// The server-list dialog with the whole viewer: what each close leaves in
// the store, in the settings file and in the servers menu, and that nothing
// is asked of a half-typed address.

#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <QTranslator>

#include "ui_zvserversettings.h"
#include "viewerkit.h"
#include "zvserversettings.h"

namespace {

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
    QStringList namesInFile() {
        QStringList names;
        const auto store = onDisk();
        for (const auto& s : store->getServers()) names << s->name();
        return names;
    }
};

}  // namespace

TEST_F(ServerList, OpensOnceWithTheStoresRecordsAndNoSelection) {
    writeServers(dir.path(), {{"Alpha", 9, true}, {"Beta", 9}});
    start();
    ZVServerSettings* dialog = open();
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(dialog->servers(), settings->getServers()) << "the same records, not copies";
    EXPECT_EQ(dialog->selectedServer(), nullptr);
    EXPECT_FALSE(dialog->ui().name->isEnabled()) << "nothing to edit without a selection";
    EXPECT_EQ(dialog->ui().password->echoMode(), QLineEdit::Password);
    const std::pair<QLabel*, const char*> captions[] = {
        {dialog->ui().nameLbl, "Server:"},       {dialog->ui().addressLbl, "Address:"},
        {dialog->ui().portLbl, "Port:"},         {dialog->ui().loginLbl, "Username:"},
        {dialog->ui().passwordLbl, "Password:"}, {dialog->ui().fpsLbl, "fps:"}};
    for (const auto& [label, text] : captions) EXPECT_EQ(label->text(), text);
    EXPECT_EQ(open(), dialog) << "the same window is brought to the front";

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
        EXPECT_EQ(value(), " a b/@:x ") << "at once, as typed";
    }
}

TEST_F(ServerList, EachCloseOrQuitLeavesTheDialogsListInTheStoreTheFileAndTheMenu) {
    const struct {
        const char* name;
        std::function<void(ZVServerSettings&)> act;
        QStringList after;
        bool quit = false;  // instead of closing the dialog
    } cases[] = {
        {"close without changes", [](ZVServerSettings&) {}, {"One", "Two", "Three"}},
        {"add two",
         [](ZVServerSettings& d) {
             d.addServer();
             type(d.ui().name, "Four");
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
        {"quit with the dialog open",
         [](ZVServerSettings& d) {
             d.selectRow(1);
             d.removeServer();
             d.addServer();
             type(d.ui().name, "New");
         },
         {"One", "Three", "New"},
         true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        writeServers(dir.path(), {{"One", 9, true}, {"Two", 9}, {"Three", 9}});
        start();
        ZVServerSettings* dialog = open();
        c.act(*dialog);
        QFile::remove(dir.filePath("settings.dat"));
        if (!c.quit) {
            dialog->close();
            EXPECT_FALSE(dialog->isVisible());
            QStringList inStore;
            for (const auto& s : settings->getServers()) inStore << s->name();
            EXPECT_EQ(inStore, c.after);
            EXPECT_EQ(titles(app->serversMenu()), c.after) << "the servers menu is rebuilt";
            EXPECT_EQ(namesInFile(), c.after) << "the file is written at the close";
        }
        quit();
        EXPECT_EQ(namesInFile(), c.after);
    }
}

TEST_F(ServerList, RemovingTheCurrentServerLoadsTheFirstAndRemovingAllStopsThePolling) {
    ScriptedServer a(camerasServer());
    ScriptedServer b(camerasServer());
    writeServers(dir.path(), {{"Beta", b.port()}, {"Alpha", a.port(), true}});
    start();
    ASSERT_TRUE(waitUntil([&] { return picturesOf(a) > 0; }));
    const auto alpha = settings->getCurrent();
    for (int row : {1, 0}) {
        ZVServerSettings* dialog = open();
        dialog->selectRow(row);
        dialog->removeServer();
        dialog->close();
        if (row == 1) {
            EXPECT_EQ(settings->getCurrent()->name(), "Beta");
            EXPECT_FALSE(alpha->isRefreshing()) << "two servers are never polled at once";
            ASSERT_TRUE(waitUntil([&] { return picturesOf(b) > 0; }));
            EXPECT_EQ(titles(app->serversMenu()), QStringList{"Beta"});
        }
    }
    EXPECT_TRUE(settings->getServers().empty());
    EXPECT_TRUE(app->serversMenu()->isEmpty());
    spinFor(200);  // requests already out may still arrive
    const size_t fromA = a.requests().size(), fromB = b.requests().size();
    app->openServer();
    spinFor(400);
    EXPECT_EQ(a.requests().size(), fromA) << "a removed server is not asked any more";
    EXPECT_EQ(b.requests().size(), fromB);
}

TEST_F(ServerList, CaptionsComeFromTheApplicationsTranslation) {
    const struct {
        const char* table;
        const char* server;
        const char* title;
    } cases[] = {{"ru", "Сервер:", "Серверы"}, {"zh_CN", "服务器：", "服务器"}};
    auto store = Settings::createInFolder(dir.path(), "en");
    for (const auto& c : cases) {
        QTranslator translator;
        ASSERT_TRUE(translator.load(QStringLiteral(":/i18n/zorvan_%1.qm").arg(c.table)));
        QCoreApplication::installTranslator(&translator);
        {
            ZVServerSettings dialog(*store);
            EXPECT_EQ(dialog.ui().nameLbl->text(), c.server) << c.table;
            EXPECT_EQ(dialog.windowTitle(), c.title) << c.table;
            EXPECT_FALSE(dialog.ui().addButton->toolTip().startsWith("Add")) << c.table;
        }
        QCoreApplication::removeTranslator(&translator);
    }
}

// A person retypes the current server's port or address one character at a
// time while its pictures flow (or its silent retries run), pausing between
// keystrokes. Every value on the way is an address where another server
// listens; none of them is asked anything, whatever else the person does
// meanwhile, and at the close the lists load from the final value.
TEST_F(ServerList, TypedAddressAndPortNeverReachAnotherServer) {
    const auto chooseItem = [](QMenu* menu, int i) {
        if (i < menu->actions().size()) menu->actions().at(i)->trigger();
    };
    const struct {
        const char* name;
        bool address;    // retype the address's last part, else the whole port
        bool reachable;  // pictures flow before, else the retries run
        std::function<void(ZorvanMacAppDelegate&)> midway;
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
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        // The final server on a port of the kernel's choosing; every other
        // server listens where a half-typed value would point.
        ScriptedServer final(script, 0, c.address ? "127.0.0.12" : "127.0.0.1");
        ASSERT_TRUE(final.listening());
        const QString port = QString::number(final.port());
        std::vector<std::unique_ptr<ScriptedServer>> decoys;
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
        std::unique_ptr<ScriptedServer> initial;
        if (c.reachable) {
            initial = std::make_unique<ScriptedServer>(script, initialPort, qPrintable(host));
            ASSERT_TRUE(initial->listening());
            initialPort = initial->port();
        } else {
            initialPort = ScriptedServer(script).port();  // nobody listens there now
        }
        writeServers(dir.path(), {{"Mine", initialPort, true, host, c.wall ? 1 : 0}});
        start([&](ZorvanMacAppDelegate& a) { a.reconnector()->setTiming({100, 100, 5000}); });
        if (c.reachable) {
            ASSERT_TRUE(waitUntil([&] { return picturesOf(*initial) > (c.wall ? 2 : 0); }));
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
